// The generators themselves, as a box runs them: one box of any type, its sliders set from the
// input (any values, in and out of their ranges, as a damaged record or a script may give
// them), its topology and update run and two animation ticks after. Nothing may crash, no
// vertex of the scene may be NaN or infinite, and memory stays under the bound libFuzzer is
// given (scripts/fuzz.sh: 1 GB per allocation, 2 GB resident); the pane's own estimates are
// told that kFreeMemory is free, so builds past it are refused as they would be on a machine
// with that much.
// Input: one byte choosing the type, then one little-endian 32-bit value per slider in
// creation order (sliders past the input keep their defaults).
//
// The sliders that set how much is built (counts, sides, levels of detail, grid size) are
// held to small values: a box at their maxima builds millions of vertices, and a run would
// spend its time filling memory instead of reaching the code paths. What those sliders do to
// the arithmetic (their minimum, odd and even counts, a count of one) stays within reach;
// what memory a full-size build needs is the estimates' business and has tests of its own.
#include <QApplication>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cmath>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzgeometry.h>
#include <dznode.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <dzshape.h>

#include "fuzzsupport.h"
#include "paneaccess.h"
#include "pane/slidersets.h"

extern "C" DzPlugin* getPluginDefinition();

namespace {

constexpr long long kFreeMemory = 512LL << 20;
VerdixPaneTestAccess* paneAccess = nullptr;

struct SizeCap
{
    int type;
    const char* slider;
    int max;
};
const SizeCap kSizeCaps[] = {
    {TypeLandscape, "DIVISIONS", 12},    {TypeLandscape, "TILES", 4},     {TypeGrass, "Amount", 100},
    {TypeGrass, "Grass LOD", 8},         {TypeTree, "Trunk Sides", 12},   {TypeTree, "Trunk LOD", 10},
    {TypeTree, "Branch Sides", 8},       {TypeTree, "Branch LOD", 8},     {TypeTree, "BranchB LOD", 8},
    {TypeTree, "Twig Sides", 6},         {TypeTree, "Twig LOD A", 4},     {TypeTree, "Twig LOD B", 4},
    {TypeTree, "Fruit Sides", 8},        {TypeTree, "Fruit LOD", 30},     {TypeFlower, "Amount", 6},
    {TypeFlower, "Stem Sides", 8},       {TypeFlower, "Stem LOD", 10},    {TypeFlower, "Stem Count", 3},
    {TypeFlower, "Stem Count RND", 3},   {TypeFlower, "Petal Layers", 4}, {TypeFlower, "Petal Spin Inner", 8},
    {TypeFlower, "Petal Spin Outer", 8}, {TypeFlower, "Petal LOD", 6},    {TypeFlower, "Leaf Row Count", 8},
    {TypeFlower, "Leaf LOD", 6},         {TypeStones, "Grass", 30},       {TypeStones, "Grass LOD", 6},
    {TypeStones, "Stone Amount", 16},    {TypeStones, "Stone LOD", 10},   {TypeBillboard, "Amount", 100},
    {TypeBillboard, "Spin LOD", 8},
};

int sizeCap(int type, const DzIntSlider* s)
{
    const QString label = s->getLabel();
    for (const SizeCap& c : kSizeCaps)
        if (c.type == type && label == QLatin1String(c.slider)) return c.max;
    return INT_MAX;
}

// The value the input asks for, or the default; a size slider's within [min, cap], every
// value of it reachable.
int sliderValue(int type, const DzIntSlider* s, const uint8_t* raw)
{
    const int cap = sizeCap(type, s);
    if (cap == INT_MAX || cap <= s->getMin()) return raw ? qFromLittleEndian<qint32>(raw) : s->getValue();
    if (!raw) return std::min(s->getValue(), cap);
    return s->getMin() + int(qFromLittleEndian<quint32>(raw) % quint32(cap - s->getMin() + 1));
}

void checkFinite()
{
    for (DzNode* n : dzScene->nodeList()) {
        DzObject* obj = n->getObject();
        for (int s = 0; obj && s < obj->getNumShapes(); ++s) {
            auto* fs = qobject_cast<DzFacetShape*>(obj->getShape(s));
            const DzFacetMesh* m = fs ? fs->getFacetMesh() : nullptr;
            if (!m) continue;
            const DzVec3* v = m->getVerticesPtr();
            for (int k = 0; k < m->getNumVertices(); ++k)
                FUZZ_CHECK(std::isfinite(v[k].x()) && std::isfinite(v[k].y()) && std::isfinite(v[k].z()),
                           "a vertex that is not finite");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    static DzHostSession session;
    QString error;
    FUZZ_CHECK(dzApp->getPluginMgr()->addPlugin(getPluginDefinition(), &error), "the plug-in does not register");
    auto* pane = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    FUZZ_CHECK(pane, "no pane");
    paneAccess = new VerdixPaneTestAccess(pane);
    paneAccess->setFreeMemory([] { return kFreeMemory; });
    // A cap whose slider was renamed would let that slider build at full size again.
    for (const SizeCap& c : kSizeCaps) {
        FUZZ_CHECK(pane->createBoxOfType(c.type), "a box of a shown type is not created");
        bool found = false;
        for (DzIntSlider* s : paneAccess->boxes()[0].sliders)
            found = found || (s && s->getLabel() == QLatin1String(c.slider));
        FUZZ_CHECK(found, c.slider);
        paneAccess->deleteControl(true, false);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dzScene->clear();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    static const int kTypes[] = {TypeLandscape, TypeGrass, TypeTree, TypeFlower, TypeStones, TypeBillboard};
    const int type = kTypes[data[0] % 6];
    ZPK_VerdixPane* pane = paneAccess->pane;
    const int i = paneAccess->boxes().count();
    FUZZ_CHECK(pane->createBoxOfType(type), "a box of a shown type is not created");
    ControlBox& box = paneAccess->boxes()[i];
    paneAccess->setLoading(true);
    size_t at = 1;
    for (DzIntSlider* s : box.sliders) {
        const uint8_t* raw = at + 4 <= size ? data + at : nullptr;
        if (s) s->setValue(sliderValue(type, s, raw));
        at += 4;
    }
    paneAccess->setLoading(false);
    pane->updateBox(i);
    paneAccess->draw();
    paneAccess->draw();
    checkFinite();

    while (paneAccess->boxes().count() > 0) paneAccess->deleteControl(true, false);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dzScene->clear();
    dzApp->dialogs()->clearLog();
    return 0;
}
