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
#include "pane/verdixpane.h"
#include "vegetation/treebox.h"

namespace {

// The pane's progress bar as the tree build reports to it.
struct TreeBarProgress : TreeProgress
{
    PassProgress* bar;
    explicit TreeBarProgress(PassProgress* b) : bar(b) {}
    void begin(int maximum) override { bar->begin(maximum); }
    void step(int value) override { bar->step(value); }
    void end() override { bar->end(); }
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

void TreeBox::capture(const PaneInputs& in, const ControlBox& box, int)
{
    static const BoundSliders<TreeParams> bound(TypeTree, treeSliderFields());
    static const int trunkSides = bound.fieldOf(&TreeParams::TrunkSides);
    TreeParams p;
    // A box without its sliders (made by a script before they exist) builds the built-in tree.
    if (!bound.slider(box, size_t(trunkSides))) p = TreeParams::builtIn();
    else bound.read(box, p);
    p.lowLOD = in.lowLOD;
    params = p;
    wind.WindStrength1 = in.windStrength;
    wind.WindSpeed = in.windSpeed;
    wind.WindSpeed2 = in.windSpeed2;
    wind.phase = in.phase;
}

void TreeBox::captureFromPane(ZPK_VerdixPane& pane, int i) { pane.loadSelectedTreeShape(i); }

TreeParams TreeBox::passParams(const ControlBox& box) const
{
    TreeParams p = params;
    const ControlBox::HeightMapBytes& map = box.heightMaps[0];
    if (map.present()) p.image = TreeShapeImage{map.bytes.data(), map.width, map.height};
    return p;
}

PassReport TreeBox::layTopology(GeneratorPass& pass)
{
    const TreeParams p = passParams(pass.box);
    TreeBarProgress bar(pass.progress);
    const TreeBuildInfo info = buildTreeCore(p, random, pass.mesh, pass.ground, pass.progress ? &bar : nullptr);
    built = treeBuiltMesh(p, info);
    pass.box.builderCount = info.vertices;
    return {};
}

PassReport TreeBox::update(GeneratorPass& pass)
{
    // A mesh that the sliders no longer describe waits for its next update.
    lastWind = animateTreeCore(passParams(pass.box), random, wind, pass.mesh, pass.ground, built);
    return {};
}

void ZPK_VerdixPane::loadSelectedTreeShape(int i)
{
    ControlBox* box = m_boxes.at(i);
    TreeBox* tree = box ? generatorOf<TreeBox>(*box) : nullptr;
    if (!tree) return;
    // The shape image follows the shape list's selection, also when a record or a preset
    // chose it (the list has no focus then, so its slot loaded nothing).
    QComboBox* shapes = box->combo('B');
    const QString wanted = shapes && shapes->currentIndex() > 0 ? shapes->currentText() : QString();
    if (!wanted.isEmpty() && wanted != tree->shapeName) {
        const QString path = LoadTree(wanted);
        QString refused;
        const QImage img = verdix::readCheckedImage(path, QStringLiteral("the tree shape"), &refused);
        if (!img.isNull()) box->images[0] = img;
        else if (QFileInfo::exists(path)) errorBox(refused);
        tree->shapeName = wanted;
        loadTreeShapeBytes(i, box->images[0]);
    } else if (!box->heightMaps[0].present() && !box->images[0].isNull()) {
        loadTreeShapeBytes(i, box->images[0]);
    }
}

void ZPK_VerdixPane::captureTreeParams(int i) { captureBox(i); }

void ZPK_VerdixPane::captureAllTreeParams() { captureAllOf(TypeTree); }

TreeParams ZPK_VerdixPane::treePassParams(int i) const
{
    const ControlBox& box = m_boxes[i];
    const TreeBox* tree = generatorOf<TreeBox>(box);
    return tree ? tree->passParams(box) : TreeParams();
}

void ZPK_VerdixPane::Button_CreateTree()
{
    const int i = AddGeneratedBox(TypeTree, [this](int k, DzFacetMesh* mesh) { Button_AddPolyTree(k, mesh); });
    if (i < 0) return;
    saveModelData();
}

void ZPK_VerdixPane::Button_AddPolyTree(int ControlBoxIndex, DzFacetMesh* mesh)
{
    layGeneratorTopology(ControlBoxIndex, TypeTree, mesh);
}

void ZPK_VerdixPane::Button_AnimatePolyTree(int ControlBoxIndex)
{
    runGeneratorUpdate(ControlBoxIndex, TypeTree, false);
}

void ZPK_VerdixPane::UpdateTree(int SliderIndex, bool ResetCache)
{
    Q_UNUSED(ResetCache);
    QMutexLocker lock(&m_treeLock);
    GeneratorBox* g = generatorFor(SliderIndex, TypeTree);
    if (!g || !snapshotReady(SliderIndex, *g)) return;
    DzFacetMesh* mesh = generatorMesh(*g);
    if (!mesh) return;
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
        if (TreeBox* tree = generatorOf<TreeBox>(box)) tree->shapeName = name;
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
