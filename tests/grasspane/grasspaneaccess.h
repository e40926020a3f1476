#pragma once
// The grass box and the animation driver as the tests reach them: through the pane's slots
// by name and its private state.
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include <vector>
#include "animation/taskring.h"
#include "pane/verdixpane.h"

class VerdixPaneTestAccess
{
public:
    explicit VerdixPaneTestAccess(ZPK_VerdixPane* p) : pane(p) {}
    ZPK_VerdixPane* pane;

    ControlBoxTable& boxes() { return pane->m_boxes; }
    QLabel* status() { return pane->m_statusLabel; }
    QCheckBox* animate() { return pane->m_animateCheck; }
    QCheckBox* lowLod() { return pane->m_lowLodCheck; }
    QTimer* timer() { return pane->m_timer; }
    QPushButton* playButton() { return pane->m_playButton; }
    DzIntSlider* windStrength() { return pane->m_windStrengthSlider; }
    bool playing() const { return pane->m_playing; }
    float& phase() { return pane->m_phase; }
    int& frame() { return pane->m_frame; }
    int& workers() { return pane->m_workerCount; }
    bool& busy() { return pane->m_busy; }
    bool lowLODFlag() const { return pane->m_lowLOD; }
    int ticks() const { return pane->m_ticks; }
    int lastUsed() const { return pane->m_lastTickUsed; }
    void setLoading(bool on) { pane->m_loading = on; }

    void deleteControl() { pane->ControlBox_DeleteControl(true, false); }
    void createGrass() { pane->Button_CreateGrass(); }
    void updateGrass(int i, bool reset) { pane->UpdateGrass(i, reset); }
    void captureGrass(int i) { pane->captureBox(i); }
    void play() { pane->Animation_Play(); }
    void stop() { pane->Animation_Stop(); }
    void draw() { pane->Animation_Draw(); }
    void setupTimer(int ms) { pane->SetupTimer(ms); }
    void updateFrame(DzTime t) { pane->UpdateFrame(t); }
    void lowLODMode() { pane->LowLODMode(); }
    void closePane() { pane->Asm_ClosePane(); }
};

inline ZPK_VerdixPane* thePane()
{
    auto* p = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    if (p && !p->isVisible()) p->show();
    return p;
}

class GrassPaneTest : public ::testing::Test
{
protected:
    ZPK_VerdixPane* pane = nullptr;
    std::unique_ptr<VerdixPaneTestAccess> a;

    void SetUp() override
    {
        pane = thePane();
        ASSERT_NE(pane, nullptr);
        a.reset(new VerdixPaneTestAccess(pane));
        reset();
    }
    void TearDown() override { reset(); }
    void reset()
    {
        a->stop();
        a->setLoading(false);
        a->busy() = false;
        a->workers() = taskRingWorkerCount();
        if (a->lowLod()->isChecked()) {
            a->lowLod()->setChecked(false);
            a->lowLODMode();
        }
        a->animate()->setChecked(false);
        pane->setBatchRunner(nullptr);
        while (a->boxes().count() > 0) a->deleteControl();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dzScene->clear();
        dzScene->setTimeStep(160);
        a->phase() = 1.0f;
        a->frame() = 0;
        VerdixFlags::refreshBlocked = false;
    }

    // A grass box made by its create button; returns its index.
    int grass(int amount = 1000)
    {
        const int i = a->boxes().count();
        a->createGrass();
        EXPECT_EQ(a->boxes().count(), i + 1);
        if (amount != 1000) set(i, "Amount", amount);
        return i;
    }
    DzIntSlider* slider(int i, const char* name) { return a->boxes()[i].slider(QString::fromLatin1(name)); }
    // Sets a slider without routing, then updates the box the way a focused slider would.
    void set(int i, const char* name, int v)
    {
        a->setLoading(true);
        slider(i, name)->setValue(v);
        a->setLoading(false);
        a->updateGrass(i, true);
    }
    DzFacetMesh* mesh(int i)
    {
        DzNode* n = dzScene->findNodeByLabel(newBoxTitle(TypeGrass, i));
        if (!n || !n->getObject()) return nullptr;
        auto* s = qobject_cast<DzFacetShape*>(n->getObject()->getShape(0));
        return s ? s->getFacetMesh() : nullptr;
    }
    std::vector<DzVec3> verts(int i)
    {
        DzFacetMesh* m = mesh(i);
        return m ? std::vector<DzVec3>(m->getVerticesPtr(), m->getVerticesPtr() + m->getNumVertices())
                 : std::vector<DzVec3>();
    }
};
