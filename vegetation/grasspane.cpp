// The grass box's slots: creation, topology, the update pass and its slider routing.
// The pass itself is the core in grasscore.cpp; this file only gathers its inputs.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <array>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include <dzgeometry.h>

#include "pane/boundsliders.h"
#include "pane/paneground.h"
#include "pane/verdixpane.h"
#include "grass/grasscore.h"
#include "animation/taskring.h"

void ZPK_VerdixPane::reportStatus(const QString& text)
{
    if (QThread::currentThread() == thread()) {
        setStatus(text);
    } else if (m_statusLabel) {
        QMetaObject::invokeMethod(m_statusLabel, "setText", Qt::QueuedConnection, Q_ARG(QString, text));
    }
}

void ZPK_VerdixPane::reportError(const QString& text)
{
    if (QThread::currentThread() == thread()) {
        setStatus(text);
        errorBox(text);
    } else {
        QMetaObject::invokeMethod(
            this, [this, text] { reportError(text); }, Qt::QueuedConnection);
    }
}

void ZPK_VerdixPane::captureGrassParams(int i)
{
    // Every ring the pane's subsystems build on the GUI thread refreshes the snapshots first.
    installSnapshotHook();
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeGrass) return;
    static const BoundSliders<GrassParams> bound(TypeGrass, grassSliderFields());
    GrassParams p;
    bound.read(*box, p);
    if (m_windStrengthSlider) p.WindStrength1 = m_windStrengthSlider->value();
    if (m_windSpeedSlider) p.WindSpeed = m_windSpeedSlider->value();
    if (m_windSpeed2Slider) p.WindSpeed2 = m_windSpeed2Slider->value();
    p.phase = m_phase;
    p.lowLOD = m_lowLOD.load();
    p.boxIndex = i;
    box->grassParams = p;
    box->grassTitle = box->titleLabel ? box->titleLabel->text() : newBoxTitle(TypeGrass, i);
    box->grassLandscape = box->landscapeIndex;
    box->grassParamsReady = true;
}

void ZPK_VerdixPane::captureAllGrassParams()
{
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == TypeGrass) captureGrassParams(i);
}

void ZPK_VerdixPane::Button_CreateGrass()
{
    const int i = AddGeneratedBox(TypeGrass, [this](int k, DzFacetMesh* mesh) { Button_AddPolyGrass(k, mesh); });
    if (i < 0) return;
    UpdateGrass(i, true);
}

void ZPK_VerdixPane::Button_AddPolyGrass(int ControlBoxIndex, DzFacetMesh* mesh)
{
    if (!mesh) return;
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box) return;
    if (QThread::currentThread() == thread()) captureGrassParams(ControlBoxIndex);
    addPolyGrassCore(box->grassParams, *mesh);
}

void ZPK_VerdixPane::UpdateGrass(int SliderIndex, bool ResetCache)
{
    ControlBox* box = m_boxes.at(SliderIndex);
    if (!box) return;
    if (box->type != TypeGrass) {
        reportStatus(GrassMessages::notGrass());
        return;
    }
    // Widgets are read on the GUI thread only; a pass on a worker uses the last snapshot,
    // which the tick and the batch updates take just before they start their tasks.
    if (QThread::currentThread() == thread()) captureGrassParams(SliderIndex);
    else if (!box->grassParamsReady) return;

    const QString& title = box->grassTitle;
    const NodeMesh found = objectNodeMesh(title);
    DzFacetMesh* mesh = found.mesh;
    if (!mesh) {
        // Grass alone has always told a node without an object apart.
        reportStatus(found.miss == NodeMesh::Object ? QStringLiteral("Missing object!") : nodeMeshMessage(found.miss, title));
        return;
    }

    PaneGroundSampler ground(this, box->grassLandscape);
    GrassUpdateInfo info;
    const QString msg = updateGrassCore(box->grassParams, *mesh, box->groundHeights, ground, ResetCache, &info);
    box->grassLastPass = info;
    if (!msg.isEmpty()) reportStatus(msg);
}

void ZPK_VerdixPane::SliderUpdateGrass(int)
{
    if (m_loading) return;
    // The all-box update runs on workers: they need every box's sliders as they are now.
    captureAllGrassParams();
    routeSliderChange(TypeGrass);
}
