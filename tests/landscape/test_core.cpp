// The terrain core on plain arrays: the blend of the map slots, the line passes against a
// plain reading of their rules, the judging of the slots, the grid topology and resting.
#include <gtest/gtest.h>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <dzgeometry.h>
#include "landscape/heightmaps.h"
#include "terrain/heightquery.h"
#include "terrain/terraincore.h"
#include "common/verdixrandom.h"

namespace {

// A map slot filled with one grey value or by a function of (column, row).
struct Map
{
    int w = 1, h = 1;
    std::vector<unsigned char> bytes;
    static Map flat(unsigned char v, int w = 1, int h = 1)
    {
        return {w, h, std::vector<unsigned char>(size_t(w * h), v)};
    }
};

struct Case
{
    TerrainParams p;
    Map maps[kImageSlots];
    std::vector<float> user;
    int userSize = 0;

    Case(int T = 2, int D = 3)
    {
        p.layout = {T, D, 10.f};
        for (Map& m : maps) m = Map::flat(0);
    }
    TerrainSources sources() const
    {
        TerrainSources s;
        TerrainSlotState st;
        for (int k = 0; k < kImageSlots; ++k) {
            s.maps[k] = {maps[k].bytes.data(), maps[k].w, maps[k].h};
            st.imageLoaded[k] = st.mapPresent[k] = true;
        }
        st.mapSize = userSize;
        st.userFloats = (long long)user.size();
        const TerrainJudgement j = judgeTerrainSlots(st, p);
        for (int k = 0; k < kImageSlots; ++k) s.active[k] = j.active[k];
        s.userActive = j.userActive;
        s.user = user.data();
        s.userSize = userSize;
        return s;
    }
    std::vector<float> run() const
    {
        std::vector<float> y(size_t(p.layout.vertexCount()), -1.f);
        computeTerrainHeights(p, sources(), y.data());
        return y;
    }
};

void expectAll(const std::vector<float>& y, float v, float tol = 0.f)
{
    for (size_t k = 0; k < y.size(); ++k) ASSERT_NEAR(y[k], v, tol) << "vertex " << k;
}

}  // namespace

TEST(TerrainBlend, WeightsAndMapsGiveTheDocumentedHeights)
{
    struct Row
    {
        int grey[4], weight[4];  // land, river, hill and flat: the maps' grey and their sliders
        int sizeY;
        float expected, tol;
    };
    const Row rows[] = {
        {{255, 0, 0, 0}, {0, 0, 0, 0}, 100, 0.f, 0.f},  // no weight: flat, passes or not
        {{255, 0, 0, 0}, {100, 0, 0, 0}, 100, 255.f, 0.f},
        {{255, 0, 0, 0}, {100, 0, 0, 0}, 50, 127.5f, 0.f},
        {{0, 0, 255, 0}, {0, 0, 100, 0}, 100, 1020.f, 0.f},              // 510 x 2
        {{0, 255, 100, 0}, {0, 100, 50, 0}, 100, 200.f - 204.f, 1e-4f},  // the hill lifts the bed
        {{0, 255, 0, 0}, {0, 100, 0, 0}, 100, -255.f, 0.f},
        {{255, 0, 0, 255}, {100, 0, 0, 100}, 100, 255.f * (1.f - 0.9996f), 1e-3f},
        {{255, 0, 0, 0}, {100, 0, 0, 100}, 100, 255.f, 0.f},  // a black flat map flattens nothing
        {{10, 0, 0, 0}, {-100, 0, 0, 0}, 100, -10.f, 0.f},
    };
    for (const Row& r : rows) {
        Case c;
        for (int k = 0; k < 4; ++k) c.maps[k] = Map::flat((unsigned char)r.grey[k]);
        c.p.Land = r.weight[0];
        c.p.River = r.weight[1];
        c.p.Hill = r.weight[2];
        c.p.Flat = r.weight[3];
        c.p.SizeY = r.sizeY;
        c.p.Smooth = 400;
        c.p.DeNoise = 100;
        expectAll(c.run(), r.expected, r.tol);
    }
    // The User map is the base the others add to, and needs a side length.
    Case c;
    c.user = {7.f};
    c.userSize = 1;
    c.p.User = -100;
    c.maps[SlotLand] = Map::flat(10);
    c.p.Land = 100;
    expectAll(c.run(), 3.f);
    c.userSize = 0;
    expectAll(c.run(), 10.f);
}

namespace {

// The line passes as their rules read, one vertex at a time.
void referenceRelax(int N, std::vector<float>& y, const std::function<float(int, int)>& factor)
{
    const int V = N + 1;
    auto at = [&](int r, int c) -> float& { return y[size_t(r * V + c)]; };
    auto visit = [&](int r, int c, float& p) {
        const float f = factor(r, c);
        if (f != 0.f) at(r, c) = at(r, c) + ((at(r, c) + p) * 0.5f - at(r, c)) * f;
        p = at(r, c);
    };
    // Rows forwards, rows backwards, columns forwards, columns backwards; the running value
    // starts at each line's first vertex in forward order.
    for (int pass = 0; pass < 4; ++pass)
        for (int line = 0; line <= N; ++line) {
            const bool rows = pass < 2;
            float p = rows ? at(line, 0) : at(0, line);
            for (int s = 0; s <= N; ++s) {
                const int k = pass % 2 ? N - s : s;
                if (rows) visit(line, k, p);
                else visit(k, line, p);
            }
        }
}

void referenceDenoise(int N, std::vector<float>& y, float d)
{
    const int V = N + 1;
    auto at = [&](int r, int c) -> float& { return y[size_t(r * V + c)]; };
    auto treat = [d](float a, float& b, float n) {
        if ((b > a && b > n) || (b < a && b < n)) b = b + ((n * 0.5f + a * 0.5f) - b) * d;
    };
    for (int r = 0; r <= N; ++r)
        for (int c = 1; c < N; ++c) treat(at(r, c - 1), at(r, c), at(r, c + 1));
    for (int c = 0; c <= N; ++c)
        for (int r = 1; r < N; ++r) treat(at(r - 1, c), at(r, c), at(r + 1, c));
}

}  // namespace

TEST(TerrainPasses, MatchTheirRulesVertexForVertex)
{
    // Grids whose row counts are and are not multiples of the passes' line groups.
    for (int D : {1, 2, 7, 13, 20}) {
        Case c(1, D);
        const int N = D, V = N + 1;
        vxSrand(unsigned(D));
        Map land{9, 7, {}}, path{5, 11, {}};
        for (int k = 0; k < 63; ++k) land.bytes.push_back((unsigned char)(vxRand() & 0xFF));
        for (int k = 0; k < 55; ++k) path.bytes.push_back((unsigned char)((k % 3) ? vxRand() & 0xFF : 0));
        c.maps[SlotLand] = land;
        c.maps[SlotPath] = path;
        c.p.Land = 73;
        c.p.Path = -41;
        c.p.Smooth = 123;
        c.p.DeNoise = 64;

        Case b = c;  // the blend alone, then the passes by their rules
        b.p.Path = b.p.Smooth = b.p.DeNoise = 0;
        std::vector<float> ref = b.run();
        const float pathW = float(c.p.Path) / 60.f;
        referenceRelax(N, ref, [&](int r, int col) {
            const int e = path.bytes[size_t((r * path.h / V) * path.w + col * path.w / V)];
            return e > 0 ? float(e) * 0.0039215f * pathW : 0.f;
        });
        referenceRelax(N, ref, [&](int, int) { return float(c.p.Smooth) / 200.f; });
        referenceDenoise(N, ref, float(c.p.DeNoise) / 100.f);

        const std::vector<float> got = c.run();
        ASSERT_EQ(got.size(), ref.size());
        for (size_t k = 0; k < got.size(); ++k) ASSERT_EQ(got[k], ref[k]) << "D=" << D << " vertex " << k;
    }
}

TEST(TerrainSlots, MissingImagesAndMapsAreReportedInOrder)
{
    TerrainParams p;
    p.Land = p.River = p.Hill = p.Flat = p.Path = 10;
    TerrainSlotState st;
    for (int k = 0; k < kImageSlots; ++k) st.imageLoaded[k] = st.mapPresent[k] = true;
    st.imageLoaded[SlotLand] = st.imageLoaded[SlotHill] = st.imageLoaded[SlotPath] = false;
    TerrainJudgement j = judgeTerrainSlots(st, p);
    EXPECT_EQ(j.messages, QStringList({"MapA image missing!", "MapC image missing!", "MapE image missing! 3"}));
    EXPECT_TRUE(j.stop.isEmpty());
    EXPECT_FALSE(j.active[SlotLand]);
    EXPECT_TRUE(j.active[SlotRiver]);

    // A slot without its byte grid stops the update whatever its weight.
    st = TerrainSlotState();
    for (int k = 0; k < kImageSlots; ++k) st.imageLoaded[k] = st.mapPresent[k] = true;
    st.mapPresent[SlotPath] = st.imageLoaded[SlotPath] = false;
    p.Path = 0;
    j = judgeTerrainSlots(st, p);
    EXPECT_EQ(j.stop, "Error MapE!");
    EXPECT_EQ(j.messages.last(), "Error MapE!");
}

TEST(TerrainTopology, VerticesUvsAndQuadsInGridOrder)
{
    const TerrainLayout l{2, 1, 5.f};  // N = 2, extent 10
    DzFacetMesh mesh;
    mesh.setUVList(new DzUVSet);
    mesh.activateMaterial(3);
    addTerrainTopology(l, mesh);
    ASSERT_EQ(mesh.getNumVertices(), 9);
    ASSERT_EQ(mesh.getUVs()->getNumValues(), 9);
    ASSERT_EQ(mesh.getNumFacets(), 4);
    // Row 0 at +Z, column 0 at -X; the UVs run from (0, 0) to (1, -1).
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(mesh.getVertex(k), DzVec3(-5.f + 5.f * (k % 3), 0.f, 5.f - 5.f * (k / 3))) << k;
        EXPECT_EQ(mesh.getUVs()->getPnt2Value(k), DzPnt2(0.5f * (k % 3), -0.5f * (k / 3))) << k;
    }
    const int expected[4][4] = {{0, 1, 4, 3}, {1, 2, 5, 4}, {3, 4, 7, 6}, {4, 5, 8, 7}};
    for (int f = 0; f < 4; ++f) {
        const DzFacet& q = mesh.getFacet(f);
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(q.m_vertIdx[k] == expected[f][k] && q.m_uvwIdx[k] == expected[f][k]);
        EXPECT_EQ(q.m_materialIdx, 0);
    }
}

TEST(TerrainRest, EdgeFollowsTheOtherTerrainAndEasesBackWithoutAStep)
{
    // This terrain is flat at 0; the other one is a plateau at 20 under its -X, -Z corner.
    const TerrainLayout l{1, 10, 10.f};  // V = 11, x and z from -5 to 5
    const int V = l.side();
    std::vector<float> y(size_t(V * V), 0.f);
    TerrainRest r;
    r.rest = 1.f;
    r.blend = 4;
    r.flagX = r.flagZ = true;
    const TerrainRestInfo info =
        restTerrain(l, r, y.data(), [](float x, float z) { return (x <= 0.f && z <= 0.f) ? 20.f : kHeightMiss; });
    auto at = [&](int row, int col) { return y[size_t(row * V + col)]; };
    EXPECT_EQ(info.maxMiss, 6);
    EXPECT_EQ(info.firstMiss, 6);  // counted from the -Z edge: rows 10..5 overlap
    EXPECT_EQ(info.blendCount, 4);
    // Over the other terrain the heights are its own.
    for (int row = 5; row <= 10; ++row)
        for (int col = 0; col <= 5; ++col) EXPECT_EQ(at(row, col), 20.f) << row << "," << col;
    // Far from it they stay.
    EXPECT_TRUE(at(0, 10) == 0.f && at(10, 10) == 0.f && at(0, 0) == 0.f);
    // Nowhere a step larger than the first easing step.
    const float bound = 20.f * std::sin(22.5f * 0.017453292f) + 1e-3f;
    for (int row = 0; row < V; ++row)
        for (int col = 0; col < V; ++col) {
            if (col + 1 < V) EXPECT_LE(std::fabs(at(row, col + 1) - at(row, col)), bound) << row << "," << col;
            if (row + 1 < V) EXPECT_LE(std::fabs(at(row + 1, col) - at(row, col)), bound) << row << "," << col;
        }

    // With rest below 1 the terrain moves part of the way, lifted by the offset.
    std::vector<float> z(size_t(V * V), 4.f);
    r.rest = 0.5f;
    r.restY = 1.f;
    r.dy = 2.f;  // this node stands 2 above the other
    restTerrain(l, r, z.data(), [](float, float) { return 10.f; });
    for (float v : z) ASSERT_FLOAT_EQ(v, 4.f + ((10.f - 2.f + 1.f) - 4.f) * 0.5f);
}

TEST(HeightSources, GreyBytesAndFloatFileSizes)
{
    QImage img(3, 2, QImage::Format_ARGB32);
    img.fill(qRgba(255, 255, 0, 0));
    img.setPixel(2, 1, qRgb(1, 2, 4));
    unsigned char bytes[6] = {};
    imageToHeightBytes(bytes, img);
    EXPECT_EQ(bytes[0], 170);
    EXPECT_EQ(bytes[5], 2);  // (1 + 2 + 4) / 3, rounded down

    // A float file's side is the largest whose square fits in it.
    const long long sizes[][2] = {
        {0, 0}, {3, 0}, {36, 3}, {40, 3}, {1764, 21}, {4LL * 10001 * 10001, 10001}, {4LL * 10001 * 10001 - 4, 10000}};
    for (const auto& c : sizes) EXPECT_EQ(heightFileMapSize(c[0]), c[1]) << c[0];
    EXPECT_GE(kMaxHeightFileBytes, 4LL * 10001 * 10001);  // the largest terrain's own file loads
}
