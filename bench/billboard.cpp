// Billboard update timings. Run: build/bin/bench_billboard --benchmark_repetitions=5
// The Core cases drive the generator alone; the Pane case runs the pane's own UpdateBillboard
// slot, as an animation tick does for one box (ground from the cache), on this one thread.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QMetaObject>

#include "billboard/billboardcore.h"
#include "benchhost.h"
#include "dzapp.h"
#include "dzgeometry.h"
#include "dzintslider.h"
#include "dzpane.h"
#include "dzplugin.h"
#include "dzscene.h"
#include "pane/verdixpane.h"

class VerdixPaneTestAccess
{
public:
    static ZPK_VerdixPane* pane()
    {
        return qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    }
    // One billboard box of n billboards of four planes, nothing else in the pane.
    static void billboardBox(int n, bool animate)
    {
        ZPK_VerdixPane* p = pane();
        while (p->m_boxes.count() > 0) p->ControlBox_DeleteControl(true, false);
        dzScene->clear();
        p->Button_CreateBillboard();
        p->m_loading = true;
        p->m_boxes[0].slider("Amount")->setValue(n);
        p->m_boxes[0].slider("Spin LOD")->setValue(4);
        p->m_boxes[0].slider("Map X")->setValue(8);
        p->m_boxes[0].slider("Map Z")->setValue(4);
        p->m_boxes[0].slider("Animate Off On")->setValue(animate ? 1 : 0);
        p->m_boxes[0].slider("Animate End")->setValue(31);
        p->m_loading = false;
        p->UpdateBillboard(0, true);
    }
    static void update(bool reset)
    {
        ZPK_VerdixPane* p = pane();
        p->UpdateBillboard(0, reset);
        ++p->m_frame;
    }
};

namespace {

struct Hills : GroundSampler
{
    float height(float x, float z) const override { return 0.01f * x + 0.02f * z; }
};
Hills g_ground;

struct Field
{
    BillboardParams p;
    DzFacetMesh mesh;
    std::vector<float> cache;
    int uv = 0;
    VxRandomStream rng;
    explicit Field(bool animate)
    {
        p.Amount = 10000;
        p.SpinLOD = 4;
        p.MapX = 8;
        p.MapZ = 4;
        p.AnimateOffOn = animate ? 1 : 0;
        p.AnimateEnd = 31;
        p.camera = DzVec3(1500.f, 300.f, 900.f);
        updateBillboardCore(p, rng, mesh, cache, uv, g_ground, true);
    }
};

void BM_UpdateBillboard10kx4Cached(benchmark::State& st)
{
    Field f(st.range(0) != 0);
    for (auto _ : st) {
        f.p.camera = DzVec3(f.p.camera.x() + 1.f, 300.f, 900.f);
        ++f.p.frame;
        updateBillboardCore(f.p, f.rng, f.mesh, f.cache, f.uv, g_ground, false);
    }
    st.counters["vertices"] = double(f.mesh.getNumVertices());
}
BENCHMARK(BM_UpdateBillboard10kx4Cached)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the ground asked again for every billboard (a slider move).
void BM_UpdateBillboard10kx4Requery(benchmark::State& st)
{
    Field f(false);
    for (auto _ : st) updateBillboardCore(f.p, f.rng, f.mesh, f.cache, f.uv, g_ground, true);
}
BENCHMARK(BM_UpdateBillboard10kx4Requery)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaneUpdateBillboard10kx4Cached(benchmark::State& st)
{
    VerdixPaneTestAccess::billboardBox(10000, st.range(0) != 0);
    for (auto _ : st) VerdixPaneTestAccess::update(false);
}
BENCHMARK(BM_PaneUpdateBillboard10kx4Cached)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    BenchHost host(argc, argv, "bench_billboard");
    if (!host.ok()) return 2;
    benchmark::Initialize(&argc, argv);
    VerdixPaneTestAccess::pane()->show();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
