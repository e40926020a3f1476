// The tree pass's parameters, UV blocks, wind terms and working storage.
#include <algorithm>
#include <memory>

#include "dzgeometry.h"
#include "tree/treeshape.h"
#include "common/vxexpect.h"

namespace {
int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
// Zero wind terms come out as +0, so a pass without wind repeats the static tree bit for bit.
float term(float v) { return v + 0.0f; }
}  // namespace

unsigned char TreeShapeImage::at(int row, int col) const
{
    row = clampi(row, 0, height - 1);
    col = clampi(col, 0, width - 1);
    return bytes[size_t(row) * size_t(width) + size_t(col)];
}

TreeParams TreeParams::builtIn()
{
    TreeParams p;
    p.TreeHeight = 200;
    p.TrunkSides = 32;
    p.TrunkLOD = 5;
    return p;
}

const SliderFields<TreeParams>& treeSliderFields()
{
    using P = TreeParams;
    // Names repeat in a tree box: the number after the range picks the n-th slider of a name.
    static const SliderFields<TreeParams> fields = {
        {"X", &P::X, -10000, 10000},
        {"Z", &P::Z, -10000, 10000},
        {"Seed", &P::Seed, 0, 10000},
        {"Trunk Sides", &P::TrunkSides, 2, 256},
        {"Trunk LOD", &P::TrunkLOD, 1, 50},
        {"Trunk Shape", &P::TrunkShape, 1, 16},
        {"Trunk Smooth", &P::TrunkSmooth, 1, 100},
        {"Trunk Flute", &P::TrunkFlute, -100, 100},
        {"Tree Height cm", &P::TreeHeight, 1, 10000},
        {"Trunk Girth max", &P::TrunkGirthMax, 1, 2000},
        {"Trunk Girth min", &P::TrunkGirthMin, 0, 200},
        {"Trunk Twist", &P::TrunkTwist, -100, 100},
        {"Chaos", &P::TrunkChaos, 1, 100},
        {"Chaos Start", &P::ChaosStart, 1, 50},
        {"Sway X", &P::SwayX, -100, 100},
        {"Sway Z", &P::SwayZ, -100, 100},
        {"Trunk Height", &P::TrunkHeight, 0, 1000},
        {"Image Shape", &P::ImageShape, 0, 100},
        {"BranchA Length cm", &P::BranchALength, 1, 1000},
        {"BranchB Length cm", &P::BranchBLength, 1, 1000},
        {"Length RND", &P::LengthRND, 0, 200},
        {"Branch Sides", &P::BranchSides, 2, 32},
        {"Branch LOD", &P::BranchLOD, 2, 32},
        {"BranchB LOD", &P::BranchBLOD, 2, 32},
        {"Shape", &P::Shape, 1, 8},
        {"Smooth", &P::Smooth, 1, 100},
        {"Spread", &P::Spread, 1, 100},
        {"Chaos", &P::BranchChaos, 1, 100, 1},
        {"Chaos Interval", &P::ChaosInterval, 1, 10},
        {"Angle Hi", &P::AngleHi, 0, 180},
        {"Angle Lo", &P::AngleLo, 0, 180},
        {"Bending Hi", &P::BendingHi, -200, 200},
        {"Bending Lo", &P::BendingLo, -100, 100},
        {"START1", &P::Start1, 0, 100},
        {"START2", &P::Start2, 0, 100},
        {"START3", &P::Start3, 0, 100},
        {"Spin Hi", &P::SpinHi, 0, 8},
        {"Spin Low", &P::SpinLow, 0, 8},
        {"Spin RND", &P::SpinRND, 0, 100},
        {"Spin Angle", &P::SpinAngle, 0, 360},
        {"Shuffle", &P::Shuffle, 0, 50},
        {"Branch Up", &P::BranchUp, 0, 360},
        {"Branch Wall", &P::BranchWall, 0, 360},
        {"Twig Length A", &P::TwigLengthA, 1, 200},
        {"Twig Length B", &P::TwigLengthB, 1, 200},
        {"Twig RND", &P::TwigRND, 0, 100},
        {"Twig Sides", &P::TwigSides, 2, 16},
        {"Twig LOD A", &P::TwigLODA, 2, 10},
        {"Twig LOD B", &P::TwigLODB, 2, 10},
        {"Bend Hi", &P::BendHi, -200, 200},
        {"Bend Lo", &P::BendLo, -100, 100},
        {"Spread Hi", &P::SpreadHi, 1, 100},
        {"Spread Lo", &P::SpreadLo, 1, 100},
        {"Chaos Hi", &P::ChaosHi, 0, 100},
        {"Chaos Lo", &P::ChaosLo, 0, 100},
        {"End Of Trunk", &P::EndOfTrunk, 0, 5},
        {"End Of Branch", &P::EndOfBranch, 0, 5},
        {"Alternate Bias", &P::AlternateBias, 0, 100},
        {"START3", &P::TwigStart3, 0, 100, 1},
        {"Leaf Size X", &P::LeafSizeX, 1, 100},
        {"Leaf Size Y", &P::LeafSizeY, 1, 100},
        {"Leaf Maps X", &P::LeafMapsX, 1, 8},
        {"Leaf Maps Y", &P::LeafMapsY, 1, 8},
        {"Leaf LOD", &P::LeafLOD, 0, 100},
        {"Floor LOD", &P::LeafFloorLOD, 0, 100},
        {"Up Down RND", &P::UpDownRND, 1, 180},
        {"Left Right RND", &P::LeftRightRND, 1, 180},
        {"Standoff Ground", &P::LeafStandoff, 1, 100},
        {"Up Down", &P::UpDown, -20, 180},
        {"Fruit Size X", &P::FruitSizeX, 1, 100},
        {"Fruit Size Y", &P::FruitSizeY, 1, 100},
        {"Fruit Maps X", &P::FruitMapsX, 1, 8},
        {"Fruit Maps Y", &P::FruitMapsY, 1, 8},
        {"Fruit LOD", &P::FruitLOD, 0, 100},
        {"Floor LOD", &P::FruitFloorLOD, 0, 100, 1},
        {"Roll RND", &P::RollRND, 1, 360},
        {"Turn RND", &P::TurnRND, 1, 360},
        {"Standoff Ground", &P::FruitStandoff, 1, 100, 1},
        {"Apple Pear", &P::ApplePear, 0, 100},
        {"Fruit Sides", &P::FruitSides, 4, 32},
        {"Wind On Stem", &P::WindOnStem, 0, 200},
        {"Wind On Branch", &P::WindOnBranch, 0, 200},
        {"Wind On Twigs", &P::WindOnTwigs, 0, 200},
        {"Wind On Leaves", &P::WindOnLeaves, 0, 200},
        {"Wind On Fruit", &P::WindOnFruit, 0, 200},
    };
    return fields;
}

TreeParams TreeParams::clamped() const
{
    TreeParams q = *this;
    clampFields(q, treeSliderFields());
    return q;
}

TreeParams::TopologyKey TreeParams::topologyKey() const
{
    const TreeParams q = clamped();
    return {q.lowLOD ? 3 : q.TrunkSides,
            q.TrunkLOD,
            q.Start1,
            q.lowLOD ? 0 : q.SpinHi,
            q.lowLOD ? 1 : q.SpinLow,
            q.EndOfTrunk,
            q.lowLOD ? 3 : q.BranchSides,
            q.BranchLOD,
            q.BranchBLOD,
            q.Start2,
            q.EndOfBranch,
            q.Start3,
            q.lowLOD ? 3 : q.TwigSides,
            q.TwigLODA,
            q.TwigLODB,
            q.TwigStart3,
            q.LeafLOD,
            q.LeafFloorLOD,
            q.FruitLOD,
            q.FruitFloorLOD,
            q.FruitSides,
            q.LeafMapsX,
            q.LeafMapsY,
            q.FruitMapsX,
            q.FruitMapsY};
}

void treeFruitProfile(int applePear, float radius[8], float height[8])
{
    VX_EXPECT(radius && height, "room for the eight rings");
    static const float appleR[8] = {0.011f, 0.01f, 0.5f, 0.9f, 1.0f, 0.9f, 0.45f, 0.0f};
    static const float appleH[8] = {1.0f, 0.87f, 0.9f, 0.8f, 0.6f, 0.4f, 0.2f, 0.205f};
    static const float pearR[8] = {0.011f, 0.01f, 0.25f, 0.4f, 0.35f, 0.6f, 0.45f, 0.0f};
    static const float pearH[8] = {1.0f, 0.82f, 0.88f, 0.8f, 0.65f, 0.4f, 0.16f, 0.1f};
    const float p = float(clampi(applePear, 0, 100)) * 0.01f;
    for (int i = 0; i < 8; ++i) {
        radius[i] = appleR[i] + (pearR[i] - appleR[i]) * p;
        height[i] = appleH[i] + (pearH[i] - appleH[i]) * p;
    }
}

namespace treeshape {

UvLayout uvLayout(const TreeParams& p, int S, int BS, int TS)
{
    UvLayout u;
    const int L = p.TrunkLOD;
    u.trunkA = 0;
    u.trunkB = u.trunkA + L * (S + 1);
    u.branchA = u.trunkB + L * (S + 1);
    u.branchB = u.branchA + (p.BranchLOD - 1) * (BS + 1);
    u.twigA = u.branchB + (p.BranchBLOD - 1) * (BS + 1);
    u.twigB = u.twigA + (p.TwigLODA - 1) * (TS + 1);
    u.leaf = u.twigB + (p.TwigLODB - 1) * (TS + 1);
    u.fruit = u.leaf + p.LeafMapsX * p.LeafMapsY * 4;
    u.total = u.fruit + p.FruitMapsX * p.FruitMapsY * 8 * (p.FruitSides + 1);
    return u;
}

void appendUvBlocks(const TreeParams& p, const UvLayout& layout, int S, int BS, int TS, DzMap& uvs)
{
    auto grid = [&uvs](int rows, int sides, float vStep) {
        for (int r = 0; r < rows; ++r)
            for (int j = 0; j <= sides; ++j) uvs.appendPnt2Vec(DzPnt2(float(j) / float(sides), float(r) * vStep));
    };
    const int L = p.TrunkLOD;
    grid(L, S, 1.f);
    grid(L, S, 1.f / float(L));
    grid(p.BranchLOD - 1, BS, 1.f / float(p.BranchLOD));
    grid(p.BranchBLOD - 1, BS, 1.f / float(p.BranchBLOD));
    grid(p.TwigLODA - 1, TS, 1.f / float(p.TwigLODA));
    grid(p.TwigLODB - 1, TS, 1.f / float(p.TwigLODB));
    // Leaf tiles row by row from the image's top; a leaf's stem end (its first two corners)
    // takes the tile's lower edge.
    const float lw = 1.f / float(p.LeafMapsX), lh = 1.f / float(p.LeafMapsY);
    for (int ty = 0; ty < p.LeafMapsY; ++ty)
        for (int tx = 0; tx < p.LeafMapsX; ++tx) {
            const float u0 = float(tx) * lw, u1 = u0 + lw;
            const float vTop = 1.f - float(ty) * lh, vBottom = vTop - lh;
            uvs.appendPnt2Vec(DzPnt2(u0, vBottom));
            uvs.appendPnt2Vec(DzPnt2(u1, vBottom));
            uvs.appendPnt2Vec(DzPnt2(u1, vTop));
            uvs.appendPnt2Vec(DzPnt2(u0, vTop));
        }
    // Fruit tiles in the order a fruit's draw picks them (row * columns + column).
    const float fw = 1.f / float(p.FruitMapsX), fh = 1.f / float(p.FruitMapsY);
    const int FS = p.FruitSides;
    for (int ty = 0; ty < p.FruitMapsY; ++ty)
        for (int tx = 0; tx < p.FruitMapsX; ++tx)
            for (int ring = 0; ring < 8; ++ring)
                for (int j = 0; j <= FS; ++j)
                    uvs.appendPnt2Vec(DzPnt2(float(tx) * fw + float(j) * fw / float(FS),
                                             1.f - float(ty) * fh - float(ring) * fh / 7.f));
    (void)layout;
}

WindTerms windTerms(const TreeParams& p, const TreeWind& w)
{
    WindTerms t;
    float s1 = float(w.WindSpeed) * 0.01f * w.phase;
    if (s1 == 0.f) s1 = 0.001f;
    const float s2 = float(w.WindSpeed2) * 0.01f * w.phase;
    const float strength = float(clampi(w.WindStrength1, 0, 200)) * 0.001f;
    const float sa = std::sin(0.1f * s1) * strength, ca = std::cos(0.1f * s1) * strength;
    const float sb = s2 > 0.f ? std::sin(0.1f * s2) * strength : 0.f;
    const float cb = s2 > 0.f ? std::cos(0.1f * s2) * strength : 0.f;
    const float WS = float(p.WindOnStem) * 0.01f, WB = float(p.WindOnBranch) * 0.01f;
    const float WT = float(p.WindOnTwigs) * 0.01f, WL = float(p.WindOnLeaves) * 0.01f;
    const float WF = float(p.WindOnFruit) * 0.01f;
    t.stemX = term((sa + sb) * 0.01f * WS);
    t.stemZ = term((ca + cb) * 0.01f * WS);
    t.branchHi = term((sa + sb) * 100.f * WB);
    t.branchLo = term((ca + cb) * 50.f * WB);
    t.twigHiA = term((sa + sb) * 25.f * WT);
    t.twigLoA = term((ca + cb) * 12.f * WT);
    t.twigHiB = term((sa + sb) * 12.f * WT);
    t.twigLoB = term((ca + cb) * 6.f * WT);
    t.second = s2 > 0.f;
    t.leafA = term(std::cos(0.2f * s1) * strength * 50.f * WL);
    t.leafB = term(t.second ? std::cos(0.2f * s2) * strength * 50.f * WL : 0.f);
    float turn = std::sin(0.1f * s1) * strength * 25.f * WL;
    if (t.second) turn += std::sin(0.1f * s2) * strength * 25.f * WL;
    t.leafTurn = term(turn);
    t.fruitRoll = term(t.second ? (std::sin(0.1f * s2) + std::sin(0.1f * s1)) * strength * 25.f * WF
                                : std::sin(0.1f * s1) * strength * 50.f * WF);
    return t;
}

Work& workStorage()
{
    static thread_local std::unique_ptr<Work> work;
    if (!work) work.reset(new Work);
    return *work;
}

}  // namespace treeshape
