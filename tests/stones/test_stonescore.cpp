// The stone field's core: dome stones on their ground, tufts round their waists, the atlas,
// and wind ticks that rewrite the blades alone.
#include <gtest/gtest.h>
#include <atomic>
#include <cmath>
#include <vector>
#include <dzgeometry.h>
#include "grasstestutil.h"
#include "stones/stonescore.h"

namespace {

// A plane rising by rx per unit along x and rz along z.
struct Plane : GroundSampler
{
    float rx = 0.f, rz = 0.f, base = 0.f;
    mutable std::atomic<int> queries{0};
    float height(float x, float z) const override
    {
        ++queries;
        return base + rx * x + rz * z;
    }
};

struct Field
{
    StonesParams p;
    Field(int amount, int grass)
    {
        p.StoneAmount = amount;
        p.Grass = grass;
    }
    DzFacetMesh mesh;
    std::vector<float> cache;
    Plane ground;
    StonesUpdateInfo info;
    VxRandomStream rng;

    QString update(bool reset = true) { return updateStonesCore(p, rng, mesh, cache, ground, reset, &info); }
    int K() const { return p.ringVertices(); }
    int stoneVerts() const { return p.stones() * 8 * K(); }
    DzVec3 v(int k) const { return mesh.getVertex(k); }
    // Stone s's axis point on ring r: the mean of the ring.
    DzVec3 ringCentre(int s, int r) const
    {
        DzVec3 c;
        for (int j = 0; j < K(); ++j) c += v(s * 8 * K() + r * K() + j);
        return c / float(K());
    }
};

}  // namespace

TEST(StonesCore, StonesWithoutGrassAndTriangularStones)
{
    Field f(30, 0);
    ASSERT_EQ(f.update(), "");
    EXPECT_EQ(f.mesh.getNumVertices(), 30 * 8 * 12);
    EXPECT_EQ(f.mesh.getNumFacets(), 30 * 7 * 12);
    EXPECT_EQ(facetsOfMaterial(f.mesh, 1), 0);
    EXPECT_EQ(f.info.blades, 0);
    // Blade strip first, then one tile of 8 rings of 13 points.
    EXPECT_EQ(f.mesh.getUVs()->getNumValues(), 2 * 7 + 8 * 13);

    Field tri(5, 0);
    tri.p.StoneLOD = 3;
    ASSERT_EQ(tri.update(), "");
    EXPECT_EQ(tri.mesh.getNumVertices(), 5 * 24);
    // Each band closes on itself: the last quad of a band joins its last vertex to its first.
    const DzFacet& close = tri.mesh.getFacet(2);
    const int want[4] = {2, 0, 3, 5};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(close.m_vertIdx[k], want[k]) << k;
}

TEST(StonesCore, StonesLeanWithTheSlopeUnderThem)
{
    // Ground rising along +x (or +z): the stone's axis follows the normal (-0.5, 1, 0),
    // leaning downhill, and does not lean sideways.
    for (int axis = 0; axis < 2; ++axis) {
        Field f(10, 0);
        (axis == 0 ? f.ground.rx : f.ground.rz) = 0.5f;
        ASSERT_EQ(f.update(), "");
        EXPECT_TRUE(f.info.steep);
        for (int s = 0; s < 10; ++s) {
            const DzVec3 up = (f.ringCentre(s, 0) - f.ringCentre(s, 7)).normalized();
            EXPECT_NEAR((axis == 0 ? up.x() : up.z()) / up.y(), -0.5f, 1e-3f) << axis << " " << s;
            EXPECT_NEAR(axis == 0 ? up.z() : up.x(), 0.f, 1e-4f) << axis << " " << s;
        }
    }
    // Rising both ways is steep too; flat ground is not.
    for (float r : {0.2f, 0.f}) {
        Field f(50, 0);
        f.ground.rx = f.ground.rz = r;
        ASSERT_EQ(f.update(), "");
        EXPECT_EQ(f.info.steep, r != 0.f) << r;
    }
}

TEST(StonesCore, TuftsGrowRoundTheWaists)
{
    // "Grass" 1 gives every stone exactly one blade; single-blade clumps root at their spot.
    Field f(40, 1);
    f.p.ClumpMin = 1;
    f.p.ClumpRND = 1;
    f.p.GrassLOD = 4;
    ASSERT_EQ(f.update(), "");
    ASSERT_EQ(f.info.blades, 40);
    ASSERT_EQ(f.mesh.getNumVertices(), f.stoneVerts() + 40 * 10);
    EXPECT_EQ(facetsOfMaterial(f.mesh, 1), 40 * 4);
    // Blade quads use the shared strip: (0, 1, 2, 3), (3, 2, 5, 4), then +4 two back.
    const DzFacet& q1 = f.mesh.getFacet(f.mesh.getNumFacets() - 4 + 1);
    EXPECT_EQ(q1.m_uvwIdx[0], 3);
    EXPECT_EQ(q1.m_uvwIdx[2], 5);
    for (int b = 0; b < 40; ++b) {
        const DzVec3 root = (f.v(f.stoneVerts() + 10 * b) + f.v(f.stoneVerts() + 10 * b + 1)) * 0.5f;
        const DzVec3 waist = f.ringCentre(b, 4);
        const float d = std::hypot(root.x() - waist.x(), root.z() - waist.z());
        const float r = (f.v(b * 96 + 48) - waist).length();  // ring 4, vertex 0
        // Pushed out from the waist by 1 to 2.25 times, give or take the blade's own offset.
        EXPECT_GE(d, r - 0.25f) << b;
        EXPECT_LE(d, 2.25f * 1.5f * 0.95f * 5.f + 0.25f) << b;
        EXPECT_NEAR(root.y(), 0.f, 1e-4f) << "flat ground, no offset";
        // Blades stand up.
        EXPECT_GT(f.v(f.stoneVerts() + 10 * b + 8).y(), 5.f);
    }
}

TEST(StonesCore, WindTickRewritesOnlyTheBladesWithoutAskingTheGroundAndChecksItsCounts)
{
    for (int rough : {0, 60}) {
        Field f(80, 12);
        f.p.Rough = rough;
        f.p.StoneLOD = 9;
        f.ground.rx = 0.3f;  // steep: tufts stand on the ground under their roots
        ASSERT_EQ(f.update(), "");
        ASSERT_TRUE(f.info.steep);
        const int queries = f.ground.queries.load();
        const std::vector<DzVec3> before = vertices(f.mesh);
        const int facets = f.mesh.getNumFacets();

        f.p.phase = 37.f;
        f.p.Wind = 180;
        ASSERT_EQ(f.update(false), "") << "the tick lays out as many blades as the build";
        EXPECT_EQ(f.ground.queries.load(), queries);
        EXPECT_EQ(f.mesh.getNumFacets(), facets);
        EXPECT_EQ(f.info.stoneVerticesWritten, 0);
        EXPECT_EQ(f.info.bladeVerticesWritten, f.mesh.getNumVertices() - f.stoneVerts());
        const std::vector<DzVec3> after = vertices(f.mesh);
        for (int k = 0; k < f.stoneVerts(); ++k) ASSERT_EQ(after[size_t(k)], before[size_t(k)]) << k;
        int moved = 0;
        for (size_t k = size_t(f.stoneVerts()); k < after.size(); ++k) moved += after[k] != before[k] ? 1 : 0;
        EXPECT_GT(moved, int(after.size() - size_t(f.stoneVerts())) / 2) << rough;
        // Roots stay on the ground.
        const DzVec3 root = (after[size_t(f.stoneVerts())] + after[size_t(f.stoneVerts()) + 1]) * 0.5f;
        EXPECT_NEAR(root.y(), 0.3f * root.x(), 0.1f);

        // Back at the first phase, the tick gives back the built blades exactly.
        f.p.phase = 1.f;
        f.p.Wind = 100;
        ASSERT_EQ(f.update(false), "");
        EXPECT_EQ(vertices(f.mesh), before);

        // A tick over a mesh built for other counts reports the overflow.
        f.p.StoneAmount = 81;
        const QString msg = f.update(false);
        EXPECT_TRUE(msg.startsWith("Error: setVertex(index:")) << qPrintable(msg);
    }
}

TEST(StonesCore, SliderMaximaKeepTheBladeLimit)
{
    Field f(1000, 100);
    f.p.StoneLOD = 50;
    f.p.GrassLOD = 32;
    ASSERT_EQ(f.update(), "");
    EXPECT_EQ(f.info.blades, kMaxStoneBlades);
    EXPECT_EQ(f.mesh.getNumVertices(), 1000 * 8 * 50 + kMaxStoneBlades * 66);
    // Low level of detail: 20 stones.
    f.p.lowLOD = true;
    ASSERT_EQ(f.update(), "");
    EXPECT_EQ(f.p.stones(), 20);
    EXPECT_EQ(facetsOfMaterial(f.mesh, 0), 20 * 7 * 50);
}
