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

#include "animation/billboardbox.h"
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

void BillboardBox::capture(const PaneInputs& in, const ControlBox& box, int)
{
    static const BoundSliders<BillboardParams> bound(TypeBillboard, billboardSliderFields());
    BillboardParams p;
    bound.read(box, p);
    p.lowLOD = in.lowLOD;
    p.frame = in.frame;
    p.camera = in.camera;
    params = p;
}

PassReport BillboardBox::layTopology(GeneratorPass& pass)
{
    uvEntries = addPolyBillboardCore(params, random, pass.mesh);
    return {};
}

PassReport BillboardBox::update(GeneratorPass& pass)
{
    lastPass = BillboardUpdateInfo();
    return {updateBillboardCore(params, random, pass.mesh, pass.box.groundHeights, uvEntries, pass.ground,
                                pass.resetCache, &lastPass),
            {}};
}

void ZPK_VerdixPane::Button_CreateBillboard()
{
    const int i =
        AddGeneratedBox(TypeBillboard, [this](int k, DzFacetMesh* mesh) { Button_AddPolyBillboard(k, mesh); });
    if (i < 0) return;
    UpdateBillboard(i, true);
}

void ZPK_VerdixPane::Button_AddPolyBillboard(int ControlBoxIndex, DzFacetMesh* mesh)
{
    layGeneratorTopology(ControlBoxIndex, TypeBillboard, mesh);
}

void ZPK_VerdixPane::UpdateBillboard(int SliderIndex, bool ResetCache)
{
    // The camera is read on the GUI thread only, with the sliders.
    runGeneratorUpdate(SliderIndex, TypeBillboard, ResetCache);
}

void ZPK_VerdixPane::SliderUpdateBillboard(int)
{
    // Billboard boxes are updated on this thread, the focused one alone or all in turn.
    routeSliderChange(TypeBillboard);
}
