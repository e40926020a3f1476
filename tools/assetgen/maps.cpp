// Height maps and trunk profiles.
//
// The terrain blends its maps additively: Land and Hill raise where bright, River lowers where
// bright (so the channel is the bright part of a river map), Flat pulls heights towards zero
// where bright (a plateau core must be exactly white to come out flat), and Path relaxes the
// heights along bright pixels. Every map except Land therefore keeps a pure black background,
// so that a map only changes the terrain where it means to.

#include "assetgen.h"
#include "noise.h"
#include "paint.h"

#include <QDir>
#include <QPointF>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <functional>

namespace assetgen {

namespace {

constexpr int kMapSize = 512;
constexpr double kPi = 3.14159265358979323846;

struct Field
{
    int w = 0, h = 0;
    QVector<double> v;
    Field(int width, int height) : w(width), h(height), v(width * height, 0.0) {}
    double& at(int x, int y) { return v[y * w + x]; }
};

double clamp01(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }
double smoothstep(double e0, double e1, double x)
{
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

// Fills a field from a function of normalised coordinates (0..1, pixel centres).
Field sample(int w, int h, const std::function<double(double, double)>& f)
{
    Field out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.at(x, y) = f((x + 0.5) / w, (y + 0.5) / h);
    return out;
}

// Stretches the field so its extremes land on lo..hi (0..255 scale).
void normalise(Field& f, double lo, double hi)
{
    const auto [mn, mx] = std::minmax_element(f.v.begin(), f.v.end());
    const double a = *mn, b = *mx;
    const double span = b - a > 1e-12 ? b - a : 1.0;
    for (double& x : f.v) x = lo + (x - a) / span * (hi - lo);
}

QImage toGrey(const Field& f)
{
    QImage img(f.w, f.h, QImage::Format_Grayscale8);
    for (int y = 0; y < f.h; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < f.w; ++x) {
            const double v = f.v[y * f.w + x];
            line[x] = static_cast<uchar>(std::lround(std::clamp(v, 0.0, 255.0)));
        }
    }
    return img;
}

// ---- ground ----------------------------------------------------------------------------

Field groundClassic()
{
    const Noise n(101);
    Field f = sample(kMapSize, kMapSize, [&](double x, double y) {
        // A light domain warp keeps the fractal from looking like stretched cloud texture.
        const double wx = x + 0.08 * n.fbm(x * 2.0 + 5.2, y * 2.0 + 1.3, 3);
        const double wy = y + 0.08 * n.fbm(x * 2.0 - 3.7, y * 2.0 + 8.1, 3);
        return n.fbm(wx * 3.0, wy * 3.0, 7, 2.0, 0.5);
    });
    normalise(f, 12.0, 243.0);
    return f;
}

Field groundRolling()
{
    const Noise n(202);
    Field f = sample(kMapSize, kMapSize, [&](double x, double y) {
        const double base = n.fbm(x * 1.8, y * 1.8, 4, 2.0, 0.42);
        // Soft S-curve: wide gentle slopes, rounded tops and hollows.
        return std::tanh(base * 2.2) + 0.04 * n.fbm(x * 12.0, y * 12.0, 2);
    });
    normalise(f, 30.0, 225.0);
    return f;
}

Field groundRugged()
{
    const Noise n(303);
    Field f = sample(kMapSize, kMapSize, [&](double x, double y) {
        const double ridges = n.ridged(x * 3.2, y * 3.2, 8, 2.05, 0.55);
        const double mass = 0.5 + 0.5 * n.fbm(x * 1.5 + 9.0, y * 1.5 - 4.0, 3);
        return ridges * (0.45 + 0.75 * mass) + 0.15 * n.fbm(x * 6.0, y * 6.0, 4);
    });
    normalise(f, 5.0, 250.0);
    return f;
}

// ---- hills -----------------------------------------------------------------------------

struct Bump
{
    double cx, cy, r, a;
};

// Cosine bell: flat-topped enough to read as a rounded hill, and exactly zero at its rim.
double bell(double d, double r)
{
    if (d >= r) return 0.0;
    return 0.5 + 0.5 * std::cos(kPi * d / r);
}

Field hillsFrom(const QVector<Bump>& bumps, std::uint32_t seed, double roughness)
{
    const Noise n(seed);
    Field f = sample(kMapSize, kMapSize, [&](double x, double y) {
        // A cubic norm joins overlapping hills into one mass but keeps a summit for each,
        // where a plain sum would stack them into spikes or clip them into a plateau.
        double sum = 0.0;
        for (const Bump& b : bumps) sum += std::pow(b.a * bell(std::hypot(x - b.cx, y - b.cy), b.r), 3.0);
        const double body = std::cbrt(sum);
        const double detail = 1.0 + roughness * n.fbm(x * 9.0, y * 9.0, 4);
        return body * detail;
    });
    for (double& v : f.v) v = std::max(0.0, v);
    normalise(f, 0.0, 255.0);
    return f;
}

Field hillsScattered()
{
    Sequence s(17);
    QVector<Bump> bumps;
    for (int i = 0; i < 9; ++i)
        bumps.push_back({s.range(0.2, 0.8), s.range(0.2, 0.8), s.range(0.12, 0.24), s.range(0.4, 1.0)});
    return hillsFrom(bumps, 401, 0.12);
}

Field hillSingle() { return hillsFrom({{0.5, 0.5, 0.42, 1.0}, {0.6, 0.42, 0.2, 0.45}}, 402, 0.08); }

Field hillChain()
{
    QVector<Bump> bumps;
    Sequence s(29);
    for (int i = 0; i < 8; ++i) {
        const double t = 0.12 + i * 0.76 / 7.0;
        const double cx = t;
        const double cy = 0.5 + 0.22 * std::sin(t * 2.0 * kPi * 0.9 + 0.6);
        bumps.push_back({cx + s.range(-0.03, 0.03), cy, s.range(0.14, 0.2), s.range(0.6, 1.0)});
    }
    return hillsFrom(bumps, 403, 0.15);
}

// ---- rivers and paths: soft bands around winding centre lines --------------------------

struct Curve
{
    QVector<QPointF> pts;
    QVector<double> width;  // half width at each point, normalised units
};

// Strongest band value at every pixel over all curve segments. Each segment only visits the
// pixels within its reach, which keeps this fast enough to run on every build.
void bandField(const QVector<Curve>& curves, const std::function<double(double, double)>& profile, Field& out)
{
    for (const Curve& c : curves) {
        for (int i = 0; i + 1 < c.pts.size(); ++i) {
            const QPointF a = c.pts[i], b = c.pts[i + 1];
            const double reach = std::max(c.width[i], c.width[i + 1]);
            const int x0 = std::max(0, int(std::floor((std::min(a.x(), b.x()) - reach) * out.w)));
            const int x1 = std::min(out.w - 1, int(std::ceil((std::max(a.x(), b.x()) + reach) * out.w)));
            const int y0 = std::max(0, int(std::floor((std::min(a.y(), b.y()) - reach) * out.h)));
            const int y1 = std::min(out.h - 1, int(std::ceil((std::max(a.y(), b.y()) + reach) * out.h)));
            const double dx = b.x() - a.x(), dy = b.y() - a.y();
            const double len2 = dx * dx + dy * dy;
            for (int py = y0; py <= y1; ++py) {
                const double y = (py + 0.5) / out.h;
                for (int px = x0; px <= x1; ++px) {
                    const double x = (px + 0.5) / out.w;
                    const double t = len2 > 0.0 ? clamp01(((x - a.x()) * dx + (y - a.y()) * dy) / len2) : 0.0;
                    const double d = std::hypot(x - (a.x() + t * dx), y - (a.y() + t * dy));
                    const double w = c.width[i] + (c.width[i + 1] - c.width[i]) * t;
                    double& v = out.at(px, py);
                    v = std::max(v, profile(d, w) * 255.0);
                }
            }
        }
    }
}

// Meandering line from one map edge to another; coordinates run past the edges so the band
// leaves the map cleanly instead of ending in a rounded cap.
Curve meander(QPointF from, QPointF to, double amplitude, double waves, double phase, double w0, double w1,
              std::uint32_t seed, int steps = 480)
{
    const Noise n(seed);
    Curve c;
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    const double len = std::hypot(dx, dy);
    const double nx = -dy / len, ny = dx / len;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double off =
            amplitude * std::sin(t * waves * 2.0 * kPi + phase) + amplitude * 0.45 * n.fbm(t * 3.0, 0.5, 3);
        c.pts.push_back(QPointF(from.x() + dx * t + nx * off, from.y() + dy * t + ny * off));
        c.width.push_back(w0 + (w1 - w0) * t + 0.15 * w0 * n.perlin(t * 5.0, 2.5));
    }
    return c;
}

// River bed: deepest at the centre line, easing smoothly up to the banks.
double riverProfile(double d, double w)
{
    if (d >= w) return 0.0;
    const double c = std::cos(0.5 * kPi * d / w);
    return c * c;
}

// Path: a fully relaxed core with a short soft shoulder.
double pathProfile(double d, double w) { return 1.0 - smoothstep(w * 0.6, w, d); }

Field riverMeander()
{
    Field f(kMapSize, kMapSize);
    bandField({meander({0.45, -0.06}, {0.55, 1.06}, 0.17, 1.6, 0.4, 0.055, 0.075, 501)}, riverProfile, f);
    return f;
}

Field riverFork()
{
    Field f(kMapSize, kMapSize);
    Curve main = meander({-0.06, 0.2}, {1.06, 0.78}, 0.08, 2.2, 1.0, 0.05, 0.07, 502);
    Curve trib = meander({0.3, 1.06}, {0.52, 0.52}, 0.05, 1.3, 0.2, 0.025, 0.04, 503, 200);
    // End the tributary where it first reaches the main channel and run it into the main
    // centre line there, so it cannot cut on through the far bank.
    auto nearestOnMain = [&](QPointF q) {
        int best = 0;
        for (int i = 1; i < main.pts.size(); ++i)
            if (std::hypot(main.pts[i].x() - q.x(), main.pts[i].y() - q.y()) <
                std::hypot(main.pts[best].x() - q.x(), main.pts[best].y() - q.y()))
                best = i;
        return best;
    };
    for (int i = 0; i < trib.pts.size(); ++i) {
        const int j = nearestOnMain(trib.pts[i]);
        const QPointF m = main.pts[j];
        if (i >= 2 && std::hypot(m.x() - trib.pts[i].x(), m.y() - trib.pts[i].y()) < main.width[j] * 0.6) {
            trib.pts.resize(i);
            trib.width.resize(i);
            trib.pts.push_back(m);
            trib.width.push_back(trib.width.last());
            break;
        }
    }
    bandField({main, trib}, riverProfile, f);
    return f;
}

Field riverWide()
{
    Field f(kMapSize, kMapSize);
    bandField({meander({-0.06, 0.55}, {1.06, 0.45}, 0.2, 1.0, 0.0, 0.1, 0.12, 504)}, riverProfile, f);
    return f;
}

Field pathWinding()
{
    Field f(kMapSize, kMapSize);
    bandField({meander({-0.06, 0.4}, {1.06, 0.62}, 0.14, 1.4, 0.9, 0.028, 0.028, 601)}, pathProfile, f);
    return f;
}

Field pathDiagonal()
{
    Field f(kMapSize, kMapSize);
    bandField({meander({-0.06, 0.85}, {1.06, 0.15}, 0.09, 1.7, 0.0, 0.024, 0.03, 602)}, pathProfile, f);
    return f;
}

Field pathCrossing()
{
    Field f(kMapSize, kMapSize);
    bandField({meander({-0.06, 0.5}, {1.06, 0.45}, 0.07, 1.2, 0.3, 0.025, 0.025, 603),
               meander({0.55, -0.06}, {0.45, 1.06}, 0.08, 1.5, 1.7, 0.022, 0.022, 604)},
              pathProfile, f);
    return f;
}

// ---- flats -----------------------------------------------------------------------------

// White core (exactly 255, so the terrain there is pulled almost to zero) with a smooth
// shoulder out to black.
double plateau(double d, double core, double edge) { return 1.0 - smoothstep(core, edge, d); }

Field flatRound()
{
    return sample(kMapSize, kMapSize,
                  [](double x, double y) { return 255.0 * plateau(std::hypot(x - 0.5, y - 0.5), 0.2, 0.36); });
}

Field flatTwoRounds()
{
    return sample(kMapSize, kMapSize, [](double x, double y) {
        const double a = plateau(std::hypot(x - 0.32, y - 0.36), 0.12, 0.22);
        const double b = plateau(std::hypot(x - 0.7, y - 0.66), 0.09, 0.18);
        return 255.0 * std::max(a, b);
    });
}

Field flatSquare()
{
    return sample(kMapSize, kMapSize, [](double x, double y) {
        // Superellipse distance: a square with generously rounded corners.
        const double ax = std::fabs(x - 0.5), ay = std::fabs(y - 0.5);
        const double d = std::pow(std::pow(ax, 4.0) + std::pow(ay, 4.0), 0.25);
        return 255.0 * plateau(d, 0.22, 0.36);
    });
}

// ---- trunk profiles --------------------------------------------------------------------
//
// The tree reads a trunk profile image row by row from the root upward (row 0 is the base)
// and across each row around the trunk (column = angle), adding brightness to the radius.
// Columns therefore wrap seamlessly, and the brightness fades with height so the trunk
// rounds out towards the crown.

constexpr int kShapeSize = 256;

Field trunkProfile(int lobes, double twist, std::uint32_t seed, const std::function<double(double)>& heightProfile,
                   double lobeDepth)
{
    const Noise n(seed);
    return sample(kShapeSize, kShapeSize, [&](double u, double h) {
        const double a = u * 2.0 * kPi;
        const double lobe = 0.5 + 0.5 * std::cos(lobes * (a + twist * h));
        const double bark = n.fbm(std::cos(a) * 2.5 + h * 6.0, std::sin(a) * 2.5 - h * 4.0, 4);
        const double body = heightProfile(h);
        const double v = body * ((1.0 - lobeDepth) + lobeDepth * lobe * lobe) + 0.06 * bark;
        return 255.0 * clamp01(v);
    });
}

Field trunkButtress()
{
    return trunkProfile(
        5, 0.4, 701, [](double h) { return 0.12 + 0.88 * std::exp(-h * 7.0); }, 0.7);
}

Field trunkTwisted()
{
    return trunkProfile(
        4, 2.5, 702, [](double h) { return 0.55 - 0.35 * h; }, 0.8);
}

Field trunkBaobab()
{
    return trunkProfile(
        7, 0.0, 703, [](double h) { return 0.2 + 0.8 * std::exp(-std::pow((h - 0.3) / 0.22, 2)); }, 0.2);
}

struct MapJob
{
    const char* folder;
    const char* file;
    const char* format;
    std::function<Field()> make;
};

bool writeJobs(const QString& root, const QVector<MapJob>& jobs, QString* error)
{
    for (const MapJob& job : jobs) {
        const QString path = QDir(root).filePath(QString("%1/%2").arg(job.folder, job.file));
        const bool jpeg = QByteArray(job.format) == "JPEG";
        if (!saveImage(toGrey(job.make()), path, job.format, jpeg ? 95 : -1, error)) return false;
    }
    return true;
}

}  // namespace

bool writeHeightMaps(const QString& root, QString* error)
{
    const QVector<MapJob> jobs = {
        {"Verdix_Landscape_Ground", "Ground_A.png", "PNG", groundClassic},
        {"Verdix_Landscape_Ground", "Ground_B.png", "PNG", groundRolling},
        {"Verdix_Landscape_Ground", "Ground_C.png", "PNG", groundRugged},
        {"Verdix_Landscape_River", "River_A.png", "PNG", riverMeander},
        {"Verdix_Landscape_River", "River_B.png", "PNG", riverFork},
        {"Verdix_Landscape_River", "River_C.png", "PNG", riverWide},
        {"Verdix_Landscape_Hill", "Hill_A.png", "PNG", hillsScattered},
        {"Verdix_Landscape_Hill", "Hill_B.png", "PNG", hillSingle},
        {"Verdix_Landscape_Hill", "Hill_C.png", "PNG", hillChain},
        {"Verdix_Landscape_Flat", "Flat_Round_A.png", "PNG", flatRound},
        {"Verdix_Landscape_Flat", "Flat_Round_B.png", "PNG", flatTwoRounds},
        {"Verdix_Landscape_Flat", "Flat_Square_A.png", "PNG", flatSquare},
        {"Verdix_Landscape_Path", "Path_A.jpg", "JPEG", pathWinding},
        {"Verdix_Landscape_Path", "Path_B.jpg", "JPEG", pathDiagonal},
        {"Verdix_Landscape_Path", "Path_C.jpg", "JPEG", pathCrossing},
    };
    return writeJobs(root, jobs, error);
}

bool writeTreeShapes(const QString& root, QString* error)
{
    const QVector<MapJob> jobs = {
        {"Verdix_Shapes_Tree", "default.png", "PNG", trunkButtress},
        {"Verdix_Shapes_Tree", "Twisted.png", "PNG", trunkTwisted},
        {"Verdix_Shapes_Tree", "Baobab.png", "PNG", trunkBaobab},
    };
    return writeJobs(root, jobs, error) && writeTreeShapeProfiles(root, error);
}

bool writeLibrary(const QString& root, QString* error)
{
    if (!ensureDir(root, error)) return false;
    for (const QString& folder : libraryFolderNames())
        if (!ensureDir(QDir(root).filePath(folder), error)) return false;
    return writeHeightMaps(root, error) && writeTreeShapes(root, error) && writeTextures(root, error);
}

}  // namespace assetgen
