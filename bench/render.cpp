// The path tracer on the library's sample sets: 1280 x 720, 16 samples per pixel, from the
// eye-level view, on two threads (this machine's two cores). Each case reports the wall time
// of the render (the benchmark's time), the processor time its workers used ("cpu_s"), rays
// per second of wall time (camera, shadow and bounce rays together, "Mrays_s") and per
// processor-second ("Mrays_cpu_s"), the scene's triangles and the time to build the scene
// (host scene read, materials' images, Embree's structure). BM_RenderBuild times the build
// alone. Run with --benchmark_repetitions=3 for medians, one sample per run
// (--benchmark_filter=BM_Render/sample:1/): a set opened after another leaves the first one's
// meshes in the host scene here, and the second picture would hold both.
#include <QApplication>
#include <QMetaObject>
#include <benchmark/benchmark.h>
#include <dzapp.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <chrono>
#include <cstdio>
#include "framing.h"
#include "benchhost.h"
#include "orbitcamera.h"
#include "renderscene.h"

namespace {

DzPane* g_pane = nullptr;
QString g_open;

const char* const kSamples[] = {"Landscape_Sample", "Meadow", "Grove", "Valley"};

bool open(const QString& sample)
{
    if (g_open == sample) return true;
    bool ok = false;
    QMetaObject::invokeMethod(g_pane, "openSetDocument", Qt::DirectConnection, Q_RETURN_ARG(bool, ok),
                              Q_ARG(QString, QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/") + sample + ".txt"));
    QCoreApplication::processEvents();
    if (ok) g_open = sample;
    return ok;
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool prepare(const QString& sample, int threads, PreparedRender* pr, double* buildSeconds, QString* error)
{
    if (!open(sample)) {
        *error = "cannot open " + sample;
        return false;
    }
    const QSize size(1280, 720);
    const double t0 = wallSeconds();
    if (!prepareRender(size, 16, pr, error)) return false;
    *buildSeconds = wallSeconds() - t0;
    pr->camera = renderCameraOf(namedViewCamera(NamedView::Eye, 16.f / 9.f, walkEyeHeight()));
    pr->settings.threads = threads;
    return true;
}

void BM_Render(benchmark::State& state)
{
    const QString sample = kSamples[state.range(0)];
    PreparedRender pr;
    double build = 0.0;
    QString error;
    if (!prepare(sample, int(state.range(1)), &pr, &build, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    RayCounts rays;
    double cpu = 0.0, wall = 0.0;
    for (auto _ : state) {
        RenderJob job(*pr.scene, *pr.env, pr.sun, pr.camera, pr.settings);
        const double t0 = wallSeconds();
        job.run();
        wall = wallSeconds() - t0;
        rays = job.rays();
        cpu = job.cpuSeconds();
    }
    state.SetLabel(qPrintable(sample));
    state.counters["triangles"] = double(pr.scene->triangleCount());
    state.counters["scene_MB"] = double(pr.scene->bytes()) / 1e6;
    state.counters["build_s"] = build;
    state.counters["cpu_s"] = cpu;
    state.counters["Mrays"] = double(rays.total()) / 1e6;
    state.counters["Mrays_s"] = double(rays.total()) / 1e6 / wall;
    state.counters["Mrays_cpu_s"] = double(rays.total()) / 1e6 / cpu;
    state.counters["primary_share"] = double(rays.primary) / double(rays.total());
    state.counters["shadow_share"] = double(rays.shadow) / double(rays.total());
}
BENCHMARK(BM_Render)
    ->ArgNames({"sample", "threads"})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Args({2, 2})
    ->Args({3, 2})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_RenderBuild(benchmark::State& state)
{
    const QString sample = kSamples[state.range(0)];
    if (!open(sample)) {
        state.SkipWithError("cannot open the sample");
        return;
    }
    size_t triangles = 0;
    for (auto _ : state) {
        PreparedRender pr;
        QString error;
        if (!prepareRender(QSize(1280, 720), 16, &pr, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        triangles = pr.scene->triangleCount();
    }
    state.SetLabel(qPrintable(sample));
    state.counters["triangles"] = double(triangles);
}
BENCHMARK(BM_RenderBuild)->ArgName("sample")->DenseRange(0, 3)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    BenchHost host(argc, argv, "bench_render");
    if (!host.ok()) return 2;
    dzApp->setTextureRootOverride(QStringLiteral(VERDIX_LIBRARY_DIR));
    g_pane = BenchHost::pane();
    if (!g_pane) {
        std::fprintf(stderr, "bench_render: no pane\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
