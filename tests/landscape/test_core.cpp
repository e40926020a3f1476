// The terrain core on plain arrays: the blend of the map slots, the line passes against a
// plain reading of their rules, the judging of the slots, the grid topology and resting.
#include <gtest/gtest.h>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <dzgeometry.h>
#include "landscape/heightmaps.h"
#include "landscape/heightquery.h"
#include "landscape/terraincore.h"
#include "plugin/verdixrandom.h"

namespace {

// A map slot filled with one grey value or by a function of (column, row).
struct Map
{
    int w = 1, h = 1;
    std::vector<unsigned char> bytes;
    static Map flat(unsigned char v, int w = 1, int h = 1) { return {w, h, std::vector<unsigned char>(size_t(w * h), v)}; }
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
    {
        Case c;  // all weights 0: flat, whatever the passes do
        c.maps[SlotLand] = Map::flat(255);
        c.p.Smooth = 400;
        c.p.DeNoise = 100;
        expectAll(c.run(), 0.f);
    }
    {
        Case c;
        c.maps[SlotLand] = Map::flat(255);
        c.p.Land = 100;
        expectAll(c.run(), 255.f);
        c.p.SizeY = 50;
        expectAll(c.run(), 127.5f);
        c.p.SizeY = 0;
        expectAll(c.run(), 0.f);
    }
    {
        Case c;
        c.maps[SlotHill] = Map::flat(255);
        c.p.Hill = 100;
        expectAll(c.run(), 1020.f);
    }
    {
        // The hill lifts the river bed: 255 x (1 - 100 x 1 x 0.002) = 204 cut from 200.
        Case c;
        c.maps[SlotRiver] = Map::flat(255);
        c.maps[SlotHill] = Map::flat(100);
        c.p.River = 100;
        c.p.Hill = 50;
        expectAll(c.run(), 200.f - 204.f, 1e-4f);
        c.p.Hill = 0;  // without the hill the full depth is cut
        expectAll(c.run(), -255.f);
    }
    {
        Case c;
        c.maps[SlotLand] = Map::flat(255);
        c.maps[SlotFlat] = Map::flat(255);
        c.p.Land = 100;
        c.p.Flat = 100;
        expectAll(c.run(), 255.f * (1.f - 0.9996f), 1e-3f);
        c.maps[SlotFlat] = Map::flat(0);  // a black flat map leaves the land alone
        expectAll(c.run(), 255.f);
    }
    {
        // The User map is the base the others add to; negative weights invert.
        Case c;
        c.user = {7.f};
        c.userSize = 1;
        c.p.User = -100;
        c.maps[SlotLand] = Map::flat(10);
        c.p.Land = 100;
        expectAll(c.run(), 3.f);
        c.userSize = 0;  // no side length: the slot stays out
        expectAll(c.run(), 10.f);
    }
}

TEST(TerrainBlend, SamplesEachMapByIntegerScaling)
{
    Case c(1, 4);  // V = 5
    Map m{2, 2, {10, 20, 30, 40}};
    c.maps[SlotLand] = m;
    c.p.Land = 100;
    c.user = {1, 2, 3, 4, 5, 6, 7, 8, 9, 100};  // 4 x 10 bytes: side 3, the tenth never read
    c.userSize = heightFileMapSize(40);
    ASSERT_EQ(c.userSize, 3);
    c.p.User = 100;
    const std::vector<float> y = c.run();
    const int V = 5;
    // Map row floor(r * 2 / 5): rows 0-2 read map row 0, rows 3-4 map row 1; likewise for
    // columns. User row floor(r * 3 / 5): 0,0,1,1,2.
    auto expect = [&](int r, int col) {
        const float land = m.bytes[size_t((r * 2 / V) * 2 + col * 2 / V)];
        const float user = c.user[size_t((r * 3 / V) * 3 + col * 3 / V)];
        return land + user;
    };
    for (int r = 0; r < V; ++r)
        for (int col = 0; col < V; ++col) EXPECT_EQ(y[size_t(r * V + col)], expect(r, col)) << r << "," << col;
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
    for (int r = 0; r <= N; ++r) {
        float p = at(r, 0);
        for (int c = 0; c <= N; ++c) visit(r, c, p);
    }
    for (int r = N; r >= 0; --r) {
        float p = at(r, 0);
        for (int c = N; c >= 0; --c) visit(r, c, p);
    }
    for (int c = 0; c <= N; ++c) {
        float p = at(0, c);
        for (int r = 0; r <= N; ++r) visit(r, c, p);
    }
    for (int c = N; c >= 0; --c) {
        float p = at(0, c);
        for (int r = N; r >= 0; --r) visit(r, c, p);
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

        TerrainParams blendOnly = c.p;
        blendOnly.Path = blendOnly.Smooth = blendOnly.DeNoise = 0;
        Case b = c;
        b.p = blendOnly;
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

TEST(TerrainPasses, DenoiseCalmsSpikesAndNeedsAnInterior)
{
    TerrainLayout l{1, 4, 1.f};
    std::vector<float> y(25, 0.f);
    y[12] = 10.f;  // the centre
    denoiseTerrain(l, 1.f, y.data());
    EXPECT_LT(y[12], 10.f);
    EXPECT_GE(y[12], 0.f);

    TerrainLayout single{1, 1, 1.f};  // one quad: four corners, no interior
    std::vector<float> q = {1.f, 5.f, -3.f, 2.f};
    const std::vector<float> before = q;
    denoiseTerrain(single, 1.f, q.data());
    EXPECT_EQ(q, before);
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

    // The User slot needs a weight, a side length and the floats for it.
    st = TerrainSlotState();
    for (int k = 0; k < kImageSlots; ++k) st.imageLoaded[k] = st.mapPresent[k] = true;
    p.User = 50;
    st.mapSize = 3;
    st.userFloats = 9;
    EXPECT_TRUE(judgeTerrainSlots(st, p).userActive);
    st.userFloats = 8;
    EXPECT_FALSE(judgeTerrainSlots(st, p).userActive);
    st.userFloats = 9;
    p.User = 0;
    EXPECT_FALSE(judgeTerrainSlots(st, p).userActive);
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
    EXPECT_EQ(mesh.getVertex(0), DzVec3(-5, 0, 5));
    EXPECT_EQ(mesh.getVertex(2), DzVec3(5, 0, 5));
    EXPECT_EQ(mesh.getVertex(5), DzVec3(5, 0, 0));
    EXPECT_EQ(mesh.getVertex(6), DzVec3(-5, 0, -5));
    EXPECT_EQ(mesh.getUVs()->getPnt2Value(5), DzPnt2(1.f, -0.5f));
    EXPECT_EQ(mesh.getUVs()->getPnt2Value(6), DzPnt2(0.f, -1.f));
    const int expected[4][4] = {{0, 1, 4, 3}, {1, 2, 5, 4}, {3, 4, 7, 6}, {4, 5, 8, 7}};
    for (int f = 0; f < 4; ++f) {
        const DzFacet& q = mesh.getFacet(f);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(q.m_vertIdx[k], expected[f][k]);
            EXPECT_EQ(q.m_uvwIdx[k], expected[f][k]);
        }
        EXPECT_EQ(q.m_materialIdx, 0);
    }
    // The grid the height query reads is the one laid down here.
    std::vector<float> y(9);
    for (int k = 0; k < 9; ++k) y[size_t(k)] = float(k);
    writeTerrainVertices(l, y.data(), mesh.getVerticesPtr());
    const TerrainGrid grid = TerrainGrid::fromLayout(mesh.getVerticesPtr(), 9, 2, 1, 5.f);
    EXPECT_NEAR(terrainHeight(grid, 0.f, 0.f, nullptr, nullptr, nullptr).height, 4.f, 1e-5);
    EXPECT_NEAR(terrainHeight(grid, 5.f, -5.f, nullptr, nullptr, nullptr).height, 8.f, 1e-5);
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
    const TerrainRestInfo info = restTerrain(l, r, y.data(), [](float x, float z) {
        return (x <= 0.f && z <= 0.f) ? 20.f : kHeightMiss;
    });
    auto at = [&](int row, int col) { return y[size_t(row * V + col)]; };
    EXPECT_EQ(info.maxMiss, 6);
    EXPECT_EQ(info.firstMiss, 6);  // counted from the -Z edge: rows 10..5 overlap
    EXPECT_EQ(info.blendCount, 4);
    // Over the other terrain the heights are its own.
    for (int row = 5; row <= 10; ++row)
        for (int col = 0; col <= 5; ++col) EXPECT_EQ(at(row, col), 20.f) << row << "," << col;
    // Far from it they stay.
    EXPECT_EQ(at(0, 10), 0.f);
    EXPECT_EQ(at(10, 10), 0.f);
    EXPECT_EQ(at(0, 0), 0.f);
    // Nowhere a step larger than the first easing step.
    const float bound = 20.f * std::sin(22.5f * 0.017453292f) + 1e-3f;
    for (int row = 0; row < V; ++row)
        for (int col = 0; col < V; ++col) {
            if (col + 1 < V) {
                EXPECT_LE(std::fabs(at(row, col + 1) - at(row, col)), bound) << row << "," << col;
            }
            if (row + 1 < V) {
                EXPECT_LE(std::fabs(at(row + 1, col) - at(row, col)), bound) << row << "," << col;
            }
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
    imageToHeightBytes(nullptr, img);  // no buffer, no harm
    unsigned char untouched = 9;
    imageToHeightBytes(&untouched, QImage());
    EXPECT_EQ(untouched, 9);
    // A palette image reads by its colours.
    QImage opaque = img.convertToFormat(QImage::Format_RGB32);
    QImage indexed = opaque.convertToFormat(QImage::Format_Indexed8);
    unsigned char fromIndexed[6] = {};
    imageToHeightBytes(fromIndexed, indexed);
    EXPECT_EQ(fromIndexed[0], 170);

    EXPECT_EQ(heightFileMapSize(0), 0);
    EXPECT_EQ(heightFileMapSize(3), 0);
    EXPECT_EQ(heightFileMapSize(36), 3);
    EXPECT_EQ(heightFileMapSize(40), 3);
    EXPECT_EQ(heightFileMapSize(1764), 21);
    EXPECT_EQ(heightFileMapSize(4LL * 10001 * 10001), 10001);
    EXPECT_EQ(heightFileMapSize(4LL * 10001 * 10001 - 4), 10000);
    EXPECT_GE(kMaxHeightFileBytes, 4LL * 10001 * 10001);  // the largest terrain's own file loads
}
