// Landscape update timings: the height computation of one terrain with all six map slots,
// the path, smoothing and de-noising passes on, written into its mesh's vertices.
// Run: build/bin/bench_landscape --benchmark_filter='T20|T100D20|Pass' --benchmark_repetitions=5
// The 10001 x 10001 cases need 1.6 GB (update), 2 GB (grid) and 2.4 GB (build); run them
// alone, once, under /usr/bin/time -v for the peak:
//      build/bin/bench_landscape --benchmark_filter=Build/T100D100
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <algorithm>
#include <memory>
#include <vector>

#include "dzgeometry.h"
#include "terrain/terraincore.h"
#include "common/verdixrandom.h"

namespace {

// Map slots the size of the default library's images, with content that keeps every
// branch of the blend and the passes busy.
struct Inputs
{
    std::vector<unsigned char> maps[kImageSlots];
    std::vector<float> user;
    int side = 512, userSide = 257;
    TerrainParams p;
    TerrainSources s;

    Inputs(int T, int D)
    {
        vxSrand(7);
        for (int k = 0; k < kImageSlots; ++k) {
            maps[k].resize(size_t(side) * side);
            for (unsigned char& b : maps[k]) b = (unsigned char)(vxRand() & 0xFF);
            // A path map is mostly black with a few tracks.
            if (k == SlotPath)
                for (size_t i = 0; i < maps[k].size(); ++i)
                    if ((i / 37) % 5) maps[k][i] = 0;
            s.maps[k] = {maps[k].data(), side, side};
            s.active[k] = true;
        }
        user.resize(size_t(userSide) * userSide);
        for (float& v : user) v = float(vxRand() % 1000) * 0.1f;
        s.user = user.data();
        s.userSize = userSide;
        s.userActive = true;
        p.layout = {T, D, 200.f};
        p.Land = 60;
        p.River = 40;
        p.Hill = 30;
        p.Flat = 20;
        p.Path = -50;
        p.User = 25;
        p.Smooth = 150;
        p.DeNoise = 60;
        p.SizeY = 120;
    }
};

long peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

// One update's work on the terrain: heights into the height field, then the vertices.
void BM_UpdateLandScape(benchmark::State& st)
{
    Inputs in(int(st.range(0)), int(st.range(1)));
    const long long VV = in.p.layout.vertexCount();
    std::vector<float> field(static_cast<size_t>(VV));
    std::vector<DzVec3> vertices(static_cast<size_t>(VV));
    for (auto _ : st) {
        computeTerrainHeights(in.p, in.s, field.data());
        writeTerrainVertices(in.p.layout, field.data(), vertices.data());
        benchmark::DoNotOptimize(vertices.data());
        benchmark::ClobberMemory();
    }
    st.counters["vertices"] = double(VV);
    st.counters["peak_MB"] = double(peakMegabytes());
}
BENCHMARK(BM_UpdateLandScape)
    ->Name("UpdateLandScape/T20D20")
    ->Args({20, 20})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_UpdateLandScape)
    ->Name("UpdateLandScape/T100D20")
    ->Args({100, 20})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_UpdateLandScape)
    ->Name("UpdateLandScape/T100D100")
    ->Args({100, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(1);

// Each pass alone at 2001 x 2001, to set against memory bandwidth: every pass reads and
// writes the 16 MB of heights once (the vertex write reads 16 MB and writes 48 MB).
enum Pass {
    Blend,
    PathPass,
    SmoothPass,
    DenoisePass,
    Vertices
};
void BM_Pass(benchmark::State& st)
{
    Inputs in(100, 20);
    const long long VV = in.p.layout.vertexCount();
    std::vector<float> field(static_cast<size_t>(VV));
    std::vector<DzVec3> vertices(static_cast<size_t>(VV));
    blendTerrain(in.p, in.s, field.data());
    for (auto _ : st) {
        switch (st.range(0)) {
        case Blend:
            blendTerrain(in.p, in.s, field.data());
            break;
        case PathPass:
            relaxTerrainPath(in.p, in.s, field.data());
            break;
        case SmoothPass:
            smoothTerrain(in.p.layout, in.p.smooth(), field.data());
            break;
        case DenoisePass:
            denoiseTerrain(in.p.layout, in.p.denoise(), field.data());
            break;
        case Vertices:
            writeTerrainVertices(in.p.layout, field.data(), vertices.data());
            break;
        }
        benchmark::ClobberMemory();
    }
    const double lines = st.range(0) == PathPass || st.range(0) == SmoothPass ? 4 : st.range(0) == DenoisePass ? 2 : 1;
    const double bytes = st.range(0) == Vertices ? 64.0 * VV : st.range(0) == Blend ? 4.0 * VV : 8.0 * VV * lines;
    st.SetBytesProcessed(int64_t(bytes) * int64_t(st.iterations()));
}
BENCHMARK(BM_Pass)->Name("Pass2001/Blend")->Arg(Blend)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pass)->Name("Pass2001/Path4")->Arg(PathPass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pass)->Name("Pass2001/Smooth4")->Arg(SmoothPass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pass)->Name("Pass2001/DeNoise2")->Arg(DenoisePass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pass)->Name("Pass2001/Vertices")->Arg(Vertices)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the machine streams: the 2001 x 2001 heights read once and written once, with no
// arithmetic; the yardstick for the passes above.
void BM_CopyReference(benchmark::State& st)
{
    const size_t n = size_t(2001) * 2001;
    std::vector<float> a(n, 1.f), b(n);
    for (auto _ : st) {
        std::copy(a.begin(), a.end(), b.begin());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(int64_t(8 * n) * int64_t(st.iterations()));
}
BENCHMARK(BM_CopyReference)->Name("Pass2001/CopyReference")->Unit(benchmark::kMillisecond)->UseRealTime();

// Laying the grid down when its size changes.
void BM_Topology(benchmark::State& st)
{
    const TerrainLayout l{int(st.range(0)), int(st.range(1)), 200.f};
    for (auto _ : st) {
        DzFacetMesh mesh;
        mesh.setUVList(new DzUVSet);
        addTerrainTopology(l, mesh);
        benchmark::DoNotOptimize(mesh.getVerticesPtr());
    }
}
BENCHMARK(BM_Topology)->Name("Topology/T20D20")->Args({20, 20})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Topology)->Name("Topology/T100D20")->Args({100, 20})->Unit(benchmark::kMillisecond)->UseRealTime();
// The largest grid: 2 GB of vertices and UV points (the quads are a rule). Run alone, once.
BENCHMARK(BM_Topology)
    ->Name("Topology/T100D100")
    ->Args({100, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(1);

// A terrain of a new size as the pane's update makes it: the grid laid down, the heights
// computed aside with every map slot and pass on, then written into the mesh.
void BM_Build(benchmark::State& st)
{
    Inputs in(int(st.range(0)), int(st.range(1)));
    const TerrainLayout& l = in.p.layout;
    for (auto _ : st) {
        DzFacetMesh mesh;
        mesh.setUVList(new DzUVSet);
        addTerrainTopology(l, mesh);
        std::vector<float> y(static_cast<size_t>(l.vertexCount()));
        computeTerrainHeights(in.p, in.s, y.data());
        writeTerrainVertices(l, y.data(), mesh.getVerticesPtr());
        benchmark::DoNotOptimize(mesh.getVerticesPtr());
    }
    st.counters["peak_MB"] = double(peakMegabytes());
}
BENCHMARK(BM_Build)->Name("Build/T100D20")->Args({100, 20})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Build)
    ->Name("Build/T100D100")
    ->Args({100, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(1);

}  // namespace

BENCHMARK_MAIN();
