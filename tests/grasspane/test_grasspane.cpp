#include <thread>
#include <dzmaterial.h>
#include "grasspaneaccess.h"
#include "vegetation/grassbox.h"

TEST_F(GrassPaneTest, CreateBuildsTheNodeMaterialAndFullPatch)
{
    const int i = grass();
    DzNode* node = dzScene->findNodeByLabel("(0000) GrassV1.0");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->getAssetId(), "grass");
    auto* shape = qobject_cast<DzFacetShape*>(node->getObject()->getShape(0));
    ASSERT_NE(shape, nullptr);
    ASSERT_NE(shape->findMaterial("Grass"), nullptr);
    DzFacetMesh* m = mesh(i);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->getNumVertices(), 2 * 7 * 1000);
    EXPECT_EQ(m->getNumFacets(), 6 * 1000);
    EXPECT_EQ(a->status()->text(), "Added grass");

    // Box 0 goes away but its node stays; the next box 0 finds the node under its title.
    const std::vector<DzVec3> first = verts(i);
    a->deleteControl();
    ASSERT_NE(dzScene->findNodeByLabel("(0000) GrassV1.0"), nullptr);
    a->createGrass();
    ASSERT_EQ(a->boxes().count(), 1);
    EXPECT_TRUE(verts(0) == first);
    EXPECT_EQ(generatorOf<GrassBox>(a->boxes()[0])->lastPass.clumps, 0) << "no pass ran over the kept node";
}

TEST_F(GrassPaneTest, TaskPassUsesTheSnapshotNotTheWidgets)
{
    const int i = grass(200);
    const std::vector<DzVec3> before = verts(i);
    a->setLoading(true);
    slider(i, "Seed")->setValue(500);
    a->setLoading(false);
    // Without a GUI-thread capture the worker keeps the sliders it last saw.
    std::thread([this, i] { a->updateGrass(i, false); }).join();
    EXPECT_EQ(generatorOf<GrassBox>(a->boxes()[i])->params.Seed, 0);
    EXPECT_TRUE(verts(i) == before);
    a->captureGrass(i);
    std::thread([this, i] { a->updateGrass(i, false); }).join();
    EXPECT_FALSE(verts(i) == before);
}

TEST_F(GrassPaneTest, LowLevelOfDetailShowsAHundredBlades)
{
    const int i = grass(5000);
    for (bool low : {true, false}) {
        a->lowLod()->setChecked(low);
        a->lowLODMode();
        EXPECT_EQ(a->lowLODFlag(), low);
        EXPECT_EQ(a->status()->text(), low ? "Low LOD enabled" : "Low LOD disabled");
        EXPECT_EQ(mesh(i)->getNumVertices(), 2 * 7 * (low ? 100 : 5000));
        EXPECT_FALSE(VerdixFlags::refreshBlocked);
        EXPECT_FALSE(a->busy());
    }
}

TEST_F(GrassPaneTest, FailuresLeaveTheMeshAndSayWhy)
{
    const int i = grass(100);
    dzScene->removeNode(dzScene->findNodeByLabel("(0000) GrassV1.0"));
    a->updateGrass(i, true);
    EXPECT_EQ(a->status()->text(), "Error: Mesh (0000) GrassV1.0 missing!");

    // A node without an object, an object without shapes, a shape without geometry.
    auto* bare = new DzNode;
    bare->setLabel("(0000) GrassV1.0");
    dzScene->addNode(bare);
    a->updateGrass(i, true);
    EXPECT_EQ(a->status()->text(), "Missing object!");
    bare->setObject(new DzObject);
    a->updateGrass(i, true);
    EXPECT_EQ(a->status()->text(), "No shapes in object!");
    bare->getObject()->addShape(new DzFacetShape);
    a->updateGrass(i, true);
    EXPECT_EQ(a->status()->text(), "No geometry in object!");

    // From a worker the message reaches the label through the GUI thread.
    a->status()->clear();
    std::thread([this, i] { a->updateGrass(i, false); }).join();
    QApplication::processEvents();
    EXPECT_EQ(a->status()->text(), "No geometry in object!");
}
