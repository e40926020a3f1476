// Grass update and animation tick timings. Run: build/bin/bench_grass --benchmark_repetitions=5
// The Core* cases drive the generator and the ring alone; the Pane* cases run the pane's own
// tick (Animation_Draw) over real grass boxes, with the host timeline playing so that the
// tick's pause is 0 and what is timed is the tick's own work.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QCheckBox>
#include <memory>

#include "animation/taskring.h"
#include "benchhost.h"
#include "dzapp.h"
#include "dzgeometry.h"
#include "dzintslider.h"
#include "dzpane.h"
#include "dzplugin.h"
#include "dzscene.h"
#include "pane/verdixpane.h"
#include "grass/grasscore.h"

// The pane's private state as the benchmark drives it.
class VerdixPaneTestAccess
{
public:
    static ZPK_VerdixPane* pane()
    {
        return qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    }
    // n grass boxes of the given blade count, nothing else in the pane.
    static void grassBoxes(int n, int blades)
    {
        ZPK_VerdixPane* p = pane();
        p->m_animateCheck->setChecked(false);
        while (p->m_boxes.count() > 0) p->ControlBox_DeleteControl(true, false);
        dzScene->clear();
        for (int i = 0; i < n; ++i) {
            p->Button_CreateGrass();
            p->m_loading = true;
            p->m_boxes[i].slider("Amount")->setValue(blades);
            p->m_loading = false;
            p->UpdateGrass(i, true);
        }
        // The timeline plays (a cleared scene stops it): the tick does not pause.
        dzScene->play();
    }
    static void tick(int workers)
    {
        ZPK_VerdixPane* p = pane();
        p->m_workerCount = workers;
        p->Animation_Draw();
    }
    // The same passes one after another on this thread, with the counters of a tick.
    static void serialTick()
    {
        ZPK_VerdixPane* p = pane();
        for (int i = 0; i < p->m_boxes.count(); ++i) p->UpdateGrass(i, false);
        p->m_phase += 1.f;
        p->m_frame += 1;
    }
};

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
    VxRandomStream rng;
};
Flat g_ground;

std::vector<std::unique_ptr<Box>> makeBoxes(int n, int blades)
{
    std::vector<std::unique_ptr<Box>> v;
    for (int i = 0; i < n; ++i) {
        auto b = std::make_unique<Box>();
        b->p.Amount = blades;
        b->p.boxIndex = i;
        updateGrassCore(b->p, b->rng, b->mesh, b->cache, g_ground, true);
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
        updateGrassCore(b.p, b.rng, b.mesh, b.cache, g_ground, false);
    }
}
BENCHMARK(BM_UpdateGrass200k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Tick8x50kSerial(benchmark::State& st)
{
    auto boxes = makeBoxes(8, 50000);
    for (auto _ : st)
        for (auto& b : boxes) updateGrassCore(b->p, b->rng, b->mesh, b->cache, g_ground, false);
}
BENCHMARK(BM_Tick8x50kSerial)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Tick8x50kRing2(benchmark::State& st)
{
    auto boxes = makeBoxes(8, 50000);
    for (auto _ : st) {
        TaskRing ring(2);
        for (auto& b : boxes) {
            Box* p = b.get();
            ring.start([p] { updateGrassCore(p->p, p->rng, p->mesh, p->cache, g_ground, false); });
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
            ring.start([p] { updateGrassCore(p->p, p->rng, p->mesh, p->cache, g_ground, false); });
        }
        ring.finish(0);
    }
}
BENCHMARK(BM_TickOverhead64x10)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PaneTick8x50kSerial(benchmark::State& st)
{
    VerdixPaneTestAccess::grassBoxes(8, 50000);
    for (auto _ : st) VerdixPaneTestAccess::serialTick();
}
BENCHMARK(BM_PaneTick8x50kSerial)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaneTick8x50kRing2(benchmark::State& st)
{
    VerdixPaneTestAccess::grassBoxes(8, 50000);
    for (auto _ : st) {
        VerdixPaneTestAccess::tick(2);
        st.PauseTiming();
        QCoreApplication::processEvents();
        st.ResumeTiming();
    }
}
BENCHMARK(BM_PaneTick8x50kRing2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole tick of 64 small boxes; the pause is 0 while the timeline plays.
void BM_PaneTickOverhead64x10(benchmark::State& st)
{
    VerdixPaneTestAccess::grassBoxes(64, 10);
    for (auto _ : st) {
        VerdixPaneTestAccess::tick(taskRingWorkerCount());
        // What the window's event loop does between two timer ticks (label repaints).
        st.PauseTiming();
        QCoreApplication::processEvents();
        st.ResumeTiming();
    }
}
BENCHMARK(BM_PaneTickOverhead64x10)->Unit(benchmark::kMicrosecond)->UseRealTime();
}  // namespace

int main(int argc, char** argv)
{
    BenchHost host(argc, argv, "bench_grass");
    if (!host.ok()) return 2;
    benchmark::Initialize(&argc, argv);
    VerdixPaneTestAccess::pane()->show();
    benchmark::RunSpecifiedBenchmarks();
    dzScene->stop();
    return 0;
}
