// Host scenes and the boxes: what each generator's boxes bring back is checked with the
// generators; here, when a scene rebuilds the pane's boxes and when it leaves them alone.
#include "boxfixture.h"

namespace {

class HostScene : public BoxTest
{
protected:
    QString path(const QString& name) { return root.path() + "/" + name; }
    bool fileHasDocument(const QString& name)
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("Verdix_text");
    }
    bool save(const QString& name) { return dzScene->saveScene(path(name), nullptr); }
    bool load(const QString& name) { return dzScene->loadScene(path(name), nullptr); }
};

}  // namespace

TEST_F(HostScene, SavedSceneBringsItsBoxesBackOnce)
{
    for (int t : {TypeLandscape, TypeGrass, TypeTree}) addBox(t);
    slider(1, "Amount")->setValue(2468);
    nodeOf(0)->setWSPos(DzVec3(5.f, 6.f, 7.f));
    a->saveModelData();
    const QString doc = a->model()->coolText();
    ASSERT_TRUE(save("a.duf"));
    EXPECT_TRUE(fileHasDocument("a.duf"));

    // A new scene empties the pane with it: no box is left whose node is gone.
    a->status()->setText("Error: Mesh (0001) GrassV1.0 missing!");
    dzScene->clear();
    EXPECT_TRUE(a->model()->coolText().isEmpty());
    EXPECT_EQ(a->boxes().count(), 0);
    EXPECT_EQ(a->selector()->count(), 0);
    EXPECT_TRUE(a->status()->text().isEmpty());
    EXPECT_TRUE(a->lastLoadedScene().isEmpty());
    // A box made in the new scene; a host load replaces the boxes whatever "Merge" says.
    addBox(TypeGrass);
    slider(0, "Amount")->setValue(1);
    a->merge()->setChecked(true);
    ASSERT_TRUE(load("a.duf"));
    EXPECT_EQ(a->status()->text(), "Scene load finished..");
    ASSERT_EQ(a->boxes().count(), 3);
    EXPECT_FALSE(a->merge()->isChecked());
    EXPECT_EQ(pane->setDocumentText(), doc);
    // Each box finds the node saved with the scene by its title; none was relabelled.
    EXPECT_EQ(dzScene->getNumNodes(), 3);
    for (int i = 0; i < 3; ++i) ASSERT_NE(nodeOf(i), nullptr) << i;
    EXPECT_EQ(nodeOf(0)->getWSPos(), DzVec3(5.f, 6.f, 7.f));
    EXPECT_EQ(a->lastLoadedScene(), dzScene->getFilename());

    // The same file again, or an import (no scene file name of its own), builds nothing:
    // the boxes are already there.
    QGroupBox* kept = box(1).groupBox;
    slider(1, "Amount")->setValue(555);
    ASSERT_TRUE(load("a.duf"));
    EXPECT_EQ(a->status()->text(), "Object added to scene!");
    ASSERT_TRUE(dzScene->mergeScene(path("a.duf"), nullptr));
    EXPECT_EQ(a->status()->text(), "Object added to scene!");
    EXPECT_EQ(box(1).groupBox, kept);
    EXPECT_EQ(slider(1, "Amount")->getValue(), 555);

    // After "Delete all" the same file rebuilds again.
    a->deleteAll();
    a->deleteAll();
    ASSERT_TRUE(load("a.duf"));
    EXPECT_EQ(a->boxes().count(), 3);
    EXPECT_EQ(slider(1, "Amount")->getValue(), 2468);
}

TEST_F(HostScene, EmptyPaneWritesNoDocumentAndSceneWithoutOneKeepsTheBoxes)
{
    ASSERT_TRUE(save("empty.duf"));
    EXPECT_FALSE(fileHasDocument("empty.duf"));
    addBox(TypeGrass);
    ASSERT_TRUE(load("empty.duf"));
    EXPECT_EQ(a->boxes().count(), 1);

    // A stored text that is no set document does not cost the pane its boxes either.
    auto* other = new DzNode;
    other->setLabel("Rock");
    dzScene->addNode(other);
    a->model()->setCoolText("garbage that is long enough");
    ASSERT_TRUE(save("bad.duf"));
    ASSERT_TRUE(load("bad.duf"));
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_NE(dzScene->findNodeByLabel("Rock"), nullptr);
}
