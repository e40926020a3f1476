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

#include "pane/verdixpane.h"
#include "vegetation/flowerbox.h"

void ZPK_VerdixPane::Button_CreateFlower()
{
    const int i = AddGeneratedBox(TypeFlower, [this](int k, DzFacetMesh* mesh) { Button_AddPolyFlower(k, mesh); });
    if (i < 0) return;
    Button_AnimateFlower(i, true);
    saveModelData();
}

PassReport FlowerBox::layTopology(GeneratorPass& pass)
{
    // Estimated before anything is let go, as terrains are: a build that cannot fit is refused
    // and the flowers stay as they were; one that fails all the same is an error too.
    DzFacetMesh& mesh = pass.mesh;
    const long long held = (long long)mesh.getNumVertices() * (long long)(sizeof(DzVec3) + sizeof(DzPnt2)) +
                           (long long)mesh.getNumFacets() * (long long)sizeof(DzFacet);
    const long long free = pass.freeBytes();
    PassReport r;
    r.error = checkFlowerBuild(params, free < 0 ? free : free + held);
    refused = !r.error.isEmpty();
    if (refused) return r;
    FlowerPassInfo info;
    pass.box.builderCount = addPolyFlowerCore(params, random, mesh, pass.box.builderCount, &info);
    if (info.outOfMemory) r.error = FlowerMessages::meshMemory();
    return r;
}

PassReport FlowerBox::update(GeneratorPass& pass)
{
    ControlBox& box = pass.box;
    FlowerPassInfo info;
    PassReport r;
    r.status = animateFlowerCore(params, random, pass.mesh, box.groundHeights, pass.ground, pass.resetCache, &info);
    if (r.status.isEmpty() && info.topologyMismatch && box.builderCount > 0) {
        // Sliders changed while updates were held back (a record being read): the mesh
        // no longer fits them, so it is built again before it is written. (A count of 0 is
        // a topology that did not fit in memory: it is not tried again on every tick.)
        box.builderCount = addPolyFlowerCore(params, random, pass.mesh, info.vertices);
        r.status = animateFlowerCore(params, random, pass.mesh, box.groundHeights, pass.ground, pass.resetCache, &info);
    }
    lastPass = info;
    return r;
}

void ZPK_VerdixPane::Button_AddPolyFlower(int ControlBoxIndex, DzFacetMesh* mesh)
{
    layGeneratorTopology(ControlBoxIndex, TypeFlower, mesh);
}

void ZPK_VerdixPane::Button_AnimateFlower(int ControlBoxIndex, bool ResetCache)
{
    runGeneratorUpdate(ControlBoxIndex, TypeFlower, ResetCache);
}

void ZPK_VerdixPane::UpdateFlower(int ControlBoxIndex, bool)
{
    QMutexLocker lock(&m_flowerLock);
    GeneratorBox* g = generatorFor(ControlBoxIndex, TypeFlower);
    if (!g || !snapshotReady(ControlBoxIndex, *g)) return;
    DzFacetMesh* mesh = generatorMesh(*g);
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
    captureAllOf(TypeFlower);
    routeSliderChange(TypeFlower);
}
