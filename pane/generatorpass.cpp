// The steps every generator's slots share: the snapshot on the GUI thread, the box's mesh,
// its ground, the pass and its report. The passes themselves are the types' state classes.
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <dzintslider.h>

#include "pane/generatorbox.h"
#include "pane/nodemesh.h"
#include "pane/paneground.h"
#include "pane/verdixpane.h"

namespace {

struct BarProgress : PassProgress
{
    QProgressBar* bar;
    explicit BarProgress(QProgressBar* b) : bar(b) {}
    void begin(int maximum) override { bar->setRange(0, maximum > 0 ? maximum : 1); }
    void step(int value) override { bar->setValue(value); }
    void end() override { bar->setValue(0); }
};

}  // namespace

QString GeneratorBox::meshMissing(const NodeMesh& found, const QString& title) const
{
    return nodeMeshMessage(found.miss, title);
}

PaneInputs ZPK_VerdixPane::paneInputs() const
{
    PaneInputs in;
    if (m_windStrengthSlider) in.windStrength = m_windStrengthSlider->value(), in.hasWindStrength = true;
    if (m_windSpeedSlider) in.windSpeed = m_windSpeedSlider->value(), in.hasWindSpeed = true;
    if (m_windSpeed2Slider) in.windSpeed2 = m_windSpeed2Slider->value(), in.hasWindSpeed2 = true;
    in.phase = m_phase;
    in.frame = m_frame;
    in.lowLOD = m_lowLOD.load();
    in.camera = activeCameraPosition();
    return in;
}

void ZPK_VerdixPane::captureBox(int i, const PaneInputs& in)
{
    // Every ring the pane's subsystems build on the GUI thread refreshes the snapshots first.
    installSnapshotHook();
    ControlBox* box = m_boxes.at(i);
    GeneratorBox* g = box ? box->generator.get() : nullptr;
    if (!g) return;
    g->capture(in, *box, i);
    g->title = box->titleLabel ? box->titleLabel->text() : newBoxTitle(box->type, i);
    g->landscape = box->landscapeIndex;
    g->captureFromPane(*this, i);
    g->ready = true;
}

void ZPK_VerdixPane::captureBox(int i) { captureBox(i, paneInputs()); }

void ZPK_VerdixPane::captureAllOf(int type)
{
    const PaneInputs in = paneInputs();
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == type) captureBox(i, in);
}

void ZPK_VerdixPane::captureWorkerSnapshots()
{
    const PaneInputs in = paneInputs();
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].generator) captureBox(i, in);
}

GeneratorBox* ZPK_VerdixPane::generatorFor(int i, int type)
{
    ControlBox* box = m_boxes.at(i);
    if (!box) return nullptr;
    if (box->type != type || !box->generator) {
        reportStatus(wrongTypeMessage(type));
        return nullptr;
    }
    return box->generator.get();
}

bool ZPK_VerdixPane::snapshotReady(int i, const GeneratorBox& g)
{
    // Widgets are read on the GUI thread only; a pass on a worker uses the last snapshot,
    // which the tick and the batch updates take just before they start their tasks.
    if (QThread::currentThread() != thread()) return g.ready;
    captureBox(i);
    return true;
}

DzFacetMesh* ZPK_VerdixPane::generatorMesh(const GeneratorBox& g)
{
    const NodeMesh found = objectNodeMesh(g.title);
    if (!found.mesh) reportStatus(g.meshMissing(found, g.title));
    return found.mesh;
}

void ZPK_VerdixPane::reportPass(const PassReport& r)
{
    if (!r.error.isEmpty()) reportError(r.error);
    if (!r.status.isEmpty()) reportStatus(r.status);
}

void ZPK_VerdixPane::layGeneratorTopology(int i, int type, DzFacetMesh* mesh)
{
    if (!mesh) return;
    GeneratorBox* g = generatorFor(i, type);
    if (!g || !snapshotReady(i, *g)) return;
    PaneGroundSampler ground(this, g->landscape);
    BarProgress bar(m_progress);
    GeneratorPass pass{*mesh, ground, m_boxes[i], true};
    if (QThread::currentThread() == thread() && m_progress && VerdixFlags::progress) pass.progress = &bar;
    pass.freeMemory = &m_freeMemory;
    reportPass(g->layTopology(pass));
}

void ZPK_VerdixPane::runGeneratorUpdate(int i, int type, bool resetCache)
{
    GeneratorBox* g = generatorFor(i, type);
    if (!g || !snapshotReady(i, *g) || !g->passable()) return;
    DzFacetMesh* mesh = generatorMesh(*g);
    if (!mesh) return;
    PaneGroundSampler ground(this, g->landscape);
    GeneratorPass pass{*mesh, ground, m_boxes[i], resetCache};
    reportPass(g->update(pass));
}
