// The animated export of the library's "Meadow" set against the ticks it is made of: 60
// ticks alone, then 60 ticks exported as morph targets, plain and meshopt-compressed. The
// export cases also time 60 plain ticks before each export (not counted in their own time)
// and report export time / tick time, wall and process CPU, as "ratio" and "ratio_cpu".
// Run as the command line does: headless, the timeline not playing (each tick pauses).
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <dzapp.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include "animexport.h"
#include "benchhost.h"

namespace {

DzPane* g_pane = nullptr;
QTemporaryDir* g_dir = nullptr;

void tick()
{
    QMetaObject::invokeMethod(g_pane, "Animation_Draw", Qt::DirectConnection);
    QCoreApplication::processEvents();
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Span
{
    double wall = 0, cpu = 0;
};

Span ticks60()
{
    const double w = wallSeconds(), c = processCpuSeconds();
    for (int i = 0; i < 60; ++i) tick();
    return {wallSeconds() - w, processCpuSeconds() - c};
}

void BM_MeadowTicks60(benchmark::State& state)
{
    for (auto _ : state) ticks60();
}
BENCHMARK(BM_MeadowTicks60)->Unit(benchmark::kSecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

void BM_MeadowExport60(benchmark::State& state)
{
    const bool compress = state.range(0) != 0;
    const QString file = g_dir->filePath(compress ? "meadow_meshopt.glb" : "meadow.glb");
    AnimationExportOptions opt;
    opt.frames = 60;
    opt.compress = compress;
    Span ticks, exported;
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ticks = ticks60();
        state.ResumeTiming();
        const double w = wallSeconds(), c = processCpuSeconds();
        QString error;
        const bool ok = exportAnimationGlb(
            file, opt,
            [](QString*) {
                tick();
                return true;
            },
            &error);
        exported = {wallSeconds() - w, processCpuSeconds() - c};
        if (!ok) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        bytes = QFileInfo(file).size();
    }
    state.counters["ticks_s"] = ticks.wall;
    state.counters["ticks_cpu_s"] = ticks.cpu;
    state.counters["ratio"] = exported.wall / ticks.wall;
    state.counters["ratio_cpu"] = exported.cpu / ticks.cpu;
    state.counters["MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_MeadowExport60)
    ->ArgName("meshopt")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    BenchHost host(argc, argv, "bench_animexport");
    if (!host.ok()) return 2;
    dzApp->setTextureRootOverride(QStringLiteral(VERDIX_LIBRARY_DIR));
    g_pane = BenchHost::pane();
    bool ok = false;
    if (g_pane)
        QMetaObject::invokeMethod(g_pane, "openSetDocument", Qt::DirectConnection, Q_RETURN_ARG(bool, ok),
                                  Q_ARG(QString, QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Meadow.txt")));
    if (!ok) {
        std::fprintf(stderr, "bench_animexport: cannot open the Meadow set\n");
        return 2;
    }
    QCoreApplication::processEvents();
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
