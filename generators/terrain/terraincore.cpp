#include "terrain/terraincore.h"
#include <system_error>
#include <thread>
#include <atomic>

#include <algorithm>
#include <cmath>
#include <vector>

#include <dzgeometry.h>
#include <dzmath.h>
#include "terrain/heightquery.h"
#include "common/vxexpect.h"

int TerrainParams::weight(int slot) const
{
    switch (slot) {
    case SlotLand:
        return Land;
    case SlotRiver:
        return River;
    case SlotHill:
        return Hill;
    case SlotFlat:
        return Flat;
    case SlotPath:
        return Path;
    case SlotUser:
        return User;
    default:
        return 0;
    }
}

TerrainJudgement judgeTerrainSlots(const TerrainSlotState& state, const TerrainParams& p)
{
    TerrainJudgement j;
    static const char* const kLetters = "ABCDE";
    int missing = 0;
    for (int k = 0; k < kImageSlots; ++k) {
        j.active[k] = state.imageLoaded[k];
        if (state.imageLoaded[k]) continue;
        if (k < SlotPath) {
            j.messages << QString("Map%1 image missing!").arg(QLatin1Char(kLetters[k]));
            ++missing;
        } else {
            j.messages << QString("MapE image missing! %1").arg(missing + 1);
        }
    }
    for (int k = 0; k < kImageSlots; ++k)
        if (p.weight(k) == 0) j.active[k] = false;
    // A User file too short for its side length would be read past its end.
    const long long needed = (long long)state.mapSize * state.mapSize;
    j.userActive = p.User != 0 && state.mapSize != 0 && state.userFloats > 0 && needed <= state.userFloats;
    for (int k = 0; k < kImageSlots; ++k) {
        if (state.mapPresent[k]) continue;
        j.stop = QString("Error Map%1!").arg(QLatin1Char(kLetters[k]));
        j.messages << j.stop;
        break;
    }
    return j;
}

namespace {

// Sample column of each grid column for a map of width w: floor(c * w / V).
std::vector<int> sampleColumns(int w, int V)
{
    std::vector<int> out(static_cast<size_t>(V));
    for (int c = 0; c < V; ++c) out[size_t(c)] = int((long long)c * w / V);
    return out;
}
int sampleRow(int r, int h, int V) { return int((long long)r * h / V); }

// Counts the rows a computation has walked and asks the caller, every few dozen rows,
// whether to go on; without a caller it only counts.
struct RowTicker
{
    static constexpr long long kRowsPerCheck = 32;
    const TerrainProgress* ask = nullptr;
    long long done = 0, next = 0;
    bool stopped = false;

    bool add(long long rows)
    {
        done += rows;
        if (!ask || !*ask || done < next) return !stopped;
        next = done + kRowsPerCheck;
        if (!(*ask)(done)) stopped = true;
        return !stopped;
    }
};
bool goOn(RowTicker* t, long long rows) { return !t || t->add(rows); }

// Runs work(k) for the items 0..n-1 of a pass, on every processor for a large terrain and
// on this thread for a small one. The items of one call touch disjoint vertices and each
// does the same arithmetic wherever it runs, so the heights do not depend on the thread
// count. This thread takes items too and, after each, tells T the lines (lines(k)) the
// pass has finished; a stop there lets the others end their item and take no more.
template <class Work, class Lines>
void shareLines(int n, long long vertices, RowTicker* T, const Lines& lines, const Work& work)
{
    int threads = 1;
    if (vertices >= (1LL << 20)) threads = int(std::min(8u, std::max(1u, std::thread::hardware_concurrency())));
    threads = std::max(1, std::min(threads, n));
    std::atomic<int> next{0};
    std::atomic<long long> done{0};
    std::atomic<bool> stop{false};
    auto take = [&]() {
        const int k = next.fetch_add(1, std::memory_order_relaxed);
        if (k >= n || stop.load(std::memory_order_relaxed)) return false;
        work(k);
        done.fetch_add(lines(k), std::memory_order_relaxed);
        return true;
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&]() {
                while (take()) {}
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    long long told = 0;
    while (take()) {
        const long long d = done.load(std::memory_order_relaxed);
        if (d > told && !goOn(T, d - told)) stop = true;
        told = d;
    }
    for (std::thread& t : helpers) t.join();
    if (!stop && done > told) goOn(T, done - told);
}

// Even bands of count lines over items items: the lines of band k.
inline long long bandLines(long long count, int items, int k) { return count * (k + 1) / items - count * k / items; }
// Bands for passes down the columns: enough for every processor to keep busy.
constexpr int kColumnBands = 16;

// The factor of each vertex in a relaxation pass: one constant (smoothing) or the Path
// map's value scaled by the Path weight.
template <bool PerVertex>
struct RelaxFactor
{
    float constant = 0.f;
    float lut[256] = {};
    const unsigned char* map = nullptr;
    int W = 0, H = 0, V = 0;
    std::vector<int> cols;

    const unsigned char* row(int r) const { return PerVertex ? map + (long long)sampleRow(r, H, V) * W : nullptr; }
    float at(const unsigned char* rowBytes, int c) const
    {
        return PerVertex ? lut[rowBytes[cols[size_t(c)]]] : constant;
    }
};

inline float relax(float v, float p, float f)
{
    const float moved = v + ((v + p) * 0.5f - v) * f;
    return f != 0.f ? moved : v;
}

// Rows are independent lines: eight are walked side by side so their running values
// advance together instead of one long dependency chain.
constexpr int kInterleave = 8;

template <bool Reverse, bool PerVertex>
void relaxRows(int N, int V, float* y, const RelaxFactor<PerVertex>& F, RowTicker* T)
{
    const int groups = (N + 1 + kInterleave - 1) / kInterleave;
    auto size = [N](int k) { return (long long)std::min(kInterleave, N + 1 - k * kInterleave); };
    shareLines(groups, (long long)V * V, T, size, [&](int gi) {
        const int r0 = gi * kInterleave;
        const int g = std::min(kInterleave, N + 1 - r0);
        float* row[kInterleave];
        const unsigned char* bytes[kInterleave];
        float p[kInterleave];
        for (int k = 0; k < g; ++k) {
            row[k] = y + (long long)(r0 + k) * V;
            bytes[k] = F.row(r0 + k);
            // The running value starts at the line's first vertex in forward order.
            p[k] = row[k][0];
        }
        if (g == kInterleave) {
            for (int s = 0; s <= N; ++s) {
                const int c = Reverse ? N - s : s;
                for (int k = 0; k < kInterleave; ++k) {
                    const float v = relax(row[k][c], p[k], F.at(bytes[k], c));
                    row[k][c] = v;
                    p[k] = v;
                }
            }
        } else {
            for (int s = 0; s <= N; ++s) {
                const int c = Reverse ? N - s : s;
                for (int k = 0; k < g; ++k) {
                    const float v = relax(row[k][c], p[k], F.at(bytes[k], c));
                    row[k][c] = v;
                    p[k] = v;
                }
            }
        }
    });
}

template <bool Reverse, bool PerVertex>
void relaxColumns(int N, int V, float* y, const RelaxFactor<PerVertex>& F, RowTicker* T)
{
    // Columns are independent lines: bands of them run side by side, each down all rows.
    std::vector<float> p(y, y + V);
    const int bands = std::min(kColumnBands, V);
    shareLines(
        bands, (long long)V * V, T, [&](int k) { return bandLines(V, bands, k); },
        [&](int k) {
            const int c0 = int((long long)V * k / bands), c1 = int((long long)V * (k + 1) / bands);
            float* pp = p.data();
            for (int s = 0; s <= N; ++s) {
                const int r = Reverse ? N - s : s;
                float* row = y + (long long)r * V;
                const unsigned char* bytes = F.row(r);
                for (int c = c0; c < c1; ++c) {
                    const float v = relax(row[c], pp[c], F.at(bytes, c));
                    row[c] = v;
                    pp[c] = v;
                }
            }
        });
}

template <bool PerVertex>
void relaxFourWays(const TerrainLayout& l, float* y, const RelaxFactor<PerVertex>& F, RowTicker* T)
{
    const int N = l.cells(), V = l.side();
    auto stopped = [T] { return T && T->stopped; };
    relaxRows<false>(N, V, y, F, T);
    if (stopped()) return;
    relaxRows<true>(N, V, y, F, T);
    if (stopped()) return;
    relaxColumns<false>(N, V, y, F, T);
    if (stopped()) return;
    relaxColumns<true>(N, V, y, F, T);
}

inline bool extremum(float a, float b, float n) { return (b > a && b > n) || (b < a && b < n); }

void blendRows(const TerrainParams& p, const TerrainSources& s, float* y, RowTicker* T)
{
    const TerrainLayout& l = p.layout;
    const int N = l.cells(), V = l.side();
    (void)N;
    const float land = p.land(), river = p.river(), hill = p.hill(), flat = p.flat(), user = p.user();
    const float sy = p.sy();
    const bool A = s.active[SlotLand], B = s.active[SlotRiver], C = s.active[SlotHill], D = s.active[SlotFlat];
    const bool U = s.userActive && s.user && s.userSize > 0;

    std::vector<int> cols[kImageSlots];
    for (int k = 0; k < kImageSlots; ++k)
        if (s.active[k]) cols[k] = sampleColumns(s.maps[k].width, V);
    std::vector<int> userCols;
    if (U) userCols = sampleColumns(s.userSize, V);

    constexpr int kBand = 16;
    const int bands = (V + kBand - 1) / kBand;
    auto size = [V](int k) { return (long long)(std::min(V, (k + 1) * kBand) - k * kBand); };
    shareLines(bands, (long long)V * V, T, size, [&](int k) {
        for (int r = k * kBand; r < std::min(V, (k + 1) * kBand); ++r) {
            const unsigned char* row[kImageSlots] = {};
            const uint16_t* wrow[kImageSlots] = {};
            for (int k = 0; k < kImageSlots; ++k) {
                if (!s.active[k]) continue;
                const long long at = (long long)sampleRow(r, s.maps[k].height, V) * s.maps[k].width;
                row[k] = s.maps[k].bytes + at;
                if (s.maps[k].words) wrow[k] = s.maps[k].words + at;
            }
            auto sample = [&](int k, int c) {
                const int x = cols[k][size_t(c)];
                return wrow[k] ? float(wrow[k][x]) * (1.f / 257.f) : float(row[k][x]);
            };
            const float* urow = U ? s.user + (long long)sampleRow(r, s.userSize, V) * s.userSize : nullptr;
            float* out = y + (long long)r * V;
            for (int c = 0; c < V; ++c) {
                float h = 0.f;
                if (U) h = urow[userCols[size_t(c)]] * user;
                if (A) h += sample(SlotLand, c) * land;
                const float vC = C ? sample(SlotHill, c) : 0.f;
                if (C) h += (vC + vC) * hill;
                if (B) {
                    float b = sample(SlotRiver, c) * river;
                    // Hills lift the river bed: the higher the hill, the shallower the cut.
                    if (C && vC > 0.f) b = b * (1.f - vC * hill * 0.002f);
                    h -= b;
                }
                if (D) {
                    const float vD = sample(SlotFlat, c);
                    if (vD > 0.f) h = h * (1.f - (vD * 0.392f / 100.f) * flat);
                }
                out[c] = h * sy;
            }
        }
    });
}

void relaxPath(const TerrainParams& p, const TerrainSources& s, float* y, RowTicker* T)
{
    if (!s.active[SlotPath]) return;
    const TerrainLayout& l = p.layout;
    RelaxFactor<true> F;
    const float path = p.path();
    for (int e = 0; e < 256; ++e) F.lut[e] = e > 0 ? float(e) * 0.0039215f * path : 0.f;
    F.map = s.maps[SlotPath].bytes;
    F.W = s.maps[SlotPath].width;
    F.H = s.maps[SlotPath].height;
    F.V = l.side();
    F.cols = sampleColumns(F.W, F.V);
    relaxFourWays(l, y, F, T);
}

void smoothRows(const TerrainLayout& l, float smooth, float* y, RowTicker* T)
{
    if (smooth == 0.f) return;
    RelaxFactor<false> F;
    F.constant = smooth;
    relaxFourWays(l, y, F, T);
}

void denoiseRows(const TerrainLayout& l, float denoise, float* y, RowTicker* T)
{
    if (denoise == 0.f) return;
    const int N = l.cells(), V = l.side();
    if (N < 2) return;  // no interior vertex
    auto treat = [denoise](float a, float b, float n) {
        return extremum(a, b, n) ? b + ((n * 0.5f + a * 0.5f) - b) * denoise : b;
    };
    // Rows: each vertex sees its left neighbour as already treated.
    const int groups = (N + 1 + kInterleave - 1) / kInterleave;
    auto size = [N](int k) { return (long long)std::min(kInterleave, N + 1 - k * kInterleave); };
    shareLines(groups, (long long)V * V, T, size, [&](int gi) {
        const int r0 = gi * kInterleave;
        const int g = std::min(kInterleave, N + 1 - r0);
        float* row[kInterleave];
        for (int k = 0; k < g; ++k) row[k] = y + (long long)(r0 + k) * V;
        for (int c = 1; c < N; ++c)
            for (int k = 0; k < g; ++k) row[k][c] = treat(row[k][c - 1], row[k][c], row[k][c + 1]);
    });
    if (T && T->stopped) return;
    // Columns: the row above is already treated; bands of columns run side by side.
    const int bands = std::min(kColumnBands, V);
    shareLines(
        bands, (long long)V * V, T, [&](int k) { return bandLines(N - 1, bands, k); },
        [&](int k) {
            const int c0 = int((long long)V * k / bands), c1 = int((long long)V * (k + 1) / bands);
            for (int r = 1; r < N; ++r) {
                const float* above = y + (long long)(r - 1) * V;
                float* row = y + (long long)r * V;
                const float* below = y + (long long)(r + 1) * V;
                for (int c = c0; c < c1; ++c) row[c] = treat(above[c], row[c], below[c]);
            }
        });
}

}  // namespace

void blendTerrain(const TerrainParams& p, const TerrainSources& s, float* y) { blendRows(p, s, y, nullptr); }
void relaxTerrainPath(const TerrainParams& p, const TerrainSources& s, float* y) { relaxPath(p, s, y, nullptr); }
void smoothTerrain(const TerrainLayout& l, float smooth, float* y) { smoothRows(l, smooth, y, nullptr); }
void denoiseTerrain(const TerrainLayout& l, float denoise, float* y) { denoiseRows(l, denoise, y, nullptr); }

void computeTerrainHeights(const TerrainParams& p, const TerrainSources& s, float* y)
{
    computeTerrainHeights(p, s, y, TerrainProgress());
}

long long terrainHeightRows(const TerrainParams& p, const TerrainSources& s)
{
    const long long V = p.layout.side();
    long long rows = V;
    if (s.active[SlotPath]) rows += 4 * V;
    if (p.smooth() != 0.f) rows += 4 * V;
    if (p.denoise() != 0.f && p.layout.cells() >= 2) rows += V + (V - 2);
    return rows;
}

bool computeTerrainHeights(const TerrainParams& p, const TerrainSources& s, float* y, const TerrainProgress& progress)
{
    RowTicker T;
    T.ask = &progress;
    blendRows(p, s, y, &T);
    if (!T.stopped) relaxPath(p, s, y, &T);
    if (!T.stopped) smoothRows(p.layout, p.smooth(), y, &T);
    if (!T.stopped) denoiseRows(p.layout, p.denoise(), y, &T);
    return !T.stopped;
}

TerrainRestInfo restTerrain(const TerrainLayout& l, const TerrainRest& R, float* y, const OtherTerrainHeight& other)
{
    TerrainRestInfo info;
    const int N = l.cells(), V = l.side();
    const int RB = std::max(1, R.blend);
    // Row rr and step s are counted from the side that faces the other terrain.
    auto rowOf = [&](int rr) { return R.flagZ ? N - rr : rr; };
    auto colOf = [&](int s) { return R.flagX ? s : N - s; };
    auto index = [&](int rr, int s) { return (long long)rowOf(rr) * V + colOf(s); };
    auto otherAt = [&](int rr, int s) { return other(l.x(colOf(s)) + R.dx, l.z(rowOf(rr)) + R.dz); };
    // The other terrain's height in this node's frame, raised by the offset.
    auto rested = [&](float v, float h) { return v + (((h - R.dy) + R.restY) - v) * R.rest; };
    const float step = (90.f / float(RB)) * 0.017453292f;
    auto eased = [&](float a, float v, int k) { return a + (v - a) * std::sin(float(k) * step); };

    // Rows.
    int maxMiss = 0, firstMiss = V;
    long long blendCount = 0;
    bool blendComplete = false;
    for (int rr = 0; rr <= N; ++rr) {
        float anchor = 0.f;
        for (int s = 0; s <= N; ++s) {
            const float h = otherAt(rr, s);
            const long long k0 = index(rr, s);
            if (h != kHeightMiss) {
                y[k0] = rested(y[k0], h);
                anchor = y[k0];
                continue;
            }
            maxMiss = std::max(maxMiss, s);
            if (s == 0) {
                firstMiss = std::min(firstMiss, rr);
                break;
            }
            const int n = std::min(RB, V - s);
            for (int k = 0; k < n; ++k) {
                const long long at = index(rr, s + k);
                y[at] = eased(anchor, y[at], k);
            }
            if (!blendComplete) {
                blendCount += n;
                blendComplete = n == RB;
            }
            break;
        }
    }

    // Columns.
    int columns = V, startRow = 0;
    if (blendCount != 0) {
        columns = std::min(maxMiss, V);
        startRow = std::max(firstMiss - 1, 0);
    }
    for (int s = 0; s < columns; ++s) {
        float anchor = 0.f;
        for (int rr = startRow; rr <= N; ++rr) {
            const float h = otherAt(rr, s);
            if (h != kHeightMiss) {
                anchor = y[index(rr, s)];
                continue;
            }
            if (rr == startRow) break;
            const int n = std::min(RB, V - rr);
            for (int k = 0; k < n; ++k) {
                const long long at = index(rr + k, s);
                y[at] = eased(anchor, y[at], k);
            }
            break;
        }
    }

    // Corner: the columns past the overlap, eased from the row before the start row
    // (from the start row itself when it is the facing edge).
    const long long cornerEnd = std::min<long long>(columns + blendCount, V);
    const int anchorRow = startRow > 0 ? startRow - 1 : startRow;
    for (long long s = columns; s < cornerEnd; ++s) {
        const float anchor = y[index(anchorRow, int(s))];
        const int n = std::min(RB, V - startRow);
        for (int k = 0; k < n; ++k) {
            const long long at = index(startRow + k, int(s));
            y[at] = eased(anchor, y[at], k);
        }
    }

    info.maxMiss = maxMiss;
    info.firstMiss = firstMiss;
    info.blendCount = blendCount;
    info.columns = columns;
    info.startRow = startRow;
    return info;
}

long long terrainBuildBytes(const TerrainLayout& l)
{
    // The quads are a rule in the mesh (DzFacetGrid), so every byte is per vertex.
    return l.vertexCount() * (long long)(sizeof(DzVec3) + sizeof(DzPnt2) + sizeof(float));
}

namespace {
// Below a gigabyte in whole megabytes, so a small figure does not read 0.1 GB or 0.0 GB.
QString gigabytes(long long bytes)
{
    if (bytes < 1024LL * 1024 * 1024)
        return QString::number(std::max(1LL, (bytes + 512 * 1024) / (1024 * 1024))) + " MB";
    return QString::number(double(bytes) / (1024.0 * 1024 * 1024), 'f', 1) + " GB";
}
}  // namespace

TerrainBuildCheck checkTerrainBuild(const TerrainLayout& l, long long freeBytes)
{
    TerrainBuildCheck out;
    const long long need = terrainBuildBytes(l);
    const QString grid = QString("%1 x %1").arg(l.side());
    if (freeBytes >= 0 && need > freeBytes) {
        out.refuse = true;
        out.text = QString(
                       "Error: a %1 terrain (TILES %2, DIVISIONS %3) needs about %4, more than the %5 free; "
                       "choose fewer tiles or divisions")
                       .arg(grid)
                       .arg(l.tiles)
                       .arg(l.divisions)
                       .arg(gigabytes(need), gigabytes(freeBytes));
    } else if (need > 1024LL * 1024 * 1024) {
        out.text = QString("Building a %1 terrain: about %2 of memory").arg(grid, gigabytes(need));
    }
    return out;
}

void addTerrainTopology(const TerrainLayout& l, DzFacetMesh& mesh) { addTerrainTopology(l, mesh, TerrainProgress()); }

bool addTerrainTopology(const TerrainLayout& l, DzFacetMesh& mesh, const TerrainProgress& progress)
{
    DzMap* uvs = mesh.getUVs();
    if (!uvs) return true;
    const int N = l.cells(), V = l.side();
    const float n = float(N);
    mesh.activateMaterial(0);
    mesh.removeAllFacets();
    mesh.clearAllVertices();
    uvs->clearAllData();
    // The quads follow from the grid: the mesh holds their rule, not 100 million records.
    mesh.setNumVerticesForWrite(V * V);
    uvs->setNumValuesForWrite(V * V);
    mesh.setFacetGrid(DzFacetGrid{N, N, V, 0});

    // The points are written by every processor at once, a band of rows at a time, so the
    // fresh pages of both arrays are taken in side by side; this thread asks the progress.
    std::vector<float> xs(static_cast<size_t>(V)), us(static_cast<size_t>(V));
    for (int c = 0; c < V; ++c) {
        xs[size_t(c)] = l.x(c);
        us[size_t(c)] = float(c) / n;
    }
    DzVec3* verts = mesh.getVerticesPtr();
    DzPnt2* uv = uvs->getPnt2ArrayPtr();
    constexpr int kBand = 16;
    std::atomic<int> nextRow{0};
    std::atomic<bool> stop{false};
    auto work = [&]() {
        for (;;) {
            if (stop.load(std::memory_order_relaxed)) return false;
            const int r0 = nextRow.fetch_add(kBand, std::memory_order_relaxed);
            if (r0 >= V) return true;
            const int r1 = std::min(V, r0 + kBand);
            for (int r = r0; r < r1; ++r) {
                const float z = l.z(r);
                const float v = -(float(r) / n);
                DzVec3* vr = verts + (long long)r * V;
                DzPnt2* ur = uv + (long long)r * V;
                for (int c = 0; c < V; ++c) {
                    vr[c] = DzVec3(xs[size_t(c)], 0.f, z);
                    ur[c] = DzPnt2(us[size_t(c)], v);
                }
            }
            return true;
        }
    };
    std::vector<std::thread> helpers;
    const int threads =
        (long long)V * V >= 65536 ? int(std::min(8u, std::max(1u, std::thread::hardware_concurrency()))) : 1;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&]() {
                while (!stop.load(std::memory_order_relaxed) && nextRow.load(std::memory_order_relaxed) < V) work();
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    RowTicker T;
    T.ask = &progress;
    long long told = 0;
    while (nextRow.load(std::memory_order_relaxed) < V) {
        work();
        // Rows handed out so far, as near as this thread can tell without waiting.
        const long long given = std::min<long long>(nextRow.load(std::memory_order_relaxed), V);
        if (given > told && !T.add(given - told)) {
            stop = true;
            break;
        }
        told = given;
    }
    for (std::thread& t : helpers) t.join();
    if (T.stopped) return false;
    return true;
}

void writeTerrainVertices(const TerrainLayout& l, const float* y, DzVec3* vertices)
{
    VX_EXPECT(l.cells() > 0 && y && vertices, "a laid-out grid and side^2 heights and vertices");
    const int V = l.side();
    std::vector<float> xs(static_cast<size_t>(V));
    for (int c = 0; c < V; ++c) xs[size_t(c)] = l.x(c);
    constexpr int kBand = 16;
    const int bands = (V + kBand - 1) / kBand;
    shareLines(
        bands, (long long)V * V, nullptr, [](int) { return 0LL; },
        [&](int k) {
            for (int r = k * kBand; r < std::min(V, (k + 1) * kBand); ++r) {
                const float z = l.z(r);
                const long long base = (long long)r * V;
                for (int c = 0; c < V; ++c) vertices[base + c] = DzVec3(xs[size_t(c)], y[base + c], z);
            }
        });
}
