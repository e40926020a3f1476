#include "boxfixture.h"
#include <QComboBox>
#include <QLabel>

using Operations = BoxTest;

TEST_F(Operations, DeleteButtonCompactsAndRelabels)
{
    showPane();
    for (int k = 0; k < 3; ++k) addBox(TypeGrass);
    QGroupBox* second = box(1).groupBox;
    QGroupBox* third = box(2).groupBox;
    DzNode* nodes[] = {nodeOf(0), nodeOf(1), nodeOf(2)};
    slider(2, "Seed")->setValue(33);

    click(box(0).deleteButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(box(0).groupBox, second);
    EXPECT_EQ(box(1).groupBox, third);
    EXPECT_EQ(box(0).groupBox->title(), "(0000) GrassV1.0");
    EXPECT_EQ(box(1).titleLabel->text(), "(0001) GrassV1.0");
    EXPECT_EQ(slider(1, "Seed")->getValue(), 33);
    // Nodes stay in the scene and follow their boxes' titles.
    EXPECT_EQ(nodes[0]->getLabel(), "(0000) GrassV1.0 Not active");
    EXPECT_EQ(nodes[1]->getLabel(), "(0000) GrassV1.0");
    EXPECT_EQ(nodes[2]->getLabel(), "(0001) GrassV1.0");
    EXPECT_EQ(dzScene->getNumNodes(), 3);
    EXPECT_EQ(a->status()->text(), "Deleted control box 0");
    EXPECT_EQ(a->area()->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly).size(), 2);
    // The stored document lost the box.
    EXPECT_EQ(a->model()->coolText().count("GrassV1.0,"), 2);

    // A box whose node the user removed is still deleted, without the message.
    dzScene->removeNode(nodes[2]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    a->status()->clear();
    click(box(0).deleteButton);
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_EQ(a->status()->text(), "");
    // No button down: nothing is deleted.
    a->deleteControl(false, true);
    EXPECT_EQ(a->boxes().count(), 1);
}

TEST_F(Operations, LandscapeReferencesSurviveDeletion)
{
    // 0 land, 1 grass on 0, 2 land, 3 tree on 2, 4 grass on 2, 5 land (selected)
    addBox(TypeLandscape);
    a->selector()->setCurrentIndex(0);
    for (int t : {TypeGrass, TypeLandscape, TypeTree, TypeGrass, TypeLandscape}) addBox(t);
    EXPECT_EQ(box(1).landscapeIndex, 0);
    EXPECT_EQ(box(3).landscapeIndex, 2);
    box(3).landscapeIndex = 5;          // moved to the last landscape
    a->selector()->setCurrentIndex(1);  // "(0002) LandscapeV1.0"

    // Delete the first landscape: landscapes 2 and 5 become 1 and 4, and so do references;
    // the grass that stood on the deleted one stands on none.
    a->deleteControl(true, true);
    ASSERT_EQ(a->boxes().count(), 5);
    EXPECT_EQ(box(0).landscapeIndex, 0);
    EXPECT_EQ(box(2).landscapeIndex, 4);
    EXPECT_EQ(box(3).landscapeIndex, 1);
    // The selector lists the remaining landscapes under their new titles and still names
    // the landscape that was selected.
    EXPECT_EQ(a->selector()->count(), 2);
    EXPECT_EQ(a->selector()->itemText(0), "(0001) LandscapeV1.0");
    EXPECT_EQ(a->selector()->itemText(1), "(0004) LandscapeV1.0");
    EXPECT_EQ(a->selector()->currentText(), "(0001) LandscapeV1.0");
    EXPECT_EQ(a->findLandscape(a->selector()->currentText()), 1);

    // Deleting a non-landscape box renumbers the landscapes after it too.
    a->deleteControl(true, true);
    EXPECT_EQ(a->selector()->itemText(0), "(0000) LandscapeV1.0");
    EXPECT_EQ(a->selector()->currentText(), "(0000) LandscapeV1.0");
    EXPECT_EQ(box(1).landscapeIndex, 3);
    EXPECT_EQ(box(2).landscapeIndex, 0);
}

TEST_F(Operations, DeleteAllNeedsTwoPresses)
{
    for (int t : {TypeLandscape, TypeGrass, TypeGrass}) addBox(t);
    // Anything that highlights a box between the presses disarms it.
    for (bool highlight : {false, true}) {
        if (highlight) a->colourBox();
        a->deleteAll();
        EXPECT_EQ(a->boxes().count(), 3);
        EXPECT_EQ(a->status()->text(), "Press again to delete all 3 controls!");
    }
    int changes = 0;
    QObject::connect(a->model(), &VerdixSceneModel::coolTextChanged, [&](const QString&) { ++changes; });
    click(a->deleteAllButton());
    EXPECT_EQ(a->boxes().count(), 0);
    EXPECT_EQ(a->status()->text(), "Deleted all 3 controls!");
    EXPECT_EQ(a->selector()->count(), 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(a->model()->coolText(), "VerdixV1.0,6,2018\n;");
    // Each node was relabelled as its box left from the front.
    EXPECT_NE(dzScene->findNodeByLabel("(0000) LandscapeV1.0 Not active"), nullptr);
    EXPECT_EQ(dzScene->findNodeByLabel("(0000) GrassV1.0"), nullptr);
    EXPECT_EQ(dzScene->getNumNodes(), 3);
}

TEST_F(Operations, SelectionHighlightAndExternalObject)
{
    showPane();
    addBox(TypeGrass);
    addBox(TypeTree);
    // The image button selects the box and its node, and shows the icon.
    box(0).icon = QImage(8, 8, QImage::Format_RGB32);
    click(box(0).imageButton);
    EXPECT_EQ(a->selectedBox(), 0);
    EXPECT_EQ(box(0).groupBox->palette().color(QPalette::Window), QColor(0x008000));
    EXPECT_EQ(box(1).groupBox->palette().color(QPalette::Window), QColor(0x000001));
    EXPECT_EQ(dzScene->getPrimarySelection(), nodeOf(0));
    EXPECT_NE(a->preview()->pixmap(), nullptr);

    // Selecting a box's node in the scene selects the box.
    dzScene->setPrimarySelection(nodeOf(1));
    EXPECT_EQ(a->selectedBox(), 1);
    EXPECT_EQ(a->status()->text(), "Control box selected 1 On 0");
    EXPECT_EQ(a->externalObject(), nullptr);

    // A node of no box becomes the external object.
    auto* other = new DzNode;
    other->setLabel("Signpost");
    dzScene->addNode(other);
    dzScene->setPrimarySelection(other);
    EXPECT_EQ(a->status()->text(), "Object selected Signpost");
    EXPECT_EQ(a->externalObject(), other);

    // Blocked refreshes leave the selection alone.
    QMetaObject::invokeMethod(pane, "nodeAboutToRemove", Q_ARG(DzNode*, other));
    EXPECT_TRUE(VerdixFlags::refreshBlocked);
    ASSERT_EQ(a->selectedBox(), 0);  // the foreign node selected no box
    a->refreshSelected(nodeOf(1));
    EXPECT_EQ(a->selectedBox(), 0);
    EXPECT_EQ(a->externalObject(), nullptr);
    QMetaObject::invokeMethod(pane, "nodeRemoved", Q_ARG(DzNode*, other));
    EXPECT_FALSE(VerdixFlags::refreshBlocked);
}
