// Stone field timings at the slider maxima: 1000 stones of 50 vertices a ring, 100 blades a
// stone at most (10000 in all) of 32 segments, rough. Run: build/bin/bench_stones --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <cmath>

#include "dzgeometry.h"
#include "stones/stonescore.h"

namespace {

struct Hills : GroundSampler
{
    float height(float x, float z) const override { return 20.f * std::sin(x * 0.01f) * std::cos(z * 0.013f); }
};
Hills g_ground;

StonesParams maxima()
{
    StonesParams p;
    p.StoneAmount = 1000;
    p.StoneLOD = 50;
    p.Grass = 100;
    p.GrassLOD = 32;
    p.ClumpRND = 100;
    p.HeightRND = 500;
    p.BendRND = 1000;
    p.WidthRND = 500;
    p.AreaSizeX = p.AreaSizeZ = 4000;
    p.StoneSizeX = p.StoneSizeY = p.StoneSizeZ = 400;
    p.StandOffX = p.StandOffZ = 100;
    p.StoneMapX = p.StoneMapY = 9;
    p.Rough = 100;
    p.FullOffX = p.FullOffZ = 200;
    return p;
}

// A slider move: topology, stones and blades laid down on the queried ground.
void BM_StonesMaximaBuild(benchmark::State& st)
{
    const StonesParams p = maxima();
    DzFacetMesh mesh;
    std::vector<float> cache;
    VxRandomStream rng;
    StonesUpdateInfo info;
    for (auto _ : st) updateStonesCore(p, rng, mesh, cache, g_ground, true, &info);
    st.counters["vertices"] = double(mesh.getNumVertices());
    st.counters["facets"] = double(mesh.getNumFacets());
    st.counters["blades"] = double(info.blades);
}
BENCHMARK(BM_StonesMaximaBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

// A wind tick: the blades alone, every height from the cache.
void BM_StonesMaximaTick(benchmark::State& st)
{
    StonesParams p = maxima();
    DzFacetMesh mesh;
    std::vector<float> cache;
    VxRandomStream rng;
    updateStonesCore(p, rng, mesh, cache, g_ground, true);
    StonesUpdateInfo info;
    for (auto _ : st) {
        p.phase += 1.f;
        updateStonesCore(p, rng, mesh, cache, g_ground, false, &info);
    }
    st.counters["bladeVertices"] = double(info.bladeVerticesWritten);
    st.counters["bladeVerticesPerSecond"] =
        benchmark::Counter(double(info.bladeVerticesWritten) * double(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StonesMaximaTick)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
