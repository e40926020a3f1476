#include <gtest/gtest.h>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>
#include <set>
#include <thread>

#include "dzgeometry.h"
#include "grasstestutil.h"
#include "plugin/verdixrandom.h"
#include "vegetation/flowercore.h"

namespace {

struct Built
{
    DzFacetMesh mesh;
    std::vector<float> cache;
    FlowerPassInfo topo, geo;
};

// Topology, then the geometry on a ground of its own.
void build(const FlowerParams& p, Built& b, const GroundSampler& ground)
{
    addPolyFlowerCore(p, b.mesh, 0, &b.topo);
    ASSERT_EQ(animateFlowerCore(p, b.mesh, b.cache, ground, true, &b.geo), QString());
}

FlowerParams quiet()
{
    FlowerParams p;
    p.Amount = 12;
    p.WindStrength1 = 0;
    return p;
}

DzVec3 centroid(const DzFacetMesh& m, int first, int n)
{
    DzVec3 c;
    for (int k = 0; k < n; ++k) c += m.getVertex(first + k);
    return c / float(n);
}

// Largest horizontal distance between a stem's foot and its top ring, over every stem.
float maxLean(const DzFacetMesh& m, const FlowerParams& p, int stems)
{
    const int S = p.StemSides, L = p.StemLOD;
    float worst = 0.f;
    for (int s = 0; s < stems; ++s) {
        const int base = s * (L + 1) * S;
        const DzVec3 foot = centroid(m, base, S), top = centroid(m, base + L * S, S);
        worst = std::max(worst, std::hypot(top.x() - foot.x(), top.z() - foot.z()));
    }
    return worst;
}

}  // namespace

TEST(FlowerCore, SingleStemsStandUprightAndSeveralSpray)
{
    CountingGround ground;
    FlowerParams p = quiet();
    p.StemCount = 1;
    p.StemCountRND = 1;
    p.StemSpray = 30;
    p.StemSprayRND = 60;
    p.StemBend = 1;
    p.StemBendRND = 1;
    p.StemChaos = 1;
    p.StemChaosRND = 1;
    Built one;
    build(p, one, ground);
    EXPECT_EQ(one.geo.stems, p.Amount);
    // A 20..30 tall stem whose head tilts one degree leans well under one unit.
    EXPECT_LT(maxLean(one.mesh, p, one.geo.stems), 0.6f);

    p.StemCount = 2;
    Built two;
    build(p, two, ground);
    EXPECT_EQ(two.geo.stems, 2 * p.Amount);
    EXPECT_GT(maxLean(two.mesh, p, two.geo.stems), 5.f);
}

TEST(FlowerCore, LeafRowsAndHeads)
{
    CountingGround ground;
    FlowerParams p = quiet();
    p.StemCount = 2;
    p.StemCountRND = 3;
    p.LeafRowCount = 1;
    Built b;
    build(p, b, ground);
    // One row: no leaves at all, a head on every stem.
    EXPECT_EQ(b.geo.leafPoints, 0);
    EXPECT_EQ(b.geo.heads, b.geo.stems);
    EXPECT_EQ(facetsOfMaterial(b.mesh, 3), 0);
    EXPECT_EQ(facetsOfMaterial(b.mesh, 4), b.geo.heads * 7 * p.StemSides);
    // The outer layer has its own material, the inner layers theirs.
    EXPECT_EQ(facetsOfMaterial(b.mesh, 2), b.geo.heads * p.PetalSpinOuter * 2 * (p.PetalLOD - 1));
    EXPECT_EQ(facetsOfMaterial(b.mesh, 1), b.geo.heads * (p.PetalLayers - 1) * p.PetalSpinInner * 2 * (p.PetalLOD - 1));

    // Five rows: the four rings above the foot carry leaves, the bottom row its own count.
    p.LeafRowCount = 5;
    p.LeafSpinBottom = 3;
    p.LeafSpinTop = 1;
    Built leafy;
    build(p, leafy, ground);
    EXPECT_EQ(leafy.geo.leafPoints, 4 * leafy.geo.stems);
    EXPECT_EQ(facetsOfMaterial(leafy.mesh, 3), leafy.geo.stems * (3 + 1 + 1 + 1) * 2 * (p.LeafLOD - 1));
}

TEST(FlowerCore, FeetStandOnTheGroundAndTheCacheSparesQueries)
{
    CountingGround ground;
    FlowerParams p = quiet();
    p.WindStrength1 = 100;
    Built b;
    build(p, b, ground);
    EXPECT_EQ(b.geo.heightQueries, p.Amount);
    // The first stem's foot ring is centred on its plant point, on the terrain there.
    const DzVec3 foot = centroid(b.mesh, 0, p.StemSides);
    EXPECT_NEAR(foot.y(), ground.height(foot.x(), foot.z()), 1e-3f);
    const std::vector<DzVec3> before = vertices(b.mesh);
    FlowerPassInfo again;
    ASSERT_EQ(animateFlowerCore(p, b.mesh, b.cache, ground, false, &again), QString());
    EXPECT_EQ(again.heightQueries, 0);
    EXPECT_EQ(vertices(b.mesh), before);
}

TEST(FlowerCore, PassesRepeatOnAnyThread)
{
    CountingGround ground;
    FlowerParams p = quiet();
    p.WindStrength1 = 140;
    p.WindSpeed2 = 60;
    p.phase = 37.f;
    p.StemCount = 2;
    p.LeafRowCount = 4;
    Built b;
    build(p, b, ground);
    const std::vector<DzVec3> first = vertices(b.mesh);
    // The generator state left behind by other work must not matter.
    vxSrand(999u);
    ASSERT_EQ(animateFlowerCore(p, b.mesh, b.cache, ground, true), QString());
    EXPECT_EQ(vertices(b.mesh), first);

    DzFacetMesh other;
    std::vector<float> cache;
    QtConcurrent::run([&] {
        vxSrand(12345u);
        addPolyFlowerCore(p, other);
        animateFlowerCore(p, other, cache, ground, true);
    }).waitForFinished();
    EXPECT_EQ(vertices(other), first);
    EXPECT_EQ(other.getNumFacets(), b.mesh.getNumFacets());
}

TEST(FlowerCore, WithoutSecondSpeedOnlyTheFirstWindActs)
{
    // The sway repeats with the first wind's period alone...
    CountingGround ground;
    FlowerParams q = quiet();
    q.WindStrength1 = 150;
    q.phase = 10.f;
    Built b;
    build(q, b, ground);
    const std::vector<DzVec3> at = vertices(b.mesh);
    q.phase = 10.f + 20.f * 3.14159265f;
    ASSERT_EQ(animateFlowerCore(q, b.mesh, b.cache, ground, false), QString());
    const std::vector<DzVec3> later = vertices(b.mesh);
    float worst = 0.f;
    for (size_t k = 0; k < at.size(); ++k) worst = std::max(worst, (later[k] - at[k]).length());
    EXPECT_LT(worst, 2e-3f);
    // ...which a second wind breaks.
    q.WindSpeed2 = 37;
    ASSERT_EQ(animateFlowerCore(q, b.mesh, b.cache, ground, false), QString());
    const std::vector<DzVec3> gusty = vertices(b.mesh);
    q.phase = 10.f;
    ASSERT_EQ(animateFlowerCore(q, b.mesh, b.cache, ground, false), QString());
    worst = 0.f;
    for (size_t k = 0; k < at.size(); ++k) worst = std::max(worst, (gusty[k] - vertices(b.mesh)[k]).length());
    EXPECT_GT(worst, 0.05f);
}

// On a three by two sheet every leaf, petal and pistil quad maps inside one tile, and the
// plants use several tiles.
TEST(FlowerCore, AtlasTilesOfAThreeByTwoSheet)
{
    FlowerParams p = quiet();
    p.LeafRowCount = 3;
    p.LeafMapX = p.PetalOuterMapX = p.PistilOuterMapX = 3;
    p.LeafMapY = p.PetalOuterMapY = p.PistilOuterMapY = 2;
    p.PetalLOD = 4;
    DzFacetMesh m;
    addPolyFlowerCore(p, m);
    const DzMap* uvs = m.getUVs();
    ASSERT_NE(uvs, nullptr);
    for (int material : {2, 3, 4}) {
        SCOPED_TRACE(material);
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
            ASSERT_LE(u1, (tile.first + 1) / 3.f + 1e-5f) << "facet " << f;
            ASSERT_LE(v1, (tile.second + 1) / 2.f + 1e-5f) << "facet " << f;
            tiles.insert(tile);
        }
        EXPECT_GT(tiles.size(), 2u);
    }
}

TEST(FlowerCore, PassesAgreeOnTheMeshForExtremeSliders)
{
    FlowerParams low;
    for (const FlowerSliderField& f : flowerSliderFields()) low.*f.member = f.min;
    FlowerParams high;
    for (const FlowerSliderField& f : flowerSliderFields()) high.*f.member = f.max;
    // Every other slider at its top; all of them there would make a mesh of billions.
    high.Amount = 2;
    high.StemSides = 12;
    high.LeafSpinBottom = high.LeafSpinTop = 8;
    FlowerParams capped = high;
    capped.Amount = 250;
    capped.StemSides = 2;
    capped.PetalLayers = 1;
    capped.PetalSpinOuter = 1;
    capped.LeafSpinBottom = capped.LeafSpinTop = 0;
    FlowerParams garbage;   // values no slider can hold, as a damaged record may carry
    for (const FlowerSliderField& f : flowerSliderFields()) garbage.*f.member = -5;
    garbage.Amount = 7;

    CountingGround ground;
    for (const FlowerParams* p : {&low, &high, &capped, &garbage}) {
        SCOPED_TRACE(p == &low ? "low" : p == &high ? "high" : p == &capped ? "capped" : "garbage");
        Built b;
        build(*p, b, ground);
        const int n = b.mesh.getNumVertices();
        EXPECT_GT(n, 0);
        EXPECT_EQ(b.topo.vertices, n);
        EXPECT_EQ(b.geo.vertices, n);
        EXPECT_FALSE(b.geo.topologyMismatch);
        EXPECT_EQ(flowerVertexCount(*p), n);
        const int uvCount = b.mesh.getUVs()->getNumValues();
        for (int f = 0; f < b.mesh.getNumFacets(); ++f) {
            const DzFacet& facet = b.mesh.getFacet(f);
            for (int c = 0; c < 4; ++c) {
                ASSERT_GE(facet.m_vertIdx[c], 0);
                ASSERT_LT(facet.m_vertIdx[c], n);
                ASSERT_GE(facet.m_uvwIdx[c], 0);
                ASSERT_LT(facet.m_uvwIdx[c], uvCount);
            }
            ASSERT_GE(facet.m_materialIdx, 0);
            ASSERT_LE(facet.m_materialIdx, 4);
        }
        for (const DzVec3& v : vertices(b.mesh)) ASSERT_TRUE(std::isfinite(v.x() + v.y() + v.z()));
        if (p == &capped) {
            // Past the recorded points' capacity the remaining leaves and heads are left out.
            EXPECT_TRUE(b.geo.pointsCapped);
            EXPECT_EQ(b.geo.leafPoints + b.geo.heads, kMaxStemPoints);
        } else {
            EXPECT_FALSE(b.geo.pointsCapped);
        }
    }
}

TEST(FlowerCore, AStaleMeshIsReportedAndNotOverrun)
{
    CountingGround ground;
    FlowerParams p = quiet();
    Built b;
    build(p, b, ground);
    const int n = b.mesh.getNumVertices();
    p.Amount = 30;
    FlowerPassInfo info;
    ASSERT_EQ(animateFlowerCore(p, b.mesh, b.cache, ground, false, &info), QString());
    EXPECT_TRUE(info.topologyMismatch);
    EXPECT_EQ(b.mesh.getNumVertices(), n);
}
