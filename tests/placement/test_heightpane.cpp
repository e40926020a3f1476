// The pane's height query: finding the terrain of a landscape box, its per-box mesh cache
// and the triangle flag.
#include <QtConcurrent/QtConcurrentRun>
#include <QFuture>
#include <thread>
#include "terrainbox.h"

using PaneHeightTest = TerrainBoxTest;

TEST_F(PaneHeightTest, ReadsTheLandscapesMeshAndOnlyLandscapes)
{
    const TestTerrain t = TestTerrain::make(4, 3, 2.f, bumpy);
    const int stones = addBox(TypeStones);
    const int l = landscape(t);
    // A landscape box without a node has no terrain.
    const int bare = addBox(TypeLandscape, false);
    box(bare).storedTiles = box(bare).storedDivisions = 2;
    box(bare).storedTileSize = 1.f;
    for (int other : {stones, 57, -1, bare}) EXPECT_EQ(pane->heightAt(other, 0.5f, 0.5f), 0.f) << other;
    EXPECT_NEAR(pane->heightAt(l, 1.3f, -2.2f), t.expected(1.3f, -2.2f), 1e-3);
    EXPECT_EQ(pane->heightAt(l, t.half() + 0.001f, 0.f), kHeightMiss);
    EXPECT_NEAR(pane->heightAt(l, t.half(), 0.f), t.expected(t.half(), 0.f), 1e-3);
}

TEST_F(PaneHeightTest, TriangleFlagFollowsTheLastGuiQueryThatFoundOne)
{
    const int l = landscape(TestTerrain::make(2, 2, 2.f, bumpy));
    // Upper right of cell (0, 0) is the first triangle, lower left the second.
    pane->heightAt(l, -1.6f, 1.9f);
    EXPECT_TRUE(pane->heightFirstTriangle());
    pane->heightAt(l, -1.9f, 1.1f);
    EXPECT_FALSE(pane->heightFirstTriangle());
    // A miss leaves it; a background query never touches it.
    pane->heightAt(l, 50.f, 0.f);
    EXPECT_FALSE(pane->heightFirstTriangle());
    // A thread of its own: waiting on a pool future may run the task right here.
    std::thread([&] { pane->heightAt(l, -1.6f, 1.9f); }).join();
    EXPECT_FALSE(pane->heightFirstTriangle());
    EXPECT_TRUE(pane->heightAnswer(l, -1.6f, 1.9f, nullptr, nullptr, nullptr).firstTriangle);
}

TEST_F(PaneHeightTest, RebuiltReplacedOrDeletedMeshIsNotReadThroughTheCache)
{
    const TestTerrain small = TestTerrain::make(2, 2, 3.f, bumpy);
    const int l = landscape(small);
    int i = 3, j = 3;
    EXPECT_NEAR(pane->heightAt(l, 2.f, -2.f, nullptr, &i, &j), small.expected(2.f, -2.f), 1e-3);

    // A new topology in a new mesh (as a renewed node gets): the stale cache must go.
    const TestTerrain big = TestTerrain::make(4, 3, 3.f, [](float x, float z) { return 0.3f * x + z; });
    auto* shape = qobject_cast<DzFacetShape*>(nodeOf(l)->getObject()->getShape(0));
    auto* fresh = new DzFacetMesh;
    big.fill(fresh);
    shape->setFacetMesh(fresh);
    box(l).storedTiles = big.tiles;
    box(l).storedDivisions = big.divisions;
    pane->clearTerrainMeshCache(l);
    // Caches from the old grid still lead to the right cell of the new one.
    EXPECT_NEAR(pane->heightAt(l, 5.f, -4.f, nullptr, &i, &j), 0.3 * 5 - 4, 1e-3);
    EXPECT_NEAR(pane->heightAt(l, -5.9f, 5.9f), 0.3 * -5.9 + 5.9, 1e-3);
    EXPECT_EQ(pane->heightAt(l, 6.01f, 0.f), kHeightMiss);

    // Rewritten in place: same mesh, new heights, no clearing needed.
    store(l, TestTerrain::make(4, 3, 3.f, [](float, float) { return 7.f; }));
    EXPECT_FLOAT_EQ(pane->heightAt(l, 1.f, 1.f), 7.f);

    // The shape deletes its old mesh when given a new one, without anyone clearing the cache.
    auto* replacement = new DzFacetMesh(shape);
    TestTerrain::make(4, 3, 3.f, [](float, float) { return 5.f; }).fill(replacement);
    shape->setFacetMesh(replacement);
    EXPECT_FLOAT_EQ(pane->heightAt(l, 0.1f, 0.1f), 5.f);

    // The node goes with its object, shape and mesh.
    dzScene->removeNode(nodeOf(l));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(pane->heightAt(l, 0.1f, 0.1f), 0.f);
}

TEST_F(PaneHeightTest, ParallelQueriesMatchSerialOnes)
{
    const int l = landscape(TestTerrain::make(10, 10, 2.f, bumpy));
    std::vector<float> serial, xs, zs;
    for (int k = 0; k < 4000; ++k) {
        xs.push_back(-9.9f + (k % 97) * 0.2f);
        zs.push_back(9.9f - (k % 89) * 0.22f);
    }
    int si = 0, sj = 0;
    for (size_t k = 0; k < xs.size(); ++k) serial.push_back(pane->heightAt(l, xs[k], zs[k], nullptr, &si, &sj));
    pane->clearTerrainMeshCache(l);  // the tasks race to fill it
    std::vector<std::vector<float>> got(4);
    QList<QFuture<void>> running;
    for (int th = 0; th < 4; ++th)
        running << QtConcurrent::run([&, th] {
            int i = 0, j = 0;
            for (size_t k = 0; k < xs.size(); ++k)
                got[size_t(th)].push_back(pane->heightAt(l, xs[k], zs[k], nullptr, &i, &j));
        });
    for (QFuture<void>& f : running) f.waitForFinished();
    for (int th = 0; th < 4; ++th) EXPECT_EQ(got[size_t(th)], serial);
}
