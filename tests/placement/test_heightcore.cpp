// The height query over plain vertex arrays.
#include <gtest/gtest.h>
#include <QtConcurrent/QtConcurrentRun>
#include <QFuture>
#include <cmath>
#include <limits>
#include "terrainfixture.h"

namespace {

float query(const TestTerrain& t, float x, float z, DzVec3* n = nullptr, int* i = nullptr, int* j = nullptr)
{
    return terrainHeight(t.grid(), x, z, n, i, j).height;
}

// Points from the process's own generator, spread over [-half, half].
struct Lcg
{
    unsigned state;
    int next()
    {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }
    float in(float half) { return (next() / 32767.f) * 2.f * half - half; }
};

}  // namespace

TEST(HeightCore, InterpolatesBumpyTerrainOnBothTrianglesWithAndWithoutCaches)
{
    const TestTerrain t = TestTerrain::make(4, 5, 2.5f, bumpy);
    Lcg rng{7};
    int firsts = 0, seconds = 0;
    int ci = 0, cj = 0;
    for (int k = 0; k < 2000; ++k) {
        const float x = rng.in(t.half()), z = rng.in(t.half());
        bool first = false;
        const double want = t.expected(x, z, &first);
        const HeightAnswer a = terrainHeight(t.grid(), x, z, nullptr, nullptr, nullptr);
        ASSERT_EQ(a.hit, HeightHit::Found) << x << "," << z;
        EXPECT_NEAR(a.height, want, 2e-3) << x << "," << z;
        // Near the diagonal the triangle is a matter of rounding.
        const double du = std::fabs((x + t.half()) / (t.extent() / t.N()) - ((t.half() - z) / (t.extent() / t.N()))) ;
        if (std::fabs(du - std::round(du)) > 1e-3) {
            EXPECT_EQ(a.firstTriangle, first) << x << "," << z;
        }
        (a.firstTriangle ? firsts : seconds)++;
        // A cached query starting anywhere gives the same height and reports its cell.
        const HeightAnswer b = terrainHeight(t.grid(), x, z, nullptr, &ci, &cj);
        EXPECT_EQ(b.height, a.height);
        EXPECT_EQ(ci, b.column);
        EXPECT_EQ(cj, b.row);
        EXPECT_LE(t.at(b.row, b.column).x(), x);
        EXPECT_GE(t.at(b.row + 1, b.column + 1).x(), x);
    }
    EXPECT_GT(firsts, 100);
    EXPECT_GT(seconds, 100);
}

TEST(HeightCore, EdgesMissesAndGridsWithoutATriangle)
{
    const TestTerrain t = TestTerrain::make(2, 3, 4.f, [](float x, float z) { return 0.5f * x - 0.25f * z + 3.f; });
    const float h = t.half();
    // The edge is inside, on every side, with and without caches.
    for (float x : {-h, h})
        for (float z : {-h, h}) {
            EXPECT_NEAR(query(t, x, z), 0.5f * x - 0.25f * z + 3.f, 1e-4) << x << "," << z;
            int i = 0, j = 0;
            EXPECT_NEAR(query(t, x, z, nullptr, &i, &j), 0.5f * x - 0.25f * z + 3.f, 1e-4);
        }
    // Outside or not a number: the miss value, the normal zeroed, the caches untouched.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto p : {std::make_pair(h + 0.001f, 0.f), std::make_pair(0.f, -h - 0.001f), std::make_pair(-1000.f, 1000.f),
                   std::make_pair(nan, 0.f), std::make_pair(0.f, nan)}) {
        DzVec3 n(1, 2, 3);
        int i = 2, j = 3;
        const HeightAnswer a = terrainHeight(t.grid(), p.first, p.second, &n, &i, &j);
        EXPECT_EQ(a.hit, HeightHit::OutOfBounds);
        EXPECT_EQ(a.height, kHeightMiss);
        EXPECT_EQ(n, DzVec3(0, 0, 0));
        EXPECT_EQ(i, 2);
        EXPECT_EQ(j, 3);
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
    EXPECT_EQ(terrainHeight(small.grid(), 0.f, 0.f, nullptr, nullptr, nullptr).hit, HeightHit::NotFound);

    // Every cell collapsed onto one point: inside the bounds, in no triangle.
    TestTerrain flat = TestTerrain::make(2, 1, 1.f, bumpy);
    for (DzVec3& v : flat.verts) v = DzVec3(5.f, 1.f, 5.f);
    DzVec3 n(1, 1, 1);
    const HeightAnswer none = terrainHeight(flat.grid(), 0.f, 0.f, &n, &i, &j);
    EXPECT_EQ(none.hit, HeightHit::NotFound);
    EXPECT_EQ(none.height, 0.f);
    EXPECT_EQ(n, DzVec3());
}

TEST(HeightCore, DiagonalBelongsToTheFirstTriangle)
{
    // Different slopes on the two triangles show which one answered.
    const TestTerrain t = TestTerrain::make(1, 4, 8.f, bumpy);
    const float d = t.extent() / t.N();
    for (int r = 0; r < t.N(); ++r)
        for (int c = 0; c < t.N(); ++c) {
            const DzVec3& A = t.at(r, c);
            for (float s : {0.f, 0.25f, 0.5f, 1.f}) {
                const float x = A.x() + s * d, z = A.z() - s * d;
                const HeightAnswer a = terrainHeight(t.grid(), x, z, nullptr, nullptr, nullptr);
                ASSERT_EQ(a.hit, HeightHit::Found);
                if (s > 0.f && s < 1.f) {
                    EXPECT_TRUE(a.firstTriangle) << r << "," << c << " s=" << s;
                    EXPECT_EQ(a.row, r);
                    EXPECT_EQ(a.column, c);
                }
                EXPECT_NEAR(a.height, t.expected(x, z), 1e-3);
            }
        }
}

TEST(HeightCore, NormalPointsDownOnFlatAndAgainstTheSlope)
{
    const TestTerrain flat = TestTerrain::make(3, 2, 5.f, [](float, float) { return 4.f; });
    DzVec3 n;
    for (auto p : {std::make_pair(0.3f, 0.1f), std::make_pair(-5.f, 6.f), std::make_pair(1.1f, -2.9f)}) {
        EXPECT_FLOAT_EQ(query(flat, p.first, p.second, &n), 4.f);
        EXPECT_NEAR(n.x(), 0.f, 1e-6);
        EXPECT_NEAR(n.y(), -1.f, 1e-6);
        EXPECT_NEAR(n.z(), 0.f, 1e-6);
    }
    // y = x: the surface normal (-1, 1, 0)/sqrt2, so the result is (1, -1, 0)/sqrt2.
    const TestTerrain slope = TestTerrain::make(2, 2, 3.f, [](float x, float) { return x; });
    for (auto p : {std::make_pair(0.4f, 0.1f), std::make_pair(0.1f, 0.4f)}) {
        query(slope, p.first, p.second, &n);
        EXPECT_NEAR(n.x(), 0.70710678f, 1e-5);
        EXPECT_NEAR(n.y(), -0.70710678f, 1e-5);
        EXPECT_NEAR(n.z(), 0.f, 1e-5);
    }
    EXPECT_EQ(crossProduct(DzVec3(1, 2, 3), DzVec3(4, 5, 6)), DzVec3(-3, 6, -3));
}

TEST(HeightCore, CachesOutsideTheGridOrStaleStillFindTheCell)
{
    const TestTerrain t = TestTerrain::make(20, 20, 20.f, bumpy);  // N = 400, cells of 1
    const float x = -197.3f, z = 155.2f;
    const float want = query(t, x, z);
    // 500 is past N: starts at 0 and still answers; so do negative and stale caches.
    for (std::pair<int, int> start : {std::make_pair(500, 500), std::make_pair(500, 44), std::make_pair(-3, -7),
                                      std::make_pair(399, 0), std::make_pair(400, 400), std::make_pair(200, 200)}) {
        int i = start.first, j = start.second;
        EXPECT_EQ(query(t, x, z, nullptr, &i, &j), want) << start.first << "," << start.second;
        EXPECT_EQ(i, 2);
        EXPECT_EQ(j, 44);
    }
    // Only one cache given.
    int j = 399;
    EXPECT_EQ(query(t, x, z, nullptr, nullptr, &j), want);
    EXPECT_EQ(j, 44);
}

TEST(HeightCore, ConcurrentWalksGiveTheSerialAnswers)
{
    // Cells of 0.2: the walks cross many cells between queries, and a jump scans the grid.
    const TestTerrain t = TestTerrain::make(20, 5, 1.f, bumpy);
    constexpr int kThreads = 6, kPoints = 2000;
    std::vector<std::vector<DzVec3>> points(kThreads);
    std::vector<std::vector<HeightAnswer>> serial(kThreads), parallel(kThreads);
    for (int th = 0; th < kThreads; ++th) {
        Lcg rng{unsigned(th + 1)};
        float x = rng.in(t.half()), z = rng.in(t.half());
        for (int k = 0; k < kPoints; ++k) {
            // A walking path with a jump now and then.
            x = std::max(-t.half(), std::min(t.half(), x + (rng.next() % 100 - 50) * 0.01f));
            z = std::max(-t.half(), std::min(t.half(), z + (rng.next() % 100 - 50) * 0.01f));
            if (k % 500 == 0) x = rng.in(t.half());
            points[size_t(th)].emplace_back(x, 0.f, z);
        }
        int i = 0, j = 0;
        for (const DzVec3& p : points[size_t(th)]) serial[size_t(th)].push_back(terrainHeight(t.grid(), p.x(), p.z(), nullptr, &i, &j));
    }
    QList<QFuture<void>> running;
    for (int th = 0; th < kThreads; ++th)
        running << QtConcurrent::run([&, th] {
            int i = 0, j = 0;
            DzVec3 n;
            for (const DzVec3& p : points[size_t(th)])
                parallel[size_t(th)].push_back(terrainHeight(t.grid(), p.x(), p.z(), &n, &i, &j));
        });
    for (QFuture<void>& f : running) f.waitForFinished();
    for (int th = 0; th < kThreads; ++th)
        for (int k = 0; k < kPoints; ++k) {
            const HeightAnswer& s = serial[size_t(th)][size_t(k)];
            const HeightAnswer& p = parallel[size_t(th)][size_t(k)];
            ASSERT_EQ(s.height, p.height);
            ASSERT_EQ(s.firstTriangle, p.firstTriangle);
            ASSERT_EQ(s.row, p.row);
            ASSERT_EQ(s.column, p.column);
        }
}
