#include <gtest/gtest.h>
#include <cmath>
#include <set>

#include "dzgeometry.h"
#include "grasstestutil.h"
#include "common/verdixrandom.h"
#include "flower/flowercore.h"

namespace {

// A patch of twelve still plants unless the case says otherwise: topology, then geometry.
struct Built
{
    FlowerParams p;
    DzFacetMesh mesh;
    std::vector<float> cache;
    FlowerPassInfo topo, geo;
    VxRandomStream rng;
    CountingGround ground;
    Built(int stems = 1, int wind = 0)
    {
        p.Amount = 12;
        p.StemCount = stems;
        p.WindStrength1 = wind;
    }
    void build()
    {
        addPolyFlowerCore(p, rng, mesh, 0, &topo);
        ASSERT_EQ(animateFlowerCore(p, rng, mesh, cache, ground, true, &geo), QString());
    }
    // A later pass over the same mesh; the vertices it leaves.
    std::vector<DzVec3> pass(bool reset = false, FlowerPassInfo* info = nullptr)
    {
        EXPECT_EQ(animateFlowerCore(p, rng, mesh, cache, ground, reset, info), QString());
        return vertices(mesh);
    }
};

DzVec3 centroid(const DzFacetMesh& m, int first, int n)
{
    DzVec3 c;
    for (int k = 0; k < n; ++k) c += m.getVertex(first + k);
    return c / float(n);
}

// Largest horizontal distance between a stem's foot and its top ring, over every stem.
float maxLean(const Built& b)
{
    const int S = b.p.StemSides, L = b.p.StemLOD;
    float worst = 0.f;
    for (int s = 0; s < b.geo.stems; ++s) {
        const DzVec3 foot = centroid(b.mesh, s * (L + 1) * S, S), top = centroid(b.mesh, s * (L + 1) * S + L * S, S);
        worst = std::max(worst, std::hypot(top.x() - foot.x(), top.z() - foot.z()));
    }
    return worst;
}

float maxDistance(const std::vector<DzVec3>& a, const std::vector<DzVec3>& b)
{
    float worst = 0.f;
    for (size_t k = 0; k < a.size(); ++k) worst = std::max(worst, (a[k] - b[k]).length());
    return worst;
}

}  // namespace

TEST(FlowerCore, SingleStemsStandUprightAndSeveralSpray)
{
    for (int stems : {1, 2}) {
        Built b(stems);
        b.p.StemSpray = 30;
        b.p.StemSprayRND = 60;
        b.p.StemBend = b.p.StemBendRND = b.p.StemChaos = b.p.StemChaosRND = 1;
        b.build();
        EXPECT_EQ(b.geo.stems, stems * b.p.Amount);
        // A 20..30 tall stem whose head tilts one degree leans well under one unit.
        if (stems == 1) EXPECT_LT(maxLean(b), 0.6f);
        else EXPECT_GT(maxLean(b), 5.f);
    }
}

TEST(FlowerCore, LeafRowsAndHeads)
{
    Built b(2);
    b.p.StemCountRND = 3;
    b.p.LeafRowCount = 1;
    b.build();
    const FlowerParams& p = b.p;
    // One row: no leaves at all, a head on every stem.
    EXPECT_EQ(b.geo.leafPoints, 0);
    EXPECT_EQ(b.geo.heads, b.geo.stems);
    EXPECT_EQ(facetsOfMaterial(b.mesh, 3), 0);
    EXPECT_EQ(facetsOfMaterial(b.mesh, 4), b.geo.heads * 7 * p.StemSides);
    // The outer layer has its own material, the inner layers theirs.
    EXPECT_EQ(facetsOfMaterial(b.mesh, 2), b.geo.heads * p.PetalSpinOuter * 2 * (p.PetalLOD - 1));
    EXPECT_EQ(facetsOfMaterial(b.mesh, 1), b.geo.heads * (p.PetalLayers - 1) * p.PetalSpinInner * 2 * (p.PetalLOD - 1));

    // Five rows: the four rings above the foot carry leaves, the bottom row its own count.
    Built leafy(2);
    leafy.p.StemCountRND = 3;
    leafy.p.LeafRowCount = 5;
    leafy.p.LeafSpinBottom = 3;
    leafy.p.LeafSpinTop = 1;
    leafy.build();
    EXPECT_EQ(leafy.geo.leafPoints, 4 * leafy.geo.stems);
    EXPECT_EQ(facetsOfMaterial(leafy.mesh, 3), leafy.geo.stems * (3 + 1 + 1 + 1) * 2 * (p.LeafLOD - 1));
}

// A later pass reads the ground from the cache, repeats whatever the generator's state, and
// leaves a mesh of another vertex count alone.
TEST(FlowerCore, LaterPassesUseTheCacheRepeatAndSpareAStaleMesh)
{
    Built b(2, 140);
    b.p.WindSpeed2 = 60;
    b.p.phase = 37.f;
    b.p.LeafRowCount = 4;
    b.build();
    EXPECT_EQ(b.geo.heightQueries, b.p.Amount);
    // The first stem's foot ring is centred on its plant point, on the terrain there.
    const DzVec3 foot = centroid(b.mesh, 0, b.p.StemSides);
    EXPECT_NEAR(foot.y(), b.ground.height(foot.x(), foot.z()), 1e-3f);
    const std::vector<DzVec3> first = vertices(b.mesh);
    FlowerPassInfo again;
    EXPECT_EQ(b.pass(false, &again), first);
    EXPECT_EQ(again.heightQueries, 0);
    // The generator state other work left behind does not matter (the ring's workers: the
    // grass pane's tick test).
    vxSrand(999u);
    EXPECT_EQ(b.pass(true), first);

    b.p.Amount = 30;
    b.pass(false, &again);
    EXPECT_TRUE(again.topologyMismatch);
    EXPECT_EQ(b.mesh.getNumVertices(), int(first.size()));
}

TEST(FlowerCore, WithoutSecondSpeedOnlyTheFirstWindActs)
{
    // The sway repeats with the first wind's period alone...
    Built b(1, 150);
    b.p.phase = 10.f;
    b.build();
    const std::vector<DzVec3> at = vertices(b.mesh);
    b.p.phase = 10.f + 20.f * 3.14159265f;
    EXPECT_LT(maxDistance(b.pass(), at), 2e-3f);
    // ...which a second wind breaks.
    b.p.WindSpeed2 = 37;
    const std::vector<DzVec3> gusty = b.pass();
    b.p.phase = 10.f;
    EXPECT_GT(maxDistance(gusty, b.pass()), 0.05f);
}

// On a three by two sheet every leaf, petal and pistil quad maps inside one tile, and the
// plants use several tiles.
TEST(FlowerCore, AtlasTilesOfAThreeByTwoSheet)
{
    FlowerParams p;
    p.Amount = 12;
    p.LeafRowCount = 3;
    p.LeafMapX = p.PetalOuterMapX = p.PistilOuterMapX = 3;
    p.LeafMapY = p.PetalOuterMapY = p.PistilOuterMapY = 2;
    p.PetalLOD = 4;
    DzFacetMesh m;
    VxRandomStream rng;
    addPolyFlowerCore(p, rng, m);
    const DzMap* uvs = m.getUVs();
    ASSERT_NE(uvs, nullptr);
    for (int material : {2, 3, 4}) {
        std::set<std::pair<int, int>> tiles;
        for (int f = 0; f < m.getNumFacets(); ++f) {
            const DzFacet& facet = m.getFacet(f);
            if (facet.m_materialIdx != material) continue;
            float u0 = 2.f, u1 = -1.f, v0 = 2.f, v1 = -1.f;
            for (int c = 0; c < 4; ++c) {
                const DzPnt2 t = uvs->getPnt2Value(facet.m_uvwIdx[c]);
                u0 = std::min(u0, t.u), u1 = std::max(u1, t.u), v0 = std::min(v0, t.v), v1 = std::max(v1, t.v);
            }
            const std::pair<int, int> tile(int(u0 * 3.f + 1e-4f), int(v0 * 2.f + 1e-4f));
            ASSERT_LE(u1, (tile.first + 1) / 3.f + 1e-5f) << "material " << material << " facet " << f;
            ASSERT_LE(v1, (tile.second + 1) / 2.f + 1e-5f) << "material " << material << " facet " << f;
            tiles.insert(tile);
        }
        EXPECT_GT(tiles.size(), 2u) << "material " << material;
    }
}

TEST(FlowerCore, PassesAgreeOnTheMeshForExtremeSliders)
{
    FlowerParams low, high, garbage;  // garbage: values no slider can hold, as a damaged record may carry
    for (const FlowerSliderField& f : flowerSliderFields()) {
        low.*f.member = f.min;
        high.*f.member = f.max;
        garbage.*f.member = -5;
    }
    garbage.Amount = 7;
    // Every other slider at its top; all of them there would make a mesh of billions.
    high.Amount = 2;
    high.StemSides = 12;
    high.LeafSpinBottom = high.LeafSpinTop = 8;
    FlowerParams capped = high;
    capped.Amount = 250;
    capped.StemSides = 2;
    capped.PetalLayers = capped.PetalSpinOuter = 1;
    capped.LeafSpinBottom = capped.LeafSpinTop = 0;

    for (const FlowerParams* p : {&low, &high, &capped, &garbage}) {
        SCOPED_TRACE(p == &low ? "low" : p == &high ? "high" : p == &capped ? "capped" : "garbage");
        Built b;
        b.p = *p;
        b.build();
        const int n = b.mesh.getNumVertices(), uvCount = b.mesh.getUVs()->getNumValues();
        EXPECT_GT(n, 0);
        EXPECT_EQ(b.topo.vertices, n);
        EXPECT_EQ(b.geo.vertices, n);
        EXPECT_FALSE(b.geo.topologyMismatch);
        EXPECT_EQ(flowerVertexCount(*p), n);
        for (int f = 0; f < b.mesh.getNumFacets(); ++f) {
            const DzFacet& facet = b.mesh.getFacet(f);
            for (int c = 0; c < 4; ++c) {
                ASSERT_TRUE(facet.m_vertIdx[c] >= 0 && facet.m_vertIdx[c] < n) << "facet " << f;
                ASSERT_TRUE(facet.m_uvwIdx[c] >= 0 && facet.m_uvwIdx[c] < uvCount) << "facet " << f;
            }
            ASSERT_TRUE(facet.m_materialIdx >= 0 && facet.m_materialIdx <= 4) << "facet " << f;
        }
        for (const DzVec3& v : vertices(b.mesh)) ASSERT_TRUE(std::isfinite(v.x() + v.y() + v.z()));
        // Past the recorded points' capacity the remaining leaves and heads are left out.
        EXPECT_EQ(b.geo.pointsCapped, p == &capped);
        if (p == &capped) EXPECT_EQ(b.geo.leafPoints + b.geo.heads, kMaxStemPoints);
    }
}
