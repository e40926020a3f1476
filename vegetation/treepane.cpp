// The tree box's slots: creation, the full build, the wind pass, the trunk-shape image, the
// update and its slider routing. The pass itself is the core in treecore.cpp; this file
// gathers its inputs and finds the mesh.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMutexLocker>
#include <QPixmap>
#include <QProgressBar>
#include <QThread>
#include <array>
#include <dzgeometry.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>

#include "landscape/heightmaps.h"
#include "plugin/readcheck.h"
#include "pane/paneground.h"
#include "pane/verdixpane.h"
#include "vegetation/treecore.h"

namespace {

// Each field of the pass by slider name; names that repeat in a tree box are told apart by
// their occurrence (0 = the first in the box's slider order).
struct TreeField
{
    const char* name;
    int occurrence;
    int TreeParams::*member;
};
const TreeField kTreeFields[] = {
    {"X", 0, &TreeParams::X}, {"Z", 0, &TreeParams::Z}, {"Seed", 0, &TreeParams::Seed},
    {"Trunk Sides", 0, &TreeParams::TrunkSides}, {"Trunk LOD", 0, &TreeParams::TrunkLOD},
    {"Trunk Shape", 0, &TreeParams::TrunkShape}, {"Trunk Smooth", 0, &TreeParams::TrunkSmooth},
    {"Trunk Flute", 0, &TreeParams::TrunkFlute}, {"Tree Height cm", 0, &TreeParams::TreeHeight},
    {"Trunk Girth max", 0, &TreeParams::TrunkGirthMax}, {"Trunk Girth min", 0, &TreeParams::TrunkGirthMin},
    {"Trunk Twist", 0, &TreeParams::TrunkTwist}, {"Chaos", 0, &TreeParams::TrunkChaos},
    {"Chaos Start", 0, &TreeParams::ChaosStart}, {"Sway X", 0, &TreeParams::SwayX}, {"Sway Z", 0, &TreeParams::SwayZ},
    {"Trunk Height", 0, &TreeParams::TrunkHeight}, {"Image Shape", 0, &TreeParams::ImageShape},
    {"BranchA Length cm", 0, &TreeParams::BranchALength}, {"BranchB Length cm", 0, &TreeParams::BranchBLength},
    {"Length RND", 0, &TreeParams::LengthRND}, {"Branch Sides", 0, &TreeParams::BranchSides},
    {"Branch LOD", 0, &TreeParams::BranchLOD}, {"BranchB LOD", 0, &TreeParams::BranchBLOD},
    {"Shape", 0, &TreeParams::Shape}, {"Smooth", 0, &TreeParams::Smooth}, {"Spread", 0, &TreeParams::Spread},
    {"Chaos", 1, &TreeParams::BranchChaos}, {"Chaos Interval", 0, &TreeParams::ChaosInterval},
    {"Angle Hi", 0, &TreeParams::AngleHi}, {"Angle Lo", 0, &TreeParams::AngleLo},
    {"Bending Hi", 0, &TreeParams::BendingHi}, {"Bending Lo", 0, &TreeParams::BendingLo},
    {"START1", 0, &TreeParams::Start1}, {"START2", 0, &TreeParams::Start2}, {"START3", 0, &TreeParams::Start3},
    {"Spin Hi", 0, &TreeParams::SpinHi}, {"Spin Low", 0, &TreeParams::SpinLow}, {"Spin RND", 0, &TreeParams::SpinRND},
    {"Spin Angle", 0, &TreeParams::SpinAngle}, {"Shuffle", 0, &TreeParams::Shuffle},
    {"Branch Up", 0, &TreeParams::BranchUp}, {"Branch Wall", 0, &TreeParams::BranchWall},
    {"Twig Length A", 0, &TreeParams::TwigLengthA}, {"Twig Length B", 0, &TreeParams::TwigLengthB},
    {"Twig RND", 0, &TreeParams::TwigRND}, {"Twig Sides", 0, &TreeParams::TwigSides},
    {"Twig LOD A", 0, &TreeParams::TwigLODA}, {"Twig LOD B", 0, &TreeParams::TwigLODB},
    {"Bend Hi", 0, &TreeParams::BendHi}, {"Bend Lo", 0, &TreeParams::BendLo},
    {"Spread Hi", 0, &TreeParams::SpreadHi}, {"Spread Lo", 0, &TreeParams::SpreadLo},
    {"Chaos Hi", 0, &TreeParams::ChaosHi}, {"Chaos Lo", 0, &TreeParams::ChaosLo},
    {"End Of Trunk", 0, &TreeParams::EndOfTrunk}, {"End Of Branch", 0, &TreeParams::EndOfBranch},
    {"Alternate Bias", 0, &TreeParams::AlternateBias}, {"START3", 1, &TreeParams::TwigStart3},
    {"Leaf Size X", 0, &TreeParams::LeafSizeX}, {"Leaf Size Y", 0, &TreeParams::LeafSizeY},
    {"Leaf Maps X", 0, &TreeParams::LeafMapsX}, {"Leaf Maps Y", 0, &TreeParams::LeafMapsY},
    {"Leaf LOD", 0, &TreeParams::LeafLOD}, {"Floor LOD", 0, &TreeParams::LeafFloorLOD},
    {"Up Down RND", 0, &TreeParams::UpDownRND}, {"Left Right RND", 0, &TreeParams::LeftRightRND},
    {"Standoff Ground", 0, &TreeParams::LeafStandoff}, {"Up Down", 0, &TreeParams::UpDown},
    {"Fruit Size X", 0, &TreeParams::FruitSizeX}, {"Fruit Size Y", 0, &TreeParams::FruitSizeY},
    {"Fruit Maps X", 0, &TreeParams::FruitMapsX}, {"Fruit Maps Y", 0, &TreeParams::FruitMapsY},
    {"Fruit LOD", 0, &TreeParams::FruitLOD}, {"Floor LOD", 1, &TreeParams::FruitFloorLOD},
    {"Roll RND", 0, &TreeParams::RollRND}, {"Turn RND", 0, &TreeParams::TurnRND},
    {"Standoff Ground", 1, &TreeParams::FruitStandoff}, {"Apple Pear", 0, &TreeParams::ApplePear},
    {"Fruit Sides", 0, &TreeParams::FruitSides},
    {"Wind On Stem", 0, &TreeParams::WindOnStem}, {"Wind On Branch", 0, &TreeParams::WindOnBranch},
    {"Wind On Twigs", 0, &TreeParams::WindOnTwigs}, {"Wind On Leaves", 0, &TreeParams::WindOnLeaves},
    {"Wind On Fruit", 0, &TreeParams::WindOnFruit},
};
constexpr int kTreeFieldCount = int(sizeof kTreeFields / sizeof *kTreeFields);
constexpr int kTrunkSidesField = 3;

// Where each field's slider sits in a tree box's slider row, found once.
const std::array<int, kTreeFieldCount>& treeSliderPositions()
{
    static const std::array<int, kTreeFieldCount> positions = [] {
        std::array<int, kTreeFieldCount> pos{};
        const QStringList names = typeSliderNames(TypeTree);
        for (int k = 0; k < kTreeFieldCount; ++k) {
            int seen = 0;
            pos[size_t(k)] = -1;
            for (int n = 0; n < names.size(); ++n) {
                if (names[n] != QLatin1String(kTreeFields[k].name)) continue;
                if (seen++ == kTreeFields[k].occurrence) {
                    pos[size_t(k)] = n;
                    break;
                }
            }
        }
        return pos;
    }();
    return positions;
}

// The progress bar while a build runs on the GUI thread.
struct BarProgress : TreeProgress
{
    QProgressBar* bar;
    explicit BarProgress(QProgressBar* b) : bar(b) {}
    void begin(int maximum) override { bar->setRange(0, maximum > 0 ? maximum : 1); }
    void step(int value) override { bar->setValue(value); }
    void end() override { bar->setValue(0); }
};

}  // namespace

void ZPK_VerdixPane::loadTreeShapeBytes(int i, const QImage& image)
{
    ControlBox& box = m_boxes[i];
    ControlBox::HeightMapBytes& map = box.heightMaps[0];
    map = ControlBox::HeightMapBytes();
    if (image.isNull()) return;
    map.width = image.width();
    map.height = image.height();
    map.bytes.assign(size_t(map.width) * size_t(map.height), 0);
    ImagetoHeightMap(map.bytes.data(), image);
}

void ZPK_VerdixPane::captureTreeParams(int i)
{
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != TypeTree) return;
    TreeParams p;
    const auto& pos = treeSliderPositions();
    const int trunkSides = pos[kTrunkSidesField];
    const bool hasSliders = trunkSides >= 0 && size_t(trunkSides) < box->sliders.size() && box->sliders[size_t(trunkSides)];
    if (!hasSliders) {
        p = TreeParams::builtIn();
    } else {
        for (int k = 0; k < kTreeFieldCount; ++k) {
            const int s = pos[size_t(k)];
            if (s >= 0 && size_t(s) < box->sliders.size() && box->sliders[size_t(s)])
                p.*(kTreeFields[k].member) = box->sliders[size_t(s)]->value();
        }
    }
    p.lowLOD = m_lowLOD.load();
    box->treeParams = p;
    box->treeWind.WindStrength1 = m_windStrengthSlider ? m_windStrengthSlider->value() : 100;
    box->treeWind.WindSpeed = m_windSpeedSlider ? m_windSpeedSlider->value() : 100;
    box->treeWind.WindSpeed2 = m_windSpeed2Slider ? m_windSpeed2Slider->value() : 0;
    box->treeWind.phase = m_phase;
    box->treeTitle = box->titleLabel ? box->titleLabel->text() : newBoxTitle(TypeTree, i);
    box->treeLandscape = box->landscapeIndex;

    // The shape image follows the shape list's selection, also when a record or a preset
    // chose it (the list has no focus then, so its slot loaded nothing).
    QComboBox* shapes = box->combo('B');
    const QString wanted = shapes && shapes->currentIndex() > 0 ? shapes->currentText() : QString();
    if (!wanted.isEmpty() && wanted != box->treeShapeName) {
        const QString path = LoadTree(wanted);
        QString refused;
        const QImage img = verdix::readCheckedImage(path, QStringLiteral("the tree shape"), &refused);
        if (!img.isNull()) box->images[0] = img;
        else if (QFileInfo::exists(path)) errorBox(refused);
        box->treeShapeName = wanted;
        loadTreeShapeBytes(i, box->images[0]);
    } else if (!box->heightMaps[0].present() && !box->images[0].isNull()) {
        loadTreeShapeBytes(i, box->images[0]);
    }
    box->treeParamsReady = true;
}

void ZPK_VerdixPane::captureAllTreeParams()
{
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == TypeTree) captureTreeParams(i);
}

TreeParams ZPK_VerdixPane::treePassParams(int i) const
{
    const ControlBox& box = m_boxes[i];
    TreeParams p = box.treeParams;
    const ControlBox::HeightMapBytes& map = box.heightMaps[0];
    if (map.present()) p.image = TreeShapeImage{map.bytes.data(), map.width, map.height};
    return p;
}

void ZPK_VerdixPane::Button_CreateTree()
{
    const int i = AddGeneratedBox(TypeTree, [this](int k, DzFacetMesh* mesh) { Button_AddPolyTree(k, mesh); });
    if (i < 0) return;
    saveModelData();
}

void ZPK_VerdixPane::Button_AddPolyTree(int ControlBoxIndex, DzFacetMesh* mesh)
{
    if (!mesh) return;
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box) return;
    const bool gui = QThread::currentThread() == thread();
    if (gui) captureTreeParams(ControlBoxIndex);
    else if (!box->treeParamsReady) return;
    const TreeParams p = treePassParams(ControlBoxIndex);
    PaneGroundSampler ground(this, box->treeLandscape);
    BarProgress bar(m_progress);
    const bool showProgress = gui && m_progress && VerdixFlags::progress;
    const TreeBuildInfo info = buildTreeCore(p, *mesh, ground, showProgress ? &bar : nullptr);
    box->treeBuilt = treeBuiltMesh(p, info);
    box->builderCount = info.vertices;
}

void ZPK_VerdixPane::Button_AnimatePolyTree(int ControlBoxIndex)
{
    ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeTree) return;
    if (QThread::currentThread() == thread()) captureTreeParams(ControlBoxIndex);
    else if (!box->treeParamsReady) return;
    QString error;
    DzFacetMesh* mesh = objectNodeMesh(box->treeTitle, &error);
    if (!mesh) {
        reportStatus(error);
        return;
    }
    PaneGroundSampler ground(this, box->treeLandscape);
    // A mesh that the sliders no longer describe waits for its next update.
    box->treeLastWind = animateTreeCore(treePassParams(ControlBoxIndex), box->treeWind, *mesh, ground, box->treeBuilt);
}

void ZPK_VerdixPane::UpdateTree(int SliderIndex, bool ResetCache)
{
    Q_UNUSED(ResetCache);
    QMutexLocker lock(&m_treeLock);
    ControlBox* box = m_boxes.at(SliderIndex);
    if (!box || box->type != TypeTree) return;
    if (QThread::currentThread() == thread()) captureTreeParams(SliderIndex);
    else if (!box->treeParamsReady) return;
    QString error;
    DzFacetMesh* mesh = objectNodeMesh(box->treeTitle, &error);
    if (!mesh) {
        reportStatus(error);
        return;
    }
    Button_AddPolyTree(SliderIndex, mesh);
}

void ZPK_VerdixPane::SliderUpdateTree(int ControlBoxIndex)
{
    Q_UNUSED(ControlBoxIndex);
    if (m_loading) return;
    // An all-box update runs on workers: they read the snapshots taken here.
    captureAllTreeParams();
    routeSliderChange(TypeTree);
}

void ZPK_VerdixPane::LoadComboMapImageTree(int Input)
{
    if (Input == 0) return;
    for (int i = 0; i < m_boxes.count(); ++i) {
        ControlBox& box = m_boxes[i];
        QComboBox* shapes = box.combo('B');
        if (box.type != TypeTree || !shapes || !shapes->hasFocus()) continue;
        const QString name = shapes->currentText();
        const QString path = LoadTree(name);
        QString refused;
        const QImage img = verdix::readCheckedImage(path, QStringLiteral("the tree shape"), &refused);
        if (img.isNull()) {
            if (QFileInfo::exists(path)) errorBox(refused);
            continue;
        }
        box.images[0] = img;
        box.treeShapeName = name;
        setStatus("Tree trunk shape");
        if (m_previewLabel) {
            m_previewLabel->setPixmap(QPixmap::fromImage(img));
            m_previewLabel->show();
        }
        loadTreeShapeBytes(i, img);
    }
}

void ZPK_VerdixPane::Add_Line(const DzVec3* p1, const DzVec3* p2, float ThickA, float ThickB, DzFacetMesh* mesh,
                              int DrawType)
{
    if (!mesh || !p1 || !p2) return;
    const int uv[4] = {0, 1, 2, 3};
    auto ribbon = [&](const DzVec3& da, const DzVec3& db) {
        const int base = mesh->getNumVertices();
        mesh->addVertex(*p1 + da);
        mesh->addVertex(*p1 - da);
        mesh->addVertex(*p2 - db);
        mesh->addVertex(*p2 + db);
        const int v[4] = {base, base + 1, base + 2, base + 3};
        mesh->addFacet(v, uv);
    };
    ribbon(DzVec3(ThickA, 0.f, 0.f), DzVec3(ThickB, 0.f, 0.f));
    if (DrawType == 1) ribbon(DzVec3(0.f, 0.f, ThickA), DzVec3(0.f, 0.f, ThickB));
    else if (DrawType == 2) ribbon(DzVec3(0.f, ThickA, 0.f), DzVec3(0.f, ThickB, 0.f));
}
