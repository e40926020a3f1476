#pragma once
// Tree boxes as the tests reach them: through the pane's slots and its private state.
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzpane.h>
#include <dzscene.h>
#include <dzshape.h>
#include <memory>
#include <vector>
#include "animation/taskring.h"
#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"

class VerdixPaneTestAccess
{
public:
    explicit VerdixPaneTestAccess(ZPK_VerdixPane* p) : pane(p) {}
    ZPK_VerdixPane* pane;

    ControlBoxTable& boxes() { return pane->m_boxes; }
    QString status() { return pane->m_statusLabel->text(); }
    float& phase() { return pane->m_phase; }
    bool& loading() { return pane->m_loading; }
    void deleteControl() { pane->ControlBox_DeleteControl(true, false); }
    void createTree() { pane->Button_CreateTree(); }
    void updateTree(int i) { pane->UpdateTree(i, true); }
    void animate(int i) { pane->Button_AnimatePolyTree(i); }
    void draw() { pane->Animation_Draw(); }
    void sliderUpdate() { pane->SliderUpdateTree(0); }
    void write(int i, QString& text, const char* header = "TreeV1.0") { pane->WriteSaveControls(i, TypeTree, header, text); }
    void read(int i, QString& text, bool preset) { pane->ReadSaveControls(i, TypeTree, "TreeV1.0", text, preset); }
    void savePreset(int i) { pane->SavePreset(i, TypeTree, "Verdix_Presets_Tree", "TreeV1"); }
    void openPreset(int i) { pane->OpenPreset(i, TypeTree, "Verdix_Presets_Tree", "TreeV1", false); }
    void overrideUpdate(std::function<void(int, bool)> f) { pane->m_updateOverride[TypeTree] = std::move(f); }
    QProgressBar* progress() { return pane->m_progress; }
};

inline ZPK_VerdixPane* treePane()
{
    auto* p = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    if (p && !p->isVisible()) p->show();
    return p;
}

class TreePaneTest : public ::testing::Test
{
protected:
    ZPK_VerdixPane* pane = nullptr;
    std::unique_ptr<VerdixPaneTestAccess> a;

    void SetUp() override
    {
        VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
        pane = treePane();
        ASSERT_NE(pane, nullptr);
        a.reset(new VerdixPaneTestAccess(pane));
        reset();
    }
    void TearDown() override
    {
        reset();
        VerdixAssets::setTextureRoot(VerdixAssets::defaultTextureRoot());
    }
    void reset()
    {
        a->loading() = false;
        a->overrideUpdate(nullptr);
        pane->setBatchRunner(nullptr);
        while (a->boxes().count() > 0) a->deleteControl();
        QApplication::processEvents();
        dzScene->clear();
        a->phase() = 1.0f;
    }
    int tree()
    {
        const int i = a->boxes().count();
        a->createTree();
        EXPECT_EQ(a->boxes().count(), i + 1);
        return i;
    }
    DzIntSlider* slider(int i, const char* name, int occurrence = 0)
    {
        return a->boxes()[i].slider(QString::fromLatin1(name), occurrence);
    }
    // Sets a slider without routing, then rebuilds the box.
    void set(int i, const char* name, int v, int occurrence = 0)
    {
        a->loading() = true;
        slider(i, name, occurrence)->setValue(v);
        a->loading() = false;
        a->updateTree(i);
    }
    DzFacetMesh* mesh(int i)
    {
        DzNode* n = dzScene->findNodeByLabel(newBoxTitle(TypeTree, i));
        if (!n || !n->getObject()) return nullptr;
        auto* s = qobject_cast<DzFacetShape*>(n->getObject()->getShape(0));
        return s ? s->getFacetMesh() : nullptr;
    }
    std::vector<DzVec3> verts(int i)
    {
        DzFacetMesh* m = mesh(i);
        if (!m) return {};
        return std::vector<DzVec3>(m->getVerticesPtr(), m->getVerticesPtr() + m->getNumVertices());
    }
};
