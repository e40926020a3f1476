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

#include "pane/nodemesh.h"
#include "pane/verdixpane.h"
#include "vegetation/grassbox.h"
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

void GrassBox::capture(const PaneInputs& in, const ControlBox& box, int i)
{
    WindSnapshotBox::capture(in, box, i);
    params.boxIndex = i;
}

QString GrassBox::meshMissing(const NodeMesh& found, const QString& title) const
{
    // Grass alone has always told a node without an object apart.
    return found.miss == NodeMesh::Object ? QStringLiteral("Missing object!") : GeneratorBox::meshMissing(found, title);
}

PassReport GrassBox::layTopology(GeneratorPass& pass)
{
    addPolyGrassCore(params, random, pass.mesh);
    return {};
}

PassReport GrassBox::update(GeneratorPass& pass)
{
    lastPass = GrassUpdateInfo();
    return {updateGrassCore(params, random, pass.mesh, pass.box.groundHeights, pass.ground, pass.resetCache, &lastPass),
            {}};
}

void ZPK_VerdixPane::Button_CreateGrass()
{
    const int i = AddGeneratedBox(TypeGrass, [this](int k, DzFacetMesh* mesh) { Button_AddPolyGrass(k, mesh); });
    if (i < 0) return;
    UpdateGrass(i, true);
}

void ZPK_VerdixPane::Button_AddPolyGrass(int ControlBoxIndex, DzFacetMesh* mesh)
{
    layGeneratorTopology(ControlBoxIndex, TypeGrass, mesh);
}

void ZPK_VerdixPane::UpdateGrass(int SliderIndex, bool ResetCache)
{
    runGeneratorUpdate(SliderIndex, TypeGrass, ResetCache);
}

void ZPK_VerdixPane::SliderUpdateGrass(int)
{
    if (m_loading) return;
    // The all-box update runs on workers: they need every box's sliders as they are now.
    captureAllOf(TypeGrass);
    routeSliderChange(TypeGrass);
}
