#pragma once
// Pieces of the tree pass shared by its two files: small matrices, the UV block layout, the
// wind terms of one pass and the pass's fixed working storage.
#include <cmath>

#include "dzmath.h"
#include "tree/treecore.h"

class DzMap;

namespace treeshape {

constexpr float kTwoPi = 6.2831855f;
constexpr int kMaxTrunkSides = 256;
constexpr int kMaxTubeSides = 32;
constexpr int kMaxFruitSides = 32;

// Row-major 3x3; vectors are columns, so mul(a, b) applies b first.
struct Mat3
{
    float m[3][3] = {{1.f, 0.f, 0.f}, {0.f, 1.f, 0.f}, {0.f, 0.f, 1.f}};
};

inline Mat3 mul(const Mat3& a, const Mat3& b)
{
    Mat3 o;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) o.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c];
    return o;
}
inline DzVec3 apply(const Mat3& m, float x, float y, float z)
{
    return DzVec3(m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z, m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z,
                  m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z);
}
inline DzVec3 apply(const Mat3& m, const DzVec3& v) { return apply(m, v.x(), v.y(), v.z()); }
inline Mat3 rotX(float r)
{
    Mat3 o;
    const float c = std::cos(r), s = std::sin(r);
    o.m[1][1] = c;
    o.m[1][2] = -s;
    o.m[2][1] = s;
    o.m[2][2] = c;
    return o;
}
inline Mat3 rotY(float r)
{
    Mat3 o;
    const float c = std::cos(r), s = std::sin(r);
    o.m[0][0] = c;
    o.m[0][2] = s;
    o.m[2][0] = -s;
    o.m[2][2] = c;
    return o;
}
inline Mat3 rotZ(float r)
{
    Mat3 o;
    const float c = std::cos(r), s = std::sin(r);
    o.m[0][0] = c;
    o.m[0][1] = -s;
    o.m[1][0] = s;
    o.m[1][1] = c;
    return o;
}

// Where each UV block starts, in the order the blocks are appended.
struct UvLayout
{
    int trunkA = 0, trunkB = 0, branchA = 0, branchB = 0, twigA = 0, twigB = 0, leaf = 0, fruit = 0, total = 0;
};
UvLayout uvLayout(const TreeParams& p, int trunkSides, int branchSides, int twigSides);
void appendUvBlocks(const TreeParams& p, const UvLayout& layout, int trunkSides, int branchSides, int twigSides,
                    DzMap& uvs);

// The wind's share of the pass's angles; all zero for the static tree.
struct WindTerms
{
    float stemX = 0.f, stemZ = 0.f;        // trunk lean per ring, radians
    float branchHi = 0.f, branchLo = 0.f;  // added to "Bending Hi"/"Bending Lo"
    float twigHiA = 0.f, twigLoA = 0.f, twigHiB = 0.f, twigLoB = 0.f;
    float leafA = 0.f, leafB = 0.f;  // leaf tilt terms, degrees
    bool second = false;             // "Wind Speed2" above 0
    float leafTurn = 0.f;            // degrees
    float fruitRoll = 0.f;           // degrees about Z, hanging fruit
    // The hanging leaf's tilt about X without its 10 degrees: whole degrees, as the slider
    // values it starts from.
    int leafTilt(int base) const
    {
        int v = int(leafA + float(base));
        if (second) v = int(float(v) + leafB);
        return v;
    }
};
WindTerms windTerms(const TreeParams& p, const TreeWind& w);

struct Start
{
    DzVec3 pos;
    float radius = 0.f;
    float half = 0.f;  // where the child's distance starts
    float spin = 0.f;  // degrees
    float tilt = 0.f;  // the first-order tilt, degrees
    float bend = 0.f;  // the first-order bend per ring, degrees
    Mat3 frame;        // the trunk's frame at the start
};

struct StartList
{
    Start items[kTreeMaxStarts];
    int count = 0;
    void add(const Start& s)
    {
        if (count < kTreeMaxStarts) items[count++] = s;
    }
};

struct LeafPoint
{
    DzVec3 pos;
    float angle = 0.f;
};

// Sized for the capacities once per thread; a pass never allocates.
struct Work
{
    StartList a, b, ta, tb;
    LeafPoint leaves[kTreeMaxLeaves];
    int nLeaves = 0;
    DzVec3 fallen[kTreeMaxLeaves];
    int nFallen = 0;
    DzVec3 fruit[kTreeMaxFruit];
    int nFruit = 0;

    void reset()
    {
        a.count = b.count = ta.count = tb.count = 0;
        nLeaves = nFallen = nFruit = 0;
    }
    void addLeaf(const DzVec3& pos, float angle)
    {
        if (nLeaves < kTreeMaxLeaves) leaves[nLeaves++] = LeafPoint{pos, angle};
    }
    void addFruit(const DzVec3& pos)
    {
        if (nFruit < kTreeMaxFruit) fruit[nFruit++] = pos;
    }
};
Work& workStorage();

}  // namespace treeshape
