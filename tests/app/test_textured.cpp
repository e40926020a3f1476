// A textured sample exported as a user would: the cut-out grass keeps its opacity as the base
// colour's alpha, the terrain its normal map, and the files pass the Khronos validator.
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <dzapp.h>
#include <dzmaterial.h>
#include "hostrun.h"
#include "animexport.h"
#include "glb.h"
#include "sceneexport.h"
#include "surfacemaps.h"
#include "testscene.h"

namespace {

QString library(const QString& rel) { return QString(VERDIX_LIBRARY_DIR) + "/" + rel; }

QImage embeddedImage(const Glb& glb, int textureIndex)
{
    const int source = glb.json["textures"].toArray()[textureIndex].toObject()["source"].toInt(-1);
    const QJsonObject img = glb.json["images"].toArray()[source].toObject();
    return img.contains("bufferView") ? QImage::fromData(glb.views[size_t(img["bufferView"].toInt())]) : QImage();
}

}  // namespace

TEST(TexturedExport, GrassAlphaComesFromItsOpacityCompanionAndTheFilePassesTheValidator)
{
    QTemporaryDir dir;
    const QString glb = dir.filePath("meadow.glb");
    const HostRun r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set",
                               library("Verdix_Scene/Meadow.txt"), "--export", glb});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);

    Glb file;
    ASSERT_TRUE(file.read(glb));
    const QJsonObject& doc = file.json;
    EXPECT_FALSE(doc.contains("extensionsUsed")) << "no extension is used";

    const QImage colour(library("Verdix_Texture_Grass/Grass_Green.png"));
    ASSERT_FALSE(colour.isNull());
    int grass = 0, terrain = 0;
    for (const QJsonValue& v : doc["materials"].toArray()) {
        const QJsonObject m = v.toObject();
        EXPECT_FALSE(m.contains("extensions")) << qPrintable(m["name"].toString());
        const int tex = m["pbrMetallicRoughness"].toObject()["baseColorTexture"].toObject()["index"].toInt(-1);
        if (m["name"].toString().endsWith("_Landscape")) {
            ++terrain;
            EXPECT_GE(m["normalTexture"].toObject()["index"].toInt(-1), 0) << "the terrain's normal companion";
            EXPECT_FALSE(m.contains("alphaMode"));
            continue;
        }
        if (!m["name"].toString().endsWith("_Grass")) continue;
        ++grass;
        EXPECT_EQ(m["alphaMode"].toString(), "MASK");
        ASSERT_GE(tex, 0);
        const QImage embedded = embeddedImage(file, tex);
        ASSERT_FALSE(embedded.isNull()) << "the image is in the file";
        ASSERT_TRUE(embedded.hasAlphaChannel());
        if (embedded.size() != colour.size()) continue;
        // Green or lush: compare with the texture the box chose.
        const QString file = doc["images"]
                                 .toArray()[doc["textures"].toArray()[tex].toObject()["source"].toInt()]
                                 .toObject()["name"]
                                 .toString();
        const QString base = file.startsWith("Grass_Lush") ? "Grass_Lush" : "Grass_Green";
        const QImage c(library("Verdix_Texture_Grass/" + base + ".png"));
        const QImage o(library("Verdix_Texture_Grass/" + base + "_O.png"));
        for (int y = 3; y < c.height(); y += 97)
            for (int x = 5; x < c.width(); x += 89) {
                const QRgb e = embedded.pixel(x, y);
                EXPECT_EQ(qAlpha(e), qGray(o.pixel(x, y))) << x << "," << y;
                if (qAlpha(e) > 0) {
                    EXPECT_EQ(qRgb(qRed(e), qGreen(e), qBlue(e)), c.pixel(x, y) | 0xFF000000u);
                }
            }
    }
    EXPECT_EQ(terrain, 1);
    EXPECT_GE(grass, 2);

    if (!expectValidGltf(glb)) GTEST_SKIP() << "gltf-validator not installed (npm missing): validation skipped";
}

// A texture file may carry more than its pixels (bytes after the image's end, text chunks):
// none of it travels into an export that is handed on, still or animated, binary or text.
TEST(TexturedExport, ImagesAreEncodedFromTheirPixelsNeverCopiedFromTheirFiles)
{
    QTemporaryDir dir;
    const TestScene scene = buildTestScene(dir.path());
    const QByteArray secret = "VERDIX-PRIVATE-TRAILER-0123456789";
    {
        QFile f(scene.texture);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(secret);
    }
    const QImage pixels(scene.texture);
    ASSERT_FALSE(pixels.isNull()) << "the texture still decodes";
    QString error;
    const QString glb = dir.filePath("still.glb"), gltf = dir.filePath("still.gltf"), anim = dir.filePath("anim.glb");
    ASSERT_TRUE(exportScene(glb, &error)) << qPrintable(error);
    ASSERT_TRUE(exportScene(gltf, &error)) << qPrintable(error);
    AnimationExportOptions opt;
    opt.frames = 1;
    ASSERT_TRUE(exportAnimationGlb(
        anim, opt, [](QString*) { return true; }, &error))
        << qPrintable(error);
    for (const QString& f : {glb, gltf, dir.filePath("still.bin"), anim}) {
        QFile in(f);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << qPrintable(f);
        const QByteArray bytes = in.readAll();
        EXPECT_FALSE(bytes.contains(secret) || bytes.contains(secret.toBase64().left(24))) << qPrintable(f);
    }
    // The pixels themselves are there.
    for (const QString& f : {glb, anim}) {
        Glb file;
        ASSERT_TRUE(file.read(f));
        const QJsonObject soil = file.json["materials"].toArray()[0].toObject();
        ASSERT_EQ(soil["name"].toString(), "Ground plane_Soil") << qPrintable(f);
        const int tex = soil["pbrMetallicRoughness"].toObject()["baseColorTexture"].toObject()["index"].toInt(-1);
        ASSERT_GE(tex, 0) << qPrintable(f);
        EXPECT_EQ(embeddedImage(file, tex).convertToFormat(QImage::Format_RGB32),
                  pixels.convertToFormat(QImage::Format_RGB32))
            << qPrintable(f);
    }
    dzScene->clear();
}

// Cut-outs of distant grass keep their share of solid texels down the mip chain; plain
// filtering lets the thin blade tips fall under the threshold and the grass thins out.
TEST(SurfaceMaps, CoverageMipmapsKeepTheCutoutsShare)
{
    const QImage rgba = combineOpacity(QImage(library("Verdix_Texture_Grass/Grass_Green.png")),
                                       QImage(library("Verdix_Texture_Grass/Grass_Green_O.png")));
    ASSERT_EQ(rgba.size(), QSize(1024, 1024));
    const double want = alphaCoverage(rgba);
    const std::vector<QImage> levels = coverageMipmaps(rgba);
    ASSERT_EQ(levels.size(), 11u);
    EXPECT_EQ(levels.back().size(), QSize(1, 1));
    for (size_t l = 1; l < levels.size() && levels[l].width() >= 16; ++l) {
        EXPECT_NEAR(alphaCoverage(levels[l]), want, 0.03) << "level " << l;
        const QColor mid = levels[l].pixelColor(levels[l].width() / 2, levels[l].height() - 1);
        EXPECT_GT(mid.green(), mid.red()) << "colour stays the blade's";
    }
    // A level whose texels all hold the same quarter alpha cannot show a quarter of solid
    // texels; it must not become a solid card either.
    QImage even(8, 8, QImage::Format_RGBA8888);
    even.fill(QColor(40, 160, 40, 0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; x += 2)
            if (y % 2 == 0) even.setPixelColor(x, y, QColor(40, 160, 40, 255));
    const std::vector<QImage> small = coverageMipmaps(even);
    ASSERT_EQ(small.size(), 4u);
    EXPECT_LT(alphaCoverage(small[1]), 0.5);
    EXPECT_EQ(alphaModeOf(QImage()), AlphaMode::Opaque);
    QImage soft(64, 64, QImage::Format_Grayscale8), cut(64, 64, QImage::Format_Grayscale8);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            soft.setPixelColor(x, y, QColor(x * 4, x * 4, x * 4));
            cut.setPixelColor(x, y, x < 20 ? Qt::white : Qt::black);
        }
    EXPECT_EQ(alphaModeOf(soft), AlphaMode::Blend);
    EXPECT_EQ(alphaModeOf(cut), AlphaMode::Mask);
    const QImage combined = combineOpacity(QImage(), cut);
    EXPECT_EQ(combined.pixelColor(0, 0), QColor(255, 255, 255, 255));
    EXPECT_EQ(combined.pixelColor(40, 0).alpha(), 0);
}

// The prepared maps are made once per pair of files, yet a file changed on disk (a texture
// painted over while the scene is open) is read again, by the image manager's texture too.
TEST(SurfaceMaps, PreparedOncePerFilePairAndAgainWhenAFileChanges)
{
    QTemporaryDir dir;
    const QString colourFile = dir.filePath("leaf.png"), maskFile = dir.filePath("leaf_O.png");
    QImage colour(32, 32, QImage::Format_RGB32);
    colour.fill(QColor(40, 150, 40));
    ASSERT_TRUE(colour.save(colourFile));
    QImage cut(32, 32, QImage::Format_Grayscale8);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) cut.setPixelColor(x, y, x < 10 ? Qt::white : Qt::black);
    ASSERT_TRUE(cut.save(maskFile));
    DzTexture* c = dzApp->getImageMgr()->getImage(colourFile);
    DzTexture* m = dzApp->getImageMgr()->getImage(maskFile);
    ASSERT_TRUE(c && m);
    EXPECT_EQ(preparedSurface(nullptr, nullptr), nullptr);
    const auto first = preparedSurface(c, m);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->alpha, AlphaMode::Mask);
    ASSERT_EQ(first->levels.size(), 6u);
    EXPECT_EQ(first->levels[0].pixelColor(31, 0).alpha(), 0);
    EXPECT_EQ(preparedSurface(c, m).get(), first.get()) << "the same files are prepared once";
    const auto colourOnly = preparedSurface(c, nullptr);
    ASSERT_TRUE(colourOnly);
    EXPECT_NE(colourOnly.get(), first.get());
    EXPECT_EQ(colourOnly->alpha, AlphaMode::Opaque);
    EXPECT_EQ(colourOnly->levels.size(), 1u);

    // A soft mask of another size takes the old one's place: the surface blends now.
    QImage soft(64, 64, QImage::Format_Grayscale8);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) soft.setPixelColor(x, y, QColor(x * 4, x * 4, x * 4));
    ASSERT_TRUE(soft.save(maskFile));
    EXPECT_EQ(m->getImage().size(), QSize(64, 64));
    const auto second = preparedSurface(c, m);
    ASSERT_TRUE(second);
    EXPECT_NE(second.get(), first.get());
    EXPECT_EQ(second->alpha, AlphaMode::Blend);
    EXPECT_EQ(second->levels.size(), 1u);
    EXPECT_GT(second->levels[0].pixelColor(31, 0).alpha(), 0);
}
