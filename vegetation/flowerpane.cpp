// The flower box's slots: creation, the topology and geometry passes, the full update and
// its slider routing. The passes themselves are the core in flowercore.cpp.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QThread>
#include <array>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>

#include "pane/boundsliders.h"
#include "pane/paneground.h"
#include "pane/verdixpane.h"
#include "flower/flowercore.h"

void ZPK_VerdixPane::captureFlowerParams(int i)
{
    installSnapshotHook();
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeFlower) return;
    static const BoundSliders<FlowerParams> bound(TypeFlower, flowerSliderFields());
    FlowerParams p;
    bound.read(*box, p);
    if (m_windStrengthSlider) p.WindStrength1 = m_windStrengthSlider->value();
    if (m_windSpeedSlider) p.WindSpeed = m_windSpeedSlider->value();
    if (m_windSpeed2Slider) p.WindSpeed2 = m_windSpeed2Slider->value();
    p.phase = m_phase;
    p.lowLOD = m_lowLOD.load();
    box->flowerParams = p;
    box->flowerTitle = box->titleLabel ? box->titleLabel->text() : newBoxTitle(TypeFlower, i);
    box->flowerParamsReady = true;
}

void ZPK_VerdixPane::captureAllFlowerParams()
{
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == TypeFlower) captureFlowerParams(i);
}

void ZPK_VerdixPane::Button_CreateFlower()
{
    const int i = AddGeneratedBox(TypeFlower, [this](int k, DzFacetMesh* mesh) { Button_AddPolyFlower(k, mesh); });
    if (i < 0) return;
    Button_AnimateFlower(i, true);
    saveModelData();
}

DzFacetMesh* ZPK_VerdixPane::flowerMesh(int i)
{
    const ControlBox* box = m_boxes.at(i);
    if (!box) return nullptr;
    QString message;
    DzFacetMesh* mesh = objectNodeMesh(box->flowerTitle, &message);
    if (!mesh) reportStatus(message);
    return mesh;
}

void ZPK_VerdixPane::Button_AddPolyFlower(int ControlBoxIndex, DzFacetMesh* mesh)
{
    if (!mesh) return;
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeFlower) return;
    if (QThread::currentThread() == thread()) captureFlowerParams(ControlBoxIndex);
    else if (!box->flowerParamsReady) return;
    // Estimated before anything is let go, as terrains are: a build that cannot fit is refused
    // and the flowers stay as they were; one that fails all the same is an error too.
    const long long held = (long long)mesh->getNumVertices() * (long long)(sizeof(DzVec3) + sizeof(DzPnt2)) +
                           (long long)mesh->getNumFacets() * (long long)sizeof(DzFacet);
    const long long free = m_freeMemory ? m_freeMemory() : -1;
    const QString refused = checkFlowerBuild(box->flowerParams, free < 0 ? free : free + held);
    box->flowerRefused = !refused.isEmpty();
    if (box->flowerRefused) {
        reportError(refused);
        return;
    }
    FlowerPassInfo info;
    box->builderCount = addPolyFlowerCore(box->flowerParams, *mesh, box->builderCount, &info);
    if (info.outOfMemory) reportError(FlowerMessages::meshMemory());
}

void ZPK_VerdixPane::Button_AnimateFlower(int ControlBoxIndex, bool ResetCache)
{
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeFlower) return;
    // Widgets are read on the GUI thread only; a pass on a worker uses the last snapshot.
    if (QThread::currentThread() == thread()) captureFlowerParams(ControlBoxIndex);
    else if (!box->flowerParamsReady) return;
    if (box->flowerRefused) return;
    DzFacetMesh* mesh = flowerMesh(ControlBoxIndex);
    if (!mesh) return;

    PaneGroundSampler ground(this, box->landscapeIndex);
    FlowerPassInfo info;
    QString msg = animateFlowerCore(box->flowerParams, *mesh, box->groundHeights, ground, ResetCache, &info);
    if (msg.isEmpty() && info.topologyMismatch && box->builderCount > 0) {
        // Sliders changed while updates were held back (a record being read): the mesh
        // no longer fits them, so it is built again before it is written. (A count of 0 is
        // a topology that did not fit in memory: it is not tried again on every tick.)
        box->builderCount = addPolyFlowerCore(box->flowerParams, *mesh, info.vertices);
        msg = animateFlowerCore(box->flowerParams, *mesh, box->groundHeights, ground, ResetCache, &info);
    }
    box->flowerLastPass = info;
    if (!msg.isEmpty()) reportStatus(msg);
}

void ZPK_VerdixPane::UpdateFlower(int ControlBoxIndex, bool)
{
    QMutexLocker lock(&m_flowerLock);
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeFlower) return;
    if (QThread::currentThread() == thread()) captureFlowerParams(ControlBoxIndex);
    else if (!box->flowerParamsReady) return;
    DzFacetMesh* mesh = flowerMesh(ControlBoxIndex);
    if (!mesh) return;
    // The topology is rebuilt on every update; the geometry pass always refills the heights.
    Button_AddPolyFlower(ControlBoxIndex, mesh);
    Button_AnimateFlower(ControlBoxIndex, true);
}

void ZPK_VerdixPane::SliderUpdateFlower(int)
{
    if (m_loading) return;
    // The all-box update runs on workers: they need every box's sliders as they are now.
    // The pistil atlas sliders are not asked for focus, so they always update every box.
    captureAllFlowerParams();
    routeSliderChange(TypeFlower);
}
