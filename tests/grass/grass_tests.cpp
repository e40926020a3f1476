#include <QtConcurrent>
#include <gtest/gtest.h>
#include <cmath>
#include <set>

#include "grasstestutil.h"
#include "plugin/verdixrandom.h"

namespace {

GrassParams smallPatch()
{
    GrassParams p;
    p.Amount = 600;
    p.GrassLOD = 5;
    p.Seed = 17;
    p.boxIndex = 3;
    p.phase = 42.f;
    p.WindSpeed2 = 30;
    return p;
}

std::vector<DzVec3> run(const GrassParams& p, bool reset = true)
{
    DzFacetMesh mesh;
    std::vector<float> cache;
    CountingGround g;
    EXPECT_TRUE(updateGrassCore(p, mesh, cache, g, reset).isEmpty());
    return vertices(mesh);
}

} // namespace

TEST(VerdixRandom, FollowsTheLcgAndIsPerThread)
{
    vxSrand(0);
    // state 2531011 -> 38; next state 2531011*214013+2531011 mod 2^32 -> 7719
    EXPECT_EQ(vxRand(), 38);
    EXPECT_EQ(vxRand(), 7719);
    vxSrand(5);
    const int mainFirst = vxRand();
    vxSrand(12345);
    const int other = QtConcurrent::run([] { vxSrand(5); return vxRand(); }).result();
    EXPECT_EQ(other, mainFirst);
    // The worker's seeding did not disturb this thread's sequence.
    vxSrand(12345);
    const int a = vxRand();
    vxSrand(12345);
    EXPECT_EQ(a, vxRand());
}

TEST(GrassCore, SamePassTwiceAndOnAWorkerThreadGivesIdenticalVertices)
{
    const GrassParams p = smallPatch();
    const auto a = run(p);
    const auto b = run(p);
    const auto c = QtConcurrent::run([p] { return run(p); }).result();
    ASSERT_EQ(a.size(), size_t(2 * 6 * 600));
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == c);

    // The wind moves blades, the seed moves everything.
    GrassParams later = p;
    later.phase += 1.f;
    EXPECT_FALSE(run(later) == a);
    GrassParams other = p;
    other.Seed += 1;
    EXPECT_FALSE(run(other) == a);
}

TEST(GrassCore, CacheIsFilledOncePerClumpAndThenSparesTheTerrain)
{
    GrassParams p = smallPatch();
    DzFacetMesh mesh;
    std::vector<float> cache;
    CountingGround g;
    GrassUpdateInfo info;

    // A first tick with no cache must fill it even though it asked not to.
    ASSERT_TRUE(updateGrassCore(p, mesh, cache, g, false, &info).isEmpty());
    EXPECT_TRUE(info.refilled);
    EXPECT_EQ(cache.size(), size_t(10000));
    EXPECT_EQ(g.queries.load(), info.clumps);
    EXPECT_GT(info.clumps, 600 / 4);
    EXPECT_LT(info.clumps, 600);
    const auto first = vertices(mesh);

    g.queries = 0;
    ASSERT_TRUE(updateGrassCore(p, mesh, cache, g, false, &info).isEmpty());
    EXPECT_EQ(g.queries.load(), 0);
    EXPECT_FALSE(info.refilled);
    EXPECT_TRUE(vertices(mesh) == first);

    ASSERT_TRUE(updateGrassCore(p, mesh, cache, g, true, &info).isEmpty());
    EXPECT_EQ(g.queries.load(), info.clumps);

    // More blades than the cache holds: it grows to fit and refills.
    p.Amount = 25000;
    p.GrassLOD = 1;
    g.queries = 0;
    ASSERT_TRUE(updateGrassCore(p, mesh, cache, g, false, &info).isEmpty());
    EXPECT_EQ(cache.size(), size_t(25000));
    EXPECT_TRUE(info.refilled);
    EXPECT_EQ(g.queries.load(), info.clumps);
}

TEST(GrassCore, OnlyBladeCountOrDetailRebuildTheTopology)
{
    GrassParams p = smallPatch();
    DzFacetMesh mesh;
    std::vector<float> cache;
    CountingGround g;
    GrassUpdateInfo info;
    updateGrassCore(p, mesh, cache, g, true, &info);
    EXPECT_TRUE(info.rebuilt);
    const DzFacet* facets = mesh.getFacetsPtr();
    const std::vector<DzFacet> before(facets, facets + mesh.getNumFacets());

    GrassParams q = p;
    q.HeightMin = 90;
    q.Shape = 100;
    q.Rotate = 30;
    EXPECT_FALSE(grassTopologyStale(q, mesh));
    updateGrassCore(q, mesh, cache, g, true, &info);
    EXPECT_FALSE(info.rebuilt);
    EXPECT_EQ(mesh.getFacetsPtr(), facets); // the very same facet array
    ASSERT_EQ(mesh.getNumFacets(), int(before.size()));

    q.Amount = 700;
    EXPECT_TRUE(grassTopologyStale(q, mesh));
    updateGrassCore(q, mesh, cache, g, true, &info);
    EXPECT_TRUE(info.rebuilt);
    EXPECT_EQ(mesh.getNumFacets(), 5 * 700);

    // 1000 blades of 6 segments and 1400 of 4 both need 14000 vertices: the facets still differ.
    q.Amount = 1000;
    q.GrassLOD = 6;
    updateGrassCore(q, mesh, cache, g, true);
    q.Amount = 1400;
    q.GrassLOD = 4;
    EXPECT_TRUE(grassTopologyStale(q, mesh));
    updateGrassCore(q, mesh, cache, g, true, &info);
    EXPECT_TRUE(info.rebuilt);
    EXPECT_EQ(mesh.getNumVertices(), 14000);
    EXPECT_EQ(mesh.getNumFacets(), 4 * 1400);
    EXPECT_EQ(mesh.getUVs()->getNumValues(), 10);
}

TEST(GrassCore, BladesAreStripsOfQuadsThatAllTurnTheSameWay)
{
    GrassParams p;
    p.Amount = 3;
    p.GrassLOD = 4;
    DzFacetMesh mesh;
    addPolyGrassCore(p, mesh);
    ASSERT_EQ(mesh.getNumVertices(), 30);
    ASSERT_EQ(mesh.getNumFacets(), 12);
    const DzMap* uv = mesh.getUVs();
    ASSERT_EQ(uv->getNumValues(), 10);
    for (int i = 0; i < mesh.getNumFacets(); ++i) {
        const DzFacet& f = mesh.getFacet(i);
        // Each quad within its own blade's ten vertices, sharing the edge of the one below.
        for (int j = 0; j < 4; ++j) EXPECT_EQ(f.m_vertIdx[j] / 10, i / 4) << i;
        if (i % 4) EXPECT_EQ(f.m_vertIdx[0], mesh.getFacet(i - 1).m_vertIdx[3]) << i;
        // The positive-x edge (u = 1) follows the negative one.
        EXPECT_EQ(uv->getPnt2Value(f.m_uvwIdx[0]).u, 0.f);
        EXPECT_EQ(uv->getPnt2Value(f.m_uvwIdx[1]).u, 1.f);
        EXPECT_EQ(uv->getPnt2Value(f.m_uvwIdx[2]).u, 1.f);
    }
    // Rebuilding with other counts replaces the topology rather than appending to it.
    p.Amount = 2;
    addPolyGrassCore(p, mesh);
    EXPECT_EQ(mesh.getNumVertices(), 20);
    EXPECT_EQ(mesh.getNumFacets(), 8);
    EXPECT_EQ(mesh.getUVs()->getNumValues(), 10);
}

TEST(GrassCore, ClumpsShareOneRootAndSizeOneGivesEachBladeItsOwn)
{
    GrassParams p;
    p.Amount = 400;
    p.GrassLOD = 2;
    p.ClumpMin = 1;
    p.ClumpRND = 1;
    DzFacetMesh mesh;
    std::vector<float> cache;
    CountingGround g;
    GrassUpdateInfo info;
    updateGrassCore(p, mesh, cache, g, true, &info);
    EXPECT_EQ(info.clumps, 400);
    std::set<float> grounds;
    for (int b = 0; b < 400; ++b) grounds.insert(mesh.getVertex(b * 6).y());
    EXPECT_GT(grounds.size(), size_t(390));

    p.ClumpMin = 5; // every clump exactly five blades
    updateGrassCore(p, mesh, cache, g, true, &info);
    EXPECT_EQ(info.clumps, 80);
    for (int c = 0; c < 80; ++c) {
        const float y0 = mesh.getVertex(c * 5 * 6).y();
        for (int j = 1; j < 5; ++j) EXPECT_EQ(mesh.getVertex((c * 5 + j) * 6).y(), y0);
    }

    // Out-of-range values from a record cannot divide by zero.
    p.ClumpRND = 0;
    p.ClumpMin = 0;
    p.HeightRND = 0;
    EXPECT_TRUE(updateGrassCore(p, mesh, cache, g, true, &info).isEmpty());
    EXPECT_EQ(info.clumps, 400);
}

TEST(GrassCore, RoundPatchesAndSectors)
{
    GrassParams p;
    p.Amount = 4000;
    p.GrassLOD = 1;
    p.ClumpMin = 1;
    p.ClumpRND = 1;
    p.AreaSizeX = p.AreaSizeZ = 100;
    p.Ring = 10;
    p.Shape = 100;
    auto roots = [](const GrassParams& q) {
        DzFacetMesh mesh;
        std::vector<float> cache;
        RecordingGround g;
        updateGrassCore(q, mesh, cache, g, true);
        return g.roots;
    };
    const float limit = 0.99f * (100 + 10);
    float maxR = 0.f;
    int below = 0;
    for (auto [x, z] : roots(p)) {
        const float r = std::sqrt(x * x + z * z);
        maxR = std::max(maxR, r);
        EXPECT_LE(r, limit * 1.0001f);
        EXPECT_GE(r, 0.99f * 10 * 0.999f); // the ring leaves a hole
        if (x + z < 0) ++below;
    }
    EXPECT_GT(maxR, limit * 0.98f);
    EXPECT_NEAR(below, 2000, 200);

    // Half a sector: every root on one side of the patch, both quarters of that side used.
    p.SectorSize = 180;
    p.SectorStart = 0;
    int left = 0, right = 0;
    for (auto [x, z] : roots(p)) {
        EXPECT_GE(x + z, -0.01f);
        (x > z ? right : left)++;
    }
    EXPECT_GT(left, 1500);
    EXPECT_GT(right, 1500);

    // The rounded-square outline reaches past the circle toward the corners.
    p.SectorSize = 0;
    p.Shape = 1;
    float maxOutline = 0.f;
    for (auto [x, z] : roots(p)) maxOutline = std::max(maxOutline, std::sqrt(x * x + z * z));
    EXPECT_GT(maxOutline, limit * 1.05f);
}

TEST(GrassCore, RectangleCoversTheAreaAndEdgeFallOffFollowsThePatch)
{
    GrassParams p;
    p.Amount = 3000;
    p.GrassLOD = 3;
    p.ClumpMin = 1;
    p.ClumpRND = 1;
    p.AreaSizeX = 200;
    p.AreaSizeZ = 50;
    p.Ring = 0;
    DzFacetMesh mesh;
    std::vector<float> cache;
    RecordingGround g;
    updateGrassCore(p, mesh, cache, g, true);
    float minX = 1e9f, maxX = -1e9f, maxZ = 0.f;
    for (auto [x, z] : g.roots) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        maxZ = std::max(maxZ, std::fabs(z));
    }
    EXPECT_NEAR(minX, -200.f, 2.f);
    EXPECT_NEAR(maxX, 200.f, 2.f);
    EXPECT_NEAR(maxZ, 50.f, 1.f);

    // Without fall-off nothing is shortened; with it some blades are, and moving or turning the
    // patch does not change which.
    auto heights = [](const GrassParams& q) {
        DzFacetMesh m;
        std::vector<float> c;
        RecordingGround rg;
        updateGrassCore(q, m, c, rg, true);
        std::vector<float> ys;
        for (int i = 0; i < m.getNumVertices(); ++i) ys.push_back(m.getVertex(i).y());
        return ys;
    };
    GrassParams withFallOff = p;
    withFallOff.FullOffX = 100;
    const auto plain = heights(p);
    const auto faded = heights(withFallOff);
    EXPECT_FALSE(plain == faded);
    GrassParams moved = withFallOff;
    moved.MoveX = 5000;
    moved.MoveZ = -3000;
    EXPECT_TRUE(heights(moved) == faded);
    GrassParams movedPlain = p;
    movedPlain.MoveX = 5000;
    EXPECT_TRUE(heights(movedPlain) == plain);
}
