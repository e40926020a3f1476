// Erosion of terrain heights: what water and sliding ground do to known shapes.
#include <gtest/gtest.h>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <vector>

#include "terrain/erosioncore.h"

namespace {

double total(const std::vector<float>& y)
{
    double s = 0;
    for (float v : y) s += v;
    return s;
}

// A cone of the given slope (rise over run) on a flat ground at 0, centred in the grid.
std::vector<float> cone(int side, float cell, float slope, float height)
{
    std::vector<float> y(size_t(side) * side);
    const float c = float(side - 1) * 0.5f;
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const float r = std::hypot(float(x) - c, float(z) - c) * cell;
            y[size_t(z) * side + x] = std::max(0.f, height - r * slope);
        }
    return y;
}

// A V-shaped valley running down from row 0 into a flat plain that fills the last third;
// hills of random bumps keep the droplets from running in lock-step.
struct Valley
{
    int side = 97;
    float cell = 1.f;
    std::vector<float> y;
    int mouth() const { return side * 2 / 3; }
    Valley()
    {
        y.resize(size_t(side) * side);
        const float mid = float(side - 1) * 0.5f;
        for (int z = 0; z < side; ++z)
            for (int x = 0; x < side; ++x) {
                const float fall = z < mouth() ? float(mouth() - z) * 0.5f : 0.f;
                const float walls = z < mouth() ? std::fabs(float(x) - mid) * 0.1f : 0.f;
                const float bumps = 0.2f * std::sin(float(x) * 0.7f) * std::cos(float(z) * 0.9f);
                y[size_t(z) * side + x] = 20.f + fall + walls + bumps;
            }
    }
    // Mean over rows z0..z1 of each row's lowest vertex: the channel, wherever it runs.
    double channel(int z0, int z1) const
    {
        double s = 0;
        for (int z = z0; z < z1; ++z)
            s += *std::min_element(y.begin() + long(z) * side, y.begin() + long(z + 1) * side);
        return s / (z1 - z0);
    }
    // Mean height of a box of vertices.
    double mean(int x0, int x1, int z0, int z1) const
    {
        double s = 0;
        int n = 0;
        for (int z = z0; z < z1; ++z)
            for (int x = x0; x < x1; ++x, ++n) s += y[size_t(z) * side + x];
        return s / n;
    }
};

ErosionParams rain(int droplets)
{
    ErosionParams p;
    p.droplets = droplets;
    p.seed = 7;
    return p;
}

}  // namespace

TEST(Erosion, MaterialIsConservedUpToWhatLeavesTheEdge)
{
    // Ground taken up is dropped again or carried past the edge; with float heights the
    // books balance to a few millionths of what moved (stated tolerance: 1e-4 relative).
    Valley v;
    const double before = total(v.y);
    ErosionParams p = rain(30000);
    p.talusDegrees = 35.f;
    const ErosionResult r = erodeTerrain(v.y.data(), v.side, v.cell, p);
    ASSERT_TRUE(r.complete);
    EXPECT_GT(r.eroded, 100.0);
    EXPECT_GT(r.carriedOff, 0.0);
    const double change = total(v.y) - before;
    const double difference = change + r.carriedOff;
    EXPECT_NEAR(r.eroded - r.deposited, r.carriedOff, 1e-4 * r.eroded);
    EXPECT_LT(std::fabs(difference), 1e-4 * r.eroded)
        << "height change " << change << ", carried off " << r.carriedOff << ", difference " << difference;
}

TEST(Erosion, ThermalSettlesAConeToTheTalusAngle)
{
    // A 45-degree cone under a 30-degree talus: afterwards no slope between neighbours is
    // steeper than tan(30) by more than 0.2 %, and the ground it lost lies at its foot.
    const int side = 61;
    const float cell = 2.f;
    std::vector<float> y = cone(side, cell, 1.f, 50.f);
    const double before = total(y);
    ASSERT_GT(steepestSlope(y.data(), side, cell), 0.99f);
    ErosionParams p;
    p.talusDegrees = 30.f;
    p.thermalPasses = 4000;
    ASSERT_TRUE(erodeTerrain(y.data(), side, cell, p).complete);
    const float talus = std::tan(30.f * 3.14159265f / 180.f);
    EXPECT_LE(steepestSlope(y.data(), side, cell), talus * 1.002f);
    EXPECT_LT(y[size_t(side / 2) * side + side / 2], 49.f);
    EXPECT_NEAR(total(y), before, 1e-5 * before);
}

TEST(Erosion, RainDeepensTheChannelAndFillsTheMouth)
{
    // The valley falls 0.5 per cell along and 0.1 across; measured over its lower two
    // thirds, the channel ends some 6 units deeper and the plain before the mouth some 4
    // higher; the bounds leave room for any sound variant of the droplets.
    Valley v;
    const int mid = v.side / 2, m = v.mouth();
    const double channel = v.channel(m / 3, m - 4);
    const double mouth = v.mean(mid - 12, mid + 13, m, m + 12);
    ASSERT_TRUE(erodeTerrain(v.y.data(), v.side, v.cell, rain(10000)).complete);
    const double channelAfter = v.channel(m / 3, m - 4);
    const double mouthAfter = v.mean(mid - 12, mid + 13, m, m + 12);
    EXPECT_LT(channelAfter, channel - 2.0) << "channel " << channel << " -> " << channelAfter;
    EXPECT_GT(mouthAfter, mouth + 2.0) << "mouth " << mouth << " -> " << mouthAfter;
}

TEST(Erosion, SameSeedSameHeightsOnOneAndTwoThreads)
{
    // Large enough for blocks of droplets to run side by side (blocks are 266 cells wide).
    const int side = 801;
    std::vector<float> base(size_t(side) * side);
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x)
            base[size_t(z) * side + x] =
                30.f * std::sin(float(x) * 0.03f) * std::cos(float(z) * 0.025f) + 0.01f * float(x);
    ErosionParams p = rain(20000);
    p.talusDegrees = 40.f;
    p.thermalPasses = 5;
    std::vector<float> one = base, two = base, other = base;
    p.threads = 1;
    erodeTerrain(one.data(), side, 2.f, p);
    p.threads = 2;
    erodeTerrain(two.data(), side, 2.f, p);
    EXPECT_EQ(std::memcmp(one.data(), two.data(), one.size() * sizeof(float)), 0);
    EXPECT_NE(std::memcmp(one.data(), base.data(), one.size() * sizeof(float)), 0);
    // Another seed is another terrain.
    p.seed = 8;
    erodeTerrain(other.data(), side, 2.f, p);
    EXPECT_NE(std::memcmp(one.data(), other.data(), one.size() * sizeof(float)), 0);
}

TEST(Erosion, BadParametersAreRefusedNamingTheOptionAndRange)
{
    ErosionParams p;
    EXPECT_EQ(checkErosionParams(p), "");
    p.rain = 0.f;
    EXPECT_EQ(checkErosionParams(p), "--erode-rain: 0 is out of range (0.1 to 10)");
    p = ErosionParams();
    p.talusDegrees = 90.f;
    EXPECT_EQ(checkErosionParams(p), "--erode-thermal: 90 is out of range (0 to 89)");
    p = ErosionParams();
    p.droplets = -1;
    EXPECT_EQ(checkErosionParams(p), "--erode-iterations: -1 is out of range (0 to 10000000)");
    p = ErosionParams();
    p.evaporation = std::nanf("");
    EXPECT_TRUE(checkErosionParams(p).startsWith("--erode-evaporation:"));
    // Refused parameters leave the heights alone.
    std::vector<float> y = cone(9, 1.f, 2.f, 8.f), before = y;
    p.talusDegrees = 20.f;
    erodeTerrain(y.data(), 9, 1.f, p);
    EXPECT_EQ(y, before);
}

// ---- In the pane ------------------------------------------------------------------------

#include <QFile>
#include <dzintslider.h>
#include "landscapefixture.h"

namespace {
class ErodeBox : public LandscapeTest
{
};
}  // namespace

TEST_F(ErodeBox, ErodedHeightsGoToAUserFileTheBoxShowsAndItsObjectsFollow)
{
    defaultMaps(0);
    greyMap(kHill, 64, 64, [](int x, int y) { return std::min(255, std::abs(x - 32) * 6 + y * 2); });
    const int i = createLandscape();
    set(i, {{"Hill", 40}, {"River", 0}, {"Land", 0}, {"TILES", 2}, {"DIVISIONS", 32}});
    const std::vector<float> before = heights(i);
    ASSERT_EQ(before.size(), size_t(65 * 65));
    UpdateLog log;
    a->setUpdateOverride(TypeGrass, log.hook());
    const int g = addBox(TypeGrass);
    ASSERT_EQ(box(g).landscapeIndex, i);

    // Refused parameters change nothing and say which option is wrong.
    EXPECT_FALSE(pane->erodeLandscape(i, {{"iterations", 100}, {"thermal", 95}}));
    EXPECT_EQ(status(), "--erode-thermal: 95 is out of range (0 to 89)");
    EXPECT_EQ(heights(i), before);

    log.clear();
    ASSERT_TRUE(pane->erodeLandscape(i, {{"iterations", 4000}, {"thermal", 30}, {"seed", 3}})) << qPrintable(status());
    const std::vector<float> after = heights(i);
    EXPECT_NE(after, before);
    // The box now shows its User file alone, and the file holds what the mesh shows.
    EXPECT_EQ(box(i).combo('F')->currentText(), "Eroded 0.dat");
    EXPECT_EQ(slider(i, "User")->value(), 100);
    EXPECT_EQ(slider(i, "Hill")->value(), 0);
    EXPECT_EQ(slider(i, "Size Y")->value(), 100);
    QFile f(at("Verdix_Landscape_User/Eroded 0.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), int(after.size() * sizeof(float)));
    EXPECT_EQ(std::memcmp(bytes.constData(), after.data(), size_t(bytes.size())), 0);
    // The grass on it was placed again.
    EXPECT_EQ(log.sorted(), std::vector<int>({g}));
}

#include "plugin/assetfolders.h"

// The library's sample names its eroded heights as a User file: opened from the library, the
// terrain is those heights exactly and what stands on it stands on them.
TEST_F(ErodeBox, TheErodedValleySampleOpensOnItsStoredHeights)
{
    VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    ASSERT_TRUE(pane->openSetDocument(QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Eroded Valley.txt")))
        << qPrintable(status());
    ASSERT_GE(a->boxes().count(), 2);
    QFile f(QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Landscape_User/Eroded Valley.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const std::vector<float> h = heights(0);
    ASSERT_EQ(size_t(bytes.size()), h.size() * sizeof(float));
    EXPECT_EQ(std::memcmp(bytes.constData(), h.data(), size_t(bytes.size())), 0);
    for (int i = 1; i < a->boxes().count(); ++i) EXPECT_EQ(box(i).landscapeIndex, 0) << i;
}
