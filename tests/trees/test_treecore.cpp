// The tree pass driven directly: determinism on any thread, the wind pass against the static
// tree, leaf, floor and fruit choices, low level of detail and the fixed capacities.
#include <gtest/gtest.h>
#include <QtConcurrent/QtConcurrentRun>
#include <dzgeometry.h>

#include "grasstestutil.h"
#include "tree/treecore.h"

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
    p.LeafLOD = p.FruitLOD = p.FruitFloorLOD = 60;
    p.TwigLODA = p.TwigLODB = 5;
    p.LeafFloorLOD = 70;
    p.SpinHi = p.SpinLow = p.EndOfTrunk = 2;
    return p;
}

// A tree built once, with what its wind pass needs.
struct Tree
{
    TreeParams p;
    VxRandomStream rng;
    DzFacetMesh m;
    TreeBuildInfo info;
    explicit Tree(const TreeParams& params, const GroundSampler& g = g_slope)
        : p(params), info(buildTreeCore(p, rng, m, g))
    {
    }
    bool wind(float phase, int strength = 100, DzFacetMesh* mesh = nullptr)
    {
        TreeWind w;
        w.phase = phase;
        w.WindStrength1 = strength;
        w.WindSpeed2 = 80;
        return animateTreeCore(p, rng, w, mesh ? *mesh : m, g_slope, treeBuiltMesh(p, info));
    }
};

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
    Tree a(leafyTree());
    DzFacetMesh c;
    QtConcurrent::run([&] {
        VxRandomStream rng;
        buildTreeCore(a.p, rng, c, g_slope);
    }).waitForFinished();
    ASSERT_GT(a.info.vertices, 1000);
    EXPECT_EQ(a.info.vertices, a.m.getNumVertices());
    EXPECT_EQ(a.info.quads, a.m.getNumFacets());
    EXPECT_TRUE(vertices(a.m) == vertices(c));

    // The wind pass too: the same phase poses the tree alike on the main thread and in a task.
    ASSERT_TRUE(a.wind(77.f));
    bool ok = false;
    QtConcurrent::run([&] { ok = a.wind(77.f, 100, &c); }).waitForFinished();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(vertices(a.m) == vertices(c));

    // Another seed is another tree.
    TreeParams q = leafyTree();
    q.Seed = 13;
    EXPECT_FALSE(vertices(a.m) == vertices(Tree(q).m));
}

TEST(TreeCore, WithoutWindStrengthTheWindPassIsTheStaticTree)
{
    Tree t(leafyTree());
    const std::vector<DzVec3> still = vertices(t.m);
    ASSERT_TRUE(t.wind(913.f, 0));
    EXPECT_TRUE(vertices(t.m) == still);

    // With wind every part moves but what lies on the ground.
    ASSERT_TRUE(t.wind(913.f, 200));
    const std::vector<DzVec3> blown = vertices(t.m);
    for (int material : {1, 2, 3}) {
        int moved = 0;
        for (int v : verticesOfMaterial(t.m, material)) moved += !(blown[size_t(v)] == still[size_t(v)]);
        EXPECT_GT(moved, 0) << "material " << material;
    }
    // The root ring stands on the terrain whatever the wind.
    for (int j = 0; j < t.p.TrunkSides; ++j) EXPECT_TRUE(blown[size_t(j)] == still[size_t(j)]);
}

TEST(TreeCore, WindPassLeavesAMeshOfOtherSlidersAlone)
{
    Tree t(leafyTree());
    const std::vector<DzVec3> before = vertices(t.m);
    const TreeBuiltMesh built = treeBuiltMesh(t.p, t.info);
    TreeParams longer = t.p;
    longer.TrunkLOD += 3;  // more rings: another vertex order
    EXPECT_FALSE(animateTreeCore(longer, t.rng, TreeWind(), t.m, g_slope, built));
    EXPECT_TRUE(vertices(t.m) == before);

    // A mesh that lost vertices behind the generator's back is not written either.
    t.m.setNumVertices(t.m.getNumVertices() - 5);
    const std::vector<DzVec3> cut = vertices(t.m);
    EXPECT_FALSE(t.wind(50.f));
    EXPECT_TRUE(vertices(t.m) == cut);
}

// "Leaf LOD" decides the leaves per twig ring, "Floor LOD" how many of them stay on the tree
// rather than lie on the ground.
TEST(TreeCore, LeafAndFloorLodDecideTheLeavesAndWhereTheyAre)
{
    TreeParams p = leafyTree();
    p.FruitLOD = p.LeafLOD = 0;
    p.LeafFloorLOD = 100;
    p.LeafStandoff = 35;
    const Tree none(p);
    EXPECT_EQ(none.info.hangingLeaves + none.info.fallenLeaves, 0);
    EXPECT_EQ(facetsOfMaterial(none.m, 2), 0);

    p.LeafLOD = 100;
    const Tree full(p);
    const int n = full.info.hangingLeaves;
    ASSERT_GT(full.info.twigRingsAfterFirst, 50);
    EXPECT_EQ(n, full.info.twigRingsAfterFirst);
    EXPECT_EQ(full.info.fallenLeaves, 0);
    EXPECT_EQ(facetsOfMaterial(full.m, 2), n);
    // The rest of the tree is the same tree: leaves come after every tube.
    EXPECT_EQ(full.info.vertices - 4 * n, none.info.vertices);

    p.LeafFloorLOD = 0;
    const Tree fallen(p);
    EXPECT_EQ(fallen.info.hangingLeaves, 0);
    EXPECT_EQ(fallen.info.fallenLeaves, n);
    const std::vector<int> corners = verticesOfMaterial(fallen.m, 2);
    ASSERT_EQ(int(corners.size()), 4 * n);
    for (int v : corners) {
        // Lying, not hanging: above the terrain by the standoff, within a leaf's size of it.
        const DzVec3 c = fallen.m.getVertex(v);
        const float ground = g_slope.height(c.x(), c.z()) + 0.35f;
        EXPECT_GE(c.y(), ground - 1e-3f) << "corner " << v;
        EXPECT_LE(c.y(), ground + float(p.LeafSizeY)) << "corner " << v;
    }
    // In between, the share kept on the tree follows the slider.
    p.LeafFloorLOD = 50;
    const Tree half(p);
    EXPECT_EQ(half.info.hangingLeaves + half.info.fallenLeaves, n);
    EXPECT_NEAR(double(half.info.hangingLeaves), n * 0.5, 1.0);
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
    p.FruitLOD = p.FruitFloorLOD = 100;
    p.FruitSizeX = 20;
    p.FruitSizeY = 30;
    for (int pear : {0, 100}) {
        p.ApplePear = pear;
        treeFruitProfile(pear, r, h);
        const Tree t(p);
        ASSERT_GT(t.info.hangingFruit, 0);
        const std::vector<int> fv = verticesOfMaterial(t.m, 3);
        ASSERT_GE(int(fv.size()), 8 * p.FruitSides);
        const DzVec3 top = t.m.getVertex(fv.front());  // ring 0: almost on the stalk
        for (int ring = 2; ring < 7; ++ring) {
            const DzVec3 v = t.m.getVertex(fv.front() + ring * p.FruitSides);  // theta 0: along +x
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
    const Tree full(p);
    EXPECT_GT(full.info.starts[0], 10);
    p.lowLOD = true;
    const Tree low(p);
    EXPECT_EQ(low.info.starts[0], 1);  // the first whorl's one branch; the others have none
    EXPECT_EQ(low.info.built[0], 1);
    int tubeQuads = 0;
    for (int f = 0; f < low.m.getNumFacets(); ++f) {
        const DzFacet& fc = low.m.getFacet(f);
        if (fc.m_materialIdx > 1) continue;
        ++tubeQuads;
        EXPECT_EQ(fc.m_vertIdx[3] - fc.m_vertIdx[0], 3) << "facet " << f;  // rings of three
    }
    EXPECT_GT(tubeQuads, 3 * p.TrunkLOD);
    EXPECT_LT(low.info.vertices, full.info.vertices / 4);
}

TEST(TreeCore, ExtremeSlidersStayWithinTheCapacities)
{
    TreeParams p;
    p.TrunkSides = 256;
    p.TrunkLOD = 50;
    p.Start1 = p.Start2 = p.Start3 = p.TwigStart3 = 0;
    p.SpinHi = p.SpinLow = 8;
    p.EndOfTrunk = p.EndOfBranch = 5;
    p.BranchSides = p.BranchLOD = p.BranchBLOD = p.FruitSides = 32;
    p.TwigSides = 16;
    p.TwigLODA = p.TwigLODB = 10;
    p.LeafLOD = 20;  // most twig-B rings left to fruit: more sites than the capacity
    p.FruitLOD = p.ImageShape = 100;
    p.LeafFloorLOD = 30;
    p.FruitFloorLOD = 40;
    p.FruitMapsX = p.FruitMapsY = p.LeafMapsX = p.LeafMapsY = 8;
    const unsigned char bytes[3] = {255, 0, 255};  // a one-row image: row 1 does not exist
    p.image = TreeShapeImage{bytes, 3, 1};
    Tree t(p);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(t.info.starts[size_t(k)], kTreeMaxStarts) << "order " << k;
    EXPECT_EQ(t.info.hangingFruit + t.info.fallenFruit, kTreeMaxFruit);
    EXPECT_LE(t.info.hangingLeaves + t.info.fallenLeaves, kTreeMaxLeaves);
    const int nv = t.m.getNumVertices(), nuv = t.m.getUVs()->getNumValues();
    for (int f = 0; f < t.m.getNumFacets(); ++f)
        for (int k = 0; k < 4; ++k) {
            const DzFacet& fc = t.m.getFacet(f);
            ASSERT_TRUE(fc.m_vertIdx[k] >= 0 && fc.m_vertIdx[k] < nv) << "facet " << f;
            ASSERT_TRUE(fc.m_uvwIdx[k] >= 0 && fc.m_uvwIdx[k] < nuv) << "facet " << f;
        }
    EXPECT_TRUE(t.wind(0.f));
    EXPECT_EQ(t.m.getNumVertices(), nv);
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
    const Tree t(p, high);
    for (int j = 0; j < p.TrunkSides; ++j) {
        const DzVec3 root = t.m.getVertex(j), first = t.m.getVertex(p.TrunkSides + j);
        EXPECT_LT(std::hypot(first.x() - root.x(), first.z() - root.z()), 30.f) << "point " << j;
        EXPECT_NEAR(first.y(), 2000.f, 5.f);
    }
}
