// The tree pass. Everything is laid down in one walk whose draws and vertex order depend
// only on the sliders and the seed: trunk, branch A, branch B, twig A, twig B, hanging
// leaves, fallen leaves, fruit. The build appends through one sink, the wind pass sets
// through another; the walk itself is written once.
#include "tree/treecore.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "dzgeometry.h"
#include "common/verdixrandom.h"
#include "tree/treeshape.h"

using namespace treeshape;

namespace {

// Appends vertices, quads, materials and UVs: a full build.
struct AppendSink
{
    static constexpr bool kTopology = true;
    DzFacetMesh& mesh;
    int n = 0;
    int quads = 0;
    int vertex(const DzVec3& v)
    {
        mesh.addVertex(v);
        return n++;
    }
    void quad(int a, int b, int c, int d, int ua, int ub, int uc, int ud)
    {
        const int v[4] = {a, b, c, d};
        const int u[4] = {ua, ub, uc, ud};
        mesh.addFacet(v, u);
        ++quads;
    }
    void material(int m) { mesh.activateMaterial(m); }
};

// Writes over the vertices already there, never past the last one: the wind pass.
struct SetSink
{
    static constexpr bool kTopology = false;
    DzVec3* verts;
    int cap;
    int n = 0;
    int quads = 0;
    int vertex(const DzVec3& v)
    {
        if (n < cap) verts[n] = v;
        return n++;
    }
    void quad(int, int, int, int, int, int, int, int) {}
    void material(int) {}
};

// Counts what is asked of the terrain.
struct CountingGround
{
    const GroundSampler& g;
    int queries = 0;
    float operator()(float x, float z)
    {
        ++queries;
        return g.height(x, z);
    }
};

// Quads between two rings of `sides` points, the last one closing over the seam; each UV
// row has sides + 1 points so the seam gets u = 1.
template <class Sink>
void ringQuads(Sink& sink, int prev, int cur, int sides, int uvPrev, int uvCur)
{
    if constexpr (Sink::kTopology) {
        for (int j = 0; j + 1 < sides; ++j)
            sink.quad(prev + j, prev + j + 1, cur + j + 1, cur + j, uvPrev + j, uvPrev + j + 1, uvCur + j + 1,
                      uvCur + j);
        sink.quad(prev + sides - 1, prev, cur, cur + sides - 1, uvPrev + sides - 1, uvPrev + sides, uvCur + sides,
                  uvCur + sides - 1);
    } else {
        (void)sink, (void)prev, (void)cur, (void)sides, (void)uvPrev, (void)uvCur;
    }
}

// The per-pass constants every part reads.
struct Pass
{
    TreeParams p;
    UvLayout uv;
    WindTerms wind;
    int S, BS, TS;  // trunk, branch and twig sides
    int spinHi, spinLow;
    float X, Z, ground;
    float B;  // trunk base radius
    // Angle tables: cos, sin, and sin(angle * shape) of the profile points.
    float tc[kMaxTrunkSides], ts[kMaxTrunkSides], tShape[kMaxTrunkSides];
    float bc[kMaxTubeSides], bs[kMaxTubeSides], bShape[kMaxTubeSides];
    float wc[kMaxTubeSides], ws[kMaxTubeSides];
};

// One tube: branch or twig. Ring 0 lies across the start as a collar (turned 90 degrees
// about X, twice as wide); the others follow the orientation and the growing bend.
struct TubeSpec
{
    int rings = 2;
    int lod = 2;  // the order's LOD: blend and wobble steps
    int sides = 3;
    const float* c = nullptr;
    const float* s = nullptr;
    const float* shapeSin = nullptr;  // null: a plain circle
    float smooth = 0.f;
    float r0 = 1.f;
    float d0 = 0.f;
    float step = 1.f;
    float bendRad = 0.f;  // added about X before every ring after the first
    float chaos = 0.f;    // wobble offset length
    int interval = 1;
    Mat3 frame;   // the trunk's frame at the start
    Mat3 orient;  // turn about Y of the tilt about X
    Mat3 collar;  // turn about Y of 90 degrees about X
    DzVec3 start;
    int uvBase = 0;
};

struct RingInfo
{
    int index;
    DzVec3 centre, prevCentre;
    float radius, prevRadius;
    Mat3 local;     // the ring's matrix (without the start point)
    DzVec3 offset;  // wobble offset of the ring, in tube space
    float distance;
};

template <class Sink, class OnRing>
void tube(Sink& sink, VxRandomStream& rng, const TubeSpec& t, OnRing&& onRing)
{
    float rho[kMaxTubeSides];
    for (int j = 0; j < t.sides; ++j) rho[j] = (t.shapeSin ? t.shapeSin[j] * t.smooth : 0.f) + t.r0;
    Mat3 bend;
    float blend = 0.f;
    float ox = 0.f, oz = 0.f;
    int counter = 0;
    int prevBase = -1;
    DzVec3 prevCentre = t.start;
    float prevRadius = t.r0;
    const float inv = 1.f / float(t.lod);
    for (int i = 0; i < t.rings; ++i) {
        blend += inv;
        if (i > 0) {
            bend = mul(rotX(t.bendRad), bend);
            const int q = rng.next() % 360;
            if (++counter > t.interval) {
                counter = 0;
                ox = std::cos(float(q)) * t.chaos;
                oz = std::sin(float(q)) * t.chaos;
            }
        }
        const float d = t.d0 + float(i) * t.step;
        const bool collar = i == 0;
        const Mat3 M = collar ? mul(t.frame, t.collar) : mul(t.frame, mul(t.orient, bend));
        const float scale = collar ? 2.f : 1.f;
        const float cx = collar ? 0.f : ox, cz = collar ? 0.f : oz;
        const int base = sink.n;
        for (int j = 0; j < t.sides; ++j) {
            const float r = rho[j] + (0.01f - rho[j]) * blend;
            sink.vertex(apply(M, t.c[j] * r * scale + cx, d, t.s[j] * r * scale + cz) + t.start);
        }
        if (i > 0)
            ringQuads(sink, prevBase, base, t.sides, t.uvBase + (i - 1) * (t.sides + 1), t.uvBase + i * (t.sides + 1));
        const DzVec3 centre = apply(M, cx, d, cz) + t.start;
        const float radius = t.r0 + (0.01f - t.r0) * blend;
        onRing(RingInfo{i, centre, prevCentre, radius, prevRadius, M, DzVec3(cx, 0.f, cz), d});
        prevBase = base;
        prevCentre = centre;
        prevRadius = radius;
    }
}

DzVec3 lerp3(const DzVec3& a, const DzVec3& b, float f) { return a + (b - a) * f; }
int posMod(int a, int m) { return ((a % m) + m) % m; }

// Fallen items lie around the trunk, pushed out of it and a little further from the root
// than where they hung.
DzVec3 groundPoint(const Pass& P, const DzVec3& at)
{
    float dx = at.x() - P.X, dz = at.z() - P.Z;
    const float rho = (P.B * 1.5f * P.B + 0.7853982f) * (P.B * 1.5f * P.B + 0.7853982f);
    if (dx * dx + dz * dz <= rho) {
        const float push = rho * 0.01745329f * 0.5f;
        dx += dx >= 0.f ? push : -push;
        dz += dz >= 0.f ? push : -push;
    }
    return DzVec3(dx * 1.2f + P.X, 0.f, dz * 1.2f + P.Z);
}

template <class Sink>
void layTree(Pass& P, VxRandomStream& gen, Sink& sink, Work& W, CountingGround& ground, TreeBuildInfo& info,
             TreeProgress* progress)
{
    const TreeParams& p = P.p;
    const WindTerms& wt = P.wind;
    // Drawn from a local copy, which the compiler keeps in a register, and handed back.
    VxRandomStream rng(std::uint32_t(p.Seed));
    W.reset();

    // ---- Trunk ----
    const int S = P.S, L = p.TrunkLOD;
    const float fL = float(L);
    const float f = float(p.TrunkFlute + 20);
    const float Gmax = float(p.TrunkGirthMax) * 0.01f, Gmin = float(p.TrunkGirthMin) * 0.01f;
    const float smooth = float(p.TrunkSmooth) * 0.01f;
    const float k = float(p.ImageShape) * 0.001f;
    const bool useImage = p.ImageShape > 0 && p.image.present();
    float px[kMaxTrunkSides], pz[kMaxTrunkSides];
    auto profile = [&](int row) {
        float s = useImage ? float(p.image.at(row + 1, 0)) * k : 0.f;
        for (int j = 0; j < S; ++j) {
            float r = P.tShape[j] * smooth + P.B;
            if (useImage) {
                s = (float(p.image.at(row, j * p.image.width / S)) * k + s) * 0.333f;
                r += s;
            }
            px[j] = r * P.tc[j];
            pz[j] = r * P.ts[j];
        }
    };
    profile(0);

    sink.material(0);
    int prevBase = sink.n;
    for (int j = 0; j < S; ++j) {
        const float x = P.B * px[j] + P.X, z = P.B * pz[j] + P.Z;
        sink.vertex(DzVec3(x, ground(x, z), z));
    }

    float R = f * 0.005f + Gmin + Gmax;
    float Rprev = R;
    float y = P.ground + float(p.TrunkHeight) * 0.25f;
    float t = 0.f;
    Mat3 M1, M2;
    int chaosCounter = 0;
    float amp = 0.f;
    const float swayX = float(p.SwayX) * 0.015f / fL + wt.stemX;
    const float swayZ = float(p.SwayZ) * 0.015f / fL + wt.stemZ;
    const float twist = float(p.TrunkTwist) * 0.1f / fL;
    const DzVec3 rootOrigin(P.X, P.ground, P.Z);
    DzVec3 prevAxis = rootOrigin;
    Mat3 T;
    int firstWhorl = 1;
    const int branchRing = p.Start1 * L / 100;
    for (int kr = 0; kr < L; ++kr) {
        if (useImage) profile(p.image.height * kr / L);
        if (kr > 0) y += float(p.TreeHeight) / fL;
        if (++chaosCounter > p.ChaosStart) {
            chaosCounter = 0;
            amp = float(p.TrunkChaos);
        }
        const int q = rng.next() % 360;
        const float offX = std::cos(float(q)) * amp / fL, offZ = std::sin(float(q)) * amp / fL;
        M1 = mul(rotX(swayX), M1);
        M2 = mul(rotY(twist), M2);
        M1 = mul(rotZ(swayZ), M1);
        T = mul(M2, M1);
        t += 1.f / fL;
        Rprev = R;
        R -= Gmax / fL;
        if (kr == 1) R -= f * 0.005f;

        // The trunk leans about its own root, wherever the ground lies.
        const float ly = y - P.ground;
        const int base = sink.n;
        for (int j = 0; j < S; ++j) {
            const float lx = ((P.tc[j] - px[j]) * t + px[j]) * R + offX;
            const float lz = ((P.ts[j] - pz[j]) * t + pz[j]) * R + offZ;
            sink.vertex(apply(T, lx, ly, lz) + rootOrigin);
        }
        const bool trunkMaterial = kr <= 1;
        const int a = trunkMaterial ? std::min(kr, std::max(L - 2, 0)) : kr - 1;
        const int b = std::min(a + 1, L - 1);
        const int uvBase = trunkMaterial ? P.uv.trunkA : P.uv.trunkB;
        ringQuads(sink, prevBase, base, S, uvBase + a * (S + 1), uvBase + b * (S + 1));
        // The root segment and the first one carry "Trunk", all above them "Stem".
        if (kr == 1) sink.material(1);
        prevBase = base;

        const DzVec3 axis = apply(T, offX, ly, offZ) + rootOrigin;
        if (kr >= branchRing) {
            const int n = firstWhorl ? P.spinLow : P.spinHi;
            firstWhorl = 0;
            int pc = p.Start1 * L;
            const float half = 0.5f * std::fabs(((1.f - px[0]) * t + px[0]) * R);
            for (int s = 0; s < n; ++s) {
                const float frac = float(posMod(pc, 100)) * 0.01f;
                W.a.add(Start{lerp3(prevAxis, axis, frac), Rprev + (R - Rprev) * frac, half, 0.f, 0.f, 0.f, T});
                pc -= p.Shuffle;
                if (pc < p.Start1 * L - 100) pc += 100;
            }
        }
        prevAxis = axis;
    }
    if (W.a.count > 0 && p.EndOfTrunk > 0) {
        float r = R;
        for (int e = 0; e < p.EndOfTrunk; ++e) {
            W.a.add(Start{prevAxis, r, 0.f, 0.f, 0.f, 0.f, T});
            r -= Gmax / fL / float(p.EndOfTrunk);
        }
    }
    if (L == 1) sink.material(1);

    // ---- Branch A ----
    const int BL = p.BranchLOD, BBL = p.BranchBLOD;
    const float bendHi = (float(p.BendingHi) + wt.branchHi) / float(BL);
    const float bendLo = (float(p.BendingLo) + wt.branchLo) / float(BL);
    float lenA = float(p.BranchALength), lenB = float(p.BranchBLength);
    float sm = float(p.Smooth) * 0.01f;
    float spin = float(p.SpinAngle);
    float tTilt = 0.f, tBend = 0.f;
    int n = P.spinLow, w = 0;
    const int nA = W.a.count;
    if (progress) progress->begin((P.spinLow + P.spinHi) * nA / 2);
    const Mat3 collarX = rotX(1.5707964f);
    for (int b = 0; b < nA; ++b) {
        // A whorl holds n branches; the next whorl starts when this one is full.
        if (w >= n) {
            n = P.spinHi;
            w = 0;
        }
        if (n == 0) continue;
        const Start& st = W.a.items[b];
        const float tilt = float(p.AngleLo) + float(p.AngleHi - p.AngleLo) * tTilt;
        const float bend = bendLo + (bendHi - bendLo) * tBend;
        if (w == 0) {
            tTilt += 1.f / fL;
            tBend += 1.f / fL;
            spin += float(rng.next() % 360 - 180) * float(p.SpinRND) * 0.1f + 180.f;
        } else {
            spin += float(360 / n) + float(rng.next() % (90 / n)) * float(p.SpinRND) * 0.1f;
        }
        const float step = (float(rng.next()) / 32767.f * float(p.LengthRND) + lenA) / float(BL);

        TubeSpec ts;
        ts.rings = BL - 1;
        ts.lod = BL;
        ts.sides = P.BS;
        ts.c = P.bc;
        ts.s = P.bs;
        ts.shapeSin = P.bShape;
        ts.smooth = sm;
        ts.r0 = st.radius;
        ts.d0 = st.half;
        ts.step = step;
        ts.bendRad = bend * 0.01745329f;
        ts.chaos = float(p.BranchChaos) / float(BL);
        ts.interval = p.ChaosInterval;
        ts.frame = st.frame;
        ts.orient = mul(rotY(spin * 0.01745329f), rotX(tilt * 0.01745329f));
        ts.collar = mul(rotY(spin * 0.01745329f), collarX);
        ts.start = st.pos;
        ts.uvBase = P.uv.branchA;
        const int bRing = p.Start2 * (BL - 2) / 100;
        const float bFrac = float(p.Start2 % 100) * 0.01f;
        RingInfo last{};
        tube(sink, rng, ts, [&](const RingInfo& r) {
            if (r.index > bRing)
                W.b.add(Start{lerp3(r.prevCentre, r.centre, bFrac), r.prevRadius + (r.radius - r.prevRadius) * bFrac,
                              0.f, spin, tilt, bend, st.frame});
            last = r;
        });
        if (p.EndOfBranch > 0 && ts.rings > 0) {
            const float rStep = (ts.r0 - 0.01f) / float(BL);
            float r = last.radius;
            const DzVec3 at = apply(last.local, last.offset.x(), last.distance - 0.5f, last.offset.z()) + st.pos;
            for (int e = 0; e < p.EndOfBranch; ++e) {
                W.b.add(Start{at, r, 0.f, spin, tilt, bend, st.frame});
                r -= rStep / 3.f;
                if (r < 0.2f) r += rStep;
            }
        }
        ++info.built[0];
        ++w;
        lenA -= lenA / float(nA);
        lenB -= lenB / float(nA);
        sm -= sm / float(nA);
        if (progress) progress->step(info.built[0]);
    }

    // ---- Branch B ----
    float bias = 0.f;
    for (int b = 0; b < W.b.count; ++b) {
        const Start& st = W.b.items[b];
        const float step = (float(rng.next()) / 32767.f * float(p.LengthRND) * 0.5f + lenB) / float(BBL);
        const int j = rng.next() % 41 - 21;
        float turn, tilt;
        if (bias + float(j) < 0.f) {
            turn = st.spin + float(j) - float(p.Spread);
            tilt = (st.tilt - float(p.BranchUp)) - float(p.BranchWall);
            bias += float(p.AlternateBias);
        } else {
            turn = st.spin + float(j) + float(p.Spread);
            tilt = (st.tilt - float(p.BranchUp)) + float(p.BranchWall);
            bias -= float(p.AlternateBias);
        }
        TubeSpec ts;
        ts.rings = BBL - 1;
        ts.lod = BBL;
        ts.sides = P.BS;
        ts.c = P.bc;
        ts.s = P.bs;
        ts.shapeSin = P.bShape;
        ts.smooth = sm;
        ts.r0 = st.radius;
        ts.d0 = st.half;
        ts.step = step;
        ts.bendRad = st.bend * 0.01745329f;
        ts.chaos = float(p.BranchChaos) / float(BBL);
        ts.interval = p.ChaosInterval;
        ts.frame = st.frame;
        ts.orient = mul(rotY(turn * 0.01745329f), rotX(tilt * 0.01745329f));
        ts.collar = mul(rotY(turn * 0.01745329f), collarX);
        ts.start = st.pos;
        ts.uvBase = P.uv.branchB;
        const int tRing = p.Start3 * (BBL - 2) / 100;
        const float tFrac = float((p.Start3 * (BBL - 2)) % 100) / 100.f;
        tube(sink, rng, ts, [&](const RingInfo& r) {
            if (r.index > tRing)
                W.ta.add(Start{lerp3(r.prevCentre, r.centre, tFrac), r.radius, 0.f, turn, st.tilt, 0.f, st.frame});
        });
        ++info.built[1];
    }

    // ---- Twigs ----
    int leafAcc = 0, fruitAcc = 0;
    auto twigs = [&](StartList& from, int order) {
        const bool first = order == 0;
        const int lod = first ? p.TwigLODA : p.TwigLODB;
        const int rings = lod - 1;
        float len = float(rng.next()) / 32767.f * float(p.TwigRND) + float(first ? p.TwigLengthA : p.TwigLengthB);
        const float hi = (float(p.BendHi) + (first ? wt.twigHiA : wt.twigHiB)) / float(p.TwigLODA);
        const float lo = (float(p.BendLo) + (first ? wt.twigLoA : wt.twigLoB)) / float(p.TwigLODA);
        const int count = from.count;
        float u = 0.f;
        float tbias = 0.f;
        const int childRing = p.TwigStart3 * (p.TwigLODA - 2) / 100;
        const float childFrac = float((p.TwigStart3 * (p.TwigLODA - 2)) % 100) / 100.f;
        for (int b = 0; b < count; ++b) {
            const Start& st = from.items[b];
            // Past the last twig of a full blend the Hi values hold.
            const float uc = std::min(u, 1.f);
            const float spread = float(p.SpreadLo) + float(p.SpreadHi - p.SpreadLo) * uc;
            const float wobble = float(p.ChaosLo) * 0.1f + float(p.ChaosHi - p.ChaosLo) * 0.1f * uc;
            const float bend = lo + (hi - lo) * uc;
            const int j = rng.next() % 41 - 21;
            float turn;
            if (tbias + float(j) < 0.f) {
                turn = st.spin + float(j) - spread;
                tbias += float(p.AlternateBias);
            } else {
                turn = st.spin + float(j) + spread;
                tbias -= float(p.AlternateBias);
            }
            TubeSpec ts;
            ts.rings = rings;
            ts.lod = lod;
            ts.sides = P.TS;
            ts.c = P.wc;
            ts.s = P.ws;
            ts.r0 = st.radius;
            ts.d0 = st.half;
            ts.step = len / float(rings);
            ts.bendRad = bend * 0.01745329f;
            ts.chaos = wobble / float(rings);
            ts.interval = p.ChaosInterval;
            ts.frame = st.frame;
            ts.orient = mul(rotY(turn * 0.01745329f), rotX(st.tilt * 0.01745329f));
            ts.collar = mul(rotY(turn * 0.01745329f), collarX);
            ts.start = st.pos;
            ts.uvBase = first ? P.uv.twigA : P.uv.twigB;
            tube(sink, rng, ts, [&](const RingInfo& r) {
                if (r.index == 0) return;
                ++info.twigRingsAfterFirst;
                bool leaf = false;
                leafAcc += p.LeafLOD;
                if (leafAcc > 99) {
                    leafAcc -= 100;
                    leaf = true;
                    W.addLeaf(r.centre, turn);
                }
                if (!first && !leaf) {
                    fruitAcc += p.FruitLOD;
                    if (fruitAcc > 99) {
                        fruitAcc -= 100;
                        W.addFruit(r.centre);
                    }
                }
                if (first && r.index > childRing)
                    W.tb.add(
                        Start{lerp3(r.prevCentre, r.centre, childFrac), r.radius, 0.f, turn, st.tilt, 0.f, st.frame});
            });
            ++info.built[2 + order];
            len -= len / float(count);
            u += 1.f / float(p.TwigLODA - 1);
        }
    };
    sink.material(1);
    twigs(W.ta, 0);
    twigs(W.tb, 1);

    // ---- Leaves ----
    sink.material(2);
    const float hx = float(p.LeafSizeX) * 0.5f, ly = float(p.LeafSizeY);
    const DzVec3 corners[4] = {DzVec3(-hx, 0.f, 0.f), DzVec3(hx, 0.f, 0.f), DzVec3(hx, -ly, 0.f),
                               DzVec3(-hx, -ly, 0.f)};
    const int nl = W.nLeaves;
    const int keep = int(std::int64_t(nl) * p.LeafFloorLOD / 100);
    int acc = 0;
    for (int i = 0; i < nl; ++i) {
        const LeafPoint& lp = W.leaves[i];
        if (acc + keep < nl) {
            acc += keep;
            W.fallen[W.nFallen++] = groundPoint(P, lp.pos);
            continue;
        }
        acc = acc + keep - nl;
        const int d1 = rng.next(), d2 = rng.next();
        const float tiltDeg = float(wt.leafTilt(d2 % p.UpDownRND + p.UpDown) + 10);
        const float turnDeg = float(d1 % p.LeftRightRND) + wt.leafTurn + lp.angle + 180.f;
        const Mat3 m = mul(rotY(turnDeg * 0.01745329f), rotX(tiltDeg * 0.01745329f));
        const int v0 = sink.vertex(apply(m, corners[0]) + lp.pos);
        for (int c = 1; c < 4; ++c) sink.vertex(apply(m, corners[c]) + lp.pos);
        const int tile = P.uv.leaf + ((d2 % p.LeafMapsY) * p.LeafMapsX + d1 % p.LeafMapsX) * 4;
        if constexpr (Sink::kTopology) sink.quad(v0, v0 + 1, v0 + 2, v0 + 3, tile, tile + 1, tile + 2, tile + 3);
        ++info.hangingLeaves;
    }
    const float leafStand = float(p.LeafStandoff) * 0.01f;
    const Mat3 flat = rotX(1.5707964f);
    for (int i = 0; i < W.nFallen; ++i) {
        const DzVec3& gp = W.fallen[i];
        const int d1 = rng.next(), d2 = rng.next();
        const int q = rng.next() % 360;
        const Mat3 m = mul(rotY(float(q) * 0.01745329f), flat);
        const float floorY = ground(gp.x(), gp.z()) + leafStand;
        int v0 = -1;
        for (int c = 0; c < 4; ++c) {
            DzVec3 v = apply(m, corners[c]) + gp;
            v.setY(std::max(ground(v.x(), v.z()) + leafStand, floorY));
            const int idx = sink.vertex(v);
            if (c == 0) v0 = idx;
        }
        const int tile = P.uv.leaf + ((d2 % p.LeafMapsY) * p.LeafMapsX + d1 % p.LeafMapsX) * 4;
        if constexpr (Sink::kTopology) sink.quad(v0, v0 + 1, v0 + 2, v0 + 3, tile, tile + 1, tile + 2, tile + 3);
        ++info.fallenLeaves;
    }

    // ---- Fruit ----
    if (W.nFruit > 0) {
        sink.material(3);
        float fr[8], fh[8];
        treeFruitProfile(p.ApplePear, fr, fh);
        const int FS = p.FruitSides;
        const float sx = float(p.FruitSizeX) * 0.5f, sy = float(p.FruitSizeY) * 0.5f;
        const float fStand = float(p.FruitStandoff) * 0.01f;
        const float dTheta = kTwoPi / float(FS);
        float fc[kMaxFruitSides], fsn[kMaxFruitSides];
        for (int j = 0; j < FS; ++j) {
            fc[j] = std::cos(float(j) * dTheta);
            fsn[j] = std::sin(float(j) * dTheta);
        }
        const Mat3 roll = rotZ(wt.fruitRoll * 0.01745329f);
        const int nf = W.nFruit;
        const int fkeep = int(std::int64_t(nf) * p.FruitFloorLOD / 100);
        int facc = 0;
        for (int i = 0; i < nf; ++i) {
            Mat3 m = roll;
            DzVec3 at = W.fruit[i];
            float drop = sy;
            if (facc + fkeep < nf) {
                facc += fkeep;
                const int xr = rng.next() % p.TurnRND;
                const int zr = rng.next() % p.RollRND;
                m = mul(rotZ(float(zr) * 0.01745329f), rotX(float(xr) * 0.01745329f));
                at = groundPoint(P, at);
                at.setY(ground(at.x(), at.z()) + 2.5f + fStand);
                drop = sy * 0.5f;
                ++info.fallenFruit;
            } else {
                facc = facc + fkeep - nf;
                ++info.hangingFruit;
            }
            const int ty = rng.next() % p.FruitMapsY;
            const int tx = rng.next() % p.FruitMapsX;
            const int uvTile = P.uv.fruit + (ty * p.FruitMapsX + tx) * 8 * (FS + 1);
            int prev = -1;
            for (int ring = 0; ring < 8; ++ring) {
                const int base = sink.n;
                const float yy = sy * fh[ring] - drop;
                for (int j = 0; j < FS; ++j)
                    sink.vertex(apply(m, fc[j] * fr[ring] * sx, yy, fsn[j] * fr[ring] * sx) + at);
                if (ring > 0) ringQuads(sink, prev, base, FS, uvTile + (ring - 1) * (FS + 1), uvTile + ring * (FS + 1));
                prev = base;
            }
        }
    }

    info.starts = {W.a.count, W.b.count, W.ta.count, W.tb.count};
    info.vertices = sink.n;
    info.quads = sink.quads;
    info.heightQueries = ground.queries;
    if (progress) progress->end();
    gen = rng;
}

// Fills the per-pass constants; false when nothing can be built from p.
void preparePass(Pass& P, const TreeParams& params, const TreeWind& wind, const GroundSampler& g)
{
    P.p = params.clamped();
    const TreeParams& p = P.p;
    P.S = p.lowLOD ? 3 : p.TrunkSides;
    P.BS = p.lowLOD ? 3 : p.BranchSides;
    P.TS = p.lowLOD ? 3 : p.TwigSides;
    P.spinHi = p.lowLOD ? 0 : p.SpinHi;
    P.spinLow = p.lowLOD ? 1 : p.SpinLow;
    P.uv = uvLayout(p, P.S, P.BS, P.TS);
    P.wind = windTerms(p, wind);
    P.X = float(p.X);
    P.Z = float(p.Z);
    P.ground = g.height(P.X, P.Z);
    P.B = float(p.TrunkFlute + 20) * 0.01f + float(p.TrunkGirthMin) * 0.01f + float(p.TrunkGirthMax) * 0.01f;
    const float dt = kTwoPi / float(P.S);
    for (int j = 0; j < P.S; ++j) {
        const float a = -float(j) * dt;
        P.tc[j] = std::cos(a);
        P.ts[j] = std::sin(a);
        P.tShape[j] = std::sin(a * float(p.TrunkShape));
    }
    const float db = kTwoPi / float(P.BS);
    for (int j = 0; j < P.BS; ++j) {
        const float a = -float(j) * db;
        P.bc[j] = std::cos(a);
        P.bs[j] = std::sin(a);
        P.bShape[j] = std::sin(a * float(p.Shape));
    }
    const float dw = kTwoPi / float(P.TS);
    for (int j = 0; j < P.TS; ++j) {
        const float a = -float(j) * dw;
        P.wc[j] = std::cos(a);
        P.ws[j] = std::sin(a);
    }
}

Pass& passStorage()
{
    static thread_local std::unique_ptr<Pass> pass;
    if (!pass) pass.reset(new Pass);
    return *pass;
}

}  // namespace

TreeBuildInfo buildTreeCore(const TreeParams& params, VxRandomStream& rng, DzFacetMesh& mesh, const GroundSampler& g,
                            TreeProgress* progress)
{
    Pass& P = passStorage();
    // The static tree is the wind pass without wind: one walk, so they cannot differ.
    TreeWind still;
    still.WindStrength1 = 0;
    preparePass(P, params, still, g);

    const int oldVerts = mesh.getNumVertices(), oldFacets = mesh.getNumFacets();
    mesh.beginEdit();
    mesh.removeAllFacets();
    mesh.clearAllVertices();
    DzMap* uvs = mesh.getUVs();
    if (!uvs) {
        uvs = new DzUVSet;
        mesh.setUVList(uvs);
    }
    uvs->clearAllData();
    mesh.preSizeVertexArray(oldVerts);
    mesh.preSizeFacets(oldFacets);
    uvs->preSizeArray(P.uv.total);
    appendUvBlocks(P.p, P.uv, P.S, P.BS, P.TS, *uvs);
    mesh.activateMaterial(0);

    TreeBuildInfo info;
    CountingGround ground{g};
    AppendSink sink{mesh};
    layTree(P, rng, sink, workStorage(), ground, info, progress);
    info.uvs = uvs->getNumValues();
    mesh.finishEdit();
    return info;
}

bool animateTreeCore(const TreeParams& params, VxRandomStream& rng, const TreeWind& wind, DzFacetMesh& mesh,
                     const GroundSampler& g, const TreeBuiltMesh& built, TreeBuildInfo* out)
{
    const TreeParams p = params.clamped();
    if (built.vertices <= 0 || p.topologyKey() != built.key || mesh.getNumVertices() != built.vertices) return false;
    Pass& P = passStorage();
    preparePass(P, params, wind, g);
    mesh.beginEdit();
    TreeBuildInfo info;
    CountingGround ground{g};
    SetSink sink{mesh.getVerticesPtr(), mesh.getNumVertices()};
    layTree(P, rng, sink, workStorage(), ground, info, nullptr);
    mesh.finishEdit();
    if (out) *out = info;
    return sink.n == sink.cap;
}

TreeBuiltMesh treeBuiltMesh(const TreeParams& params, const TreeBuildInfo& info)
{
    TreeBuiltMesh b;
    b.key = params.clamped().topologyKey();
    b.vertices = info.vertices;
    return b;
}
