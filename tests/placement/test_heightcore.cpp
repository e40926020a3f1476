// The height query over plain vertex arrays.
#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include "terrainfixture.h"

namespace {

HeightAnswer ask(const TestTerrain& t, float x, float z, DzVec3* n = nullptr, int* i = nullptr, int* j = nullptr)
{
    return terrainHeight(t.grid(), x, z, n, i, j);
}

// Points from the process's own generator, spread over [-half, half].
struct Lcg
{
    unsigned state;
    float in(float half)
    {
        state = state * 214013u + 2531011u;
        return (int((state >> 16) & 0x7FFF) / 32767.f) * 2.f * half - half;
    }
};

}  // namespace

TEST(HeightCore, InterpolatesBothTrianglesWithAndWithoutCaches)
{
    const TestTerrain t = TestTerrain::make(4, 5, 2.5f, bumpy);
    const double d = t.extent() / t.N();
    Lcg rng{7};
    int firsts = 0, ci = 0, cj = 0;
    for (int k = 0; k < 2000; ++k) {
        const float x = rng.in(t.half()), z = rng.in(t.half());
        bool first = false;
        const double want = t.expected(x, z, &first);
        const HeightAnswer a = ask(t, x, z);
        ASSERT_EQ(a.hit, HeightHit::Found) << x << "," << z;
        EXPECT_NEAR(a.height, want, 2e-3) << x << "," << z;
        // Near the diagonal the triangle is a matter of rounding.
        const double du = ((x + t.half()) - (t.half() - z)) / d;
        if (std::fabs(du - std::round(du)) > 1e-3) EXPECT_EQ(a.firstTriangle, first) << x << "," << z;
        firsts += a.firstTriangle;
        // A query whose cache comes from the last point gives the same height and its cell.
        const HeightAnswer b = ask(t, x, z, nullptr, &ci, &cj);
        EXPECT_EQ(b.height, a.height);
        EXPECT_EQ(ci, b.column);
        EXPECT_EQ(cj, b.row);
        EXPECT_LE(t.at(b.row, b.column).x(), x);
        EXPECT_GE(t.at(b.row + 1, b.column + 1).x(), x);
    }
    EXPECT_GT(firsts, 100);
    EXPECT_LT(firsts, 1900);
    // A point on a cell's diagonal belongs to its first triangle.
    for (int r = 0; r < t.N(); ++r)
        for (int c = 0; c < t.N(); ++c)
            for (float s : {0.25f, 0.5f}) {
                const float x = t.at(r, c).x() + s * float(d), z = t.at(r, c).z() - s * float(d);
                const HeightAnswer a = ask(t, x, z);
                EXPECT_TRUE(a.firstTriangle && a.row == r && a.column == c) << r << "," << c << " s=" << s;
                EXPECT_NEAR(a.height, t.expected(x, z), 2e-3);
            }
}

TEST(HeightCore, EdgesMissesAndGridsWithoutATriangle)
{
    const TestTerrain t = TestTerrain::make(2, 3, 4.f, [](float x, float z) { return 0.5f * x - 0.25f * z + 3.f; });
    const float h = t.half();
    // The edge is inside, on every side, with and without caches.
    for (float x : {-h, h})
        for (float z : {-h, h}) {
            int i = 0, j = 0;
            EXPECT_NEAR(ask(t, x, z).height, 0.5f * x - 0.25f * z + 3.f, 1e-4) << x << "," << z;
            EXPECT_NEAR(ask(t, x, z, nullptr, &i, &j).height, 0.5f * x - 0.25f * z + 3.f, 1e-4);
        }
    // Outside or not a number: the miss value, the normal zeroed, the caches untouched.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto p : {std::make_pair(h + 0.001f, 0.f), std::make_pair(0.f, -h - 0.001f), std::make_pair(-1000.f, 1000.f),
                   std::make_pair(nan, 0.f), std::make_pair(0.f, nan)}) {
        DzVec3 n(1, 2, 3);
        int i = 2, j = 3;
        const HeightAnswer a = ask(t, p.first, p.second, &n, &i, &j);
        EXPECT_EQ(a.hit, HeightHit::OutOfBounds);
        EXPECT_EQ(a.height, kHeightMiss);
        EXPECT_EQ(n, DzVec3(0, 0, 0));
        EXPECT_TRUE(i == 2 && j == 3);
    }

    // A layout promising more vertices than the mesh holds (a terrain rebuilt behind the
    // stored layout's back) answers "no triangle" instead of reading past the array.
    TestTerrain small = TestTerrain::make(2, 2, 1.f, bumpy);
    TerrainGrid g = small.grid();
    g.cells = 8;
    g.half = 1.f;
    g.extent = 2.f;
    int i = 7, j = 7;
    EXPECT_EQ(terrainHeight(g, 0.9f, -0.9f, nullptr, &i, &j).hit, HeightHit::NotFound);
    EXPECT_EQ(terrainHeight(g, 0.9f, -0.9f, nullptr, nullptr, nullptr).height, 0.f);
    small.verts.resize(small.verts.size() - 1);
    EXPECT_EQ(ask(small, 0.f, 0.f).hit, HeightHit::NotFound);

    // Every cell collapsed onto one point: inside the bounds, in no triangle.
    TestTerrain flat = TestTerrain::make(2, 1, 1.f, bumpy);
    for (DzVec3& v : flat.verts) v = DzVec3(5.f, 1.f, 5.f);
    DzVec3 n(1, 1, 1);
    const HeightAnswer none = ask(flat, 0.f, 0.f, &n, &i, &j);
    EXPECT_EQ(none.hit, HeightHit::NotFound);
    EXPECT_EQ(none.height, 0.f);
    EXPECT_EQ(n, DzVec3());
}

TEST(HeightCore, NormalPointsDownOnFlatAndAgainstTheSlope)
{
    // Flat: (0, -1, 0). y = x: the surface normal is (-1, 1, 0)/sqrt2, the result (1, -1, 0)/sqrt2.
    const float s = 0.70710678f;
    const struct
    {
        TestTerrain t;
        DzVec3 want;
    } cases[] = {
        {TestTerrain::make(3, 2, 5.f, [](float, float) { return 4.f; }), DzVec3(0.f, -1.f, 0.f)},
        {TestTerrain::make(2, 2, 3.f, [](float x, float) { return x; }), DzVec3(s, -s, 0.f)},
    };
    for (const auto& c : cases)
        for (auto p : {std::make_pair(0.4f, 0.1f), std::make_pair(1.2f, 0.4f), std::make_pair(-2.f, 2.9f)}) {
            DzVec3 n;
            ask(c.t, p.first, p.second, &n);  // both triangles of a cell
            EXPECT_NEAR((n - c.want).length(), 0.f, 1e-5) << p.first << "," << p.second;
        }
}

TEST(HeightCore, CachesOutsideTheGridOrStaleStillFindTheCell)
{
    const TestTerrain t = TestTerrain::make(20, 20, 20.f, bumpy);  // N = 400, cells of 1
    const float x = -197.3f, z = 155.2f;
    const float want = ask(t, x, z).height;
    // 500 is past N: starts at 0 and still answers; so do negative and stale caches.
    for (std::pair<int, int> start : {std::make_pair(500, 500), std::make_pair(500, 44), std::make_pair(-3, -7),
                                      std::make_pair(399, 0), std::make_pair(400, 400), std::make_pair(200, 200)}) {
        int i = start.first, j = start.second;
        EXPECT_EQ(ask(t, x, z, nullptr, &i, &j).height, want) << start.first << "," << start.second;
        EXPECT_TRUE(i == 2 && j == 44) << start.first << "," << start.second;
    }
    // Only one cache given.
    int j = 399;
    EXPECT_EQ(ask(t, x, z, nullptr, nullptr, &j).height, want);
    EXPECT_EQ(j, 44);
}
