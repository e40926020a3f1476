// The billboard box's slots: creation, topology, the update pass and its slider routing.
// The pass itself is the core in billboardcore.cpp; this file only gathers its inputs.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QThread>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dznode.h>

#include "billboard/billboardcore.h"
#include "pane/boundsliders.h"
#include "pane/paneground.h"
#include "pane/verdixpane.h"

DzVec3 ZPK_VerdixPane::activeCameraPosition() const
{
    DzMainWindow* mw = dzApp ? dzApp->getInterface() : nullptr;
    DzViewportMgr* vm = mw ? mw->getViewportMgr() : nullptr;
    DzViewport* vp = vm ? vm->getActiveViewport() : nullptr;
    Dz3DViewport* v3 = vp ? vp->get3DViewport() : nullptr;
    DzCameraNode* cam = v3 ? v3->getCamera() : nullptr;
    return cam ? cam->getWSPos() : DzVec3(0.f, 0.f, 0.f);
}

void ZPK_VerdixPane::captureBillboardParams(int i)
{
    installSnapshotHook();
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeBillboard) return;
    static const BoundSliders<BillboardParams> bound(TypeBillboard, billboardSliderFields());
    BillboardParams p;
    bound.read(*box, p);
    p.lowLOD = m_lowLOD.load();
    p.frame = m_frame;
    p.camera = activeCameraPosition();
    box->billboardParams = p;
    box->billboardTitle = box->titleLabel ? box->titleLabel->text() : newBoxTitle(TypeBillboard, i);
    box->billboardLandscape = box->landscapeIndex;
    box->billboardParamsReady = true;
}

void ZPK_VerdixPane::captureAllBillboardParams()
{
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == TypeBillboard) captureBillboardParams(i);
}

void ZPK_VerdixPane::Button_CreateBillboard()
{
    const int i = AddGeneratedBox(TypeBillboard, [this](int k, DzFacetMesh* mesh) { Button_AddPolyBillboard(k, mesh); });
    if (i < 0) return;
    UpdateBillboard(i, true);
}

void ZPK_VerdixPane::Button_AddPolyBillboard(int ControlBoxIndex, DzFacetMesh* mesh)
{
    if (!mesh) return;
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeBillboard) return;
    if (QThread::currentThread() == thread()) captureBillboardParams(ControlBoxIndex);
    box->billboardUVEntries = addPolyBillboardCore(box->billboardParams, *mesh);
}

void ZPK_VerdixPane::UpdateBillboard(int SliderIndex, bool ResetCache)
{
    ControlBox* box = m_boxes.at(SliderIndex);
    if (!box || box->type != TypeBillboard) return;
    // Widgets and the camera are read on the GUI thread only; a pass on a worker uses the
    // snapshot that the tick and the batch updates take just before they start it.
    if (QThread::currentThread() == thread()) captureBillboardParams(SliderIndex);
    else if (!box->billboardParamsReady) return;

    QString message;
    DzFacetMesh* mesh = objectNodeMesh(box->billboardTitle, &message);
    if (!mesh) {
        if (!message.isEmpty()) reportStatus(message);
        return;
    }
    PaneGroundSampler ground(this, box->billboardLandscape);
    BillboardUpdateInfo info;
    const QString msg = updateBillboardCore(box->billboardParams, *mesh, box->groundHeights, box->billboardUVEntries,
                                            ground, ResetCache, &info);
    box->billboardLastPass = info;
    if (!msg.isEmpty()) reportStatus(msg);
}

void ZPK_VerdixPane::SliderUpdateBillboard(int)
{
    // Billboard boxes are updated on this thread, the focused one alone or all in turn.
    routeSliderChange(TypeBillboard);
}
