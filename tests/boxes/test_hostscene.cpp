#include "boxfixture.h"
#include "persistence/boxrecord.h"

namespace {

class HostScene : public BoxTest
{
protected:
    QString path(const QString& name) { return root.path() + "/" + name; }
    QString readFile(const QString& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    int notActiveNodes()
    {
        int n = 0;
        for (DzNode* node : dzScene->nodeList()) n += node->getLabel().endsWith("Not active") ? 1 : 0;
        return n;
    }
};

}  // namespace

TEST_F(HostScene, SavedSceneBringsItsBoxesBackOnce)
{
    addBox(TypeLandscape);
    addBox(TypeGrass);
    addBox(TypeTree);
    slider(0, "Size XZ")->setValue(321);
    slider(1, "Amount")->setValue(2468);
    slider(2, "Trunk Sides")->setValue(9);
    nodeOf(0)->setWSPos(DzVec3(5.f, 6.f, 7.f));
    a->saveModelData();
    const QString doc = a->model()->coolText();
    QString error;
    ASSERT_TRUE(dzScene->saveScene(path("a.duf"), &error)) << qPrintable(error);
    EXPECT_TRUE(readFile(path("a.duf")).contains("Verdix_text"));

    // A new scene: the pane keeps its boxes, the scene starts without the document.
    dzScene->clear();
    EXPECT_TRUE(a->model()->coolText().isEmpty());
    slider(1, "Amount")->setValue(1);
    a->merge()->setChecked(true);  // a host load replaces the boxes whatever it says

    ASSERT_TRUE(dzScene->loadScene(path("a.duf"), &error)) << qPrintable(error);
    EXPECT_EQ(a->status()->text(), "Scene load finished..");
    ASSERT_EQ(a->boxes().count(), 3);
    EXPECT_FALSE(a->merge()->isChecked());
    EXPECT_EQ(slider(1, "Amount")->getValue(), 2468);
    EXPECT_EQ(slider(2, "Trunk Sides")->getValue(), 9);
    // Each box finds the node saved with the scene by its title; none was relabelled.
    EXPECT_EQ(dzScene->getNumNodes(), 3);
    EXPECT_EQ(notActiveNodes(), 0);
    for (int i = 0; i < 3; ++i) ASSERT_NE(nodeOf(i), nullptr) << i;
    EXPECT_EQ(nodeOf(0)->getWSPos(), DzVec3(5.f, 6.f, 7.f));
    EXPECT_EQ(a->model()->coolText(), doc);
    EXPECT_EQ(a->lastLoadedScene(), dzScene->getFilename());

    // The same file again builds nothing: the boxes are already there.
    QGroupBox* kept = box(1).groupBox;
    slider(1, "Amount")->setValue(555);
    ASSERT_TRUE(dzScene->loadScene(path("a.duf"), &error));
    EXPECT_EQ(a->status()->text(), "Object added to scene!");
    EXPECT_EQ(box(1).groupBox, kept);
    EXPECT_EQ(slider(1, "Amount")->getValue(), 555);

    // An import (no scene file name of its own) leaves the boxes alone too.
    dzScene->clear();
    ASSERT_TRUE(dzScene->mergeScene(path("a.duf"), &error));
    EXPECT_EQ(a->status()->text(), "Object added to scene!");
    EXPECT_EQ(box(1).groupBox, kept);

    // After "Delete all" the same file rebuilds again.
    a->deleteAll();
    a->deleteAll();
    ASSERT_EQ(a->boxes().count(), 0);
    ASSERT_TRUE(dzScene->loadScene(path("a.duf"), &error));
    EXPECT_EQ(a->boxes().count(), 3);
    EXPECT_EQ(slider(1, "Amount")->getValue(), 2468);
}

TEST_F(HostScene, EmptyPaneWritesNoDocumentAndSceneWithoutOneKeepsTheBoxes)
{
    QString error;
    ASSERT_TRUE(dzScene->saveScene(path("empty.duf"), &error)) << qPrintable(error);
    EXPECT_FALSE(readFile(path("empty.duf")).contains("Verdix_text"));

    addBox(TypeGrass);
    ASSERT_TRUE(dzScene->loadScene(path("empty.duf"), &error));
    EXPECT_EQ(a->boxes().count(), 1);

    // A stored text that is no set document does not cost the pane its boxes either.
    auto* other = new DzNode;
    other->setLabel("Rock");
    dzScene->addNode(other);
    a->model()->setCoolText("garbage that is long enough");
    ASSERT_TRUE(dzScene->saveScene(path("bad.duf"), &error));
    ASSERT_TRUE(dzScene->loadScene(path("bad.duf"), &error));
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_NE(dzScene->findNodeByLabel("Rock"), nullptr);
}
