// The billboard field's core: stars of planes facing the camera, the sprite sheet and its
// animation, the layout and the ground cache, without a pane.
#include <gtest/gtest.h>
#include <atomic>
#include <cmath>
#include <set>
#include <vector>
#include <dzgeometry.h>
#include "billboard/billboardcore.h"
#include "grasstestutil.h"
#include "common/verdixrandom.h"

namespace {

struct Slope : GroundSampler
{
    mutable std::atomic<int> queries{0};
    float height(float x, float z) const override
    {
        ++queries;
        return 0.02f * x - 0.01f * z + 3.f;
    }
};

struct Field
{
    BillboardParams p;
    DzFacetMesh mesh;
    std::vector<float> cache;
    int uvEntries = 0;
    VxRandomStream rng;
    Slope ground;
    BillboardUpdateInfo info;
    explicit Field(int amount, int planes = 1, int mapX = 1, int mapZ = 1)
    {
        p.Amount = amount;
        p.SpinLOD = planes;
        p.MapX = mapX;
        p.MapZ = mapZ;
    }
    QString update(bool reset = true)
    {
        return updateBillboardCore(p, rng, mesh, cache, uvEntries, ground, reset, &info);
    }
    DzVec3 v(int k) const { return mesh.getVertex(k); }
    DzPnt2 uv(int k) const { return mesh.getUVs()->getPnt2Value(k); }
    // Horizontal direction of facet f's bottom edge, A to B.
    DzVec3 edge(int f) const
    {
        DzVec3 e = v(4 * f + 1) - v(4 * f);
        e.setY(0.f);
        return e.normalized();
    }
};

}  // namespace

TEST(BillboardCore, StarsOfOneFourAndSevenPlanes)
{
    for (int P : {1, 4, 7}) {
        Field f(30, P);
        f.p.camera = DzVec3(15.f, 40.f, -700.f);
        ASSERT_EQ(f.update(), "");
        ASSERT_EQ(f.mesh.getNumFacets(), 30 * P);
        ASSERT_EQ(f.mesh.getNumVertices(), 30 * P * 4);
        // Four corners of their own per facet, in facet order.
        const DzFacet& last = f.mesh.getFacet(30 * P - 1);
        EXPECT_EQ(last.m_vertIdx[0], 4 * (30 * P - 1));
        EXPECT_EQ(last.m_vertIdx[3], 4 * (30 * P - 1) + 3);
        // Half a turn split by whole degrees: 45 for four planes, 25 for seven, so that the
        // star of seven does not close. The first plane looks at the camera: its bottom edge
        // runs at right angles to the line from the camera to where the billboard stands.
        const float step = float(180 / P);
        for (int b = 0; b < 30; ++b) {
            DzVec3 toB = (f.v(4 * b * P) + f.v(4 * b * P + 1)) * 0.5f - f.p.camera;
            toB.setY(0.f);
            ASSERT_NEAR(f.edge(b * P).dot(toB.normalized()), 0.f, 2e-3f) << "billboard " << b;
            for (int k = 1; k < P; ++k) {
                const DzVec3 e0 = f.edge(b * P), ek = f.edge(b * P + k);
                // Planes are lines through the billboard: compare their angle modulo 180.
                const float angle = std::atan2(e0.x() * ek.z() - e0.z() * ek.x(), e0.dot(ek)) * 57.29578f;
                EXPECT_NEAR(std::fmod(angle + 360.f, 180.f), std::fmod(k * step, 180.f), 0.05f) << P << " " << k;
            }
        }
    }
}

TEST(BillboardCore, SheetCellsAndTheirUVs)
{
    // One cell: every facet shows the whole sheet.
    Field one(20, 3);
    ASSERT_EQ(one.update(), "");
    ASSERT_EQ(one.mesh.getUVs()->getNumValues(), 4);
    for (int f = 0; f < 60; ++f)
        for (int c = 0; c < 4; ++c) ASSERT_EQ(one.mesh.getFacet(f).m_uvwIdx[c], c);
    EXPECT_EQ(one.uv(2), DzPnt2(1.f, 1.f));

    // A 2 x 1 sheet already picks random cells, the same at every rebuild.
    Field two(40, 1, 2);
    ASSERT_EQ(two.update(), "");
    std::set<int> cells;
    std::vector<int> first;
    for (int f = 0; f < 40; ++f) {
        const DzFacet& fc = two.mesh.getFacet(f);
        ASSERT_EQ(fc.m_uvwIdx[0] % 4, 0);
        for (int c = 1; c < 4; ++c) ASSERT_EQ(fc.m_uvwIdx[c], fc.m_uvwIdx[0] + c);
        cells.insert(fc.m_uvwIdx[0] / 4);
        first.push_back(fc.m_uvwIdx[0]);
    }
    EXPECT_EQ(cells, (std::set<int>{0, 1}));
    addPolyBillboardCore(two.p, two.rng, two.mesh);
    for (int f = 0; f < 40; ++f) EXPECT_EQ(two.mesh.getFacet(f).m_uvwIdx[0], first[size_t(f)]);
}

TEST(BillboardCore, AnimationEndZeroHoldsTheFirstCellAndAFullEndCyclesAll)
{
    Field f(10, 1, 4, 2);
    f.p.AnimateOffOn = 1;
    f.p.AnimateStartRND = 5;
    f.p.AnimateEnd = 0;
    auto at = [&f](int frame) {
        f.p.frame = frame;
        EXPECT_EQ(f.update(false), "");
        return f.info.frameShown;
    };
    for (int frame = 0; frame < 20; ++frame) {
        ASSERT_EQ(at(frame), 0) << frame;
        // Cell 0 of the animation is the sheet's top-left corner.
        EXPECT_EQ(f.uv(3), DzPnt2(0.f, 1.f));
    }

    f.p.AnimateEnd = 7;
    std::set<int> shown;
    for (int frame = 0; frame < 8; ++frame) {
        const int cell = at(frame), col = cell % 4, row = cell / 4;
        shown.insert(cell);
        // Every cell of the table shows the same frame: row 0 at the top of the image.
        for (int k = 0; k < 8; ++k) {
            EXPECT_NEAR(f.uv(4 * k).u, col * 0.25f, 1e-6f);
            EXPECT_NEAR(f.uv(4 * k + 2).v, 1.f - row * 0.5f, 1e-6f);
            EXPECT_NEAR(f.uv(4 * k).v, 0.5f - row * 0.5f, 1e-6f);
        }
    }
    EXPECT_EQ(shown.size(), 8u);
    // The next frames start the cycle again.
    EXPECT_EQ(at(8), at(0));

    // Off: the UVs keep what the animation wrote last.
    const DzPnt2 kept = f.uv(0);
    f.p.AnimateOffOn = 0;
    EXPECT_EQ(at(5), -1);
    EXPECT_EQ(f.uv(0), kept);
}

TEST(BillboardCore, TicksReadTheGroundFromTheCacheAndRebuildOnlyForNewCounts)
{
    Field f(300);
    ASSERT_EQ(f.update(false), "");
    // The first pass has no cache: it asks the ground for every billboard and keeps it.
    EXPECT_TRUE(f.info.refilled);
    EXPECT_EQ(f.ground.queries.load(), 300);
    EXPECT_EQ(f.cache.size(), 10000u);
    const std::vector<DzVec3> before = vertices(f.mesh);
    ASSERT_EQ(f.update(false), "");
    EXPECT_EQ(f.ground.queries.load(), 300);
    EXPECT_FALSE(f.info.rebuilt);
    EXPECT_EQ(vertices(f.mesh), before);

    // Whatever another pass on this thread left the generator at, the same field.
    vxSrand(4242);
    ASSERT_EQ(f.update(true), "");
    EXPECT_EQ(vertices(f.mesh), before);

    f.p.Seed = 9;
    ASSERT_EQ(f.update(true), "");
    EXPECT_FALSE(f.info.rebuilt) << "a new layout over the same counts keeps the facets";
    EXPECT_EQ(f.ground.queries.load(), 900);
    f.p.MapZ = 3;
    ASSERT_EQ(f.update(false), "");
    EXPECT_TRUE(f.info.rebuilt);
    EXPECT_EQ(f.mesh.getUVs()->getNumValues(), 12);
    f.p.SpinLOD = 2;
    ASSERT_EQ(f.update(false), "");
    EXPECT_TRUE(f.info.rebuilt);
    EXPECT_EQ(f.mesh.getNumVertices(), 300 * 2 * 4);
}
