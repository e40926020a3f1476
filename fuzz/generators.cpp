// The generators themselves, as a box runs them: one box of any type, its sliders set from the
// input (any values, in and out of their ranges, as a damaged record or a script may give
// them), its topology and update run and two animation ticks after. Nothing may crash, no
// vertex of the scene may be NaN or infinite, and memory stays under the bound libFuzzer is
// given (scripts/fuzz.sh: 1 GB per allocation, 2 GB resident); the pane's own estimates are
// told that kFreeMemory is free, so builds past it are refused as they would be on a machine
// with that much.
// Input: one byte choosing the type, then one little-endian 32-bit value per slider in
// creation order (sliders past the input keep their defaults).
#include <QApplication>
#include <QtEndian>
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

} // namespace

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
        if (at + 4 > size) break;
        if (s) s->setValue(qFromLittleEndian<qint32>(data + at));
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
