// The terrain height query at the default terrain (T = D = 20, 401 x 401 vertices): random
// points with no caches (each query estimates its start cell), and a walk along a path with
// the caller's caches (each query starts at the last answer's cell).
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>
#include "dzmath.h"
#include "benchterrain.h"

namespace {

struct Terrain : BenchTerrain
{
    Terrain() : BenchTerrain([](float x, float z) { return 40.f * std::sin(x * 0.013f) * std::cos(z * 0.009f); }) {}
};

const Terrain& terrain()
{
    static const Terrain t;
    return t;
}

// Points drawn up front so the generator's cost stays out of the figure.
std::vector<float> points(int n, float half)
{
    std::vector<float> p(size_t(n) * 2);
    quint32 state = 12345u;
    for (float& v : p) {
        state = state * 214013u + 2531011u;
        v = (float((state >> 16) & 0x7FFF) / 32767.f * 2.f - 1.f) * half * 0.999f;
    }
    return p;
}

void BM_RandomPointsNoCaches(benchmark::State& state)
{
    const Terrain& t = terrain();
    const int n = 1 << 16;
    const std::vector<float> p = points(n, t.half);
    float sum = 0.f;
    int k = 0;
    for (auto _ : state) {
        const HeightAnswer a = terrainHeight(t.grid, p[size_t(k) * 2], p[size_t(k) * 2 + 1], nullptr, nullptr, nullptr);
        sum += a.height;
        k = (k + 1) & (n - 1);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomPointsNoCaches);

void BM_RandomPointsWithNormal(benchmark::State& state)
{
    const Terrain& t = terrain();
    const int n = 1 << 16;
    const std::vector<float> p = points(n, t.half);
    DzVec3 normal;
    float sum = 0.f;
    int k = 0;
    for (auto _ : state) {
        sum += terrainHeight(t.grid, p[size_t(k) * 2], p[size_t(k) * 2 + 1], &normal, nullptr, nullptr).height;
        k = (k + 1) & (n - 1);
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(normal);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomPointsWithNormal);

// A walker crossing the terrain in small steps, as a grass patch or a camera does.
void BM_WalkingPathWithCaches(benchmark::State& state)
{
    const Terrain& t = terrain();
    int i = 0, j = 0;
    float x = -t.half * 0.9f, z = -t.half * 0.7f, dx = 0.37f, dz = 0.23f;
    float sum = 0.f;
    for (auto _ : state) {
        sum += terrainHeight(t.grid, x, z, nullptr, &i, &j).height;
        x += dx;
        z += dz;
        if (std::fabs(x) > t.half * 0.95f) dx = -dx;
        if (std::fabs(z) > t.half * 0.95f) dz = -dz;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WalkingPathWithCaches);

}  // namespace

BENCHMARK_MAIN();
