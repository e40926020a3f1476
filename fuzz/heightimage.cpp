// The image-to-height-map path: an image file decoded as the map slots decode it, turned
// into its byte grid and blended into a small terrain. Input: the image file's bytes (any
// format Qt reads: PNG, JPEG, BMP, TIFF, ...).
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <vector>

#include "fuzzsupport.h"
#include "landscape/heightmaps.h"
#include "terrain/terraincore.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int fakeArgc = 1;
    static char name[] = "fuzz_heightimage";
    static char* fakeArgv[] = {name, nullptr};
    static QGuiApplication app(fakeArgc, fakeArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf);
    // A header may claim any size; only images a terrain can use are decoded (the largest
    // grid is 10001 x 10001, and inputs here are small).
    const QSize claimed = reader.size();
    if (claimed.isValid() && (long long)claimed.width() * claimed.height() > 4096LL * 4096) return 0;
    const QImage img = reader.read();
    if (img.isNull()) return 0;
    if ((long long)img.width() * img.height() > 4096LL * 4096) return 0;

    std::vector<unsigned char> grid(size_t(img.width()) * size_t(img.height()), 0);
    imageToHeightBytes(grid.data(), img);

    TerrainParams p;
    p.layout.tiles = 2;
    p.layout.divisions = 6;
    p.Hill = 50;
    p.Land = 60;
    TerrainSources s;
    s.maps[SlotHill] = {grid.data(), img.width(), img.height()};
    s.maps[SlotLand] = {grid.data(), img.width(), img.height()};
    s.active[SlotHill] = s.active[SlotLand] = true;
    std::vector<float> y(size_t(p.layout.vertexCount()), 0.f);
    computeTerrainHeights(p, s, y.data());
    return 0;
}
