// Every kind of step a user takes in the pane goes back and comes again exactly: the set
// document the scene stores and the vertices it exports.
#include "undofixture.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>

using Steps = UndoTest;

TEST_F(Steps, EveryKindOfBoxStepGoesBackAndComesAgainExactly)
{
    const int land = create(TypeLandscape);
    const int grass = create(TypeGrass);
    const int tree = create(TypeTree);
    ASSERT_EQ(tree, 2);

    expectUndoable("landscape slider", [&] { set(land, "Hill", 60); });
    expectUndoable("grass slider", [&] { set(grass, "Height Min", 90); });
    expectUndoable("tree slider", [&] { set(tree, "Seed", 7); });
    expectUndoable("texture combo", [&] {
        QComboBox* c = box(grass).combo('C');
        ASSERT_GT(c->count(), 2);
        c->setFocus();
        c->setCurrentIndex(c->currentIndex() == 1 ? 2 : 1);
    });
    expectUndoable("map combo", [&] {
        QComboBox* c = box(land).combo('C');
        ASSERT_GT(c->count(), 2);
        c->setFocus();
        c->setCurrentIndex(c->currentIndex() == 1 ? 2 : 1);
    });
    expectUndoable("create", [&] { ASSERT_TRUE(pane->createBoxOfType(TypeStones)); });
    // A box in the middle: its node is relabelled "Not active", the later ones renumbered.
    expectUndoable("delete", [&] {
        box(grass).deleteButton->setDown(true);
        a->deleteControl(false, true);
    });
    EXPECT_EQ(dzUndoStack->undoText(), "Delete (0001) GrassV1.0");
    expectUndoable("delete all", [&] {
        a->deleteAll();
        a->deleteAll();
    });
}

TEST_F(Steps, PaneWideStepsFoldsAndPlacingGoBackAndComeAgain)
{
    create(TypeLandscape);
    const int second = create(TypeLandscape);
    const int grass = create(TypeGrass);
    slider(second, "Hill")->setValue(100);
    flush();

    expectUndoable("place on another landscape", [&] {
        ASSERT_TRUE(pane->selectBox(grass));
        a->selector()->setCurrentIndex(box(grass).landscapeIndex == 0 ? 1 : 0);
        QMetaObject::invokeMethod(pane, "SwapLandscape", Qt::DirectConnection);
    });
    EXPECT_TRUE(dzUndoStack->undoText().startsWith("Place (0002) GrassV1.0 on (000"))
        << dzUndoStack->undoText().toStdString();

    // Folds, check boxes and pane-wide sliders keep no record: their state is the widgets'.
    auto widgets = [&] {
        return QList<int>{box(grass).sections.front()->isHidden(), a->merge()->isChecked(),
                          a->paneSliders()[2]->value()};
    };
    const QList<int> start = widgets();
    click(box(grass).showHideButton);
    click(a->merge());
    a->paneSliders()[2]->setValue(150);
    flush();
    EXPECT_EQ(dzUndoStack->undoText(), "Move 'Wind Strength 1'");
    const QList<int> changed = widgets();
    ASSERT_NE(changed[0], start[0]);
    ASSERT_NE(changed[1], start[1]);
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(widgets(), start);
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(dzUndoStack->redoStep());
    EXPECT_EQ(widgets(), changed);
}

TEST_F(Steps, ADragIsOneStepNamedByItsSliderAndATypedValueOneMore)
{
    create(TypeLandscape);
    const int grass = create(TypeGrass);
    const Fingerprint before = fingerprint();
    const int steps = dzUndoStack->count();

    DzIntSlider* s = slider(grass, "Height Min");
    QSlider* track = s->slider();
    track->setFocus();
    mouseAt(track, QEvent::MouseButtonPress);
    for (int v = 1; v <= 50; ++v) {
        s->setValue(20 + v);
        QApplication::processEvents();
    }
    mouseAt(track, QEvent::MouseButtonRelease);
    QApplication::processEvents();
    EXPECT_EQ(dzUndoStack->count(), steps + 1);
    EXPECT_EQ(dzUndoStack->undoText(), "Move 'Height Min' of (0001) GrassV1.0");
    const Fingerprint dragged = fingerprint();

    // A typed value is a step of its own.
    s->lineEdit()->setFocus();
    s->lineEdit()->setText("33");
    emit s->lineEdit()->editingFinished();
    flush();
    EXPECT_EQ(s->value(), 33);
    EXPECT_EQ(dzUndoStack->count(), steps + 2);

    ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(fingerprint(), dragged);
    ASSERT_TRUE(dzUndoStack->undoStep());
    EXPECT_EQ(s->value(), 20);
    EXPECT_EQ(fingerprint(), before);
}
