// A texture image through the material path: the file gate (type, size, header dimensions),
// the whole decode, and the image put on a material property as a texture combo or a record
// puts it. Input: the image file's bytes (any format Qt reads).
#include <QGuiApplication>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzshape.h>

#include "fuzzsupport.h"
#include "materials/materialcore.h"
#include "plugin/readcheck.h"

namespace {
// Inputs are small; a larger side only costs time here (the gate itself is the same).
constexpr int kSide = 1024;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int fakeArgc = 1;
    static char name[] = "fuzz_texture";
    static char* fakeArgv[] = {name, nullptr};
    static QGuiApplication app(fakeArgc, fakeArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // No suffix: the reader tells the format from the bytes, as for a file misnamed.
    const QString path = fuzzInputFile(".texture", data, size);
    QString why;
    QSize stated;
    const bool passes = verdix::checkImageToRead(path, "the texture", &why, kSide, &stated);
    if (!passes) FUZZ_CHECK(why.contains(path), "a refusal that does not name the file");
    if (stated.isValid() && (stated.width() > kSide || stated.height() > kSide))
        FUZZ_CHECK(!passes, "an image past the limit passed the gate");
    why.clear();
    const QImage image = verdix::readCheckedImage(path, "the texture", &why, kSide);
    if (image.isNull()) {
        FUZZ_CHECK(why.startsWith("Cannot read the texture " + path), "a refused image without its reason");
        return 0;
    }
    FUZZ_CHECK(image.width() <= kSide && image.height() <= kSide, "a decoded image past the limit");

    // The property side: a map on a numeric property and an image property, then taken off.
    static DzNode* node = [] {
        auto* n = new DzNode;
        auto* mat = new DzDefaultMaterial;
        mat->setName("Grass");
        auto* shape = new DzFacetShape;
        shape->setFacetMesh(new DzFacetMesh);
        shape->addMaterial(mat);
        auto* object = new DzObject;
        object->addShape(shape);
        n->setObject(object);
        return n;
    }();
    for (const char* prop : {"Diffuse Color", "Normal Map"})
        FUZZ_CHECK(verdix::setMaterialTexture(node, "Grass", prop, path).isEmpty(), "a decoded image refused");
    verdix::setMaterialTexture(node, "Grass", "Diffuse Color", QStringLiteral("None"));

    // The file name a sheet would carry, from the first bytes.
    const QString name = QString::fromLatin1(reinterpret_cast<const char*>(data), int(std::min<size_t>(size, 48)));
    const verdix::GridTags tags = verdix::readGridTags(name);
    if (tags.fault.isEmpty())
        FUZZ_CHECK(tags.columns >= 1 && tags.columns <= 40 && tags.rows >= 1 && tags.rows <= 40,
                   "grid tag out of range");
    return 0;
}
