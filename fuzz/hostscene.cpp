// The host scene file: loaded into a live scene with the plug-in's scene data reader
// registered. A file that loads must save and load again to the same nodes and meshes.
// Input: the file's bytes.
#include <QApplication>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dznode.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <dzshape.h>
#include <memory>

#include "fuzzsupport.h"

namespace {

struct Summary
{
    int nodes = 0, vertices = 0, facets = 0, uvs = 0;
    bool operator==(const Summary& o) const
    {
        return nodes == o.nodes && vertices == o.vertices && facets == o.facets && uvs == o.uvs;
    }
};

Summary summarize()
{
    Summary s;
    for (DzNode* n : dzScene->nodeList()) {
        ++s.nodes;
        DzObject* obj = n->getObject();
        for (int i = 0; obj && i < obj->getNumShapes(); ++i) {
            auto* fs = qobject_cast<DzFacetShape*>(obj->getShape(i));
            const DzFacetMesh* m = fs ? fs->getFacetMesh() : nullptr;
            if (!m) continue;
            s.vertices += m->getNumVertices();
            s.facets += m->getNumFacets();
            s.uvs += m->getUVs() ? m->getUVs()->getNumValues() : 0;
        }
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int fakeArgc = 1;
    static char name[] = "fuzz_hostscene";
    static char* fakeArgv[] = {name, nullptr};
    static QApplication app(fakeArgc, fakeArgv);
    static DzHostSession session;
    // The plug-in beside the host, as the application loads it; its scene data reader then
    // takes part in every load.
    QString error;
    const QString lib = dzApp->getApplicationDir() + "/plugins/libverdix.so";
    FUZZ_CHECK(dzApp->getPluginMgr()->loadPlugin(lib, &error), qPrintable(error));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = fuzzInputFile(".duf", data, size);
    dzScene->clear();
    QString error;
    if (!dzScene->loadScene(file, &error)) {
        FUZZ_CHECK(!error.isEmpty(), "a refused scene gives no reason");
        FUZZ_CHECK(dzScene->nodeList().isEmpty(), "a refused scene changed the scene");
        return 0;
    }
    const Summary first = summarize();
    const QString copy = fuzzTempFile("-copy.duf");
    FUZZ_CHECK(dzScene->saveScene(copy, &error), qPrintable("a loaded scene does not save: " + error));
    dzScene->clear();
    FUZZ_CHECK(dzScene->loadScene(copy, &error), qPrintable("a saved scene does not load: " + error));
    FUZZ_CHECK(summarize() == first, "a saved scene loads with other nodes or meshes");
    dzScene->clear();
    return 0;
}
