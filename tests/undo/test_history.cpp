// The history as a whole: "Open all" and long random sessions come back, a loaded scene
// starts afresh, scripts undo and redo, the host's node moves are steps, memory is bounded.
#include "undofixture.h"
#include <dzscript.h>

using History = UndoTest;

namespace {

struct Lcg
{
    quint32 state;
    int below(int n)
    {
        state = state * 1103515245u + 12345u;
        return int((state >> 8) % quint32(n));
    }
};

}  // namespace

TEST_F(History, OpenAllUndoneBringsBackTheOldBoxesAndTheirNodes)
{
    create(TypeLandscape);
    create(TypeGrass);
    QList<QPointer<DzNode>> nodes;
    for (int i = 0; i < count(); ++i) nodes << dzScene->findNodeByLabel(box(i).groupBox->title());
    ASSERT_TRUE(nodes[0] && nodes[1]);
    const Fingerprint before = fingerprint();

    // A set of its own, written by the pane: a landscape, a tree and a flower.
    dzScene->clear();
    create(TypeLandscape);
    create(TypeTree);
    create(TypeFlower);
    const QString set = tmp.path() + "/set.txt";
    {
        QFile f(set);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(pane->setDocumentText().toLatin1());
    }
    dzScene->clear();
    create(TypeLandscape);
    create(TypeGrass);
    nodes = {dzScene->findNodeByLabel(box(0).groupBox->title()), dzScene->findNodeByLabel(box(1).groupBox->title())};
    ASSERT_EQ(fingerprint(), before);

    ASSERT_TRUE(pane->openSetDocument(set));
    flush();
    EXPECT_EQ(dzUndoStack->undoText(), "Open all");
    EXPECT_EQ(count(), 3);
    const Fingerprint opened = fingerprint();

    ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(fingerprint(), before);
    ASSERT_EQ(count(), 2);
    // The very nodes the boxes had, under their titles, not copies.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(nodes[i]);
        EXPECT_EQ(nodes[i]->getLabel(), box(i).groupBox->title());
        EXPECT_EQ(dzScene->findNodeByLabel(box(i).groupBox->title()), nodes[i].data());
    }
    ASSERT_TRUE(dzUndoStack->redoStep());
    EXPECT_EQ(fingerprint(), opened);
}

TEST_F(History, AThousandRandomStepsUndoneReturnToTheFirstState)
{
    create(TypeLandscape);
    create(TypeGrass);
    dzUndoStack->clear();
    pane->history()->rebaseline();
    const Fingerprint first = fingerprint();

    const char* const grassSliders[] = {"Height Min", "Amount", "Bend Min", "Seed", "Rotate"};
    const char* const landSliders[] = {"Hill", "River", "Smooth", "Size Y"};
    Lcg r{26};
    int pushed = 0;
    for (int n = 0; n < 1000; ++n) {
        const int before = dzUndoStack->count();
        const int roll = r.below(100);
        const int i = r.below(count());
        if (roll < 3 && count() < 5) {
            create(r.below(2) ? TypeGrass : TypeStones);
        } else if (roll < 5 && count() > 2) {
            box(count() - 1 - r.below(count() - 1)).deleteButton->setDown(true);
            a->deleteControl(false, true);
        } else if (roll < 10) {
            // Gravity and Friction: the wind sliders pose the grass as it is built, so a box
            // built again by a later step stands in the wind of that step, not of its first
            // build, and the session's own meshes would differ from their redone ones.
            a->paneSliders()[r.below(2)]->setValue(r.below(20));
        } else if (roll < 13 && !box(i).sections.empty()) {
            for (QGroupBox* s : box(i).sections) s->setVisible(s->isHidden());
            pane->history()->noteChange();
        } else if (box(i).type == TypeLandscape) {
            slider(i, landSliders[r.below(4)])->setValue(r.below(100));
        } else if (box(i).type == TypeGrass) {
            slider(i, grassSliders[r.below(5)])->setValue(1 + r.below(120));
        } else {
            slider(i, "Grass")->setValue(r.below(5));
        }
        flush();
        pushed += dzUndoStack->count() - before;
    }
    ASSERT_EQ(dzUndoStack->count(), pushed);
    ASSERT_GT(pushed, 900);
    const Fingerprint last = fingerprint();
    while (dzUndoStack->canUndo()) ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(fingerprint(), first);
    // Brought again, the steps meet nodes that their undo made anew.
    while (dzUndoStack->canRedo()) ASSERT_TRUE(dzUndoStack->redoStep());
    EXPECT_EQ(fingerprint(), last);
}

TEST_F(History, ScriptsUndoAndRedoAndNodeMovesAreSteps)
{
    create(TypeLandscape);
    DzScript script;
    script.addLine("var pane = MainWindow.getPaneMgr().findPane(\"ZPK_VerdixPane\");");
    script.addLine("if (!pane.createBoxOfType(3)) throw 'no grass box';");
    script.addLine("if (MainWindow.undoText() != 'Create (0001) GrassV1.0') throw MainWindow.undoText();");
    script.addLine("if (!MainWindow.undo()) throw 'no undo';");
    script.addLine("if (!MainWindow.redo()) throw 'no redo';");
    script.addLine("if (!MainWindow.moveNode('(0000) LandscapeV1.0', 10, 20, 30)) throw 'no move';");
    ASSERT_TRUE(script.execute()) << script.errorMessage().toStdString();
    EXPECT_EQ(count(), 2);
    DzNode* land = dzScene->findNodeByLabel("(0000) LandscapeV1.0");
    ASSERT_NE(land, nullptr);
    EXPECT_EQ(land->getWSPos().m_y, 20.f);
    const Fingerprint moved = fingerprint();
    ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(land->getWSPos().m_y, 0.f);
    ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(count(), 1);
    ASSERT_TRUE(dzUndoStack->redoStep());
    ASSERT_TRUE(dzUndoStack->redoStep());
    EXPECT_EQ(fingerprint(), moved);
}

TEST_F(History, ALoadedSceneStartsEmptyTheOldestStepsGoPastTheLimitAndWorkIsNotJumpedInto)
{
    create(TypeLandscape);
    const int grass = create(TypeGrass);
    const QString scene = tmp.path() + "/scene.duf";
    a->saveModelData();
    ASSERT_TRUE(dzScene->saveScene(scene));
    set(grass, "Height Min", 50);
    ASSERT_TRUE(dzUndoStack->canUndo());
    ASSERT_TRUE(dzScene->loadScene(scene));
    QApplication::processEvents();
    EXPECT_EQ(dzUndoStack->count(), 0);
    ASSERT_EQ(count(), 2) << a->status()->text().toStdString();
    EXPECT_EQ(slider(grass, "Height Min")->value(), 20);
    // The first change after the load goes back to the loaded scene, not further.
    set(grass, "Height Min", 70);
    EXPECT_EQ(dzUndoStack->count(), 1);
    ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(slider(grass, "Height Min")->value(), 20);

    // A limit of three slider steps' worth keeps the newest steps, which still undo.
    dzUndoStack->clear();
    for (int v = 30; v < 34; ++v) set(grass, "Height Min", v);
    const qint64 step = dzUndoStack->bytesHeld() / 4;
    dzUndoStack->setMemoryLimit(3 * step + step / 2);
    for (int v = 34; v < 40; ++v) set(grass, "Height Min", v);
    dzUndoStack->setMemoryLimit(DzUndoStack::kDefaultMemoryLimit);
    EXPECT_EQ(dzUndoStack->count(), 3);
    while (dzUndoStack->canUndo()) ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(slider(grass, "Height Min")->value(), 36);

    // Half-way through work (an opening, an update letting events through) nothing jumps.
    set(grass, "Height Min", 45);
    a->setLoading(true);
    EXPECT_FALSE(dzUndoStack->undoStep());
    a->setLoading(false);
    EXPECT_EQ(slider(grass, "Height Min")->value(), 45);
    EXPECT_TRUE(dzUndoStack->undoStep());
}
