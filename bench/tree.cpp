// Tree build, wind pass and tick timings. Run: build/bin/bench_tree --benchmark_repetitions=5
// BM_GenerateTree/<preset> builds each shipped preset from its file; BM_WindTree/<preset> re-poses
// it (and counts the heap allocations the pass makes); BM_TreeTick runs the pane's own tick
// over 16 trees of the largest preset with the ring's 2 workers (/2) against the same
// passes one after another on the main thread (/0).
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <atomic>
#include <cstdlib>
#include <new>

#include "dzapp.h"
#include "dzdialogs.h"
#include "dzgeometry.h"
#include "dzintslider.h"
#include "dzpane.h"
#include "dzplugin.h"
#include "dzscene.h"
#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"
#include "tree/treecore.h"

#include "benchhost.h"

namespace {
std::atomic<bool> g_count{false};
std::atomic<long> g_allocs{0};
}  // namespace
void* operator new(std::size_t n)
{
    if (g_count.load(std::memory_order_relaxed)) g_allocs.fetch_add(1);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

class VerdixPaneTestAccess
{
public:
    static ZPK_VerdixPane* pane()
    {
        return qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    }
    // The preset's sliders as the pane reads them.
    static TreeParams presetParams(const QString& file)
    {
        ZPK_VerdixPane* p = pane();
        clear();
        p->Button_CreateTree();
        dzApp->dialogs()->queueFileName(file);
        p->OpenPreset(0, TypeTree, "Verdix_Presets_Tree", "TreeV1", false);
        p->captureTreeParams(0);
        return p->treePassParams(0);
    }
    static void clear()
    {
        ZPK_VerdixPane* p = pane();
        p->m_animateCheck->setChecked(false);
        while (p->m_boxes.count() > 0) p->ControlBox_DeleteControl(true, false);
        dzScene->clear();
    }
    static void trees(int n, const QString& file)
    {
        ZPK_VerdixPane* p = pane();
        clear();
        for (int i = 0; i < n; ++i) {
            p->Button_CreateTree();
            dzApp->dialogs()->queueFileName(file);
            p->OpenPreset(i, TypeTree, "Verdix_Presets_Tree", "TreeV1", false);
            p->m_loading = true;
            p->m_boxes[i].slider("X")->setValue(i * 300);
            p->m_loading = false;
            p->UpdateTree(i, true);
        }
        dzScene->play();
    }
    // 0: the same passes one after another on this thread, with the counters of a tick.
    static void tick(int workers)
    {
        ZPK_VerdixPane* p = pane();
        if (workers == 0) {
            p->captureAllTreeParams();
            for (int i = 0; i < p->m_boxes.count(); ++i) p->Button_AnimatePolyTree(i);
            p->m_phase += 1.f;
            return;
        }
        p->m_workerCount = workers;
        p->Animation_Draw();
    }
};

namespace {

struct Flat : GroundSampler
{
    float height(float x, float z) const override { return 0.01f * x + 0.02f * z; }
};
const Flat g_ground;

QString presetDir() { return VerdixAssets::folder(VerdixAssets::Folder::PresetsTree, VerdixAssets::textureRoot()); }

void generate(benchmark::State& state, QString file)
{
    const TreeParams p = VerdixPaneTestAccess::presetParams(file);
    DzFacetMesh mesh;
    VxRandomStream rng;
    TreeBuildInfo info;
    for (auto _ : state) {
        info = buildTreeCore(p, rng, mesh, g_ground);
        benchmark::DoNotOptimize(mesh.getVerticesPtr());
    }
    state.counters["vertices"] = info.vertices;
    state.counters["quads"] = info.quads;
    state.counters["vertices_per_s"] =
        benchmark::Counter(double(info.vertices), benchmark::Counter::kIsIterationInvariantRate);
}

void wind(benchmark::State& state, QString file)
{
    const TreeParams p = VerdixPaneTestAccess::presetParams(file);
    DzFacetMesh mesh;
    VxRandomStream rng;
    const TreeBuildInfo info = buildTreeCore(p, rng, mesh, g_ground);
    const TreeBuiltMesh built = treeBuiltMesh(p, info);
    TreeWind w;
    animateTreeCore(p, rng, w, mesh, g_ground, built);
    long allocs = 0;
    for (auto _ : state) {
        w.phase += 1.f;
        g_allocs = 0;
        g_count = true;
        const bool ok = animateTreeCore(p, rng, w, mesh, g_ground, built);
        g_count = false;
        allocs += g_allocs.load();
        if (!ok) state.SkipWithError("the wind pass was skipped");
    }
    state.counters["vertices"] = info.vertices;
    state.counters["allocations"] = double(allocs);
    state.counters["vertices_per_s"] =
        benchmark::Counter(double(info.vertices), benchmark::Counter::kIsIterationInvariantRate);
}

void treeTick(benchmark::State& state)
{
    static bool made = false;
    if (!made) {
        VerdixPaneTestAccess::trees(16, presetDir() + "/Broad Oak.txt");
        made = true;
    }
    for (auto _ : state) VerdixPaneTestAccess::tick(int(state.range(0)));
}

}  // namespace

int main(int argc, char** argv)
{
    BenchHost host(argc, argv, "bench_tree");
    if (!host.ok()) return 2;
    VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    for (const QString& name : QDir(presetDir()).entryList({"*.txt"}, QDir::Files, QDir::Name)) {
        const QString file = presetDir() + "/" + name;
        const std::string label = name.chopped(4).toStdString();
        benchmark::RegisterBenchmark(("BM_GenerateTree/" + label).c_str(), generate, file)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_WindTree/" + label).c_str(), wind, file)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BM_TreeTick16", treeTick)
        ->Arg(0)
        ->Arg(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
