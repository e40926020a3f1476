#pragma once
// Reaches into the pane for the tests: its widgets and tables are private to everyone else.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <dzapp.h>
#include <dzintslider.h>
#include <dzpane.h>
#include "pane/verdixpane.h"
#include "persistence/verdixscenemodel.h"

class VerdixPaneTestAccess
{
public:
    explicit VerdixPaneTestAccess(ZPK_VerdixPane* p) : pane(p) {}
    ZPK_VerdixPane* pane;

    ControlBoxTable& boxes() { return pane->m_boxes; }
    QLabel* status() { return pane->m_statusLabel; }
    QComboBox* selector() { return pane->m_landscapeSelector; }
    DzIntSlider* timer() { return pane->m_timerSlider; }
    QCheckBox* animate() { return pane->m_animateCheck; }
    QCheckBox* autoOff() { return pane->m_autoOffCheck; }
    QCheckBox* merge() { return pane->m_mergeCheck; }
    QCheckBox* lowLod() { return pane->m_lowLodCheck; }
    QCheckBox* renew() { return pane->m_renewCheck; }
    QList<QPushButton*> shownCreateButtons()
    {
        return {pane->m_createLandscape, pane->m_createStones, pane->m_createGrass,
                pane->m_createTree,      pane->m_createFlower, pane->m_createBillboard};
    }
    QList<QPushButton*> hiddenCreateButtons()
    {
        return {pane->m_createRock, pane->m_createBush,     pane->m_createIvy,
                pane->m_createWeed, pane->m_createMushroom, pane->m_createCrystals};
    }
    QList<DzIntSlider*> paneSliders()
    {
        return {pane->m_gravitySlider, pane->m_frictionSlider, pane->m_windStrengthSlider, pane->m_windSpeedSlider,
                pane->m_windSpeed2Slider};
    }
    VerdixSceneModel* model() { return pane->m_model.data(); }
    void setLoading(bool on) { pane->m_loading = on; }

    QPushButton* deleteAllButton() { return pane->m_deleteAllButton; }
    QLabel* preview() { return pane->m_previewLabel; }
    QWidget* area() { return pane->m_area; }
    int selectedBox() const { return pane->m_selectedBox; }
    DzNode* externalObject() { return pane->m_externalObject.data(); }
    QString lastLoadedScene() const { return pane->m_lastLoadedScene; }
    void setUpdateOverride(int type, std::function<void(int, bool)> f) { pane->m_updateOverride[type] = std::move(f); }
    ObjectMapping& mapping() { return pane->m_mapping; }

    // Slots and steps reached by name in the product.
    void addControlBox(const QString& icon, const QString& title, int type)
    {
        pane->Network_AddControlBox(icon, title, type);
    }
    void createBush() { pane->Button_CreateBush(); }
    void createWeed() { pane->Button_CreateWeed(); }
    void deleteControl(bool bypass, bool change) { pane->ControlBox_DeleteControl(bypass, change); }
    void deleteAll() { pane->on_DeleteAllButton_pressed(); }
    void colourBox() { pane->ColourBox(); }
    void refreshSelected(DzNode* n) { pane->refreshSelected(n); }
    void write(int i, int type, const QString& header, QString& text)
    {
        pane->WriteSaveControls(i, type, header, text);
    }
    void read(int i, int type, const QString& header, QString& text, bool presets)
    {
        pane->ReadSaveControls(i, type, header, text, presets);
    }
    void saveModelData() { pane->saveModelData(); }
    void saveScene() { pane->SaveScene(); }
    void openScene() { pane->OpenScene(); }
    void savePreset(int i, int type, const QString& folder, const QString& header)
    {
        pane->SavePreset(i, type, folder, header);
    }
    void saveTreePreset() { pane->Button_SaveTreePreset(); }
    bool openDocument(const QString& text, bool fileOpening, bool dialogs = false)
    {
        pane->m_noDialogs = !dialogs;
        const bool ok = pane->openDocument(text, fileOpening);
        pane->m_noDialogs = false;
        return ok;
    }
    // Null restores the machine's own figure.
    void setFreeMemory(std::function<long long()> f)
    {
        pane->m_freeMemory = f ? std::move(f) : std::function<long long()>(&ZPK_VerdixPane::availableMemoryBytes);
    }
    // As a batch opening of the file named source.
    bool openDocument(const QString& text, bool fileOpening, const char* source)
    {
        pane->m_noDialogs = true;
        const bool ok = pane->openDocument(text, fileOpening, QString::fromUtf8(source));
        pane->m_noDialogs = false;
        return ok;
    }

    void initTextureFolder() { pane->InitTextureFolder(); }
    QString loadQSFile(const QString& f) { return pane->LoadQSFile(f); }
    QString loadGround(const QString& f) { return pane->LoadGround(f); }
    QString typeLable(int t, int i) { return pane->GetTypeLable(t, i); }
    int findLandscape(const QString& t) { return pane->FindLandScapeIndex(t); }

    // Flowers and the animation tick.
    float& phase() { return pane->m_phase; }
    void draw() { pane->Animation_Draw(); }
    void lowLODMode() { pane->LowLODMode(); }
    void saveFlowerPreset() { pane->Button_SaveFlowerPreset(); }
};

// The one pane of the test process, created the way the host creates it.
inline ZPK_VerdixPane* thePane()
{
    auto* p = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    if (p && !p->isVisible()) p->show();
    return p;
}
