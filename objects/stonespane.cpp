// The stones box's slots: creation, topology, the update pass and its slider routing.
// The pass itself is the core in stonescore.cpp; this file only gathers its inputs.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QThread>
#include <dzgeometry.h>
#include <dzintslider.h>

#include "objects/stonesbox.h"
#include "pane/verdixpane.h"

PassReport StonesBox::layTopology(GeneratorPass& pass)
{
    addPolyStonesCore(params, random, pass.mesh);
    return {};
}

PassReport StonesBox::update(GeneratorPass& pass)
{
    lastPass = StonesUpdateInfo();
    return {
        updateStonesCore(params, random, pass.mesh, pass.box.groundHeights, pass.ground, pass.resetCache, &lastPass),
        {}};
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
    layGeneratorTopology(ControlBoxIndex, TypeStones, mesh);
}

void ZPK_VerdixPane::UpdateStones(int SliderIndex, bool ResetCache)
{
    runGeneratorUpdate(SliderIndex, TypeStones, ResetCache);
}

void ZPK_VerdixPane::SliderUpdateStones(int)
{
    if (m_loading) return;
    // The all-box update runs on workers: they need every box's sliders as they are now.
    captureAllOf(TypeStones);
    routeSliderChange(TypeStones);
}
