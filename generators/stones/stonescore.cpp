#include "stones/stonescore.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dzgeometry.h"
#include "common/verdixrandom.h"
#include "common/patchlayout.h"

namespace {

constexpr std::size_t kMinCache = 10000;
constexpr int kLowLodStones = 20;
constexpr int kRings = 8;
constexpr int kMaxLod = 32;
constexpr int kBladeVerts = 2 * (kMaxLod + 1);

// The dome's profile from the top ring down to the one below the ground.
const float kRadius[kRings] = {0.0001f, 0.5f, 0.75f, 0.9f, 0.95f, 0.9f, 0.75f, 0.0001f};
const float kHeight[kRings] = {0.76f, 0.75f, 0.7f, 0.6f, 0.4f, 0.2f, 0.0f, -0.2f};
// Blades grow round the stone's widest ring, its waist.
constexpr int kWaistRing = 4;

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

struct Spot
{
    float x, y, z;
};

// Heights under the stones (three slots each: at the stone, one unit on in x, one unit on in
// z), then under the roots of the tufts on steep ground, which would otherwise cost every
// wind tick a query per tuft.
struct StoneGround
{
    std::vector<float>& cache;
    const GroundSampler* sampler;  // null: flat ground
    bool refill;
    std::size_t k = 0;
    std::size_t rootSlot = 0;
    int queries = 0;

    float query(float x, float z)
    {
        if (!sampler) return 0.f;
        ++queries;
        return sampler->height(x, z);
    }
    float slot(std::size_t& at, float x, float z)
    {
        if (refill) {
            const float y = query(x, z);
            if (at < cache.size()) cache[at++] = y;
            return y;
        }
        if (at < cache.size()) return cache[at++];
        return query(x, z);
    }
    float next(float x, float z) { return slot(k, x, z); }
    float root(float x, float z) { return slot(rootSlot, x, z); }
};

// Lays the topology down: UV points, then every stone's rings with their quads, then the
// blades with theirs, all appended in the order the tick later rewrites them.
struct AppendSink
{
    static constexpr bool kStones = true;
    DzFacetMesh& mesh;
    int K = 3, L = 1;
    int next = 0;

    void begin(const StonesParams& p, int MX, int MY)
    {
        K = p.ringVertices();
        L = p.bladeLod();
        mesh.removeAllFacets();
        mesh.clearAllVertices();
        DzMap* uvs = mesh.getUVs();
        if (!uvs) {
            uvs = new DzUVSet;
            mesh.setUVList(uvs);
        }
        uvs->clearAllData();
        uvs->preSizeArray((K + 1) * MY * MX * kRings + 2 + 2 * L);
        mesh.preSizeVertexArray(p.stoneVertices());
        // The blade strip, in the blades' zig-zag order.
        for (int k = 0; k <= L; ++k) {
            const float v = float(k) / float(L);
            const float first = (k & 1) ? 1.f : 0.f;
            uvs->appendPnt2Vec(DzPnt2(first, v));
            uvs->appendPnt2Vec(DzPnt2(1.f - first, v));
        }
        // The atlas, a tile per stone look; each ring repeats its first point at the seam.
        const float tu = 1.f / float(MX), tv = 1.f / float(MY);
        float vt = 0.f;
        for (int row = 0; row < MY; ++row) {
            float ut = 0.f;
            for (int col = 0; col < MX; ++col) {
                for (int r = 0; r < kRings; ++r)
                    for (int j = 0; j <= K; ++j)
                        uvs->appendPnt2Vec(DzPnt2(ut + float(j) * tu / float(K), vt + float(r) * tv / 7.f));
                ut += tu;
            }
            vt += tv;
        }
        mesh.activateMaterial(0);
    }
    void stoneVertex(const DzVec3& p)
    {
        mesh.addVertex(p);
        ++next;
    }
    void stoneDone(int tileBase)
    {
        const int first = next - kRings * K;
        for (int k = 0; k < kRings - 1; ++k) {
            const int a = first + k * K;
            const int t = tileBase + k * (K + 1);
            for (int j = 0; j < K - 1; ++j) {
                const int vi[4] = {a + j, a + j + 1, a + K + j + 1, a + K + j};
                const int ui[4] = {t + j, t + j + 1, t + K + 1 + j + 1, t + K + 1 + j};
                mesh.addFacet(vi, ui);
            }
            const int vi[4] = {a + K - 1, a, a + K, a + 2 * K - 1};
            const int ui[4] = {t + K - 1, t + K, t + 2 * K + 1, t + 2 * K};
            mesh.addFacet(vi, ui);
        }
    }
    void bladesBegin() { mesh.activateMaterial(1); }
    static int negX(int k) { return (k & 1) ? 2 * k + 1 : 2 * k; }
    static int posX(int k) { return (k & 1) ? 2 * k : 2 * k + 1; }
    void blade(const DzVec3* v, int n)
    {
        const int base = next;
        for (int k = 0; k < n; ++k) mesh.addVertex(v[k]);
        next += n;
        for (int k = 0; k < L; ++k) {
            const int rel[4] = {negX(k), posX(k), posX(k + 1), negX(k + 1)};
            const int abs[4] = {base + rel[0], base + rel[1], base + rel[2], base + rel[3]};
            mesh.addFacet(abs, rel);
        }
    }
};

// The wind tick: the stones stay as they are, the blades are written over theirs.
struct BladeSink
{
    static constexpr bool kStones = false;
    DzFacetMesh& mesh;
    int next = 0;
    int written = 0;

    void begin(const StonesParams& p, int, int) { next = p.stoneVertices(); }
    void stoneVertex(const DzVec3&) {}
    void stoneDone(int) {}
    void bladesBegin() {}
    void blade(const DzVec3* v, int n)
    {
        // A mesh shorter than the pass keeps what fits; the caller reports the overflow.
        const int count = mesh.getNumVertices();
        DzVec3* out = mesh.getVerticesPtr();
        for (int k = 0; k < n; ++k, ++next)
            if (next < count) {
                out[next] = v[k];
                ++written;
            }
    }
};

template <class Sink>
int layStones(const StonesParams& p, VxRandomStream& gen, Sink& sink, StoneGround& ground, StonesUpdateInfo& info)
{
    const int S = p.stones(), K = p.ringVertices(), L = p.bladeLod();
    const int G = p.Grass;
    const int MX = std::max(1, p.StoneMapX), MY = std::max(1, p.StoneMapY);
    const int AX = p.AreaSizeX, AZ = p.AreaSizeZ;
    const int hxA = AX / 2, hzA = AZ / 2;
    // "A Shape" 0 is the plain outline, 100 the circle; other values blend them.
    const PatchOutline outline = PatchOutline::make(p.AShape, p.ARing, p.ARotate, p.ASectorSize, p.ASectorStart,
                                                    float(p.AShape) * 0.01f, p.AShape != 0);
    const float standX = float(p.StandOffX) * 0.1f, standZ = float(p.StandOffZ) * 0.1f;
    const float sizeX = float(p.StoneSizeX) * 0.1f, sizeY = float(p.StoneSizeY) * 0.1f;
    const float sizeZ = float(p.StoneSizeZ) * 0.1f;
    const float offsetY = float(p.StoneOffsetY) * 0.1f;
    const float rough = float(p.Rough) * 0.05f;
    const float step = 2.f * 3.14159265f / float(K);

    sink.begin(p, MX, MY);
    ground.rootSlot = std::size_t(3) * std::size_t(S);
    // Drawn from a local copy, which the compiler keeps in a register, and handed back.
    VxRandomStream rng(std::uint32_t(p.Seed));
    auto unit = [&rng] { return float(rng.next()) / 32767.f; };

    std::vector<Spot> spots;
    spots.reserve(std::size_t(std::min(kMaxStoneBlades, S * K)));
    bool steep = false;
    int fx = 0, fz = 0;
    for (int s = 0; s < S; ++s) {
        if (p.FullOffX != 0 && ++fx >= p.FullOffX) fx = 0;
        if (p.FullOffZ != 0 && ++fz >= p.FullOffZ) fz = 0;
        const float u = unit();
        const float v = unit();
        float x, z;
        outline.point(u, v, float(AX + fx), float(AZ + fz), x, z);
        outline.turn(x, z);
        const float X = x * standX + float(p.MoveX), Z = z * standZ + float(p.MoveZ);

        const float h = ground.next(X, Z);
        const float hx = ground.next(X + 1.f, Z);
        const float hz = ground.next(X, Z + 1.f);
        // The stone's axis follows the ground's normal (h - hx, 1, h - hz): the rise along x
        // leans it about z, the rise along z about x.
        const float ta = std::atan2(h - hx, 1.f), tb = std::atan2(h - hz, 1.f);
        if (std::fabs(ta) + std::fabs(tb) > 0.1f) steep = true;
        const float cA = std::cos(-ta), sA = std::sin(-ta), cB = std::cos(tb), sB = std::sin(tb);

        rng.next();
        const float yaw = float(rng.next() % 360) * 0.017453292f;
        const int tileRow = rng.next() % MY;
        const int tileCol = rng.next() % MX;
        const float sX = unit() + 0.5f, sZ = unit() + 0.5f, sY = unit() + 0.6f;
        const float gx = unit(), gz = unit();
        const int g = G != 0 ? rng.next() % G : 0;
        const int tileBase = (tileCol + tileRow * MX) * (K + 1) * kRings + 2 * (L + 1);
        const float cy = std::cos(yaw), sy = std::sin(yaw);
        const float yb = h + offsetY;

        for (int k = 0; k < kRings; ++k) {
            const bool roughRing = p.Rough != 0 && k >= 1 && k <= 6;
            // The tick needs the waist only, up to its last tuft; the other draws still count.
            int jEnd = K;
            if (!Sink::kStones) jEnd = k == kWaistRing && G != 0 ? std::min(g + 1, K) : 0;
            const float rhoX = kRadius[k] * sX * sizeX, rhoZ = kRadius[k] * sZ * sizeZ;
            const float yk = sY * kHeight[k] * sizeY;
            float angle = yaw;
            float q = 0.f;
            for (int j = 0; j < jEnd; ++j) {
                float px, pz;
                const float ca = std::cos(angle), sa = std::sin(angle);
                if (roughRing) {
                    q = (unit() * rough + 1.f + q) * 0.5f;
                    px = ca * (rhoX + q);
                    pz = sa * (rhoZ + q);
                } else {
                    px = ca * rhoX;
                    pz = sa * rhoZ;
                }
                const float yx = px * cy - pz * sy, yz = px * sy + pz * cy;
                if (k == kWaistRing && G != 0 && j <= g && int(spots.size()) < kMaxStoneBlades)
                    spots.push_back({(gx * 1.25f + 1.f) * yx + X, yb, (gz * 1.25f + 1.f) * yz + Z});
                if (Sink::kStones) {
                    const float y1 = yk * cB - yz * sB, z1 = yk * sB + yz * cB;
                    const float x2 = yx * cA - y1 * sA, y2 = yx * sA + y1 * cA;
                    sink.stoneVertex(DzVec3(x2 + X, y2 + yb, z1 + Z));
                }
                angle += step;
            }
            if (roughRing)
                for (int j = jEnd; j < K; ++j) rng.next();
        }
        sink.stoneDone(tileBase);
    }

    // The tufts: clumps of blades rooted at the spots round the waists.
    const float s1 = float(p.WindSpeed) / 100.f * p.phase;
    const float s2 = float(p.WindSpeed2) / 100.f * p.phase;
    const float strength = float(p.WindStrength1) * 0.001f;
    const float w = float(p.Wind) * 0.01f;
    sink.bladesBegin();
    DzVec3 verts[kBladeVerts];
    int c = 0, clump = 0;
    float x = 0.f, y = 0.f, z = 0.f, phi = 0.f;
    for (std::size_t i = 0; i < spots.size(); ++i) {
        if (c >= clump) {
            c = 0;
            clump = rng.next() % p.ClumpRND + p.ClumpMin;
            x = spots[i].x;
            z = spots[i].z;
            y = steep ? ground.root(x, z) : spots[i].y;
            phi = float(rng.next() % 360 - 180);
        } else {
            phi = phi + float((rng.next() % 350) / clump);
        }
        ++c;
        float hgt = float(rng.next() % p.HeightRND + p.HeightMin);
        // Tufts beyond the area's edges come out shorter, judged in the layout's own frame.
        const float lx = x - float(p.MoveX), lz = z - float(p.MoveZ);
        if (lx > float(hxA) || lx < -float(hxA)) hgt *= (1.f - float(fx) * 0.004f);
        else if (lz > float(hzA) || lz < -float(hzA)) hgt *= (1.f - float(fz) * 0.004f);
        const float wd = float(rng.next() % p.WidthRND + p.WidthMin) / 1000.f + hgt * 0.0007f;
        const float fi = float(i);
        float sa = std::sin(fi + s1 * 0.2f * w) * strength;
        if (s2 > 0.f) sa += std::sin(s2 * 0.2f * w + fi) * strength;
        const float bend = float(rng.next() % p.BendRND + p.BendMin) / 1000.f + sa;
        float sb = std::cos(fi + s1 * 0.1f * w) * strength;
        if (s2 > 0.f) sb += std::cos(s2 * 0.05f * w + fi) * strength;

        GrassBlade blade;
        blade.x = x;
        blade.y = y;
        blade.z = z;
        blade.phi = phi;
        blade.height = hgt;
        blade.width = wd;
        blade.halfWidth = wd;
        blade.bend = bend;
        blade.sway = sb;
        blade.lod = L;
        grassBladeVertices(blade, verts);
        sink.blade(verts, 2 * (L + 1));
    }
    info.steep = steep;
    info.blades = int(spots.size());
    gen = rng;
    return sink.next;
}

}  // namespace

const SliderFields<StonesParams>& stonesSliderFields()
{
    using P = StonesParams;
    static const SliderFields<StonesParams> fields = {
        {"Grass", &P::Grass, 0, 100},
        {"Area size X", &P::AreaSizeX, 1, 4000},
        {"Full off X", &P::FullOffX, 0, 200},
        {"Clump Min", &P::ClumpMin, 1, 100},
        {"Grass LOD", &P::GrassLOD, 1, kMaxLod},
        {"Area size Z", &P::AreaSizeZ, 1, 4000},
        {"Full off Z", &P::FullOffZ, 0, 200},
        {"Clump RND", &P::ClumpRND, 1, 100},
        {"Height Min", &P::HeightMin, 1, 500},
        {"Height RND", &P::HeightRND, 1, 500},
        {"Bend Min", &P::BendMin, 1, 1000},
        {"Bend RND", &P::BendRND, 1, 1000},
        {"Width Min", &P::WidthMin, 100, 500},
        {"Width RND", &P::WidthRND, 100, 500},
        {"A Shape", &P::AShape, -300, 300},
        {"A Ring", &P::ARing, 0, 4000},
        {"A Rotate", &P::ARotate, 0, 360},
        {"Seed", &P::Seed, 0, 1000},
        {"Wind", &P::Wind, 0, 200},
        {"A Sector Size", &P::ASectorSize, 0, 359},
        {"A Sector Start", &P::ASectorStart, 0, 360},
        {"Stone Map X", &P::StoneMapX, 1, 9},
        {"Stone Map Y", &P::StoneMapY, 1, 9},
        {"Move X", &P::MoveX, -10000, 10000},
        {"Move Z", &P::MoveZ, -10000, 10000},
        {"Stone Amount", &P::StoneAmount, 1, 1000},
        {"Stone LOD", &P::StoneLOD, 3, 50},
        {"Stone Size X", &P::StoneSizeX, 1, 400},
        {"Stone Size Y", &P::StoneSizeY, 1, 400},
        {"Stone Size Z", &P::StoneSizeZ, 1, 400},
        {"Stone Offset Y", &P::StoneOffsetY, -100, 100},
        {"StandOff X", &P::StandOffX, 1, 100},
        {"StandOff Z", &P::StandOffZ, 1, 100},
        {"Rough", &P::Rough, -100, 100},
    };
    return fields;
}

StonesParams StonesParams::clamped() const
{
    StonesParams q = *this;
    clampFields(q, stonesSliderFields());
    q.WindStrength1 = clampi(WindStrength1, 0, 200);
    q.WindSpeed = clampi(WindSpeed, 0, 200);
    q.WindSpeed2 = clampi(WindSpeed2, 0, 200);
    return q;
}

int StonesParams::stones() const
{
    const int n = clampi(StoneAmount, 1, 1000);
    return lowLOD ? std::min(n, kLowLodStones) : n;
}
int StonesParams::ringVertices() const { return clampi(StoneLOD, 3, 50); }
int StonesParams::bladeLod() const { return clampi(GrassLOD, 1, kMaxLod); }
int StonesParams::stoneVertices() const { return stones() * kRings * ringVertices(); }

void addPolyStonesCore(const StonesParams& params, VxRandomStream& rng, DzFacetMesh& mesh, StonesUpdateInfo* info)
{
    const StonesParams p = params.clamped();
    std::vector<float> none;
    StoneGround flat{none, nullptr, false};
    AppendSink sink{mesh};
    StonesUpdateInfo local;
    mesh.beginEdit();
    layStones(p, rng, sink, flat, local);
    mesh.finishEdit();
    local.rebuilt = true;
    local.stoneVerticesWritten = p.stoneVertices();
    local.bladeVerticesWritten = sink.next - p.stoneVertices();
    if (info) *info = local;
}

QString updateStonesCore(const StonesParams& params, VxRandomStream& rng, DzFacetMesh& mesh, std::vector<float>& cache,
                         const GroundSampler& sampler, bool ResetCache, StonesUpdateInfo* info)
{
    const StonesParams p = params.clamped();
    const std::size_t S = std::size_t(p.stones());
    bool reset = ResetCache;
    if (cache.empty() || cache.size() < S) {
        try {
            std::vector<float>(std::max(S, kMinCache), 0.f).swap(cache);
        } catch (const std::bad_alloc&) {
            return QStringLiteral("Error: Catch memory");
        }
        reset = true;
    }

    StonesUpdateInfo local;
    StoneGround ground{cache, &sampler, reset};
    int n;
    mesh.beginEdit();
    if (reset) {
        // The topology and the stones on their ground in one pass: both come from the same
        // sequence of draws, so laying them down twice would only repeat the work.
        AppendSink sink{mesh};
        n = layStones(p, rng, sink, ground, local);
        local.stoneVerticesWritten = p.stoneVertices();
        local.bladeVerticesWritten = n - p.stoneVertices();
    } else {
        BladeSink sink{mesh};
        n = layStones(p, rng, sink, ground, local);
        local.bladeVerticesWritten = sink.written;
    }
    mesh.finishEdit();
    local.rebuilt = reset;
    local.refilled = reset;
    local.heightQueries = ground.queries;
    if (info) *info = local;
    if (n != mesh.getNumVertices()) return QStringLiteral("Error: setVertex(index:%1,) overflow!").arg(n);
    return QString();
}
