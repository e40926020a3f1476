#include <QtConcurrent>
#include <gtest/gtest.h>
#include <cmath>
#include <set>

#include "grasstestutil.h"
#include "common/verdixrandom.h"

namespace {

// One patch over a ground that counts its queries, or one that records the clump roots.
template <class Ground = CountingGround>
struct Patch
{
    GrassParams p;
    DzFacetMesh mesh;
    std::vector<float> cache;
    Ground g;
    GrassUpdateInfo info;
    VxRandomStream rng;
    explicit Patch(int amount, int lod, int clump = 0)
    {
        p.Amount = amount;
        p.GrassLOD = lod;
        if (clump) p.ClumpMin = p.ClumpRND = clump;
    }
    QString update(bool reset = true) { return updateGrassCore(p, rng, mesh, cache, g, reset, &info); }
    float y(int k) const { return mesh.getVertex(k).y(); }
};

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

}  // namespace

TEST(VerdixRandom, FollowsTheLcgAndIsPerThread)
{
    vxSrand(0);
    // state 2531011 -> 38; next state 2531011*214013+2531011 mod 2^32 -> 7719
    EXPECT_EQ(vxRand(), 38);
    EXPECT_EQ(vxRand(), 7719);
    vxSrand(5);
    const int five = vxRand();
    vxSrand(12345);
    const int mine = vxRand();
    vxSrand(12345);
    EXPECT_EQ(QtConcurrent::run([] {
                  vxSrand(5);
                  return vxRand();
              }).result(),
              five);
    EXPECT_EQ(vxRand(), mine) << "the worker's seeding disturbed this thread's sequence";
}

// A pass seeds the generator it is handed and touches no other: what it left there, or what
// the thread's generator holds, cannot change a later pass of another box.
TEST(VerdixRandom, APassDrawsFromItsOwnGeneratorOnly)
{
    vxSrand(777);
    const int next = vxRand();
    vxSrand(777);
    Patch<> a(300, 3), b(300, 3);
    a.p = b.p = smallPatch();
    b.rng.seed(99u);
    ASSERT_EQ(a.update(), QString());
    ASSERT_EQ(b.update(), QString());
    EXPECT_EQ(vxRand(), next) << "a pass moved the thread's generator";
    EXPECT_EQ(a.rng.state, b.rng.state);
    EXPECT_NE(a.rng.state, VxRandomStream().state) << "the pass drew from another generator";
    ASSERT_EQ(a.mesh.getNumVertices(), b.mesh.getNumVertices());
    for (int k = 0; k < a.mesh.getNumVertices(); ++k) ASSERT_EQ(a.mesh.getVertex(k), b.mesh.getVertex(k)) << k;
}

TEST(GrassCore, CacheIsFilledOncePerClumpAndThenSparesTheTerrain)
{
    Patch<> f(0, 0);
    f.p = smallPatch();
    // A first tick with no cache must fill it even though it asked not to.
    ASSERT_TRUE(f.update(false).isEmpty());
    EXPECT_TRUE(f.info.refilled);
    EXPECT_EQ(f.cache.size(), size_t(10000));
    EXPECT_EQ(f.g.queries.load(), f.info.clumps);
    EXPECT_GT(f.info.clumps, 600 / 4);
    EXPECT_LT(f.info.clumps, 600);
    const auto first = vertices(f.mesh);
    for (bool reset : {false, true}) {
        f.g.queries = 0;
        ASSERT_TRUE(f.update(reset).isEmpty());
        EXPECT_EQ(f.g.queries.load(), reset ? f.info.clumps : 0);
        EXPECT_EQ(f.info.refilled, reset);
        EXPECT_TRUE(vertices(f.mesh) == first);
    }
    // More blades than the cache holds: it grows to fit and refills.
    f.p.Amount = 25000;
    f.p.GrassLOD = 1;
    f.g.queries = 0;
    ASSERT_TRUE(f.update(false).isEmpty());
    EXPECT_EQ(f.cache.size(), size_t(25000));
    EXPECT_TRUE(f.info.refilled);
    EXPECT_EQ(f.g.queries.load(), f.info.clumps);
}

TEST(GrassCore, OnlyBladeCountOrDetailRebuildTheTopology)
{
    Patch<> f(0, 0);
    f.p = smallPatch();
    f.update();
    EXPECT_TRUE(f.info.rebuilt);
    const DzFacet* facets = f.mesh.getFacetsPtr();
    f.p.HeightMin = 90;
    f.p.Shape = 100;
    f.p.Rotate = 30;
    EXPECT_FALSE(grassTopologyStale(f.p, f.mesh));
    f.update();
    EXPECT_FALSE(f.info.rebuilt);
    EXPECT_EQ(f.mesh.getFacetsPtr(), facets);  // the very same facet array

    // 700 blades; then 1000 blades of 6 segments and 1400 of 4, which both need 14000
    // vertices: the facets still differ.
    for (auto [amount, lod] : {std::pair(700, 5), std::pair(1000, 6), std::pair(1400, 4)}) {
        f.p.Amount = amount;
        f.p.GrassLOD = lod;
        EXPECT_TRUE(grassTopologyStale(f.p, f.mesh)) << amount;
        f.update();
        EXPECT_TRUE(f.info.rebuilt) << amount;
        EXPECT_EQ(f.mesh.getNumFacets(), lod * amount);
        EXPECT_EQ(f.mesh.getNumVertices(), 2 * (lod + 1) * amount);
    }
    EXPECT_EQ(f.mesh.getUVs()->getNumValues(), 10);
}

TEST(GrassCore, BladesAreStripsOfQuadsThatAllTurnTheSameWay)
{
    GrassParams p;
    p.Amount = 3;
    p.GrassLOD = 4;
    DzFacetMesh mesh;
    VxRandomStream rng;
    addPolyGrassCore(p, rng, mesh);
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
        for (int j = 0; j < 3; ++j) EXPECT_EQ(uv->getPnt2Value(f.m_uvwIdx[j]).u, j ? 1.f : 0.f) << i;
    }
}

TEST(GrassCore, ClumpsShareOneRootAndSizeOneGivesEachBladeItsOwn)
{
    Patch<> f(400, 2, 1);
    f.update();
    EXPECT_EQ(f.info.clumps, 400);
    std::set<float> grounds;
    for (int b = 0; b < 400; ++b) grounds.insert(f.y(b * 6));
    EXPECT_GT(grounds.size(), size_t(390));

    f.p.ClumpMin = 5;  // every clump exactly five blades
    f.update();
    EXPECT_EQ(f.info.clumps, 80);
    for (int b = 0; b < 400; ++b) EXPECT_EQ(f.y(b * 6), f.y(b / 5 * 5 * 6)) << b;

    // Out-of-range values from a record cannot divide by zero.
    f.p.ClumpRND = f.p.ClumpMin = f.p.HeightRND = 0;
    EXPECT_TRUE(f.update().isEmpty());
    EXPECT_EQ(f.info.clumps, 400);
}

TEST(GrassCore, RoundPatchesAndSectors)
{
    auto roots = [](int shape, int sector) {
        Patch<RecordingGround> f(4000, 1, 1);
        f.p.AreaSizeX = f.p.AreaSizeZ = 100;
        f.p.Ring = 10;
        f.p.Shape = shape;
        f.p.SectorSize = sector;
        f.p.SectorStart = 0;
        f.update();
        return f.g.roots;
    };
    const float limit = 0.99f * (100 + 10);
    float maxR = 0.f;
    int below = 0;
    for (auto [x, z] : roots(100, 0)) {
        const float r = std::sqrt(x * x + z * z);
        maxR = std::max(maxR, r);
        EXPECT_LE(r, limit * 1.0001f);
        EXPECT_GE(r, 0.99f * 10 * 0.999f);  // the ring leaves a hole
        below += x + z < 0;
    }
    EXPECT_GT(maxR, limit * 0.98f);
    EXPECT_NEAR(below, 2000, 200);

    // Half a sector: every root on one side of the patch, both quarters of that side used.
    int left = 0, right = 0;
    for (auto [x, z] : roots(100, 180)) {
        EXPECT_GE(x + z, -0.01f);
        (x > z ? right : left)++;
    }
    EXPECT_GT(left, 1500);
    EXPECT_GT(right, 1500);

    // The rounded-square outline reaches past the circle toward the corners.
    float maxOutline = 0.f;
    for (auto [x, z] : roots(1, 0)) maxOutline = std::max(maxOutline, std::sqrt(x * x + z * z));
    EXPECT_GT(maxOutline, limit * 1.05f);
}

TEST(GrassCore, RectangleCoversTheAreaAndEdgeFallOffFollowsThePatch)
{
    auto patch = [](int fallOff, int moveX, int moveZ) {
        auto f = std::make_unique<Patch<RecordingGround>>(3000, 3, 1);
        f->p.AreaSizeX = 200;
        f->p.AreaSizeZ = 50;
        f->p.Ring = 0;
        f->p.FullOffX = fallOff;
        f->p.MoveX = moveX;
        f->p.MoveZ = moveZ;
        f->update();
        return f;
    };
    const auto plain = patch(0, 0, 0);
    float minX = 1e9f, maxX = -1e9f, maxZ = 0.f;
    for (auto [x, z] : plain->g.roots) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        maxZ = std::max(maxZ, std::fabs(z));
    }
    EXPECT_NEAR(minX, -200.f, 2.f);
    EXPECT_NEAR(maxX, 200.f, 2.f);
    EXPECT_NEAR(maxZ, 50.f, 1.f);

    // Without fall-off nothing is shortened; with it some blades are, and moving the patch
    // does not change which.
    auto heights = [](const DzFacetMesh& m) {
        std::vector<float> ys;
        for (const DzVec3& v : vertices(m)) ys.push_back(v.y());
        return ys;
    };
    const auto faded = heights(patch(100, 0, 0)->mesh);
    EXPECT_FALSE(heights(plain->mesh) == faded);
    EXPECT_TRUE(heights(patch(100, 5000, -3000)->mesh) == faded);
    EXPECT_TRUE(heights(patch(0, 5000, 0)->mesh) == heights(plain->mesh));
}
