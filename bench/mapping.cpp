// One object-mapping step over 2 000 mapped spheres of radius 5 on the default terrain
// (T = D = 20, 1000 x 1000 units), nodes written: as rock boxes leave them, one heap of
// 20 rocks per box dropped at its own spot (Heaps), and as 100 rock boxes created on one
// landscape leave them, all 2 000 rocks over the same 10 x 10 spot (Column). Each
// iteration steps the same scene onwards, so the figures are those of a running animation;
// the double loop is measured beside the grid for comparison.
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>
#include <dznode.h>
#include "animation/objectmapping.h"
#include "benchterrain.h"

namespace {

struct Terrain : MappingGround, BenchTerrain
{
    Terrain()
        : BenchTerrain(
              [](float x, float z) { return 120.f * std::exp(-(x * x + z * z) / 90000.f) + 8.f * std::sin(x * 0.05f); })
    {
    }
    HeightAnswer height(float x, float z, DzVec3* normal, int* i, int* j) const override
    {
        return terrainHeight(grid, x, z, normal, i, j);
    }
};

struct Scene
{
    Terrain ground;
    std::vector<std::unique_ptr<DzNode>> nodes;
    ObjectMapping mapping;

    // heaps: spheres per heap (20 for rock boxes, 2 000 for one column).
    explicit Scene(int spheres, int perHeap)
    {
        quint32 state = 4711u;
        auto rnd = [&state]() {
            state = state * 214013u + 2531011u;
            return int((state >> 16) & 0x7FFF);
        };
        float hx = 0.f, hz = 0.f;
        for (int k = 0; k < spheres; ++k) {
            if (k % perHeap == 0) {
                hx = perHeap >= spheres ? 0.f : float(rnd() % 900 - 450);
                hz = perHeap >= spheres ? 0.f : float(rnd() % 900 - 450);
            }
            const float x = hx + float(rnd() % 10 - 4), z = hz + float(rnd() % 10 - 4);
            const DzVec3 p(x, ground.height(x, z, nullptr, nullptr, nullptr).height + float(rnd() % 100 + 1), z);
            nodes.emplace_back(new DzNode);
            mapping.add(nodes.back().get(), p, 5.f, 10.f);
        }
    }
};

void run(benchmark::State& state, int perHeap, PairSearch search)
{
    const int spheres = int(state.range(0));
    Scene scene(spheres, perHeap);
    // Past the first fall, into the rolling and pushing that goes on for most of a run.
    for (int s = 0; s < int(state.range(1)); ++s) scene.mapping.step(6.f, scene.ground, search);
    size_t contacts = 0;
    for (auto _ : state) {
        scene.mapping.step(6.f, scene.ground, search);
        scene.mapping.writeNodes();
    }
    contacts = mappedContacts(scene.mapping.records(), search).size();
    state.counters["contacts"] = double(contacts);
    state.SetItemsProcessed(state.iterations() * spheres);
}

void BM_StepHeapsGrid(benchmark::State& s) { run(s, 20, PairSearch::Grid); }
void BM_StepHeapsAllPairs(benchmark::State& s) { run(s, 20, PairSearch::AllPairs); }
void BM_StepColumnGrid(benchmark::State& s) { run(s, 1 << 30, PairSearch::Grid); }
void BM_StepColumnAllPairs(benchmark::State& s) { run(s, 1 << 30, PairSearch::AllPairs); }

// Arguments: spheres, steps run before timing.
BENCHMARK(BM_StepHeapsGrid)->Args({2000, 0})->Args({2000, 60})->Args({2000, 300})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepHeapsAllPairs)->Args({2000, 60})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepColumnGrid)->Args({2000, 0})->Args({2000, 60})->Args({2000, 300})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepColumnAllPairs)->Args({2000, 60})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
