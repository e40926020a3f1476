#include "grass/grasscore.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dzgeometry.h"
#include "common/verdixrandom.h"
#include "common/patchlayout.h"
#include "common/vxexpect.h"

namespace {

constexpr int kMaxLod = 32;
constexpr int kBladeVerts = 2 * (kMaxLod + 1);
constexpr std::size_t kMinCache = 10000;

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Writes a blade's vertices over the ones already in the mesh (every animation tick).
struct SetSink
{
    DzFacetMesh& mesh;
    int base = 0;
    void begin(int, int) {}
    void blade(const DzVec3* v, int n)
    {
        for (int k = 0; k < n; ++k) mesh.setVertex(base + k, v[k]);
        base += n;
    }
};

// Lays the topology down: vertices appended blade after blade with their quads, over the
// shared UV strip, so the vertex order cannot drift from the one the set pass writes.
struct AppendSink
{
    DzFacetMesh& mesh;
    int L = 1;
    int base = 0;

    void begin(int N, int lod)
    {
        L = lod;
        const int perBlade = 2 * (L + 1);
        mesh.removeAllFacets();
        mesh.clearAllVertices();
        DzMap* uvs = mesh.getUVs();
        if (!uvs) {
            uvs = new DzUVSet;
            mesh.setUVList(uvs);
        }
        uvs->clearAllData();
        mesh.preSizeVertexArray(perBlade * N);
        mesh.preSizeFacets((L + 1) * N);
        uvs->preSizeArray(perBlade);
        mesh.activateMaterial(0);
        for (int k = 0; k <= L; ++k) {
            const float v = float(k) / float(L);
            // Zig-zag: the negative-x edge first at even levels, the positive-x edge at odd.
            const float first = (k & 1) ? 1.f : 0.f;
            uvs->appendPnt2Vec(DzPnt2(first, v));
            uvs->appendPnt2Vec(DzPnt2(1.f - first, v));
        }
    }
    static int negX(int k) { return (k & 1) ? 2 * k + 1 : 2 * k; }
    static int posX(int k) { return (k & 1) ? 2 * k : 2 * k + 1; }
    void blade(const DzVec3* v, int n)
    {
        for (int k = 0; k < n; ++k) mesh.addVertex(v[k]);
        for (int k = 0; k < L; ++k) {
            const int rel[4] = {negX(k), posX(k), posX(k + 1), negX(k + 1)};
            const int abs[4] = {base + rel[0], base + rel[1], base + rel[2], base + rel[3]};
            mesh.addFacet(abs, rel);
        }
        base += n;
    }
};

template <class Sink, class Ground>
int layGrass(const GrassParams& p, VxRandomStream& gen, Sink& sink, Ground& ground)
{
    const int N = p.blades();
    const int L = p.lod();
    const float s1 = float(p.WindSpeed) / 100.f * p.phase;
    const float s2 = float(p.WindSpeed2) / 100.f * p.phase;
    const float strength = float(p.WindStrength1) * 0.001f;
    const float w = float(p.Wind) * 0.01f;
    // Shape 1 is the plain outline; other values move it toward the circle.
    const PatchOutline outline = PatchOutline::make(p.Shape, p.Ring, p.Rotate, p.SectorSize, p.SectorStart,
                                                    float(p.Shape - 1) * 0.01f, p.Shape != 1);
    const float R = float(p.Ring);
    const int AX = p.AreaSizeX, AZ = p.AreaSizeZ;
    const int hx = AX / 2, hz = AZ / 2;

    sink.begin(N, L);
    // Drawn from a local copy, which the compiler keeps in a register, and handed back.
    VxRandomStream rng(std::uint32_t(p.Seed + p.boxIndex));

    int c = 0, S = 0;
    int fx = 0, fz = 0;
    float x = 0.f, z = 0.f, y = 0.f, phi = 0.f;
    float lx = 0.f, lz = 0.f;  // root in the patch's own frame, before rotation and move
    int clumps = 0;
    DzVec3 v[kBladeVerts];

    for (int i = 0; i < N; ++i) {
        if (c >= S) {
            c = 0;
            S = rng.next() % p.ClumpRND + p.ClumpMin;
            ++clumps;
            if (p.FullOffX != 0 && ++fx >= p.FullOffX) fx = 0;
            if (p.FullOffZ != 0 && ++fz >= p.FullOffZ) fz = 0;
            float u = float(rng.next()) / 32767.f;
            float vv = float(rng.next()) / 32767.f;
            if (p.Shape == 0) {
                x = 2.f * (float(AX + fx + R) * u - (float(hx + fx / 2) + R * 0.5f));
                z = 2.f * (float(AZ + fz + R) * vv - (float(hz + fz / 2) + R * 0.5f));
            } else {
                outline.point(u, vv, float(AX + fx), float(AZ + fz), x, z);
            }
            lx = x;
            lz = z;
            outline.turn(x, z);
            x += float(p.MoveX);
            z += float(p.MoveZ);
            y = ground.next(x, z);
            phi = float(rng.next() % 360 - 180);
        } else {
            phi = phi + float((rng.next() % 350) / S);
        }
        ++c;

        float hgt = float(rng.next() % p.HeightRND + p.HeightMin);
        if (lx > float(hx) || lx < -float(hx)) hgt *= (1.f - float(fx) * 0.004f);
        else if (lz > float(hz) || lz < -float(hz)) hgt *= (1.f - float(fz) * 0.004f);

        const float wd = float(rng.next() % p.ThickRND + p.ThickMin) / 1000.f + hgt * 0.0007f;

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
        blade.halfWidth = wd + 0.01f;
        blade.bend = bend;
        blade.sway = sb;
        blade.lod = L;
        grassBladeVertices(blade, v);
        sink.blade(v, 2 * (L + 1));
    }
    gen = rng;
    return clumps;
}

}  // namespace

void grassBladeVertices(const GrassBlade& b, DzVec3* v)
{
    VX_EXPECT(v && b.lod >= 1 && b.lod <= kMaxLod, "a blade of 1..32 segments, room for 2 (lod + 1) vertices");
    const int L = b.lod;
    const float fL = float(L);
    const float fL2 = float(L * L);
    const float hgt = b.height, wd = b.width;
    const float x = b.x, y = b.y, z = b.z;
    float dy = hgt / fL;
    const float ddy = hgt / fL2;
    const float dw = wd / fL;
    float half = b.halfWidth;
    const float zoff = wd * 0.5f;
    const float cP = std::cos(b.phi), sP = std::sin(b.phi);
    // Per-segment rotation steps, the same for every level of this blade.
    const float rxA = b.bend / fL, ryA = 2.f * b.sway / fL;
    const float cX = std::cos(rxA), sX = std::sin(rxA);
    const float cY = std::cos(ryA), sY = std::sin(ryA);

    auto world = [&](float px, float py, float pz) {
        return DzVec3(px * cP + pz * sP + x, py + y, px * sP - pz * cP + z);
    };
    v[0] = world(-0.7f * half, 0.f, zoff);
    v[1] = world(0.7f * half, 0.f, zoff);

    float m[3][3] = {{1.f, 0.f, 0.f}, {0.f, 1.f, 0.f}, {0.f, 0.f, 1.f}};
    float Y = 0.f;
    for (int k = 1; k <= L; ++k) {
        Y = Y + dy;
        half = half - dw;
        dy = dy - ddy;
        // M = Rx * M, then M = Ry * M: the rows a rotation leaves alone stay untouched.
        for (int col = 0; col < 3; ++col) {
            const float r1 = m[1][col], r2 = m[2][col];
            m[1][col] = cX * r1 + (-sX) * r2;
            m[2][col] = sX * r1 + cX * r2;
        }
        for (int col = 0; col < 3; ++col) {
            const float r0 = m[0][col], r2 = m[2][col];
            m[0][col] = cY * r0 + sY * r2;
            m[2][col] = (-sY) * r0 + cY * r2;
        }
        const float Px = m[0][0] * half + m[0][1] * Y + m[0][2] * zoff;
        const float Py = m[1][0] * half + m[1][1] * Y + m[1][2] * zoff;
        const float Pz = m[2][0] * half + m[2][1] * Y + m[2][2] * zoff;
        const float Qx = m[0][0] * -half + m[0][1] * Y + m[0][2] * zoff;
        const float Qy = m[1][0] * -half + m[1][1] * Y + m[1][2] * zoff;
        const float Qz = m[2][0] * -half + m[2][1] * Y + m[2][2] * zoff;
        const DzVec3 P = world(Px, Py, Pz), Q = world(Qx, Qy, Qz);
        if (k & 1) {
            v[2 * k] = P;
            v[2 * k + 1] = Q;
        } else {
            v[2 * k] = Q;
            v[2 * k + 1] = P;
        }
    }
}

const SliderFields<GrassParams>& grassSliderFields()
{
    using P = GrassParams;
    static const SliderFields<GrassParams> fields = {
        {"Amount", &P::Amount, 1, 200000},
        {"Area size X", &P::AreaSizeX, 1, 4000},
        {"Area size Z", &P::AreaSizeZ, 1, 4000},
        {"Full off X", &P::FullOffX, 0, 200},
        {"Full off Z", &P::FullOffZ, 0, 200},
        {"Clump Min", &P::ClumpMin, 1, 100},
        {"Clump RND", &P::ClumpRND, 1, 100},
        {"Grass LOD", &P::GrassLOD, 1, kMaxLod},
        {"Height Min", &P::HeightMin, 1, 500},
        {"Height RND", &P::HeightRND, 1, 500},
        {"Bend Min", &P::BendMin, 1, 1000},
        {"Bend RND", &P::BendRND, 1, 1000},
        {"Thick Min", &P::ThickMin, 100, 500},
        {"Thick RND", &P::ThickRND, 100, 500},
        {"Shape", &P::Shape, -300, 300},
        {"Ring", &P::Ring, 0, 4000},
        {"Rotate", &P::Rotate, 0, 360},
        {"Seed", &P::Seed, 0, 1000},
        {"Wind", &P::Wind, 0, 200},
        {"Sector Size", &P::SectorSize, 0, 359},
        {"Sector Start", &P::SectorStart, 0, 360},
        {"Move X", &P::MoveX, -10000, 10000},
        {"Move Z", &P::MoveZ, -10000, 10000},
    };
    return fields;
}

GrassParams GrassParams::clamped() const
{
    GrassParams q = *this;
    clampFields(q, grassSliderFields());
    q.WindStrength1 = clampi(WindStrength1, 0, 200);
    q.WindSpeed = clampi(WindSpeed, 0, 200);
    q.WindSpeed2 = clampi(WindSpeed2, 0, 200);
    return q;
}

int GrassParams::blades() const
{
    const int n = clampi(Amount, 1, 200000);
    return lowLOD ? std::min(n, 100) : n;
}

int GrassParams::lod() const { return clampi(GrassLOD, 1, kMaxLod); }

int GrassParams::verticesNeeded() const { return 2 * (lod() + 1) * blades(); }

bool grassTopologyStale(const GrassParams& p, const DzFacetMesh& mesh)
{
    const int L = p.lod();
    const DzMap* uvs = mesh.getUVs();
    return mesh.getNumVertices() != p.verticesNeeded() || mesh.getNumFacets() != L * p.blades() || !uvs ||
           uvs->getNumValues() != 2 * (L + 1);
}

QString updateGrassCore(const GrassParams& params, VxRandomStream& rng, DzFacetMesh& mesh, std::vector<float>& cache,
                        const GroundSampler& sampler, bool ResetCache, GrassUpdateInfo* info)
{
    const GrassParams p = params.clamped();
    const std::size_t N = std::size_t(p.blades());
    const std::size_t want = std::max(N, kMinCache);
    bool refill = ResetCache;
    if (cache.empty() || cache.size() < N) {
        try {
            cache.resize(want, 0.f);
        } catch (const std::bad_alloc&) {
            std::vector<float>().swap(cache);
            try {
                std::vector<float>(want, 0.f).swap(cache);
            } catch (const std::bad_alloc&) {
            }
        }
        refill = true;
    }
    if (cache.empty()) return GrassMessages::cacheMemory();

    CachedGround ground{cache, sampler, refill};
    const bool rebuild = grassTopologyStale(p, mesh);
    mesh.beginEdit();
    int clumps;
    if (rebuild) {
        AppendSink sink{mesh};
        clumps = layGrass(p, rng, sink, ground);
    } else {
        SetSink sink{mesh};
        clumps = layGrass(p, rng, sink, ground);
    }
    mesh.finishEdit();
    if (info) {
        info->rebuilt = rebuild;
        info->refilled = refill;
        info->clumps = clumps;
        info->heightQueries = ground.queries;
    }
    return QString();
}

void addPolyGrassCore(const GrassParams& params, VxRandomStream& rng, DzFacetMesh& mesh)
{
    const GrassParams p = params.clamped();
    FlatGround ground;
    AppendSink sink{mesh};
    mesh.beginEdit();
    layGrass(p, rng, sink, ground);
    mesh.finishEdit();
}
