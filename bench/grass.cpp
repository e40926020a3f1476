// Grass update and animation tick timings. Run: build/bin/bench_grass --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <memory>

#include "animation/taskring.h"
#include "dzgeometry.h"
#include "vegetation/grasscore.h"

namespace {
struct Flat : GroundSampler
{
    float height(float x, float z) const override { return 0.01f * x + 0.02f * z; }
};
struct Box
{
    GrassParams p;
    DzFacetMesh mesh;
    std::vector<float> cache;
};
Flat g_ground;

std::vector<std::unique_ptr<Box>> makeBoxes(int n, int blades)
{
    std::vector<std::unique_ptr<Box>> v;
    for (int i = 0; i < n; ++i) {
        auto b = std::make_unique<Box>();
        b->p.Amount = blades;
        b->p.boxIndex = i;
        updateGrassCore(b->p, b->mesh, b->cache, g_ground, true);
        v.push_back(std::move(b));
    }
    return v;
}

void BM_UpdateGrass200k(benchmark::State& st)
{
    auto boxes = makeBoxes(1, 200000);
    Box& b = *boxes[0];
    for (auto _ : st) {
        b.p.phase += 1.f;
        updateGrassCore(b.p, b.mesh, b.cache, g_ground, false);
    }
}
BENCHMARK(BM_UpdateGrass200k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Tick8x50kSerial(benchmark::State& st)
{
    auto boxes = makeBoxes(8, 50000);
    for (auto _ : st)
        for (auto& b : boxes) updateGrassCore(b->p, b->mesh, b->cache, g_ground, false);
}
BENCHMARK(BM_Tick8x50kSerial)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Tick8x50kRing2(benchmark::State& st)
{
    auto boxes = makeBoxes(8, 50000);
    for (auto _ : st) {
        TaskRing ring(2);
        for (auto& b : boxes) {
            Box* p = b.get();
            ring.start([p] { updateGrassCore(p->p, p->mesh, p->cache, g_ground, false); });
        }
        ring.finish(0);
    }
}
BENCHMARK(BM_Tick8x50kRing2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Overhead of a tick beyond its pause: pause 0 here.
void BM_TickOverhead64x10(benchmark::State& st)
{
    auto boxes = makeBoxes(64, 10);
    for (auto _ : st) {
        TaskRing ring;
        for (auto& b : boxes) {
            Box* p = b.get();
            ring.acquire();
            ring.start([p] { updateGrassCore(p->p, p->mesh, p->cache, g_ground, false); });
        }
        ring.finish(0);
    }
}
BENCHMARK(BM_TickOverhead64x10)->Unit(benchmark::kMicrosecond)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
