#include "billboard/billboardcore.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dzgeometry.h"
#include "common/verdixrandom.h"
#include "common/patchlayout.h"
#include "common/vxexpect.h"

namespace {

constexpr std::size_t kMinCache = 10000;
constexpr int kLowLodBillboards = 100;

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Angle between the planes of a star: half a turn split by whole degrees, so seven planes
// stand 25 degrees apart and the star does not close evenly.
float planeStep(int P) { return float(180 / P) * 0.017453292f; }

// The P planes of one star standing at (x, y, z), the first turned by theta. Corners of a
// plane before turning: A (0, 0, +w), B (0, 0, -w), C (0, h, -w), D (0, h, +w); with the
// local x always 0 the turn leaves the quad's edge along (sin, -cos), at right angles to
// the direction theta points in.
template <class Out>
void star(float x, float y, float z, float w, float h, float theta, float delta, int P, Out&& out)
{
    for (int k = 0; k < P; ++k) {
        const float c = std::cos(theta), s = std::sin(theta);
        const float ex = s * w, ez = -c * w;
        out(DzVec3(ex + x, y, ez + z), DzVec3(-ex + x, y, -ez + z), DzVec3(-ex + x, h + y, -ez + z),
            DzVec3(ex + x, h + y, ez + z));
        theta = theta + delta;
    }
}

bool topologyStale(const BillboardParams& p, const DzFacetMesh& mesh, int uvEntries)
{
    const DzMap* uvs = mesh.getUVs();
    return mesh.getNumVertices() != p.verticesNeeded() || uvEntries != p.uvEntriesNeeded() ||
           mesh.getNumFacets() * 4 != p.verticesNeeded() || !uvs || uvs->getNumValues() != p.uvEntriesNeeded();
}

}  // namespace

const SliderFields<BillboardParams>& billboardSliderFields()
{
    using P = BillboardParams;
    static const SliderFields<BillboardParams> fields = {
        {"Amount", &P::Amount, 1, 10000},
        {"Area size X", &P::AreaSizeX, 1, 4000},
        {"Full off X", &P::FullOffX, 0, 500},
        {"Animate Start RND", &P::AnimateStartRND, 0, 512},
        {"Spin LOD", &P::SpinLOD, 1, 16},
        {"Area size Z", &P::AreaSizeZ, 1, 4000},
        {"Full off Z", &P::FullOffZ, 0, 500},
        {"Animate End", &P::AnimateEnd, 0, 512},
        {"Height Min", &P::HeightMin, 1, 2000},
        {"Height RND", &P::HeightRND, 1, 1000},
        {"Map X", &P::MapX, 1, 40},
        {"Map Z", &P::MapZ, 1, 40},
        {"Width Min", &P::WidthMin, 1, 2000},
        {"Width RND", &P::WidthRND, 1, 1000},
        {"Shape", &P::Shape, -300, 300},
        {"Ring", &P::Ring, 0, 4000},
        {"Rotate", &P::Rotate, 0, 360},
        {"Seed", &P::Seed, 0, 1000},
        {"Animate Off On", &P::AnimateOffOn, 0, 1},
        {"Sector Size", &P::SectorSize, 0, 359},
        {"Sector Start", &P::SectorStart, 0, 360},
        {"Move X", &P::MoveX, -10000, 10000},
        {"Move Z", &P::MoveZ, -10000, 10000},
    };
    return fields;
}

BillboardParams BillboardParams::clamped() const
{
    BillboardParams q = *this;
    clampFields(q, billboardSliderFields());
    return q;
}

int BillboardParams::billboards() const
{
    const int n = clampi(Amount, 1, 10000);
    return lowLOD ? std::min(n, kLowLodBillboards) : n;
}
int BillboardParams::planes() const { return clampi(SpinLOD, 1, 16); }
int BillboardParams::cells() const { return clampi(MapX, 1, 40) * clampi(MapZ, 1, 40); }
int BillboardParams::verticesNeeded() const { return billboards() * planes() * 4; }
int BillboardParams::uvEntriesNeeded() const { return cells() * 4; }

int addPolyBillboardCore(const BillboardParams& params, VxRandomStream& gen, DzFacetMesh& mesh)
{
    const BillboardParams p = params.clamped();
    const int N = p.billboards(), P = p.planes(), COLS = p.MapX, ROWS = p.MapZ;

    mesh.beginEdit();
    DzMap* uvs = mesh.getUVs();
    if (mesh.getNumVertices() > 0 || mesh.getNumFacets() > 0) {
        mesh.removeAllFacets();
        mesh.clearAllVertices();
        if (uvs) uvs->clearAllData();
    }
    if (!uvs) uvs = new DzUVSet;
    mesh.preSizeVertexArray(N * P * 4);
    mesh.preSizeFacets(N * P);
    uvs->clearAllData();
    uvs->preSizeArray(COLS * ROWS * 4);

    // The sheet's cells, rows from v = 0 upward; edges summed the way the sheet is walked.
    const float du = 1.f / float(COLS), dv = 1.f / float(ROWS);
    float vL = 0.f;
    for (int row = 0; row < ROWS; ++row) {
        float uL = 0.f;
        for (int col = 0; col < COLS; ++col) {
            const float uR = uL + du, vU = vL + dv;
            uvs->appendPnt2Vec(DzPnt2(uL, vL));
            uvs->appendPnt2Vec(DzPnt2(uR, vL));
            uvs->appendPnt2Vec(DzPnt2(uR, vU));
            uvs->appendPnt2Vec(DzPnt2(uL, vU));
            uL = uL + du;
        }
        vL = vL + dv;
    }
    mesh.setUVList(uvs);

    // A fixed seed: every rebuild gives each facet the same random cell.
    VxRandomStream rng(0u);
    const bool oneCell = COLS + ROWS <= 2;
    const float delta = planeStep(P);
    mesh.activateMaterial(0);
    for (int b = 0; b < N; ++b) {
        star(0.f, 0.f, 0.f, 0.5f, 1.f, 0.f, delta, P,
             [&](const DzVec3& A, const DzVec3& B, const DzVec3& C, const DzVec3& D) {
                 const int v0 = mesh.addVertex(A);
                 mesh.addVertex(B);
                 mesh.addVertex(C);
                 mesh.addVertex(D);
                 int cell = 0;
                 if (!oneCell) {
                     const int r1 = rng.next();
                     const int r2 = rng.next();
                     cell = (r2 % ROWS) * COLS + (r1 % COLS);
                 }
                 const int vi[4] = {v0, v0 + 1, v0 + 2, v0 + 3};
                 const int ui[4] = {cell * 4, cell * 4 + 1, cell * 4 + 2, cell * 4 + 3};
                 mesh.addFacet(vi, ui);
             });
    }
    mesh.finishEdit();
    gen = rng;
    return COLS * ROWS * 4;
}

QString updateBillboardCore(const BillboardParams& params, VxRandomStream& gen, DzFacetMesh& mesh,
                            std::vector<float>& cache, int& uvEntries, const GroundSampler& sampler, bool ResetCache,
                            BillboardUpdateInfo* info)
{
    VX_EXPECT(uvEntries >= 0, "the UV entry count the last topology pass returned");
    const BillboardParams p = params.clamped();
    const int N = p.billboards(), P = p.planes(), COLS = p.MapX, ROWS = p.MapZ;

    bool refill = ResetCache;
    if (cache.empty() || cache.size() < std::size_t(N)) {
        try {
            std::vector<float>(std::max(std::size_t(N), kMinCache), 0.f).swap(cache);
        } catch (const std::bad_alloc&) {
            return QStringLiteral("Error: Catch memory");
        }
        refill = true;
    }

    const bool rebuild = topologyStale(p, mesh, uvEntries);
    if (rebuild) uvEntries = addPolyBillboardCore(p, gen, mesh);

    const float s = float(p.Shape - 1) * 0.01f;
    // A hair under 1/360, as the sector sliders have always been scaled.
    const float c360 = 0.0027777769f;
    const float sF = 1.f - float(p.SectorSize) * c360;
    const float sT = 1.f - float(p.SectorStart) * c360;
    const float Rf = float(p.Ring), Rh = Rf * 0.5f;
    const int AX = p.AreaSizeX, AZ = p.AreaSizeZ, FX = p.FullOffX, FZ = p.FullOffZ;
    const float rotA = float(p.Rotate) * 0.017453292f;
    const float rotC = std::cos(rotA), rotS = std::sin(rotA);
    const float delta = planeStep(P);
    const float camX = p.camera.x(), camZ = p.camera.z();

    // Drawn from a local copy, which the compiler keeps in a register, and handed back.
    VxRandomStream rng(std::uint32_t(p.Seed));
    CachedGround ground{cache, sampler, refill};
    mesh.beginEdit();
    DzVec3* out = mesh.getVerticesPtr();
    int cx = 0, cz = 0, hx = 0, hz = 0;
    for (int b = 0; b < N; ++b) {
        if (FX != 0) {
            if (++cx >= FX) cx = 0;
            hx = cx / 2;
        }
        if (FZ != 0) {
            if (++cz >= FZ) cz = 0;
            hz = cz / 2;
        }
        const float u1 = float(rng.next()) / 32767.f;
        float u2 = float(rng.next()) / 32767.f;
        float x, z;
        if (p.Shape == 0) {
            x = 2.f * ((float(AX + cx) + Rf) * u1 - (float(AX / 2 + hx) + Rh));
            z = 2.f * ((float(AZ + cz) + Rf) * u2 - (float(AZ / 2 + hz) + Rh));
        } else {
            if (sF > 0.f) u2 = u2 * sF;
            if (sT > 0.f) u2 = u2 + sT;
            const float phi = float(double(u2 + u2) * 3.141592653589793);
            const float co = std::cos(phi), si = std::sin(phi);
            const float q = std::sqrt(u1);
            const float rx = float(AX + cx) * q + Rf;
            const float rz = float(AZ + cz) * q + Rf;
            const float xc = (si + co) * 0.7f * rx, zc = (si - co) * 0.7f * rz;
            if (p.Shape == 100) {
                x = xc;
                z = zc;
            } else {
                const float tc = std::tan(co), ts = std::tan(si);
                const float xq = (tc + ts) * 0.58f * rx, zq = (ts - tc) * 0.58f * rz;
                if (p.Shape == 1) {
                    x = xq;
                    z = zq;
                } else {
                    x = xq + (xc - xq) * s;
                    z = zq + (zc - zq) * s;
                }
            }
        }
        if (p.Rotate != 0) {
            const float xr = rotC * x - rotS * z;
            const float zr = x * rotS + rotC * z;
            x = xr;
            z = zr;
        }
        x += float(p.MoveX);
        z += float(p.MoveZ);
        const float y = ground.next(x, z);
        const float w = float(rng.next() % p.WidthRND + p.WidthMin) * 0.5f;
        const float h = float(rng.next() % p.HeightRND + p.HeightMin);
        // The first plane looks at the camera.
        const float theta = std::atan2(z - camZ, x - camX);
        star(x, y, z, w, h, theta, delta, P, [&](const DzVec3& A, const DzVec3& B, const DzVec3& C, const DzVec3& D) {
            out[0] = A;
            out[1] = B;
            out[2] = C;
            out[3] = D;
            out += 4;
        });
    }

    int shown = -1;
    if (p.AnimateOffOn != 0) {
        // Drawn after the layout, so a seed and a count fix the box's offset in the sequence.
        const int r = p.AnimateStartRND != 0 ? rng.next() % p.AnimateStartRND : 0;
        const int cells = COLS * ROWS;
        // A timeline before its start gives negative frames; the sequence still runs forward.
        int frame = int((static_cast<long long>(p.frame) + r) % cells);
        if (frame < 0) frame += cells;
        if (frame > p.AnimateEnd) frame = 0;
        shown = frame;
        const int col = frame % COLS, row = frame / COLS;
        const float du = 1.f / float(COLS), dv = 1.f / float(ROWS);
        const float uL = float(col) * du, uR = uL + du;
        // Animation frames count sheet rows from the top of the image down.
        const float vTop = 1.0f - float(row) * dv, vBot = vTop - dv;
        if (DzMap* uvs = mesh.getUVs()) {
            const int entries = uvs->getNumValues();
            DzPnt2* uv = uvs->getPnt2ArrayPtr();
            for (int f = 0; f < N * P && 4 * f + 4 <= entries; ++f) {
                uv[4 * f] = DzPnt2(uL, vBot);
                uv[4 * f + 1] = DzPnt2(uR, vBot);
                uv[4 * f + 2] = DzPnt2(uR, vTop);
                uv[4 * f + 3] = DzPnt2(uL, vTop);
            }
            mesh.setUVList(uvs);
        }
    }
    mesh.finishEdit();
    gen = rng;

    if (info) {
        info->rebuilt = rebuild;
        info->refilled = refill;
        info->heightQueries = ground.queries;
        info->frameShown = shown;
    }
    return QString();
}
