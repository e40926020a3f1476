#include "flower/flowercore.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "dzgeometry.h"
#include "common/verdixrandom.h"
#include "common/patchlayout.h"
#include "common/vxexpect.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kDeg = 0.01745329f;
constexpr int kMaxSides = 256;
constexpr int kPistilRings = 8;
constexpr std::size_t kMinCache = 500;

// Radius and height factors of the pistil's rings, top to bottom.
const float kPistilProfile[kPistilRings][2] = {{0.0001f, 0.96f}, {0.25f, 0.955f}, {0.5f, 0.95f}, {0.75f, 0.9f},
                                               {0.9f, 0.8f},     {0.95f, 0.6f},   {0.9f, 0.4f},  {0.75f, 0.2f}};

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Row-major rotation matrix: p' = M p.
struct Mat
{
    float m[3][3] = {{1.f, 0.f, 0.f}, {0.f, 1.f, 0.f}, {0.f, 0.f, 1.f}};

    static Mat rotX(float a)
    {
        Mat r;
        const float c = std::cos(a), s = std::sin(a);
        r.m[1][1] = c;
        r.m[1][2] = -s;
        r.m[2][1] = s;
        r.m[2][2] = c;
        return r;
    }
    static Mat rotY(float a)
    {
        Mat r;
        const float c = std::cos(a), s = std::sin(a);
        r.m[0][0] = c;
        r.m[0][2] = s;
        r.m[2][0] = -s;
        r.m[2][2] = c;
        return r;
    }
    static Mat rotZ(float a)
    {
        Mat r;
        const float c = std::cos(a), s = std::sin(a);
        r.m[0][0] = c;
        r.m[0][1] = -s;
        r.m[1][0] = s;
        r.m[1][1] = c;
        return r;
    }
    Mat operator*(const Mat& o) const
    {
        Mat r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
        return r;
    }
    DzVec3 apply(float x, float y, float z) const
    {
        return DzVec3(m[0][0] * x + m[0][1] * y + m[0][2] * z, m[1][0] * x + m[1][1] * y + m[1][2] * z,
                      m[2][0] * x + m[2][1] * y + m[2][2] * z);
    }
    DzVec3 apply(const DzVec3& v) const { return apply(v.m_x, v.m_y, v.m_z); }
};

// Where each block of the UV set starts.
struct UVLayout
{
    int leaf = 0, petalIn = 0, petalOut = 0, pistil = 0, total = 0;
};

UVLayout uvLayout(const FlowerParams& p)
{
    UVLayout u;
    u.leaf = (p.StemLOD + 1) * (p.StemSides + 1);
    u.petalIn = u.leaf + p.LeafMapX * p.LeafMapY * 3 * p.LeafLOD;
    u.petalOut = u.petalIn + p.PetalInnerMapX * p.PetalInnerMapY * 3 * p.PetalLOD;
    u.pistil = u.petalOut + p.PetalOuterMapX * p.PetalOuterMapY * 3 * p.PetalLOD;
    u.total = u.pistil + p.PistilOuterMapX * p.PistilOuterMapY * kPistilRings * (p.StemSides + 1);
    return u;
}

// Tiles row-major, rows of three points from each tile's lower edge to its upper edge; the
// corners and rows are reached by addition, as every atlas of the plant builders is.
void appendStripAtlas(DzMap& uvs, int MX, int MY, int R)
{
    const float du = 1.f / float(MX), dv = 1.f / float(MY);
    const float dr = R > 1 ? dv / float(R - 1) : 0.f;
    float v0 = 0.f;
    for (int ty = 0; ty < MY; ++ty) {
        float u0 = 0.f;
        for (int tx = 0; tx < MX; ++tx) {
            float v = v0;
            for (int r = 0; r < R; ++r) {
                uvs.appendPnt2Vec(DzPnt2(u0, v));
                uvs.appendPnt2Vec(DzPnt2(u0 + 0.5f / float(MX), v));
                uvs.appendPnt2Vec(DzPnt2(u0 + 1.f / float(MX), v));
                v += dr;
            }
            u0 += du;
        }
        v0 += dv;
    }
}

void appendGrid(DzMap& uvs, float u0, float v0, int rows, int cols, float du, float dv)
{
    float v = v0;
    for (int r = 0; r < rows; ++r) {
        float u = u0;
        for (int c = 0; c < cols; ++c) {
            uvs.appendPnt2Vec(DzPnt2(u, v));
            u += du;
        }
        v += dv;
    }
}

void appendUVs(DzMap& uvs, const FlowerParams& p)
{
    const int S = p.StemSides;
    appendGrid(uvs, 0.f, 0.f, p.StemLOD + 1, S + 1, 1.f / float(S), 1.f / float(p.StemLOD + 1));
    appendStripAtlas(uvs, p.LeafMapX, p.LeafMapY, p.LeafLOD);
    appendStripAtlas(uvs, p.PetalInnerMapX, p.PetalInnerMapY, p.PetalLOD);
    appendStripAtlas(uvs, p.PetalOuterMapX, p.PetalOuterMapY, p.PetalLOD);
    const int MX = p.PistilOuterMapX, MY = p.PistilOuterMapY;
    const float du = 1.f / float(MX), dv = 1.f / float(MY);
    float v0 = 0.f;
    for (int ty = 0; ty < MY; ++ty) {
        float u0 = 0.f;
        for (int tx = 0; tx < MX; ++tx) {
            appendGrid(uvs, u0, v0, kPistilRings, S + 1, du / float(S), dv / float(kPistilRings - 1));
            u0 += du;
        }
        v0 += dv;
    }
}

// ---- Sinks: the walk hands every vertex and every part's quads to one of these --------

// Counts only.
struct CountSink
{
    int n = 0;
    void begin(const FlowerParams&, const UVLayout&) {}
    int cursor() const { return n; }
    void vertex(const DzVec3&) { ++n; }
    void ringQuads(int, int, int, int, int) {}
    void stripQuads(int, int, int, int) {}
};

// Writes positions over the ones in the mesh (every animation tick).
struct SetSink
{
    DzVec3* verts;
    int size;
    int n = 0;
    void begin(const FlowerParams&, const UVLayout&) {}
    int cursor() const { return n; }
    void vertex(const DzVec3& v)
    {
        if (n < size) verts[n] = v;
        ++n;
    }
    void ringQuads(int, int, int, int, int) {}
    void stripQuads(int, int, int, int) {}
};

// Lays the topology down: vertices, quads with their materials and the UV set.
struct AppendSink
{
    DzFacetMesh& mesh;
    int presize;
    int n = 0;

    void begin(const FlowerParams& p, const UVLayout& uv)
    {
        if (mesh.getNumVertices() > 0 || mesh.getNumFacets() > 0) {
            mesh.removeAllFacets();
            mesh.clearAllVertices();
        }
        DzMap* uvs = mesh.getUVs();
        if (!uvs) {
            uvs = new DzUVSet;
            mesh.setUVList(uvs);
        }
        uvs->clearAllData();
        if (presize > 0) {
            mesh.preSizeVertexArray(presize);
            mesh.preSizeFacets(presize);
        }
        uvs->preSizeArray(uv.total);
        appendUVs(*uvs, p);
    }
    int cursor() const { return n; }
    void vertex(const DzVec3& v)
    {
        mesh.addVertex(v);
        ++n;
    }
    // Rings of `sides` points; each band has sides - 1 quads and a closing quad, whose
    // UVs use the grid's extra column.
    void ringQuads(int vbase, int rings, int sides, int uvbase, int material)
    {
        mesh.activateMaterial(material);
        for (int k = 0; k + 1 < rings; ++k) {
            for (int j = 0; j < sides; ++j) {
                const int jn = j + 1 == sides ? 0 : j + 1;
                const int v[4] = {vbase + k * sides + j, vbase + k * sides + jn, vbase + (k + 1) * sides + jn,
                                  vbase + (k + 1) * sides + j};
                const int w = sides + 1;
                const int t[4] = {uvbase + k * w + j, uvbase + k * w + j + 1, uvbase + (k + 1) * w + j + 1,
                                  uvbase + (k + 1) * w + j};
                mesh.addFacet(v, t);
            }
        }
    }
    // Rows of three points (left edge, middle, right edge): two quads per pair of rows.
    void stripQuads(int vbase, int rows, int uvbase, int material)
    {
        mesh.activateMaterial(material);
        for (int r = 0; r + 1 < rows; ++r) {
            for (int c = 0; c < 2; ++c) {
                const int a = 3 * r + c;
                const int rel[4] = {a, a + 1, a + 4, a + 3};
                const int v[4] = {vbase + rel[0], vbase + rel[1], vbase + rel[2], vbase + rel[3]};
                const int t[4] = {uvbase + rel[0], uvbase + rel[1], uvbase + rel[2], uvbase + rel[3]};
                mesh.addFacet(v, t);
            }
        }
    }
};

// The recorded stem points, fixed storage per thread: a pass allocates nothing after the
// thread's first.
FlowerStemPoint* stemPointStore()
{
    static thread_local std::unique_ptr<FlowerStemPoint[]> store;
    if (!store) store.reset(new FlowerStemPoint[kMaxStemPoints]);
    return store.get();
}

// One draw picks a tile column, the next its row.
int drawTile(VxRandomStream& rng, int MX, int MY)
{
    const int d1 = rng.next();
    const int d2 = rng.next();
    return (d2 % MY) * MX + d1 % MX;
}

// A strip of rows of three points, bent progressively by curl: row 0 at the base, each
// further row one step on along the direction the curl has turned to.
template <class Sink>
void emitStrip(Sink& sink, const Mat& T, const DzVec3& at, const Mat& curl, int rows, float halfWidth, float widthStep,
               float step, float lift, float tipLift)
{
    Mat C;
    DzVec3 c(0.f, lift, 0.f);
    float hw = halfWidth;
    for (int r = 0; r < rows; ++r) {
        if (r > 0) {
            C = C * curl;
            c += C.apply(0.f, 0.f, step);
            hw += widthStep;
        }
        const DzVec3 edge = C.apply(hw, 0.f, 0.f);
        DzVec3 mid = c;
        if (r == rows - 1 && tipLift != 0.f) mid += C.apply(0.f, 0.f, tipLift);
        sink.vertex(T.apply(c + edge) + at);
        sink.vertex(T.apply(mid) + at);
        sink.vertex(T.apply(c - edge) + at);
    }
}

// A head's frame: turned toward the stem's side, tilted twice the plant's head tilt (plus the
// petal wind), leaning a little sideways.
Mat headMatrix(const FlowerStemPoint& pt, const FlowerWind& W)
{
    return Mat::rotY(pt.turn * kDeg) * Mat::rotX(2.f * (pt.tilt * kDeg + W.petalA)) * Mat::rotZ(pt.lean);
}

template <class Sink, class Ground>
void walkFlower(const FlowerParams& p, VxRandomStream& gen, Sink& sink, Ground& ground, FlowerPassInfo& info)
{
    const UVLayout uv = uvLayout(p);
    sink.begin(p, uv);

    const FlowerWind W = flowerWindTerms(p);
    const PatchOutline outline = PatchOutline::make(p.AShape, p.ARing, p.ARotate, p.ASectorSize, p.ASectorStart,
                                                    float(p.AShape) * 0.01f, p.AShape != 0);
    const int N = p.plants();
    const int S = p.StemSides;
    const int L = p.StemLOD;
    const float fL = float(L);
    float cs[kMaxSides], sn[kMaxSides];
    for (int j = 0; j < S; ++j) {
        const float a = -float(j) * 2.f * kPi / float(S);
        cs[j] = std::cos(a);
        sn[j] = std::sin(a);
    }
    const float bottom = float(p.StemSizeBottom) * 0.01f;
    const float top = float(p.StemSizeTop) * 0.01f;

    FlowerStemPoint* pts = stemPointStore();
    int npts = 0;
    // Drawn from a local copy, which the compiler keeps in a register, and handed back.
    VxRandomStream rng(std::uint32_t(p.Seed));

    // Stems, plant by plant.
    for (int i = 0; i < N; ++i) {
        const float u = float(rng.next()) / 32767.f;
        const float v = float(rng.next()) / 32767.f;
        float x, z;
        outline.point(u, v, float(p.AreaX), float(p.AreaY), x, z);
        outline.turn(x, z);
        x += float(p.X);
        z += float(p.Z);
        const DzVec3 P(x, ground.next(x, z), z);

        const int count = p.StemCount + rng.next() % p.StemCountRND;
        const float turn0 = float(rng.next() % 360);
        const int sprayDraw = rng.next() % p.StemSprayRND;
        // A lone stem stands upright: spraying only spreads several stems apart.
        const float spray = count < 2 ? 0.f : float(p.StemSpray + sprayDraw);
        const float tilt = float(p.StemBend + rng.next() % p.StemBendRND);
        const Mat bendStep = Mat::rotX(tilt * kDeg / fL + W.stemA) * Mat::rotZ(W.stemB);

        for (int s = 0; s < count; ++s) {
            const float turn = turn0 + float(s) * 360.f / float(count);
            const Mat stem = Mat::rotY(turn * kDeg) * Mat::rotX(spray * kDeg);
            const float step = float(rng.next() % (p.StemHeightRND + 1) + p.StemHeight) / fL;
            const float wobble = float(rng.next() % (p.StemChaosRND + 1) + p.StemChaos) * 0.1f;
            const int vbase = sink.cursor();
            for (int j = 0; j < S; ++j) sink.vertex(stem.apply(bottom * cs[j], 0.f, bottom * sn[j]) + P);
            Mat bend;
            float y = 0.f;
            for (int k = 1; k <= L; ++k) {
                y += step;
                const float a = float(rng.next()) * (2.f * kPi / 32767.f);
                const float ox = std::cos(a) * wobble / fL, oz = std::sin(a) * wobble / fL;
                const float radius = bottom + (top - bottom) * float(k) / fL;
                const Mat M = stem * bend;
                for (int j = 0; j < S; ++j) sink.vertex(M.apply(radius * cs[j] + ox, y, radius * sn[j] + oz) + P);
                const bool head = k == L;
                if (head || k < p.LeafRowCount) {
                    if (npts < kMaxStemPoints) {
                        const DzVec3 axis = M.apply(ox, y, oz) + P;
                        pts[npts++] = {axis.m_x, axis.m_y, axis.m_z, turn, tilt, 0.f, head};
                    } else {
                        info.pointsCapped = true;
                    }
                }
                bend = bend * bendStep;
            }
            sink.ringQuads(vbase, L + 1, S, 0, 0);
            ++info.stems;
        }
    }

    // Leaves of every recorded leaf point; the row counter starts over at each head.
    int row = 0;
    float rowTurn = 0.f;
    for (int k = 0; k < npts; ++k) {
        const FlowerStemPoint& pt = pts[k];
        if (pt.head) {
            row = 0;
            rowTurn = 0.f;
            continue;
        }
        ++info.leafPoints;
        const bool first = row == 0;
        const float t = first ? 0.f : float(row) * (1.f / fL);
        const int leaves = first ? p.LeafSpinBottom : p.LeafSpinTop;
        const float width = (float(p.LeafWidthBottom) + float(p.LeafWidthTop - p.LeafWidthBottom) * t) * 0.1f;
        const float length = (float(p.LeafLengthBottom) + float(p.LeafLengthTop - p.LeafLengthBottom) * t) * 0.1f;
        // The angle sliders' values are taken as radians, as stored presets expect.
        const float angle = -(float(p.LeafAngleBottom) + float(p.LeafAngleTop - p.LeafAngleBottom) * t);
        const float curlX =
            -(float(rng.next() % p.LeafCurlRND + p.LeafCurl) * 0.01f) / float(p.LeafLOD) + W.leafB / float(p.PetalLOD);
        const float rowX = float(p.StemBend + rng.next() % p.StemBendRND) * kDeg + W.leafA;
        // A slight sideways lean of the row, and a tenth of it as twist along each leaf.
        const float rowZ = (float(rng.next()) / 32767.f - 0.5f) * 0.3f;
        const float curlZ = rowZ * 0.1f / float(p.LeafLOD);
        rowTurn += float(rng.next()) / 32767.f * float(p.LeafRotAngleRND) + float(p.LeafRotAngle);
        if (rowTurn > 360.f) rowTurn -= 360.f;
        const Mat rowM = Mat::rotY(pt.turn * kDeg) * Mat::rotX(rowX) * Mat::rotZ(rowZ);
        const Mat curl = Mat::rotX(curlX) * Mat::rotZ(curlZ);
        const DzVec3 at(pt.x, pt.y, pt.z);
        const float spacing = leaves > 0 ? 360.f / float(leaves) : 0.f;
        for (int l = 0; l < leaves; ++l) {
            const int tile = drawTile(rng, p.LeafMapX, p.LeafMapY);
            const Mat T = rowM * (Mat::rotY((spacing * float(l) + rowTurn) * kDeg) * Mat::rotX(angle));
            const int vbase = sink.cursor();
            emitStrip(sink, T, at, curl, p.LeafLOD, width * 0.5f, 0.f, length / float(p.LeafLOD), 0.f, 0.f);
            sink.stripQuads(vbase, p.LeafLOD, uv.leaf + 3 * p.LeafLOD * tile, 3);
        }
        ++row;
    }

    // Petals of every head; the head's sideways lean is kept for its pistil.
    for (int k = 0; k < npts; ++k) {
        FlowerStemPoint& pt = pts[k];
        if (!pt.head) continue;
        ++info.heads;
        const float o = float(rng.next() % p.FlowerOpenRND + p.FlowerOpen) * 0.01f;
        const float curlX = -0.01f - float(rng.next() % p.PetalCurlRND + p.PetalCurl) * 0.01f * o;
        pt.lean = (float(rng.next()) / 32767.f - 0.5f) * 0.2f;
        const Mat H = headMatrix(pt, W);
        const Mat curl = Mat::rotX(curlX) * Mat::rotZ(W.petalB);
        const DzVec3 at(pt.x, pt.y, pt.z);
        for (int layer = 0; layer < p.PetalLayers; ++layer) {
            const bool outer = layer == 0;
            const int n = outer ? p.PetalSpinOuter : p.PetalSpinInner;
            const float hw = float(outer ? p.PetalWidthOuter : p.PetalWidthInner) * 0.05f;
            const float step = float(outer ? p.PetalLengthOuter : p.PetalLengthInner) * 0.1f / float(p.PetalLOD);
            const float spacing = 360.f / float(n);
            const float start = float(layer) * 0.5f * spacing;
            const int MX = outer ? p.PetalOuterMapX : p.PetalInnerMapX;
            const int MY = outer ? p.PetalOuterMapY : p.PetalInnerMapY;
            const int base = outer ? uv.petalOut : uv.petalIn;
            for (int q = 0; q < n; ++q) {
                const int tile = drawTile(rng, MX, MY);
                const Mat T = H * Mat::rotY((start + spacing * float(q)) * kDeg);
                const int vbase = sink.cursor();
                emitStrip(sink, T, at, curl, p.PetalLOD, hw, float(p.PetalTaper) * 0.005f / float(p.PetalLOD), step,
                          0.01f * float(layer), float(p.PetalSharper) * 0.01f);
                sink.stripQuads(vbase, p.PetalLOD, base + 3 * p.PetalLOD * tile, outer ? 2 : 1);
            }
        }
    }

    // Pistils of every head.
    const float rho = float(p.PistilSize) * 0.008f, eta = float(p.PistilSize) * 0.004f;
    for (int k = 0; k < npts; ++k) {
        const FlowerStemPoint& pt = pts[k];
        if (!pt.head) continue;
        const int tile = drawTile(rng, p.PistilOuterMapX, p.PistilOuterMapY);
        const Mat H = headMatrix(pt, W);
        const DzVec3 at(pt.x, pt.y, pt.z);
        const int vbase = sink.cursor();
        for (int r = 0; r < kPistilRings; ++r) {
            const float R = kPistilProfile[r][0] * rho, h = kPistilProfile[r][1] * eta;
            for (int j = 0; j < S; ++j) sink.vertex(H.apply(cs[j] * R, h, sn[j] * R) + at);
        }
        sink.ringQuads(vbase, kPistilRings, S, uv.pistil + kPistilRings * (S + 1) * tile, 4);
    }

    info.vertices = sink.cursor();
    gen = rng;
}

}  // namespace

FlowerParams FlowerParams::clamped() const
{
    FlowerParams q = *this;
    clampFields(q, flowerSliderFields());
    q.WindStrength1 = clampi(WindStrength1, 0, 200);
    q.WindSpeed = clampi(WindSpeed, 0, 200);
    q.WindSpeed2 = clampi(WindSpeed2, 0, 200);
    return q;
}

int FlowerParams::plants() const
{
    const int n = clampi(Amount, 1, 250);
    return lowLOD ? std::min(n, 3) : n;
}

const SliderFields<FlowerParams>& flowerSliderFields()
{
    using P = FlowerParams;
    static const SliderFields<FlowerParams> fields = {
        {"Seed", &P::Seed, 0, 10000},
        {"X", &P::X, -10000, 10000},
        {"Z", &P::Z, -10000, 10000},
        {"Stem Sides", &P::StemSides, 2, kMaxSides},
        {"Stem LOD", &P::StemLOD, 1, 50},
        {"Stem Count", &P::StemCount, 1, 10},
        {"Stem Count RND", &P::StemCountRND, 1, 10},
        {"Stem Height", &P::StemHeight, 1, 100},
        {"Stem Height RND", &P::StemHeightRND, 1, 100},
        {"Stem Spray", &P::StemSpray, 1, 100},
        {"Stem Spray RND", &P::StemSprayRND, 1, 100},
        {"Stem Chaos", &P::StemChaos, 1, 100},
        {"Stem Chaos RND", &P::StemChaosRND, 1, 100},
        {"Stem Bend", &P::StemBend, 1, 100},
        {"Stem Bend RND", &P::StemBendRND, 1, 100},
        {"Amount", &P::Amount, 1, 250},
        {"Pistil Size", &P::PistilSize, 1, 200},
        {"Flower Open", &P::FlowerOpen, 1, 200},
        {"Flower Open RND", &P::FlowerOpenRND, 1, 100},
        {"Leaf Map X", &P::LeafMapX, 1, 9},
        {"Leaf Map Y", &P::LeafMapY, 1, 9},
        {"Petal inner Map X", &P::PetalInnerMapX, 1, 9},
        {"Petal inner Map Y", &P::PetalInnerMapY, 1, 9},
        {"Petal outer Map X", &P::PetalOuterMapX, 1, 9},
        {"Petal outer Map Y", &P::PetalOuterMapY, 1, 9},
        {"Pistil outer Map X", &P::PistilOuterMapX, 1, 9},
        {"Pistil outer Map Y", &P::PistilOuterMapY, 1, 9},
        {"Petal LOD", &P::PetalLOD, 1, 12},
        {"Petal Layers", &P::PetalLayers, 1, 20},
        {"Petal Width Inner", &P::PetalWidthInner, 1, 100},
        {"Petal Width Outer", &P::PetalWidthOuter, 1, 100},
        {"Petal Length Inner", &P::PetalLengthInner, 1, 200},
        {"Petal Length Outer", &P::PetalLengthOuter, 1, 200},
        {"Petal Spin Inner", &P::PetalSpinInner, 1, 32},
        {"Petal Spin Outer", &P::PetalSpinOuter, 1, 32},
        {"Petal Curl", &P::PetalCurl, 1, 100},
        {"Petal Curl RND", &P::PetalCurlRND, 1, 100},
        {"Leaf LOD", &P::LeafLOD, 1, 12},
        {"Leaf Row Count", &P::LeafRowCount, 1, 100},
        {"Leaf Width Top", &P::LeafWidthTop, 1, 200},
        {"Leaf Width Bottom", &P::LeafWidthBottom, 1, 200},
        {"Leaf Length Top", &P::LeafLengthTop, 1, 400},
        {"Leaf Length Bottom", &P::LeafLengthBottom, 1, 400},
        {"Leaf Spin Top", &P::LeafSpinTop, 0, 32},
        {"Leaf Spin Bottom", &P::LeafSpinBottom, 0, 32},
        {"Leaf Curl", &P::LeafCurl, -180, 180},
        {"Leaf Curl RND", &P::LeafCurlRND, 1, 180},
        {"Leaf Angle Top", &P::LeafAngleTop, -90, 90},
        {"Leaf Angle Bottom", &P::LeafAngleBottom, -90, 90},
        {"Leaf Rot Angle", &P::LeafRotAngle, 0, 360},
        {"Leaf Rot Angle RND", &P::LeafRotAngleRND, 0, 360},
        {"Stem Size Top", &P::StemSizeTop, 1, 100},
        {"Stem Size Bottom", &P::StemSizeBottom, 1, 100},
        {"Petal Sharper", &P::PetalSharper, 1, 100},
        {"Petal Taper", &P::PetalTaper, -100, 100},
        {"A Shape", &P::AShape, -300, 300},
        {"A Ring", &P::ARing, 0, 4000},
        {"A Rotate", &P::ARotate, 0, 360},
        {"Area X", &P::AreaX, 1, 1000},
        {"Area Y", &P::AreaY, 1, 1000},
        {"A Sector Size", &P::ASectorSize, 0, 359},
        {"A Sector Start", &P::ASectorStart, 0, 360},
        {"Wind Stem", &P::WindStem, 0, 200},
        {"Wind Leaf", &P::WindLeaf, 0, 200},
        {"Wind Petal", &P::WindPetal, 0, 200},
    };
    return fields;
}

FlowerWind flowerWindTerms(const FlowerParams& p)
{
    const float s1 = float(p.WindSpeed) * 0.01f * p.phase;
    const float s2 = float(p.WindSpeed2) * 0.01f * p.phase;
    const float strength = float(p.WindStrength1) * 0.001f;
    const float WS = float(p.WindStem) * 0.01f, WL = float(p.WindLeaf) * 0.01f, WP = float(p.WindPetal) * 0.01f;
    const float L = float(std::max(1, p.StemLOD));
    auto terms = [&](float s, FlowerWind& w) {
        const float sa = std::sin(0.1f * s) * strength, cb = std::cos(0.1f * s) * strength;
        w.stemA += sa * WS / L;
        w.stemB += cb * WS * 0.5f / L;
        w.leafA += sa * WL;
        w.leafB += cb * WL * 0.5f;
        w.petalA += sa * WP;
        w.petalB += cb * WP * 0.5f;
    };
    FlowerWind w;
    terms(s1, w);
    if (s2 > 0.f) terms(s2, w);
    return w;
}

int flowerVertexCount(const FlowerParams& params)
{
    const FlowerParams p = params.clamped();
    CountSink sink;
    FlatGround ground;
    FlowerPassInfo info;
    VxRandomStream rng;
    walkFlower(p, rng, sink, ground, info);
    return info.vertices;
}

namespace {

struct PastTheLimit
{
};

// Counts vertices, and stops the walk once there are more than the limit.
struct LimitedCountSink
{
    long long n = 0;
    long long limit = 0;
    void begin(const FlowerParams&, const UVLayout&) {}
    int cursor() const { return int(std::min<long long>(n, kMaxFlowerVertices)); }
    void vertex(const DzVec3&)
    {
        if (++n > limit) throw PastTheLimit();
    }
    void ringQuads(int, int, int, int, int) {}
    void stripQuads(int, int, int, int) {}
};

}  // namespace

QString checkFlowerBuild(const FlowerParams& params, long long freeBytes)
{
    const FlowerParams p = params.clamped();
    long long limit = kMaxFlowerVertices;
    if (freeBytes >= 0) limit = std::min(limit, freeBytes / kFlowerBytesPerVertex);
    LimitedCountSink sink;
    sink.limit = limit;
    FlatGround ground;
    FlowerPassInfo info;
    VxRandomStream rng;
    bool past = false;
    try {
        walkFlower(p, rng, sink, ground, info);
    } catch (const PastTheLimit&) {
        past = true;
    }
    if (!past) return {};
    const auto gb = [](long long b) { return QString::number(double(b) / (1024.0 * 1024 * 1024), 'f', 1) + " GB"; };
    if (limit < kMaxFlowerVertices)
        return QStringLiteral(
                   "Error: these flowers need more than the %1 free (over %2 vertices); choose fewer or "
                   "smaller flowers")
            .arg(gb(freeBytes))
            .arg(limit);
    return QStringLiteral(
               "Error: these flowers would have more than %1 vertices, more than a flower mesh may hold; "
               "choose fewer or smaller flowers")
        .arg(kMaxFlowerVertices);
}

int addPolyFlowerCore(const FlowerParams& params, VxRandomStream& rng, DzFacetMesh& mesh, int presize,
                      FlowerPassInfo* info)
{
    VX_EXPECT(presize >= 0, "a vertex count to pre-size the mesh for");
    const FlowerParams p = params.clamped();
    AppendSink sink{mesh, presize};
    FlatGround ground;
    FlowerPassInfo local;
    mesh.beginEdit();
    try {
        walkFlower(p, rng, sink, ground, local);
    } catch (const std::bad_alloc&) {
        // Sliders at their tops ask for more than memory holds: an empty mesh, not a crash.
        mesh.removeAllFacets();
        mesh.clearAllVertices();
        if (DzMap* uvs = mesh.getUVs()) uvs->clearAllData();
        local = FlowerPassInfo();
        local.outOfMemory = true;
    }
    mesh.finishEdit();
    if (info) *info = local;
    return local.vertices;
}

QString animateFlowerCore(const FlowerParams& params, VxRandomStream& rng, DzVertexMesh& mesh,
                          std::vector<float>& cache, const GroundSampler& sampler, bool ResetCache,
                          FlowerPassInfo* info)
{
    const FlowerParams p = params.clamped();
    const std::size_t want = std::max<std::size_t>(std::size_t(p.Amount), kMinCache);
    bool refill = ResetCache;
    if (cache.size() < want) {
        try {
            cache.resize(want, 0.f);
        } catch (const std::bad_alloc&) {
            std::vector<float>().swap(cache);
        }
        refill = true;
    }
    if (cache.empty()) return FlowerMessages::cacheMemory();

    CachedGround ground{cache, sampler, refill};
    SetSink sink{mesh.getVerticesPtr(), mesh.getNumVertices()};
    FlowerPassInfo local;
    mesh.beginEdit();
    walkFlower(p, rng, sink, ground, local);
    mesh.finishEdit();
    local.refilled = refill;
    local.heightQueries = ground.queries;
    local.topologyMismatch = local.vertices != mesh.getNumVertices();
    if (info) *info = local;
    return QString();
}
