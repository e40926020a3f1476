// The grass box's slots: creation, topology, the update pass and its slider routing.
// The pass itself is the core in grasscore.cpp; this file only gathers its inputs.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include <dzgeometry.h>

#include "pane/verdixpane.h"
#include "vegetation/grasscore.h"
#include "animation/taskring.h"

namespace {

// Terrain heights through the pane's height query, callable from any thread: the query
// takes no lock and terrains are not written while passes run.
struct PaneGround : GroundSampler
{
    ZPK_VerdixPane* pane;
    int landscape;

    PaneGround(ZPK_VerdixPane* p, int land) : pane(p), landscape(land) {}
    float height(float x, float z) const override
    {
        return pane->fHeight(landscape, x, z, nullptr, nullptr, nullptr);
    }
};

int sliderValue(const ControlBox& box, const char* name, int fallback)
{
    const DzIntSlider* s = box.slider(QString::fromLatin1(name));
    return s ? s->value() : fallback;
}

}  // namespace

void ZPK_VerdixPane::reportStatus(const QString& text)
{
    if (QThread::currentThread() == thread()) {
        setStatus(text);
    } else if (m_statusLabel) {
        QMetaObject::invokeMethod(m_statusLabel, "setText", Qt::QueuedConnection, Q_ARG(QString, text));
    }
}

void ZPK_VerdixPane::captureGrassParams(int i)
{
    // Every ring the pane's subsystems build on the GUI thread refreshes the snapshots first.
    static QPointer<ZPK_VerdixPane> hooked;
    if (hooked != this && QThread::currentThread() == thread()) {
        hooked = this;
        QPointer<ZPK_VerdixPane> self(this);
        setTaskRingPrepare([self] {
            if (self) self->captureAllGrassParams();
        });
    }
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeGrass) return;
    GrassParams p;
    const ControlBox& b = *box;
    p.Amount = sliderValue(b, "Amount", p.Amount);
    p.AreaSizeX = sliderValue(b, "Area size X", p.AreaSizeX);
    p.AreaSizeZ = sliderValue(b, "Area size Z", p.AreaSizeZ);
    p.FullOffX = sliderValue(b, "Full off X", p.FullOffX);
    p.FullOffZ = sliderValue(b, "Full off Z", p.FullOffZ);
    p.ClumpMin = sliderValue(b, "Clump Min", p.ClumpMin);
    p.ClumpRND = sliderValue(b, "Clump RND", p.ClumpRND);
    p.GrassLOD = sliderValue(b, "Grass LOD", p.GrassLOD);
    p.HeightMin = sliderValue(b, "Height Min", p.HeightMin);
    p.HeightRND = sliderValue(b, "Height RND", p.HeightRND);
    p.BendMin = sliderValue(b, "Bend Min", p.BendMin);
    p.BendRND = sliderValue(b, "Bend RND", p.BendRND);
    p.ThickMin = sliderValue(b, "Thick Min", p.ThickMin);
    p.ThickRND = sliderValue(b, "Thick RND", p.ThickRND);
    p.Shape = sliderValue(b, "Shape", p.Shape);
    p.Ring = sliderValue(b, "Ring", p.Ring);
    p.Rotate = sliderValue(b, "Rotate", p.Rotate);
    p.Seed = sliderValue(b, "Seed", p.Seed);
    p.Wind = sliderValue(b, "Wind", p.Wind);
    p.SectorSize = sliderValue(b, "Sector Size", p.SectorSize);
    p.SectorStart = sliderValue(b, "Sector Start", p.SectorStart);
    p.MoveX = sliderValue(b, "Move X", p.MoveX);
    p.MoveZ = sliderValue(b, "Move Z", p.MoveZ);
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
    const int i = m_boxes.count();
    const QString title = newBoxTitle(TypeGrass, i);
    Network_AddControlBox(QString::fromLatin1(typeInfo(TypeGrass)->iconFile), title, TypeGrass);
    if (m_boxes.count() != i + 1) return;

    // An existing node of that title stays as it is unless "Renew" asks for a new one.
    const bool keepExisting = dzScene && dzScene->findNodeByLabel(title) && !(m_renewCheck && m_renewCheck->isChecked());
    if (keepExisting) {
        m_boxes[i].landscapeIndex = FindLandScapeIndex(m_landscapeSelector ? m_landscapeSelector->currentText() : QString());
        return;
    }
    BuildObjectNode(TypeGrass, i, title, [this](int k, DzFacetMesh* mesh) { Button_AddPolyGrass(k, mesh); });
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
    DzNode* node = dzScene ? dzScene->findNodeByLabel(title) : nullptr;
    if (!node) {
        reportStatus(GrassMessages::meshMissing(title));
        return;
    }
    DzObject* object = node->getObject();
    if (!object) {
        reportStatus(GrassMessages::missingObject());
        return;
    }
    DzShape* shape = object->getCurrentShape();
    if (!shape) shape = object->getShape(0);
    if (!shape) {
        reportStatus(GrassMessages::noShapes());
        return;
    }
    auto* facetShape = qobject_cast<DzFacetShape*>(shape);
    DzFacetMesh* mesh = facetShape ? facetShape->getGeometry() : nullptr;
    if (!mesh) {
        reportStatus(GrassMessages::noGeometry());
        return;
    }

    PaneGround ground(this, box->grassLandscape);
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
