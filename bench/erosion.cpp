// Erosion timings: droplets and thermal settling over a 2001 x 2001 terrain.
// Run: build/bin/bench_erosion --benchmark_repetitions=3
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

#include "terrain/erosioncore.h"

namespace {

std::vector<float> hills(int side)
{
    std::vector<float> y(size_t(side) * side);
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x)
            y[size_t(z) * side + x] = 200.f * std::sin(float(x) * 0.004f) * std::cos(float(z) * 0.005f) +
                                      20.f * std::sin(float(x) * 0.05f + float(z) * 0.03f);
    return y;
}

// 2001 x 2001 heights (tile size 200, 20 divisions: cells of 10 units), 200 000 droplets.
void BM_Droplets(benchmark::State& st)
{
    const int side = 2001;
    const std::vector<float> base = hills(side);
    ErosionParams p;
    p.droplets = int(st.range(0));
    p.threads = int(st.range(1));
    for (auto _ : st) {
        st.PauseTiming();
        std::vector<float> y = base;
        st.ResumeTiming();
        erodeTerrain(y.data(), side, 10.f, p);
        benchmark::DoNotOptimize(y.data());
    }
}
BENCHMARK(BM_Droplets)
    ->Name("Droplets2001/200k/threads:1")
    ->Args({200000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Droplets)
    ->Name("Droplets2001/200k/threads:2")
    ->Args({200000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Thermal(benchmark::State& st)
{
    const int side = 2001;
    const std::vector<float> base = hills(side);
    ErosionParams p;
    p.talusDegrees = 30.f;
    p.thermalPasses = int(st.range(0));
    for (auto _ : st) {
        st.PauseTiming();
        std::vector<float> y = base;
        st.ResumeTiming();
        erodeTerrain(y.data(), side, 10.f, p);
        benchmark::DoNotOptimize(y.data());
    }
}
BENCHMARK(BM_Thermal)->Name("Thermal2001/passes:50")->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
