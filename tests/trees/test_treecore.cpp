// The tree pass driven directly: determinism on any thread, the wind pass against the static
// tree, leaf, floor and fruit choices, low level of detail and the fixed capacities.
#include <gtest/gtest.h>
#include <QtConcurrent/QtConcurrentRun>
#include <dzgeometry.h>

#include "grasstestutil.h"
#include "vegetation/treecore.h"

namespace {

// A slope, so that anything lying on the ground has to follow it.
struct Slope : GroundSampler
{
    float height(float x, float z) const override { return 40.f + 0.3f * x - 0.2f * z; }
};
const Slope g_slope;

TreeParams leafyTree()
{
    TreeParams p;
    p.Seed = 12;
    p.X = 30;
    p.Z = -20;
    p.LeafLOD = 60;
    p.FruitLOD = 60;
    p.TwigLODA = 5;
    p.TwigLODB = 5;
    p.LeafFloorLOD = 70;
    p.FruitFloorLOD = 60;
    p.SpinHi = 2;
    p.SpinLow = 2;
    p.EndOfTrunk = 2;
    return p;
}

// The vertices used by facets of one material, in first-use order.
std::vector<int> verticesOfMaterial(const DzFacetMesh& m, int material)
{
    std::vector<int> out;
    std::vector<char> seen(size_t(m.getNumVertices()), 0);
    for (int f = 0; f < m.getNumFacets(); ++f) {
        const DzFacet& fc = m.getFacet(f);
        if (fc.m_materialIdx != material) continue;
        for (int k = 0; k < 4; ++k)
            if (!seen[size_t(fc.m_vertIdx[k])]) {
                seen[size_t(fc.m_vertIdx[k])] = 1;
                out.push_back(fc.m_vertIdx[k]);
            }
    }
    return out;
}
}  // namespace

TEST(TreeCore, SameSlidersGiveTheSameTreeOnAnyThread)
{
    const TreeParams p = leafyTree();
    DzFacetMesh a, b, c;
    const TreeBuildInfo ia = buildTreeCore(p, a, g_slope);
    buildTreeCore(p, b, g_slope);
    QtConcurrent::run([&] { buildTreeCore(p, c, g_slope); }).waitForFinished();
    ASSERT_GT(ia.vertices, 1000);
    EXPECT_EQ(ia.vertices, a.getNumVertices());
    EXPECT_EQ(ia.quads, a.getNumFacets());
    EXPECT_TRUE(vertices(a) == vertices(b));
    EXPECT_TRUE(vertices(a) == vertices(c));

    // The wind pass too: the same phase poses the tree alike on the main thread and in a task.
    TreeWind wind;
    wind.phase = 77.f;
    const TreeBuiltMesh built = treeBuiltMesh(p, ia);
    ASSERT_TRUE(animateTreeCore(p, wind, a, g_slope, built));
    bool ok = false;
    QtConcurrent::run([&] { ok = animateTreeCore(p, wind, c, g_slope, built); }).waitForFinished();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(vertices(a) == vertices(c));

    // Another seed is another tree.
    TreeParams q = p;
    q.Seed = 13;
    DzFacetMesh d;
    buildTreeCore(q, d, g_slope);
    EXPECT_FALSE(vertices(a) == vertices(d));
}

TEST(TreeCore, WithoutWindStrengthTheWindPassIsTheStaticTree)
{
    const TreeParams p = leafyTree();
    DzFacetMesh m;
    const TreeBuildInfo info = buildTreeCore(p, m, g_slope);
    const std::vector<DzVec3> still = vertices(m);
    const TreeBuiltMesh built = treeBuiltMesh(p, info);

    TreeWind calm;
    calm.WindStrength1 = 0;
    calm.WindSpeed2 = 80;
    calm.phase = 913.f;
    ASSERT_TRUE(animateTreeCore(p, calm, m, g_slope, built));
    EXPECT_TRUE(vertices(m) == still);

    // With wind every part moves but what lies on the ground.
    TreeWind gale;
    gale.WindStrength1 = 200;
    gale.WindSpeed2 = 80;
    gale.phase = 913.f;
    ASSERT_TRUE(animateTreeCore(p, gale, m, g_slope, built));
    const std::vector<DzVec3> blown = vertices(m);
    for (int material : {1, 2, 3}) {
        int moved = 0;
        for (int v : verticesOfMaterial(m, material)) moved += !(blown[size_t(v)] == still[size_t(v)]);
        EXPECT_GT(moved, 0) << "material " << material;
    }
    // The root ring stands on the terrain whatever the wind.
    for (int j = 0; j < p.TrunkSides; ++j) EXPECT_TRUE(blown[size_t(j)] == still[size_t(j)]);
}

// "Leaf LOD" decides the leaves per twig ring, "Floor LOD" how many of them stay on the tree
// rather than lie on the ground.
TEST(TreeCore, LeafAndFloorLodDecideTheLeavesAndWhereTheyAre)
{
    TreeParams p = leafyTree();
    p.FruitLOD = 0;
    p.LeafFloorLOD = 100;
    p.LeafStandoff = 35;
    p.LeafLOD = 0;
    DzFacetMesh none;
    const TreeBuildInfo i0 = buildTreeCore(p, none, g_slope);
    EXPECT_EQ(i0.hangingLeaves + i0.fallenLeaves, 0);
    EXPECT_EQ(facetsOfMaterial(none, 2), 0);

    p.LeafLOD = 100;
    DzFacetMesh full;
    const TreeBuildInfo all = buildTreeCore(p, full, g_slope);
    ASSERT_GT(all.twigRingsAfterFirst, 50);
    EXPECT_EQ(all.hangingLeaves, all.twigRingsAfterFirst);
    EXPECT_EQ(all.fallenLeaves, 0);
    EXPECT_EQ(facetsOfMaterial(full, 2), all.twigRingsAfterFirst);
    // The rest of the tree is the same tree: leaves come after every tube.
    EXPECT_EQ(all.vertices - 4 * all.hangingLeaves, i0.vertices);
    const int n = all.hangingLeaves;

    p.LeafFloorLOD = 0;
    DzFacetMesh fallen;
    const TreeBuildInfo none0 = buildTreeCore(p, fallen, g_slope);
    EXPECT_EQ(none0.hangingLeaves, 0);
    EXPECT_EQ(none0.fallenLeaves, n);
    const std::vector<int> corners = verticesOfMaterial(fallen, 2);
    ASSERT_EQ(int(corners.size()), 4 * n);
    for (int v : corners) {
        const DzVec3 c = fallen.getVertex(v);
        EXPECT_GE(c.y(), g_slope.height(c.x(), c.z()) + 0.35f - 1e-3f) << "corner " << v;
        // Lying, not hanging: within a leaf's size of the terrain.
        EXPECT_LE(c.y(), g_slope.height(c.x(), c.z()) + 0.35f + float(p.LeafSizeY));
    }
    // In between, the share kept on the tree follows the slider.
    p.LeafFloorLOD = 50;
    DzFacetMesh half;
    const TreeBuildInfo h = buildTreeCore(p, half, g_slope);
    EXPECT_EQ(h.hangingLeaves + h.fallenLeaves, n);
    EXPECT_NEAR(double(h.hangingLeaves), n * 0.5, 1.0);
}

TEST(TreeCore, HangingFruitFollowTheirAppleOrPearProfile)
{
    float r[8], h[8], apple[8];
    treeFruitProfile(0, apple, h);
    treeFruitProfile(100, r, h);
    EXPECT_FALSE(std::equal(r, r + 8, apple)) << "two profiles";
    // The hanging fruit in the mesh have those rings: radius r * half width, height h * half length.
    TreeParams p = leafyTree();
    p.LeafLOD = 0;
    p.FruitLOD = 100;
    p.FruitFloorLOD = 100;
    p.FruitSizeX = 20;
    p.FruitSizeY = 30;
    for (int pear : {0, 100}) {
        p.ApplePear = pear;
        treeFruitProfile(pear, r, h);
        DzFacetMesh m;
        const TreeBuildInfo info = buildTreeCore(p, m, g_slope);
        ASSERT_GT(info.hangingFruit, 0);
        const std::vector<int> fv = verticesOfMaterial(m, 3);
        ASSERT_GE(int(fv.size()), 8 * p.FruitSides);
        const int base = fv.front();
        const DzVec3 top = m.getVertex(base);  // ring 0: almost on the stalk
        for (int ring = 2; ring < 7; ++ring) {
            const DzVec3 v = m.getVertex(base + ring * p.FruitSides);  // theta 0: along +x
            EXPECT_NEAR(v.x() - top.x(), (r[ring] - r[0]) * 10.f, 1e-3) << "pear " << pear << " ring " << ring;
            EXPECT_NEAR(v.y() - top.y(), (h[ring] - h[0]) * 15.f, 1e-3) << "pear " << pear << " ring " << ring;
        }
    }
}

TEST(TreeCore, LowDetailBuildsThreeSidedTubesAndOneBranchPerWhorl)
{
    TreeParams p = leafyTree();
    p.TrunkSides = 40;
    p.BranchSides = 12;
    p.TwigSides = 7;
    p.SpinHi = 6;
    p.SpinLow = 4;
    p.EndOfTrunk = 0;
    DzFacetMesh full;
    const TreeBuildInfo fi = buildTreeCore(p, full, g_slope);
    EXPECT_GT(fi.starts[0], 10);

    p.lowLOD = true;
    DzFacetMesh low;
    const TreeBuildInfo li = buildTreeCore(p, low, g_slope);
    EXPECT_EQ(li.starts[0], 1);  // the first whorl's one branch; the others have none
    EXPECT_EQ(li.built[0], 1);
    int tubeQuads = 0;
    for (int f = 0; f < low.getNumFacets(); ++f) {
        const DzFacet& fc = low.getFacet(f);
        if (fc.m_materialIdx > 1) continue;
        ++tubeQuads;
        EXPECT_EQ(fc.m_vertIdx[3] - fc.m_vertIdx[0], 3) << "facet " << f;  // rings of three
    }
    EXPECT_GT(tubeQuads, 3 * p.TrunkLOD);
    EXPECT_LT(li.vertices, fi.vertices / 4);
}

TEST(TreeCore, ExtremeSlidersStayWithinTheCapacities)
{
    TreeParams p;
    p.TrunkSides = 256;
    p.TrunkLOD = 50;
    p.Start1 = 0;
    p.Start2 = 0;
    p.Start3 = 0;
    p.TwigStart3 = 0;
    p.SpinHi = 8;
    p.SpinLow = 8;
    p.EndOfTrunk = 5;
    p.EndOfBranch = 5;
    p.BranchSides = 32;
    p.BranchLOD = 32;
    p.BranchBLOD = 32;
    p.TwigSides = 16;
    p.TwigLODA = 10;
    p.TwigLODB = 10;
    p.LeafLOD = 20;  // most twig-B rings left to fruit: more sites than the capacity
    p.FruitLOD = 100;
    p.LeafFloorLOD = 30;
    p.FruitFloorLOD = 40;
    p.FruitSides = 32;
    p.FruitMapsX = 8;
    p.FruitMapsY = 8;
    p.LeafMapsX = 8;
    p.LeafMapsY = 8;
    p.ImageShape = 100;
    const unsigned char bytes[3] = {255, 0, 255};  // a one-row image: row 1 does not exist
    p.image = TreeShapeImage{bytes, 3, 1};
    DzFacetMesh m;
    const TreeBuildInfo info = buildTreeCore(p, m, g_slope);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(info.starts[size_t(k)], kTreeMaxStarts) << "order " << k;
    EXPECT_EQ(info.hangingFruit + info.fallenFruit, kTreeMaxFruit);
    EXPECT_LE(info.hangingLeaves + info.fallenLeaves, kTreeMaxLeaves);
    const int nv = m.getNumVertices();
    const int nuv = m.getUVs()->getNumValues();
    for (int f = 0; f < m.getNumFacets(); ++f) {
        const DzFacet& fc = m.getFacet(f);
        for (int k = 0; k < 4; ++k) {
            ASSERT_GE(fc.m_vertIdx[k], 0);
            ASSERT_LT(fc.m_vertIdx[k], nv);
            ASSERT_GE(fc.m_uvwIdx[k], 0);
            ASSERT_LT(fc.m_uvwIdx[k], nuv);
        }
    }
    TreeWind wind;
    EXPECT_TRUE(animateTreeCore(p, wind, m, g_slope, treeBuiltMesh(p, info)));
    EXPECT_EQ(m.getNumVertices(), nv);
}

TEST(TreeCore, WindPassLeavesAMeshOfOtherSlidersAlone)
{
    TreeParams p = leafyTree();
    DzFacetMesh m;
    const TreeBuiltMesh built = treeBuiltMesh(p, buildTreeCore(p, m, g_slope));
    const std::vector<DzVec3> before = vertices(m);
    TreeWind wind;
    wind.phase = 50.f;

    TreeParams longer = p;
    longer.TrunkLOD += 3;  // more rings: another vertex order
    EXPECT_FALSE(animateTreeCore(longer, wind, m, g_slope, built));
    EXPECT_TRUE(vertices(m) == before);

    // A mesh that lost vertices behind the generator's back is not written either.
    DzFacetMesh cut;
    buildTreeCore(p, cut, g_slope);
    cut.setNumVertices(cut.getNumVertices() - 5);
    const std::vector<DzVec3> cutBefore = vertices(cut);
    EXPECT_FALSE(animateTreeCore(p, wind, cut, g_slope, built));
    EXPECT_TRUE(vertices(cut) == cutBefore);
}

TEST(TreeCore, TrunkStandsOnItsRootRingOnHighGround)
{
    // A strong lean far above height 0 still starts from the root.
    TreeParams p = leafyTree();
    p.SwayX = 100;
    p.SwayZ = -100;
    p.TrunkHeight = 0;
    p.TrunkChaos = 1;
    struct High : GroundSampler
    {
        float height(float, float) const override { return 2000.f; }
    } high;
    DzFacetMesh m;
    buildTreeCore(p, m, high);
    const int S = p.TrunkSides;
    for (int j = 0; j < S; ++j) {
        const DzVec3 root = m.getVertex(j), first = m.getVertex(S + j);
        EXPECT_LT(std::hypot(first.x() - root.x(), first.z() - root.z()), 30.f) << "point " << j;
        EXPECT_NEAR(first.y(), 2000.f, 5.f);
    }
}
