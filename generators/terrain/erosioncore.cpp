#include "terrain/erosioncore.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>
#include "common/vxexpect.h"

namespace {

// Runs work(item) for items 0..n-1 on up to threads threads, items handed out in turn.
// The items must not touch each other's data; which thread runs which does not matter.
template <class Work>
void forEachItem(int n, int threads, const Work& work)
{
    if (n <= 0) return;
    std::atomic<int> next{0};
    auto run = [&]() {
        for (int i = next.fetch_add(1); i < n; i = next.fetch_add(1)) work(i);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, n); ++t) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error&) {
            break;
        }
    }
    run();
    for (std::thread& t : helpers) t.join();
}

int threadCount(const ErosionParams& p)
{
    if (p.threads > 0) return p.threads;
    return int(std::max(1u, std::min(64u, std::thread::hardware_concurrency())));
}

// Our own generator for the droplets' starting points: the same numbers on every platform.
struct SplitMix
{
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, 1), 24 bits.
    float unit() { return float(next() >> 40) * (1.f / 16777216.f); }
};

struct BrushCell
{
    int dx, dz;
    float w;
};

struct Tally
{
    double eroded = 0, deposited = 0, carriedOff = 0;
};

class Droplets
{
public:
    Droplets(float* y, int side, float cell, const ErosionParams& p) : m_y(y), m_side(side), m_cell(cell), m_p(p)
    {
        const int R = ErosionParams::kRadius;
        for (int dz = -R; dz <= R; ++dz)
            for (int dx = -R; dx <= R; ++dx) {
                const float w = float(R) - std::sqrt(float(dx * dx + dz * dz));
                if (w > 0.f) m_brush.push_back({dx, dz, w});
            }
        float sum = 0.f;
        for (const BrushCell& b : m_brush) sum += b.w;
        for (const BrushCell& b : m_brush) {
            m_inner.push_back({(long long)b.dz * m_side + b.dx, b.w / sum});
        }
    }

    void run(float px, float pz, Tally& t) const
    {
        const int S = m_side;
        const float inv = 1.f / m_cell;
        float dirX = 0.f, dirZ = 0.f, speed = 1.f, water = m_p.rain, sediment = 0.f;
        for (int step = 0; step < ErosionParams::kLifetime; ++step) {
            const int ix = int(px), iz = int(pz);
            const float fx = px - float(ix), fz = pz - float(iz);
            float gx, gz;
            const float h = sample(ix, iz, fx, fz, &gx, &gz);
            dirX = dirX * ErosionParams::kInertia - gx * inv * (1.f - ErosionParams::kInertia);
            dirZ = dirZ * ErosionParams::kInertia - gz * inv * (1.f - ErosionParams::kInertia);
            const float len = std::sqrt(dirX * dirX + dirZ * dirZ);
            if (!(len > 1e-12f)) break;  // a flat spot: the water soaks in here
            dirX /= len;
            dirZ /= len;
            const float nx = px + dirX, nz = pz + dirZ;
            if (!(nx >= 0.f && nz >= 0.f && nx < float(S - 1) && nz < float(S - 1))) {
                // Over the edge: what the droplet carries leaves the terrain with it.
                t.carriedOff += sediment;
                return;
            }
            const int jx = int(nx), jz = int(nz);
            const float dh = sample(jx, jz, nx - float(jx), nz - float(jz), nullptr, nullptr) - h;
            const float cap = std::max(-dh * inv * speed * water * m_p.capacity, ErosionParams::kMinCapacity) * m_cell;
            if (sediment > cap || dh > 0.f) {
                // Uphill it fills the hollow behind it (no more than it holds); otherwise it
                // drops a share of what it carries past its capacity.
                const float amount = dh > 0.f ? std::min(dh, sediment) : (sediment - cap) * m_p.deposition;
                sediment -= amount;
                deposit(ix, iz, fx, fz, amount);
                t.deposited += amount;
            } else {
                // Never deeper than the drop ahead, or it would dig a pit.
                const float amount = std::min((cap - sediment) * m_p.erosion, -dh);
                const float taken = erode(ix, iz, amount, h + dh);
                sediment += taken;
                t.eroded += taken;
            }
            speed = std::sqrt(std::max(0.f, speed * speed - dh * inv * ErosionParams::kGravity));
            water *= 1.f - m_p.evaporation;
            px = nx;
            pz = nz;
        }
        // Where it ends, it leaves what it carries, spread as wide as it erodes: dropped on
        // one point it would stand up as a spike.
        spread(int(px), int(pz), sediment);
        t.deposited += sediment;
    }

private:
    float at(int x, int z) const { return m_y[(long long)z * m_side + x]; }

    float sample(int ix, int iz, float fx, float fz, float* gx, float* gz) const
    {
        const float a = at(ix, iz), b = at(ix + 1, iz), c = at(ix, iz + 1), d = at(ix + 1, iz + 1);
        if (gx) *gx = (b - a) * (1.f - fz) + (d - c) * fz;
        if (gz) *gz = (c - a) * (1.f - fx) + (d - b) * fx;
        return a * (1.f - fx) * (1.f - fz) + b * fx * (1.f - fz) + c * (1.f - fx) * fz + d * fx * fz;
    }

    void deposit(int ix, int iz, float fx, float fz, float amount) const
    {
        float* row = m_y + (long long)iz * m_side + ix;
        const float w00 = (1.f - fx) * (1.f - fz), w10 = fx * (1.f - fz), w01 = (1.f - fx) * fz;
        // The last corner takes the rest, so the four shares add up to amount exactly.
        const float a = amount * w00, b = amount * w10, c = amount * w01;
        row[0] += a;
        row[1] += b;
        row[m_side] += c;
        row[m_side + 1] += amount - a - b - c;
    }

    // Adds amount to the cells around (ix, iz), weighted by nearness.
    void spread(int ix, int iz, float amount) const
    {
        const int R = ErosionParams::kRadius;
        if (ix >= R && iz >= R && ix + R < m_side && iz + R < m_side) {
            float* at = m_y + (long long)iz * m_side + ix;
            float given = 0.f;
            for (const InnerCell& b : m_inner) {
                const float share = amount * b.w;
                at[b.offset] += share;
                given += share;
            }
            at[0] += amount - given;  // the rounding, so the books balance
            return;
        }
        float sum = 0.f;
        for (const BrushCell& b : m_brush) {
            const int x = ix + b.dx, z = iz + b.dz;
            if (x >= 0 && z >= 0 && x < m_side && z < m_side) sum += b.w;
        }
        float given = 0.f;
        for (const BrushCell& b : m_brush) {
            const int x = ix + b.dx, z = iz + b.dz;
            if (x < 0 || z < 0 || x >= m_side || z >= m_side) continue;
            const float share = amount * (b.w / sum);
            m_y[(long long)z * m_side + x] += share;
            given += share;
        }
        m_y[(long long)iz * m_side + ix] += amount - given;
    }

    // Takes amount from the cells around (ix, iz), weighted by nearness, none below floor
    // (where the droplet goes next: ground under it would make a pit that the next droplet
    // deepens, and so on without end); returns what was taken.
    float erode(int ix, int iz, float amount, float floor) const
    {
        const int R = ErosionParams::kRadius;
        if (ix >= R && iz >= R && ix + R < m_side && iz + R < m_side) {
            // Away from the edges every cell of the brush is there: one pass.
            float* at = m_y + (long long)iz * m_side + ix;
            float taken = 0.f;
            for (const InnerCell& b : m_inner) {
                float& v = at[b.offset];
                const float share = std::min(amount * b.w, std::max(0.f, v - floor));
                v -= share;
                taken += share;
            }
            return taken;
        }
        float sum = 0.f;
        for (const BrushCell& b : m_brush) {
            const int x = ix + b.dx, z = iz + b.dz;
            if (x >= 0 && z >= 0 && x < m_side && z < m_side) sum += b.w;
        }
        float taken = 0.f;
        for (const BrushCell& b : m_brush) {
            const int x = ix + b.dx, z = iz + b.dz;
            if (x < 0 || z < 0 || x >= m_side || z >= m_side) continue;
            float& v = m_y[(long long)z * m_side + x];
            const float share = std::min(amount * (b.w / sum), std::max(0.f, v - floor));
            v -= share;
            taken += share;
        }
        return taken;
    }

    float* m_y;
    int m_side;
    float m_cell;
    const ErosionParams& m_p;
    std::vector<BrushCell> m_brush;
    struct InnerCell
    {
        long long offset;
        float w;
    };
    std::vector<InnerCell> m_inner;  // the brush as offsets from its centre, weights normalised
};

bool hydraulic(float* y, int side, float cell, const ErosionParams& p, const ErosionProgress& progress,
               double shareBefore, double shareOf, ErosionResult& out)
{
    // Blocks wider than twice a droplet's reach: droplets of blocks two apart never meet.
    const int B = 2 * (ErosionParams::kLifetime + ErosionParams::kRadius + 2);
    const int cells = side - 1;
    const int nb = (cells + B - 1) / B;
    const int blocks = nb * nb;
    const long long n = p.droplets;
    const int rounds = int(std::max<long long>(1, std::min<long long>(256, n / 25000)));

    // Starting points in droplet order, sorted (stably) by round and block.
    SplitMix rng{uint64_t(p.seed) * 0x2545F4914F6CDD1Dull + 1};
    std::vector<float> start(size_t(2 * n));
    std::vector<int> key(static_cast<size_t>(n));
    for (long long i = 0; i < n; ++i) {
        const float x = rng.unit() * float(cells), z = rng.unit() * float(cells);
        start[size_t(2 * i)] = std::min(x, std::nextafter(float(cells), 0.f));
        start[size_t(2 * i + 1)] = std::min(z, std::nextafter(float(cells), 0.f));
        const int bx = std::min(nb - 1, int(start[size_t(2 * i)]) / B),
                  bz = std::min(nb - 1, int(start[size_t(2 * i + 1)]) / B);
        key[size_t(i)] = int(i * rounds / n) * blocks + bz * nb + bx;
    }
    std::vector<long long> first(size_t(rounds) * blocks + 1, 0);
    for (int k : key) ++first[size_t(k) + 1];
    for (size_t k = 1; k < first.size(); ++k) first[k] += first[k - 1];
    std::vector<int> order(static_cast<size_t>(n));
    {
        std::vector<long long> fill(first.begin(), first.end() - 1);
        for (long long i = 0; i < n; ++i) order[size_t(fill[size_t(key[size_t(i)])]++)] = int(i);
    }
    std::vector<int>().swap(key);

    const Droplets drops(y, side, cell, p);
    std::vector<Tally> tallies(static_cast<size_t>(blocks));
    const int threads = threadCount(p);
    for (int round = 0; round < rounds; ++round) {
        for (int phase = 0; phase < 4; ++phase) {
            std::vector<int> mine;
            for (int bz = phase / 2; bz < nb; bz += 2)
                for (int bx = phase % 2; bx < nb; bx += 2) mine.push_back(bz * nb + bx);
            forEachItem(int(mine.size()), threads, [&](int k) {
                const int b = mine[size_t(k)];
                const size_t at = size_t(round) * blocks + size_t(b);
                for (long long j = first[at]; j < first[at + 1]; ++j) {
                    const int i = order[size_t(j)];
                    drops.run(start[size_t(2 * i)], start[size_t(2 * i + 1)], tallies[size_t(b)]);
                }
            });
        }
        if (progress && !progress(shareBefore + shareOf * double(round + 1) / rounds)) return false;
    }
    for (const Tally& t : tallies) {
        out.eroded += t.eroded;
        out.deposited += t.deposited;
        out.carriedOff += t.carriedOff;
    }
    return true;
}

bool thermal(float* y, int side, float cell, const ErosionParams& p, const ErosionProgress& progress,
             double shareBefore, double shareOf)
{
    const float talus = std::tan(p.talusDegrees * 3.14159265f / 180.f);
    const float drop[2] = {talus * cell, talus * cell * std::sqrt(2.f)};
    static const int kDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
    static const int kDz[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    const long long VV = (long long)side * side;
    std::vector<float> next(static_cast<size_t>(VV)), scale(static_cast<size_t>(VV));
    float* h = y;
    float* out = next.data();
    const int threads = threadCount(p);
    // Rows in bands, so the threads share the work whatever their number.
    const int band = 64, bands = (side + band - 1) / band;
    std::vector<float> bandMax(static_cast<size_t>(bands));
    // Below this the terrain counts as settled (an excess this small moves nothing visible).
    const float settled = 1e-5f * cell;

    auto excess = [&](const float* hh, int x, int z, int k) {
        const int nx = x + kDx[k], nz = z + kDz[k];
        if (nx < 0 || nz < 0 || nx >= side || nz >= side) return 0.f;
        const float d = hh[(long long)z * side + x] - hh[(long long)nz * side + nx] - drop[kDx[k] != 0 && kDz[k] != 0];
        return d > 0.f ? d : 0.f;
    };
    for (int pass = 0; pass < p.thermalPasses; ++pass) {
        // Each vertex gives a quarter of its steepest excess, shared among its lower
        // neighbours by their excess; scale is the share per unit of excess.
        forEachItem(bands, threads, [&](int bi) {
            float most = 0.f;
            for (int z = bi * band; z < std::min(side, (bi + 1) * band); ++z)
                for (int x = 0; x < side; ++x) {
                    float sum = 0.f, top = 0.f;
                    for (int k = 0; k < 8; ++k) {
                        const float d = excess(h, x, z, k);
                        sum += d;
                        top = std::max(top, d);
                    }
                    scale[size_t((long long)z * side + x)] = sum > 0.f ? top * 0.25f / sum : 0.f;
                    most = std::max(most, top);
                }
            bandMax[size_t(bi)] = most;
        });
        if (*std::max_element(bandMax.begin(), bandMax.end()) < settled) break;
        // Each vertex then gathers: what it gives away, what its higher neighbours give it.
        forEachItem(bands, threads, [&](int bi) {
            for (int z = bi * band; z < std::min(side, (bi + 1) * band); ++z)
                for (int x = 0; x < side; ++x) {
                    const long long i = (long long)z * side + x;
                    float v = h[i];
                    for (int k = 0; k < 8; ++k) {
                        v -= scale[size_t(i)] * excess(h, x, z, k);
                        const int nx = x + kDx[k], nz = z + kDz[k];
                        if (nx < 0 || nz < 0 || nx >= side || nz >= side) continue;
                        // The neighbour's excess over this vertex is the way back (k -> 7 - k).
                        v += scale[size_t((long long)nz * side + nx)] * excess(h, nx, nz, 7 - k);
                    }
                    out[i] = v;
                }
        });
        std::swap(h, out);
        if (progress && !progress(shareBefore + shareOf * double(pass + 1) / p.thermalPasses)) {
            if (h != y) std::copy(h, h + VV, y);
            return false;
        }
    }
    if (h != y) std::copy(h, h + VV, y);
    return true;
}

QString rangeText(const ErosionRange& r, double v)
{
    auto num = [](double x) { return QString::number(x, 'g', 12); };
    return QString("%1: %2 is out of range (%3 to %4)").arg(QLatin1String(r.name), num(v), num(r.lo), num(r.hi));
}

}  // namespace

QString checkErosionParams(const ErosionParams& p)
{
    auto bad = [](const ErosionRange& r, double v) { return !(v >= r.lo && v <= r.hi); };
    if (bad(kErodeIterationsRange, p.droplets)) return rangeText(kErodeIterationsRange, p.droplets);
    if (bad(kErodeRainRange, p.rain)) return rangeText(kErodeRainRange, p.rain);
    if (bad(kErodeCapacityRange, p.capacity)) return rangeText(kErodeCapacityRange, p.capacity);
    if (bad(kErodeStrengthRange, p.erosion)) return rangeText(kErodeStrengthRange, p.erosion);
    if (bad(kErodeDepositionRange, p.deposition)) return rangeText(kErodeDepositionRange, p.deposition);
    if (bad(kErodeEvaporationRange, p.evaporation)) return rangeText(kErodeEvaporationRange, p.evaporation);
    if (bad(kErodeThermalRange, p.talusDegrees)) return rangeText(kErodeThermalRange, p.talusDegrees);
    if (bad(kErodeThermalPassesRange, p.thermalPasses)) return rangeText(kErodeThermalPassesRange, p.thermalPasses);
    if (bad(kErodeSeedRange, double(p.seed))) return rangeText(kErodeSeedRange, double(p.seed));
    return QString();
}

ErosionResult erodeTerrain(float* y, int side, float cell, const ErosionParams& p, const ErosionProgress& progress)
{
    ErosionResult r;
    if (!y || side < 2 || !(cell > 0.f) || !checkErosionParams(p).isEmpty()) return r;
    const bool wet = p.droplets > 0, dry = p.talusDegrees > 0.f;
    const double wetShare = wet && dry ? 0.7 : wet ? 1.0 : 0.0;
    if (wet && !hydraulic(y, side, cell, p, progress, 0.0, wetShare, r)) {
        r.complete = false;
        return r;
    }
    if (dry && !thermal(y, side, cell, p, progress, wetShare, 1.0 - wetShare)) r.complete = false;
    return r;
}

float steepestSlope(const float* y, int side, float cell)
{
    VX_EXPECT(side >= 0 && (side == 0 || y), "side^2 heights");
    float most = 0.f;
    const float diag = cell * std::sqrt(2.f);
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const float h = y[(long long)z * side + x];
            if (x + 1 < side) most = std::max(most, std::fabs(h - y[(long long)z * side + x + 1]) / cell);
            if (z + 1 < side) {
                const float* below = y + (long long)(z + 1) * side;
                most = std::max(most, std::fabs(h - below[x]) / cell);
                if (x + 1 < side) most = std::max(most, std::fabs(h - below[x + 1]) / diag);
                if (x > 0) most = std::max(most, std::fabs(h - below[x - 1]) / diag);
            }
        }
    return most;
}
