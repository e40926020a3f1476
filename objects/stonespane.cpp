// The stones box's slots: creation, topology, the update pass and its slider routing.
// The pass itself is the core in stonescore.cpp; this file only gathers its inputs.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QThread>
#include <dzgeometry.h>
#include <dzintslider.h>

#include "stones/stonescore.h"
#include "pane/boundsliders.h"
#include "pane/paneground.h"
#include "pane/verdixpane.h"

void ZPK_VerdixPane::captureStonesParams(int i)
{
    installSnapshotHook();
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeStones) return;
    static const BoundSliders<StonesParams> bound(TypeStones, stonesSliderFields());
    StonesParams p;
    bound.read(*box, p);
    if (m_windStrengthSlider) p.WindStrength1 = m_windStrengthSlider->value();
    if (m_windSpeedSlider) p.WindSpeed = m_windSpeedSlider->value();
    if (m_windSpeed2Slider) p.WindSpeed2 = m_windSpeed2Slider->value();
    p.phase = m_phase;
    p.lowLOD = m_lowLOD.load();
    box->stonesParams = p;
    box->stonesTitle = box->titleLabel ? box->titleLabel->text() : newBoxTitle(TypeStones, i);
    box->stonesLandscape = box->landscapeIndex;
    box->stonesParamsReady = true;
}

void ZPK_VerdixPane::captureAllStonesParams()
{
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == TypeStones) captureStonesParams(i);
}

void ZPK_VerdixPane::Button_CreateStones()
{
    const int i = AddGeneratedBox(TypeStones, [this](int k, DzFacetMesh* mesh) { Button_AddPolyStones(k, mesh); });
    if (i < 0) return;
    UpdateStones(i, true);
    saveModelData();
}

void ZPK_VerdixPane::Button_AddPolyStones(int ControlBoxIndex, DzFacetMesh* mesh)
{
    if (!mesh) return;
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeStones) return;
    if (QThread::currentThread() == thread()) captureStonesParams(ControlBoxIndex);
    addPolyStonesCore(box->stonesParams, *mesh);
}

void ZPK_VerdixPane::UpdateStones(int SliderIndex, bool ResetCache)
{
    ControlBox* box = m_boxes.at(SliderIndex);
    if (!box || box->type != TypeStones) return;
    // Widgets are read on the GUI thread only; a pass on a worker uses the last snapshot.
    if (QThread::currentThread() == thread()) captureStonesParams(SliderIndex);
    else if (!box->stonesParamsReady) return;

    QString message;
    DzFacetMesh* mesh = objectNodeMesh(box->stonesTitle, &message);
    if (!mesh) {
        if (!message.isEmpty()) reportStatus(message);
        return;
    }
    PaneGroundSampler ground(this, box->stonesLandscape);
    StonesUpdateInfo info;
    const QString msg = updateStonesCore(box->stonesParams, *mesh, box->groundHeights, ground, ResetCache, &info);
    box->stonesLastPass = info;
    if (!msg.isEmpty()) reportStatus(msg);
}

void ZPK_VerdixPane::SliderUpdateStones(int)
{
    if (m_loading) return;
    // The all-box update runs on workers: they need every box's sliders as they are now.
    captureAllStonesParams();
    routeSliderChange(TypeStones);
}
