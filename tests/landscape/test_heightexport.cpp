// A terrain's heights out for other tools and 16-bit maps in: what leaves through the box's
// save button comes back within one 16-bit step, and a 16-bit map's fine steps reach the mesh.
#include <QtEndian>
#include <algorithm>
#include <set>
#include "landscapefixture.h"
#include "landscape/heightmaps.h"

namespace {

class HeightExport : public LandscapeTest
{
protected:
    // A shaped terrain with hills, a river cut and smoothing: heights above and below zero.
    int shaped()
    {
        defaultMaps();
        greyMap(kGround, 64, 64, [](int x, int y) { return (x * 5 + y * 3) % 256; });
        greyMap(kRiver, 64, 64, [](int x, int) { return x > 20 && x < 30 ? 200 : 0; });
        greyMap(kHill, 64, 64,
                [](int x, int y) { return std::max(0, 255 - (x - 32) * (x - 32) - (y - 32) * (y - 32)); });
        const int i = createLandscape();
        set(i, {{"TILES", 2},
                {"DIVISIONS", 20},
                {"Size XZ", 10},
                {"Land", 60},
                {"River", 80},
                {"Hill", 40},
                {"Smooth", 30},
                {"Size Y", 130}});
        return i;
    }
};

TEST_F(HeightExport, PngAndRawFromTheSaveButtonGiveTheMeshHeightsBackWithinOneStep)
{
    const int i = shaped();
    const std::vector<float> y = heights(i);
    ASSERT_EQ(y.size(), size_t(41 * 41));
    const auto range = std::minmax_element(y.begin(), y.end());
    ASSERT_LT(*range.first, 0.f);
    const float step = (*range.second - *range.first) / 65535.f;

    const QString png = at("out/terrain.png");
    QDir().mkpath(at("out"));
    save(i, png);
    EXPECT_EQ(status(), QString("Save landscape data %1").arg(i));
    std::vector<float> back;
    int w = 0, h = 0;
    QString error;
    ASSERT_TRUE(readHeightPng(png, &back, &w, &h, &error)) << qPrintable(error);
    ASSERT_TRUE(w == 41 && h == 41);
    float worst = 0.f;
    for (size_t k = 0; k < y.size(); ++k) worst = std::max(worst, std::fabs(back[k] - y[k]));
    EXPECT_LE(worst, step);
    // Sixteen bits, the full range used: the lowest vertex is 0, the highest 65535.
    const QImage img(png);
    EXPECT_EQ(img.format(), QImage::Format_Grayscale16);
    std::vector<uint16_t> words(41 * 41);
    imageToHeightWords(words.data(), img);
    const auto used = std::minmax_element(words.begin(), words.end());
    EXPECT_TRUE(*used.first == 0 && *used.second == 65535);

    const QString raw = at("out/terrain.r16");
    save(i, raw);
    QFile f(raw), side(raw + ".txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly) && side.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 41 * 41 * 2);
    double offset = 0, scale = 0;
    for (const QString& line : QString::fromUtf8(side.readAll()).split('\n')) {
        if (line.startsWith("offset=")) offset = line.mid(7).toDouble();
        if (line.startsWith("scale=")) scale = line.mid(6).toDouble();
    }
    worst = 0.f;
    for (size_t k = 0; k < y.size(); ++k) {
        const uint16_t v = qFromLittleEndian<uint16_t>(bytes.constData() + 2 * k);
        worst = std::max(worst, std::fabs(float(offset + scale * v / 65535.0) - y[k]));
    }
    EXPECT_LE(worst, step);
}

TEST_F(HeightExport, FlatOrMissingTerrainAndFailedWritesAreReported)
{
    // A flat terrain has no range: every value 0, offset its height, nothing divided by zero.
    defaultMaps();
    const int i = createLandscape();
    set(i, {{"TILES", 1}, {"DIVISIONS", 20}, {"Size XZ", 10}});
    const QString png = at("flat.png");
    ASSERT_TRUE(pane->exportHeightMap(i, png));
    std::vector<float> back;
    int w = 0, h = 0;
    QString error;
    ASSERT_TRUE(readHeightPng(png, &back, &w, &h, &error)) << qPrintable(error);
    EXPECT_EQ(back, heights(i));

    EXPECT_FALSE(pane->exportHeightMap(i, at("no/such/folder/x.png")));
    EXPECT_TRUE(status().contains("no/such/folder/x.png")) << qPrintable(status());
    EXPECT_FALSE(QFileInfo::exists(at("no/such/folder/x.png")));
    EXPECT_FALSE(pane->exportHeightMap(i + 5, at("x.png")));  // no such box
    // A PNG of another tool carries no scale and is refused as a height export.
    QImage plain(4, 4, QImage::Format_Grayscale16);
    plain.fill(0);
    ASSERT_TRUE(plain.save(at("plain.png")));
    EXPECT_FALSE(readHeightPng(at("plain.png"), &back, &w, &h, &error));
}

TEST_F(HeightExport, SixteenBitMapKeepsStepsFinerThanAByte)
{
    // A ramp rising 40 of 65535 per column: an 8-bit cut would give steps of a whole byte
    // every six or seven columns, flat between them.
    defaultMaps();
    QImage ramp(21, 21, QImage::Format_Grayscale16);
    for (int r = 0; r < 21; ++r) {
        auto* line = reinterpret_cast<uint16_t*>(ramp.scanLine(r));
        for (int c = 0; c < 21; ++c) line[c] = uint16_t(20000 + 40 * c);
    }
    ASSERT_TRUE(ramp.save(at(kGround), "PNG"));
    const int i = createLandscape();
    set(i, {{"TILES", 1}, {"DIVISIONS", 20}, {"Size XZ", 10}, {"Land", 100}, {"Size Y", 100}});
    const std::vector<float> y = heights(i);
    ASSERT_EQ(y.size(), size_t(21 * 21));
    std::set<float> row(y.begin(), y.begin() + 21);
    EXPECT_EQ(row.size(), 21u) << "every column its own height";
    for (int c = 1; c < 21; ++c) EXPECT_NEAR(y[size_t(c)] - y[size_t(c - 1)], 40.f / 257.f, 1e-3f);
    EXPECT_NEAR(y[0], 20000.f / 257.f, 1e-3f);
}

}  // namespace
