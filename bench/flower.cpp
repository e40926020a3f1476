// Flower geometry pass and animation tick timings.
// Run: build/bin/bench_flower --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// A box of 250 plants with 3 stems each, 4 leaf rows (rings 1..4 of 8) and 3 petal layers,
// heights from the box's cache. Every operator new of the process is counted, so the
// "allocations" counter shows whether the pass allocates at all.
#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "animation/taskring.h"
#include "dzgeometry.h"
#include "flower/flowercore.h"

namespace {
std::atomic<long long> g_allocations{0};
}

void* operator new(std::size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct Slope : GroundSampler
{
    float height(float x, float z) const override { return 0.01f * x + 0.02f * z; }
};
Slope g_ground;

struct Box
{
    FlowerParams p;
    DzFacetMesh mesh;
    std::vector<float> cache;
    VxRandomStream rng;
};

std::unique_ptr<Box> makeBox(int seed)
{
    auto b = std::make_unique<Box>();
    b->p.Amount = 250;
    b->p.StemCount = 3;
    b->p.StemCountRND = 1;
    b->p.LeafRowCount = 5;
    b->p.PetalLayers = 3;
    b->p.Seed = seed;
    addPolyFlowerCore(b->p, b->rng, b->mesh);
    animateFlowerCore(b->p, b->rng, b->mesh, b->cache, g_ground, true);
    return b;
}

void BM_FlowerGeometry250(benchmark::State& st)
{
    auto b = makeBox(1);
    FlowerPassInfo info;
    long long allocations = 0;
    for (auto _ : st) {
        b->p.phase += 1.f;
        const long long before = g_allocations.load();
        animateFlowerCore(b->p, b->rng, b->mesh, b->cache, g_ground, false, &info);
        allocations += g_allocations.load() - before;
    }
    st.counters["vertices"] = benchmark::Counter(double(info.vertices));
    st.counters["vertices_per_s"] =
        benchmark::Counter(double(info.vertices), benchmark::Counter::kIsIterationInvariantRate);
    st.counters["allocations"] = benchmark::Counter(double(allocations));
    st.counters["height_queries"] = benchmark::Counter(double(info.heightQueries));
}
BENCHMARK(BM_FlowerGeometry250)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight such boxes per tick, one after another on this thread or through the ring.
std::vector<std::unique_ptr<Box>> eightBoxes()
{
    std::vector<std::unique_ptr<Box>> v;
    for (int i = 0; i < 8; ++i) v.push_back(makeBox(i + 1));
    return v;
}

void BM_FlowerTick8Serial(benchmark::State& st)
{
    auto boxes = eightBoxes();
    for (auto _ : st) {
        for (auto& b : boxes) {
            b->p.phase += 1.f;
            animateFlowerCore(b->p, b->rng, b->mesh, b->cache, g_ground, false);
        }
    }
}
BENCHMARK(BM_FlowerTick8Serial)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlowerTick8Ring2(benchmark::State& st)
{
    auto boxes = eightBoxes();
    for (auto _ : st) {
        TaskRing ring(2, false);
        for (auto& b : boxes) {
            Box* p = b.get();
            ring.acquire();
            ring.start([p] {
                p->p.phase += 1.f;
                animateFlowerCore(p->p, p->rng, p->mesh, p->cache, g_ground, false);
            });
        }
        ring.finish(0);
    }
}
BENCHMARK(BM_FlowerTick8Ring2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
