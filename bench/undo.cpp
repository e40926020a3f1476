// What one step of the history costs, on the Grove sample: its memory (what the step's
// own accounting says it holds, "bytes", and what the heap grew by while the step was
// taken after the change, "heap") and the time to take it back. Run: build/bin/bench_undo
//   BM_SliderStep       one tree slider moved
//   BM_DeleteTreeStep   a tree box deleted
//   BM_OpenAllStep      the Grove opened over the Meadow with "Open all" (undone each time)
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <QApplication>
#include <QPushButton>
#include "dzapp.h"
#include "dzintslider.h"
#include "dzplugin.h"
#include "dzscene.h"
#include "dzundostack.h"
#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"
#include "undo/panehistory.h"

#include "benchhost.h"

class VerdixPaneTestAccess
{
public:
    static ZPK_VerdixPane* pane()
    {
        return qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    }
    static ControlBoxTable& boxes() { return pane()->m_boxes; }
    static void deleteBox(int i)
    {
        boxes()[i].deleteButton->setDown(true);
        pane()->ControlBox_DeleteControl(false, true);
    }
};
using Access = VerdixPaneTestAccess;

namespace {

QString sample(const char* name) { return QString("%1/Verdix_Scene/%2.txt").arg(VERDIX_LIBRARY_DIR, name); }

void openFresh(const char* name)
{
    dzScene->clear();
    QApplication::processEvents();
    Access::pane()->openSetDocument(sample(name));
    QApplication::processEvents();
    dzUndoStack->flush();
    dzUndoStack->clear();
    Access::pane()->history()->rebaseline();
}

size_t heapInUse() { return mallinfo2().uordblks; }

int firstTree()
{
    for (int i = 0; i < Access::boxes().count(); ++i)
        if (Access::boxes()[i].type == TypeTree) return i;
    return -1;
}

// Takes the step change makes, reports its memory, and times its undo.
template <class Change>
void measure(benchmark::State& state, Change change)
{
    double bytes = 0, heap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        change();
        QApplication::processEvents();
        // The change itself (new meshes) is not the step: only what taking the step keeps.
        const size_t before = heapInUse();
        dzUndoStack->flush();
        heap += double(heapInUse()) - double(before);
        bytes += double(dynamic_cast<const DzUndoCommand*>(dzUndoStack->command(dzUndoStack->count() - 1))->bytes());
        state.ResumeTiming();
        dzUndoStack->undoStep();
        state.PauseTiming();
        dzUndoStack->clear();
        state.ResumeTiming();
    }
    state.counters["bytes"] = bytes / double(state.iterations());
    state.counters["heap"] = heap / double(state.iterations());
}

void BM_SliderStep(benchmark::State& state)
{
    openFresh("Grove");
    const int tree = firstTree();
    int v = 0;
    measure(state, [&] {
        DzIntSlider* s = Access::boxes()[tree].slider("Seed");
        s->setValue(s->value() + 1 + (v++ % 3));
    });
}
BENCHMARK(BM_SliderStep)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DeleteTreeStep(benchmark::State& state)
{
    openFresh("Grove");
    measure(state, [&] { Access::deleteBox(firstTree()); });
}
BENCHMARK(BM_DeleteTreeStep)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenAllStep(benchmark::State& state)
{
    openFresh("Meadow");
    measure(state, [&] { Access::pane()->openSetDocument(sample("Grove")); });
}
BENCHMARK(BM_OpenAllStep)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    BenchHost host(argc, argv, "bench_undo");
    if (!host.ok()) return 2;
    VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    Access::pane()->show();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
