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

#include "pane/paneground.h"
#include "pane/verdixpane.h"
#include "vegetation/grasscore.h"
#include "animation/taskring.h"

namespace {

// The grass sliders the pass reads, by display name.
enum GrassSlider {
    gAmount, gAreaSizeX, gAreaSizeZ, gFullOffX, gFullOffZ, gClumpMin, gClumpRND, gGrassLOD, gHeightMin,
    gHeightRND, gBendMin, gBendRND, gThickMin, gThickRND, gShape, gRing, gRotate, gSeed, gWind,
    gSectorSize, gSectorStart, gMoveX, gMoveZ, gSliderCount
};
const char* const kGrassSliderNames[gSliderCount] = {
    "Amount", "Area size X", "Area size Z", "Full off X", "Full off Z", "Clump Min", "Clump RND", "Grass LOD",
    "Height Min", "Height RND", "Bend Min", "Bend RND", "Thick Min", "Thick RND", "Shape", "Ring", "Rotate", "Seed",
    "Wind", "Sector Size", "Sector Start", "Move X", "Move Z"};

// Where each of them sits in a grass box's slider row. Looked up once: every tick reads all
// of them for every grass box, and a look-up by name walks the type's whole name list.
const std::array<int, gSliderCount>& grassSliderPositions()
{
    static const std::array<int, gSliderCount> positions = [] {
        std::array<int, gSliderCount> pos{};
        const QStringList names = typeSliderNames(TypeGrass);
        for (int k = 0; k < gSliderCount; ++k) pos[size_t(k)] = names.indexOf(QString::fromLatin1(kGrassSliderNames[k]));
        return pos;
    }();
    return positions;
}

int sliderValue(const ControlBox& box, GrassSlider which, int fallback)
{
    const int k = grassSliderPositions()[size_t(which)];
    const DzIntSlider* s = (k >= 0 && size_t(k) < box.sliders.size()) ? box.sliders[size_t(k)] : nullptr;
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
    GrassParams p;
    const ControlBox& b = *box;
    p.Amount = sliderValue(b, gAmount, p.Amount);
    p.AreaSizeX = sliderValue(b, gAreaSizeX, p.AreaSizeX);
    p.AreaSizeZ = sliderValue(b, gAreaSizeZ, p.AreaSizeZ);
    p.FullOffX = sliderValue(b, gFullOffX, p.FullOffX);
    p.FullOffZ = sliderValue(b, gFullOffZ, p.FullOffZ);
    p.ClumpMin = sliderValue(b, gClumpMin, p.ClumpMin);
    p.ClumpRND = sliderValue(b, gClumpRND, p.ClumpRND);
    p.GrassLOD = sliderValue(b, gGrassLOD, p.GrassLOD);
    p.HeightMin = sliderValue(b, gHeightMin, p.HeightMin);
    p.HeightRND = sliderValue(b, gHeightRND, p.HeightRND);
    p.BendMin = sliderValue(b, gBendMin, p.BendMin);
    p.BendRND = sliderValue(b, gBendRND, p.BendRND);
    p.ThickMin = sliderValue(b, gThickMin, p.ThickMin);
    p.ThickRND = sliderValue(b, gThickRND, p.ThickRND);
    p.Shape = sliderValue(b, gShape, p.Shape);
    p.Ring = sliderValue(b, gRing, p.Ring);
    p.Rotate = sliderValue(b, gRotate, p.Rotate);
    p.Seed = sliderValue(b, gSeed, p.Seed);
    p.Wind = sliderValue(b, gWind, p.Wind);
    p.SectorSize = sliderValue(b, gSectorSize, p.SectorSize);
    p.SectorStart = sliderValue(b, gSectorStart, p.SectorStart);
    p.MoveX = sliderValue(b, gMoveX, p.MoveX);
    p.MoveZ = sliderValue(b, gMoveZ, p.MoveZ);
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
