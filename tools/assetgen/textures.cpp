// The tiling textures of the library: terrain, blend masks, stones, bark, fruit, stems and
// flower centres, each 1024 x 1024 and seamless, with normal or bump companions where the
// surface has relief ("_N." normal, "_B." bump: the pane finds them by these markers).

#include "assetgen.h"
#include "paint.h"
#include "texturekit.h"

#include <QDir>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace assetgen {

// ---- Kit -----------------------------------------------------------------------------------

namespace {

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

}  // namespace

double TileNoise::perlin(double u, double v, int period) const
{
    const double x = u * period, y = v * period;
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const double dx = x - fx, dy = y - fy;
    auto wrap = [period](int i) { return ((i % period) + period) % period; };
    struct Dirs
    {
        double c[256], s[256];
        Dirs()
        {
            for (int i = 0; i < 256; ++i) {
                c[i] = std::cos(i * 2 * kTexPi / 256);
                s[i] = std::sin(i * 2 * kTexPi / 256);
            }
        }
    };
    static const Dirs dirs;
    auto grad = [&](int gx, int gy, double px, double py) {
        const int k = int(m_noise.hash01(wrap(gx) + period * 7919, wrap(gy)) * 256) & 255;
        return dirs.c[k] * px + dirs.s[k] * py;
    };
    const double n00 = grad(ix, iy, dx, dy), n10 = grad(ix + 1, iy, dx - 1, dy);
    const double n01 = grad(ix, iy + 1, dx, dy - 1), n11 = grad(ix + 1, iy + 1, dx - 1, dy - 1);
    const double a = fade(dx), b = fade(dy);
    const double x0 = n00 + (n10 - n00) * a, x1 = n01 + (n11 - n01) * a;
    return (x0 + (x1 - x0) * b) * 1.41421356;
}

double TileNoise::fbm(double u, double v, int octaves, double gain) const
{
    double sum = 0, amp = 1, norm = 0;
    int period = m_period;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * perlin(u + o * 0.137, v + o * 0.291, period);
        norm += amp;
        amp *= gain;
        period *= 2;
    }
    return sum / norm;
}

double TileNoise::ridged(double u, double v, int octaves) const
{
    double sum = 0, amp = 1, norm = 0, weight = 1;
    int period = m_period;
    for (int o = 0; o < octaves; ++o) {
        double r = 1.0 - std::fabs(perlin(u + o * 0.173, v + o * 0.053, period));
        r *= r * weight;
        weight = clamp01(r * 2.0);
        sum += amp * r;
        norm += amp;
        amp *= 0.5;
        period *= 2;
    }
    return sum / norm;
}

void TileNoise::cells(double u, double v, int period, double* d1, double* d2, double* id) const
{
    const double x = u * period, y = v * period;
    const int cx = int(std::floor(x)), cy = int(std::floor(y));
    double best = 1e9, second = 1e9, bestId = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const int gx = ((cx + i) % period + period) % period, gy = ((cy + j) % period + period) % period;
            const double px = cx + i + m_noise.hash01(gx, gy + 5003);
            const double py = cy + j + m_noise.hash01(gx + 7001, gy);
            const double d = std::hypot(x - px, y - py);
            if (d < best) {
                second = best;
                best = d;
                bestId = m_noise.hash01(gx + 13, gy + 17);
            } else if (d < second) {
                second = d;
            }
        }
    *d1 = best;
    *d2 = second;
    *id = bestId;
}

QColor mixColor(const QColor& a, const QColor& b, double t)
{
    t = clamp01(t);
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

QColor scaled(const QColor& c, double f)
{
    return QColor::fromRgbF(clamp01(c.redF() * f), clamp01(c.greenF() * f), clamp01(c.blueF() * f));
}

Field makeField(int w, int h, const std::function<double(double, double)>& f)
{
    Field out;
    out.w = w;
    out.h = h;
    out.v.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.v[size_t(y * w + x)] = float(clamp01(f((x + 0.5) / w, (y + 0.5) / h)));
    return out;
}

QImage colourFrom(const Field& f, const std::function<QColor(double, double, double)>& c)
{
    QImage img(f.w, f.h, QImage::Format_RGB32);
    for (int y = 0; y < f.h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < f.w; ++x) line[x] = c((x + 0.5) / f.w, (y + 0.5) / f.h, f.v[size_t(y * f.w + x)]).rgb();
    }
    return img;
}

QImage pixelImage(int w, int h, const std::function<QColor(double, double)>& f)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = f((x + 0.5) / w, (y + 0.5) / h).rgb();
    }
    return img;
}

QImage normalMap(const Field& f, double strength)
{
    QImage img(f.w, f.h, QImage::Format_RGB32);
    for (int y = 0; y < f.h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < f.w; ++x) {
            const double dx = (f.at(x + 1, y) - f.at(x - 1, y)) * strength;
            // Image rows run downwards, the map's +Y runs up the image.
            const double dy = (f.at(x, y - 1) - f.at(x, y + 1)) * strength;
            const double len = std::sqrt(dx * dx + dy * dy + 1.0);
            auto enc = [](double c) { return std::clamp(int(std::lround((c * 0.5 + 0.5) * 255)), 0, 255); };
            line[x] = qRgb(enc(-dx / len), enc(-dy / len), enc(1.0 / len));
        }
    }
    return img;
}

QImage greyImage(const Field& f)
{
    return colourFrom(f, [](double, double, double h) {
        const int g = std::clamp(int(std::lround(h * 255)), 0, 255);
        return QColor(g, g, g);
    });
}

bool writeTexture(const QString& root, const QString& rel, const QImage& img, QString* error)
{
    const QString path = QDir(root).filePath(rel);
    if (!ensureDir(QFileInfo(path).absolutePath(), error)) return false;
    return saveImage(img, path, "PNG", 80, error);
}

// ---- The textures --------------------------------------------------------------------------

namespace {

constexpr int S = 1024;

struct Named
{
    QString rel;
    QImage img;
};

bool writeAll(const QString& root, const std::vector<Named>& list, QString* error)
{
    for (const Named& n : list)
        if (!writeTexture(root, n.rel, n.img, error)) return false;
    return true;
}

// Terrain: grass with soil showing through, bare rock, rippled sand.
std::vector<Named> terrain()
{
    const TileNoise broad(101, 4), fine(102, 32), blades(103, 128);
    const Field meadowH = makeField(
        S, S, [&](double u, double v) { return 0.5 + 0.35 * broad.fbm(u, v, 4) + 0.25 * blades.fbm(u, v, 2); });
    const QImage meadow = colourFrom(meadowH, [&](double u, double v, double h) {
        const double soil = smooth(0.15, 0.45, broad.fbm(u + 0.31, v + 0.77, 5));
        const double f = fine.fbm(u, v, 3), b = blades.fbm(u, v, 2);
        const QColor grass = mixColor(QColor(58, 98, 30), QColor(112, 150, 52), 0.5 + 0.9 * f + 0.6 * b);
        const QColor dirt = mixColor(QColor(92, 72, 48), QColor(132, 108, 74), 0.5 + f);
        return scaled(mixColor(grass, dirt, soil * 0.8), 0.85 + 0.3 * h);
    });

    const TileNoise rockA(111, 4), rockB(112, 16), rockC(113, 64);
    const Field rockH = makeField(S, S, [&](double u, double v) {
        double d1, d2, id;
        rockA.cells(u, v, 6, &d1, &d2, &id);
        const double crack = smooth(0.0, 0.12, d2 - d1);
        return 0.25 + 0.45 * crack * (0.7 + 0.3 * id) + 0.2 * rockB.fbm(u, v, 4) + 0.1 * rockC.ridged(u, v, 2);
    });
    const QImage rock = colourFrom(rockH, [&](double u, double v, double h) {
        const QColor c = mixColor(QColor(78, 72, 66), QColor(158, 150, 138), h + 0.2 * rockB.fbm(u + 0.5, v, 3));
        const double lichen = smooth(0.25, 0.5, rockA.fbm(u + 0.2, v + 0.6, 4));
        return mixColor(c, QColor(120, 124, 80), lichen * 0.35);
    });

    const TileNoise sandA(121, 2), sandB(122, 8), grain(123, 256);
    const Field sandH = makeField(S, S, [&](double u, double v) {
        const double warp = 0.08 * sandA.fbm(u, v, 3);
        const double ripple = 0.5 + 0.5 * std::sin(2 * kTexPi * (14 * (v + warp) + 2 * u));
        return 0.35 + 0.35 * ripple * ripple + 0.2 * sandB.fbm(u, v, 3) + 0.1 * grain.perlin(u, v, 256);
    });
    const QImage sand = colourFrom(sandH, [&](double u, double v, double h) {
        const QColor c = mixColor(QColor(176, 150, 104), QColor(226, 204, 156), h);
        const double g = grain.perlin(u, v, 256);
        return scaled(c, 0.94 + 0.12 * g + 0.05 * sandB.fbm(u + 0.4, v, 2));
    });

    const QImage meadowN = normalMap(meadowH, 4.0);
    return {
        {"Verdix_Texture_Landscape/Ground_Meadow.png", meadow},
        {"Verdix_Texture_Landscape/Ground_Meadow_N.png", meadowN},
        {"Verdix_Texture_Landscape/Ground_Rock.png", rock},
        {"Verdix_Texture_Landscape/Ground_Rock_N.png", normalMap(rockH, 10.0)},
        {"Verdix_Texture_Landscape/Ground_Sand.png", sand},
        {"Verdix_Texture_Landscape/Ground_Sand_N.png", normalMap(sandH, 5.0)},
        // The first terrain texture the library had; kept for documents that name it.
        {"Verdix_Texture_Landscape/Meadow_A.png", meadow},
        {"Verdix_Texture_Landscape/Meadow_A_N.png", meadowN},
    };
}

// Blend masks: white keeps the terrain, black lets what lies below show.
std::vector<Named> blends()
{
    const TileNoise soft(131, 2), patches(132, 4), stripes(133, 2);
    auto grey = [](double g) {
        const int k = std::clamp(int(std::lround(clamp01(g) * 255)), 0, 255);
        return QColor(k, k, k);
    };
    return {
        {"Verdix_Texture_Landscape_Alpha/Blend_Soft.png",
         pixelImage(S, S, [&](double u, double v) { return grey(0.5 + 0.9 * soft.fbm(u, v, 4)); })},
        {"Verdix_Texture_Landscape_Alpha/Blend_Patches.png",
         pixelImage(S, S, [&](double u, double v) { return grey(smooth(-0.08, 0.08, patches.fbm(u, v, 5))); })},
        {"Verdix_Texture_Landscape_Alpha/Blend_Stripes.png",
         pixelImage(S, S,
                    [&](double u, double v) {
                        const double s = std::sin(2 * kTexPi * (4 * u + 0.6 * stripes.fbm(u, v, 4)));
                        return grey(smooth(-0.35, 0.35, s));
                    })},
    };
}

// Stones: speckled granite, layered slate, moss in the hollows.
std::vector<Named> stones()
{
    const TileNoise a(141, 4), b(142, 16), speck(143, 512);
    const Field graniteH = makeField(
        S, S, [&](double u, double v) { return 0.5 + 0.3 * a.fbm(u, v, 5) + 0.15 * speck.perlin(u, v, 512); });
    const QImage granite = colourFrom(graniteH, [&](double u, double v, double h) {
        const double s = speck.perlin(u, v, 512), t = b.perlin(u + 0.3, v, 256);
        QColor c = mixColor(QColor(108, 104, 100), QColor(176, 170, 162), h);
        if (t > 0.45) c = mixColor(c, QColor(40, 38, 38), 0.7);
        else if (s > 0.5) c = mixColor(c, QColor(214, 196, 186), 0.6);
        return c;
    });
    const TileNoise layers(151, 2), chips(152, 32);
    const Field slateH = makeField(S, S, [&](double u, double v) {
        const double warp = 0.05 * layers.fbm(u, v, 3);
        const double band = 0.5 + 0.5 * std::sin(2 * kTexPi * (9 * (v + warp)));
        return 0.3 + 0.4 * band * band + 0.3 * chips.fbm(u, v, 3);
    });
    const QImage slate = colourFrom(slateH, [&](double u, double v, double h) {
        const QColor c = mixColor(QColor(52, 58, 66), QColor(112, 118, 124), h);
        return mixColor(c, QColor(120, 96, 70), 0.3 * smooth(0.2, 0.5, layers.fbm(u + 0.5, v, 4)));
    });
    const TileNoise moss(161, 4), tuft(162, 64);
    const Field mossH = makeField(S, S, [&](double u, double v) {
        return 0.5 + 0.35 * b.fbm(u + 0.2, v + 0.4, 5) + 0.1 * tuft.perlin(u, v, 64);
    });
    const QImage mossy = colourFrom(mossH, [&](double u, double v, double h) {
        const QColor stone = mixColor(QColor(92, 90, 84), QColor(160, 156, 146), h);
        const double m = smooth(-0.05, 0.2, moss.fbm(u, v, 5) - 0.4 * (h - 0.5));
        const QColor green = mixColor(QColor(52, 84, 26), QColor(118, 146, 48), 0.5 + tuft.fbm(u, v, 2));
        return mixColor(stone, green, m);
    });
    return {
        {"Verdix_Texture_Stones/Stone_Granite.png", granite},
        {"Verdix_Texture_Stones/Stone_Granite_B.png", greyImage(graniteH)},
        {"Verdix_Texture_Stones/Stone_Slate.png", slate},
        {"Verdix_Texture_Stones/Stone_Slate_B.png", greyImage(slateH)},
        {"Verdix_Texture_Stones/Stone_Mossy.png", mossy},
        {"Verdix_Texture_Stones/Stone_Mossy_B.png", greyImage(mossH)},
        // Rock boxes list this folder.
        {"Verdix_Ground/Rock_A.png", granite},
    };
}

// Bark: u runs round the trunk, v along it, so furrows run along v.
std::vector<Named> bark()
{
    const TileNoise oakN(171, 8), oakF(172, 32);
    const Field oakH = makeField(S, S, [&](double u, double v) {
        const double r = oakN.ridged(u, v * 0.25, 4);
        return 0.15 + 0.7 * (1.0 - r) + 0.15 * oakF.fbm(u, v, 3);
    });
    const QImage oak = colourFrom(oakH, [&](double u, double v, double h) {
        const QColor c = mixColor(QColor(38, 28, 20), QColor(128, 104, 80), h);
        return mixColor(c, QColor(96, 104, 70), 0.25 * smooth(0.3, 0.6, oakF.fbm(u + 0.4, v, 3)));
    });
    const TileNoise birchN(181, 4), birchL(182, 16);
    const Field birchH = makeField(S, S, [&](double u, double v) {
        const double lenticel = smooth(0.35, 0.55, birchL.perlin(u * 0.25 + 0.1, v * 4.0, 16));
        return 0.8 - 0.5 * lenticel + 0.1 * birchN.fbm(u, v, 4);
    });
    const QImage birch = colourFrom(birchH, [&](double u, double v, double h) {
        const QColor white = mixColor(QColor(196, 190, 176), QColor(238, 234, 224), 0.5 + birchN.fbm(u, v, 3));
        return mixColor(QColor(30, 26, 24), white, smooth(0.35, 0.75, h));
    });
    const TileNoise pineP(191, 6), pineF(192, 32);
    const Field pineH = makeField(S, S, [&](double u, double v) {
        double d1, d2, id;
        pineP.cells(u, v * 0.5, 8, &d1, &d2, &id);
        return 0.2 + 0.6 * smooth(0.0, 0.15, d2 - d1) + 0.2 * pineF.fbm(u, v, 3);
    });
    const QImage pine = colourFrom(pineH, [&](double u, double v, double h) {
        double d1, d2, id;
        pineP.cells(u, v * 0.5, 8, &d1, &d2, &id);
        const QColor plate = mixColor(QColor(124, 62, 36), QColor(176, 104, 66), id);
        return mixColor(QColor(40, 26, 20), plate, smooth(0.25, 0.6, h));
    });
    return {
        {"Verdix_Texture_Tree_Bark/Bark_Oak.png", oak},
        {"Verdix_Texture_Tree_Bark/Bark_Oak_N.png", normalMap(oakH, 8.0)},
        {"Verdix_Texture_Tree_Bark/Bark_Birch.png", birch},
        {"Verdix_Texture_Tree_Bark/Bark_Birch_N.png", normalMap(birchH, 4.0)},
        {"Verdix_Texture_Tree_Bark/Bark_Pine.png", pine},
        {"Verdix_Texture_Tree_Bark/Bark_Pine_N.png", normalMap(pineH, 8.0)},
    };
}

std::vector<Named> fruitAndStems()
{
    const TileNoise streak(201, 16), spots(202, 128), dimple(203, 96);
    const QImage apple = pixelImage(S, S, [&](double u, double v) {
        const double s = streak.fbm(u * 1.0, v, 3);
        QColor c = mixColor(QColor(182, 24, 22), QColor(236, 180, 60), 0.25 + 0.6 * v + 0.5 * s);
        if (spots.perlin(u, v, 128) > 0.55) c = mixColor(c, QColor(250, 224, 150), 0.5);
        return c;
    });
    const QImage pear = pixelImage(S, S, [&](double u, double v) {
        QColor c = mixColor(QColor(150, 170, 50), QColor(214, 200, 80), 0.5 + streak.fbm(u, v, 4));
        if (spots.perlin(u + 0.3, v, 128) > 0.5) c = mixColor(c, QColor(120, 90, 40), 0.6);
        return c;
    });
    const QImage orange = pixelImage(S, S, [&](double u, double v) {
        const double d = dimple.perlin(u, v, 96);
        return scaled(mixColor(QColor(230, 120, 20), QColor(250, 160, 40), 0.5 + streak.fbm(u, v, 3)), 0.9 + 0.12 * d);
    });
    const TileNoise fibre(211, 32);
    auto stem = [&](QColor a, QColor b, double knots) {
        return pixelImage(S, S, [&, a, b, knots](double u, double v) {
            const double f = fibre.perlin(u, v * 0.125, 32) * 0.6 + 0.4 * fibre.fbm(u + 0.3, v, 2);
            QColor c = mixColor(a, b, 0.5 + f);
            if (knots > 0) c = scaled(c, 1.0 - knots * smooth(0.97, 1.0, std::cos(2 * kTexPi * v * 4)));
            return c;
        });
    };
    return {
        {"Verdix_Texture_Tree_Fruit/Fruit_Apple.png", apple},
        {"Verdix_Texture_Tree_Fruit/Fruit_Pear.png", pear},
        {"Verdix_Texture_Tree_Fruit/Fruit_Orange.png", orange},
        {"Verdix_Texture_Flower_Stem/Stem_Green.png", stem(QColor(46, 104, 36), QColor(110, 168, 70), 0)},
        {"Verdix_Texture_Flower_Stem/Stem_Dark.png", stem(QColor(28, 58, 26), QColor(70, 100, 44), 0)},
        {"Verdix_Texture_Flower_Stem/Stem_Reed.png", stem(QColor(120, 126, 60), QColor(188, 176, 104), 0.5)},
    };
}

// Flower centres: florets on the sunflower's spiral, painted as discs.
QImage pistil(const QColor& ground, const QColor& inner, const QColor& outer)
{
    QImage img(S, S, QImage::Format_RGB32);
    img.fill(ground);
    QPainter p(&img);
    prepare(p);
    p.setPen(Qt::NoPen);
    const int n = 1400;
    for (int k = 0; k < n; ++k) {
        const double t = std::sqrt((k + 0.5) / n);
        const double r = 0.5 * S * 0.98 * t, a = k * 2.39996323;
        const QPointF c(S / 2 + r * std::cos(a), S / 2 + r * std::sin(a));
        const double size = 11.0 + 6.0 * t;
        QRadialGradient g(c - QPointF(size * 0.3, size * 0.3), size * 1.2);
        const QColor col = mixColor(inner, outer, t);
        g.setColorAt(0, col.lighter(135));
        g.setColorAt(1, col.darker(150));
        p.setBrush(g);
        p.drawEllipse(c, size, size);
    }
    return img;
}

}  // namespace

bool writeTilingTextures(const QString& root, QString* error)
{
    for (auto make : {terrain, blends, stones, bark, fruitAndStems})
        if (!writeAll(root, make(), error)) return false;
    return writeAll(root,
                    {{"Verdix_Texture_Flower_Pistil/Pistil_Yellow.png",
                      pistil(QColor(120, 80, 10), QColor(200, 130, 20), QColor(250, 214, 50))},
                     {"Verdix_Texture_Flower_Pistil/Pistil_Brown.png",
                      pistil(QColor(50, 30, 14), QColor(90, 52, 20), QColor(160, 104, 40))},
                     {"Verdix_Texture_Flower_Pistil/Pistil_Dark.png",
                      pistil(QColor(14, 12, 18), QColor(30, 24, 40), QColor(80, 60, 90))}},
                    error);
}

bool writeTextures(const QString& root, QString* error)
{
    return writeTilingTextures(root, error) && writeCutoutTextures(root, error);
}

}  // namespace assetgen
