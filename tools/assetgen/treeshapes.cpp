// Trunk-profile images for the tree presets. The tree reads one row per trunk ring from the
// top row (the root) down, one column per point around the trunk; brighter means wider. The
// columns wrap, so each row is a closed cross-section.
#include <QImage>
#include <cmath>
#include <functional>

#include "assetgen.h"
#include "noise.h"
#include "paint.h"

namespace assetgen {

namespace {

constexpr int kSize = 256;
constexpr double kTau = 6.28318530717958647692;

double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// f(angle 0..2pi, height 0..1 from the root) in 0..1.
QImage profile(const std::function<double(double, double)>& f)
{
    QImage img(kSize, kSize, QImage::Format_Grayscale8);
    for (int y = 0; y < kSize; ++y) {
        uchar* row = img.scanLine(y);
        const double h = double(y) / double(kSize - 1);
        for (int x = 0; x < kSize; ++x) row[x] = uchar(std::lround(255.0 * clamp01(f(kTau * x / kSize, h))));
    }
    return img;
}

// Deep, even flutes that fade out above the root flare: an old oak's foot.
QImage fluted()
{
    const Noise n(811);
    return profile([&n](double a, double h) {
        const double flare = std::exp(-h * 5.0);
        const double flute = std::pow(0.5 + 0.5 * std::cos(6.0 * a), 2.0);
        return flare * (0.35 + 0.65 * flute) + 0.05 * n.fbm(std::cos(a) * 3.0, std::sin(a) * 3.0 + h * 8.0, 3);
    });
}

// Knobbly and lopsided, as an old fruit tree's trunk.
QImage gnarled()
{
    const Noise n(812);
    return profile([&n](double a, double h) {
        const double burl = 0.5 + 0.5 * n.fbm(std::cos(a) * 1.6 + h * 3.0, std::sin(a) * 1.6 - h * 2.0, 4);
        const double lean = 0.5 + 0.5 * std::cos(a - 1.0);
        return (0.25 + 0.75 * std::exp(-h * 2.5)) * (0.4 * burl + 0.35 * lean + 0.25);
    });
}

// Round with a soft root flare only: slender trunks.
QImage roundFlare()
{
    return profile([](double, double h) { return std::exp(-h * 9.0); });
}

}  // namespace

bool writeTreeShapeProfiles(const QString& root, QString* error)
{
    const QString folder = root + "/Verdix_Shapes_Tree";
    if (!ensureDir(folder, error)) return false;
    return saveImage(fluted(), folder + "/Fluted.png", "PNG", -1, error) &&
           saveImage(gnarled(), folder + "/Gnarled.png", "PNG", -1, error) &&
           saveImage(roundFlare(), folder + "/Round_Flare.png", "PNG", -1, error);
}

}  // namespace assetgen
