// A starter texture for every texture folder. Cut-out textures (blades, leaves, petals,
// sprites) come as a colour image plus an "_O" opacity companion; the colour image is filled
// edge to edge so that filtering at the cut-out border never bleeds a dark fringe.

#include "assetgen.h"
#include "noise.h"
#include "paint.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

namespace assetgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

QColor mix(const QColor &a, const QColor &b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

// Per-pixel texture from a colour function of normalised coordinates. Noise coordinates
// should be periodic or the texture will show seams when tiled; the tiling textures below
// blend four shifted copies of the noise for that.
QImage pixels(int w, int h, const std::function<QColor(double, double)> &f)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = f((x + 0.5) / w, (y + 0.5) / h).rgb();
    }
    return img;
}

// Seamless fbm on the unit square: blend of the noise and its copies shifted by one period.
double tiledFbm(const Noise &n, double x, double y, double scale, int octaves)
{
    auto f = [&](double u, double v) { return n.fbm(u * scale, v * scale, octaves); };
    const double a = f(x, y), b = f(x - 1, y), c = f(x, y - 1), d = f(x - 1, y - 1);
    return (a * (1 - x) + b * x) * (1 - y) + (c * (1 - x) + d * x) * y;
}

struct Cutout {
    QString folder, base;
    int w, h;
    QColor fill; // colour outside the shapes
    std::function<void(QPainter &, bool mask)> draw;
};

bool writeCutout(const QString &root, const Cutout &c, QString *error)
{
    for (bool mask : {false, true}) {
        QImage img(c.w, c.h, QImage::Format_RGB32);
        img.fill(mask ? Qt::black : c.fill);
        {
            QPainter p(&img);
            prepare(p);
            c.draw(p, mask);
        }
        const QString name = c.base + (mask ? "_O.png" : ".png");
        if (!saveImage(img, QDir(root).filePath(c.folder + "/" + name), "PNG", -1, error))
            return false;
    }
    return true;
}

bool writePlain(const QString &root, const QString &rel, const QImage &img, QString *error)
{
    return saveImage(img, QDir(root).filePath(rel), "PNG", -1, error);
}

QBrush brushOr(bool mask, const QBrush &colour)
{
    return mask ? QBrush(Qt::white) : colour;
}

void grassBlades(QPainter &p, bool mask)
{
    Sequence s(91);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 34; ++i) {
        const double x = s.range(6, 250), w = s.range(3, 7);
        const double top = s.range(10, 120), bend = s.range(-40, 40);
        QPainterPath b;
        b.moveTo(x - w, 256);
        b.quadTo(x - w * 0.6 + bend * 0.3, (256 + top) / 2, x + bend, top);
        b.quadTo(x + w * 0.6 + bend * 0.3, (256 + top) / 2, x + w, 256);
        b.closeSubpath();
        QLinearGradient g(0, top, 0, 256);
        const double hue = s.range(0.0, 1.0);
        g.setColorAt(0, mix(QColor(180, 220, 90), QColor(150, 200, 110), hue));
        g.setColorAt(1, mix(QColor(30, 90, 25), QColor(45, 100, 40), hue));
        p.setBrush(brushOr(mask, g));
        p.drawPath(b);
    }
}

QPainterPath leafShape(QPointF base, QPointF tip, double width)
{
    const QPointF d = tip - base;
    const QPointF n(-d.y(), d.x());
    const double len = std::hypot(d.x(), d.y());
    const QPointF nn = n / len * width;
    QPainterPath l;
    l.moveTo(base);
    l.cubicTo(base + d * 0.25 + nn, base + d * 0.7 + nn * 0.8, tip);
    l.cubicTo(base + d * 0.7 - nn * 0.8, base + d * 0.25 - nn, base);
    return l;
}

void leafVeins(QPainter &p, QPointF base, QPointF tip, double width, const QColor &c)
{
    p.setPen(QPen(c, 1.6));
    p.drawLine(base, tip);
    const QPointF d = tip - base;
    const QPointF n = QPointF(-d.y(), d.x()) / std::hypot(d.x(), d.y());
    p.setPen(QPen(c, 0.9));
    for (int i = 1; i < 6; ++i) {
        const QPointF at = base + d * (i / 6.5);
        for (int side : {-1, 1})
            p.drawLine(at, at + d * 0.12 + n * side * width * 0.6 * (1.0 - i / 8.0));
    }
}

void leafSheet(QPainter &p, bool mask)
{
    // 2 x 2 cells of 128 px, one leaf per cell, each a slightly different shade and shape.
    const QColor light[] = {QColor(130, 200, 80), QColor(160, 200, 70), QColor(100, 170, 70),
                            QColor(200, 170, 60)};
    for (int cell = 0; cell < 4; ++cell) {
        const double ox = (cell % 2) * 128, oy = (cell / 2) * 128;
        const QPointF base(ox + 64, oy + 122), tip(ox + 64 + (cell - 1.5) * 6, oy + 8);
        const double width = 34 + cell * 4;
        QLinearGradient g(base, tip);
        g.setColorAt(0, light[cell].darker(160));
        g.setColorAt(1, light[cell]);
        p.setPen(Qt::NoPen);
        p.setBrush(brushOr(mask, g));
        p.drawPath(leafShape(base, tip, width));
        if (!mask)
            leafVeins(p, base, tip, width, light[cell].lighter(130));
    }
}

void flowerLeaf(QPainter &p, bool mask)
{
    const QPointF base(128, 250), tip(128, 6);
    QLinearGradient g(base, tip);
    g.setColorAt(0, QColor(40, 110, 35));
    g.setColorAt(1, QColor(120, 200, 80));
    p.setPen(Qt::NoPen);
    p.setBrush(brushOr(mask, g));
    p.drawPath(leafShape(base, tip, 80));
    if (!mask)
        leafVeins(p, base, tip, 80, QColor(170, 225, 130));
}

void petal(QPainter &p, bool mask)
{
    QPainterPath pe;
    pe.moveTo(128, 252);
    pe.cubicTo(20, 190, 20, 40, 128, 6);
    pe.cubicTo(236, 40, 236, 190, 128, 252);
    QRadialGradient g(QPointF(128, 250), 250);
    g.setColorAt(0, QColor(255, 240, 120));
    g.setColorAt(0.25, QColor(255, 170, 210));
    g.setColorAt(1, QColor(220, 50, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(brushOr(mask, g));
    p.drawPath(pe);
    if (!mask) {
        p.setPen(QPen(QColor(200, 40, 110, 120), 1.5));
        for (int i = -4; i <= 4; ++i)
            p.drawLine(QPointF(128, 250), QPointF(128 + i * 18, 40 + std::abs(i) * 12));
    }
}

void butterflySheet(QPainter &p, bool mask)
{
    // 4 x 2 cells of 128 px: one wing beat, read left to right, top row first.
    for (int frame = 0; frame < 8; ++frame) {
        const QPointF c((frame % 4) * 128 + 64, (frame / 4) * 128 + 64);
        const double open = 0.15 + 0.85 * std::fabs(std::cos(frame * kPi / 8.0));
        for (int side : {-1, 1}) {
            p.save();
            p.translate(c);
            p.scale(side * open, 1.0);
            QPainterPath upper;
            upper.moveTo(0, -4);
            upper.cubicTo(20, -50, 58, -50, 54, -18);
            upper.cubicTo(52, -4, 20, 2, 0, 2);
            QPainterPath lower;
            lower.moveTo(0, 2);
            lower.cubicTo(30, 6, 44, 24, 32, 40);
            lower.cubicTo(22, 52, 6, 30, 0, 10);
            QRadialGradient g(QPointF(0, 0), 60);
            g.setColorAt(0, QColor(120, 40, 0));
            g.setColorAt(0.35, QColor(245, 150, 30));
            g.setColorAt(0.85, QColor(250, 200, 60));
            g.setColorAt(1, QColor(40, 20, 10));
            p.setPen(mask ? Qt::NoPen : QPen(QColor(40, 20, 10), 3));
            p.setBrush(brushOr(mask, g));
            p.drawPath(upper);
            p.drawPath(lower);
            if (!mask) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(255, 250, 235));
                p.drawEllipse(QPointF(44, -28), 4, 4);
                p.drawEllipse(QPointF(34, -34), 3, 3);
            }
            p.restore();
        }
        p.setPen(Qt::NoPen);
        p.setBrush(mask ? QBrush(Qt::white) : QBrush(QColor(40, 25, 15)));
        p.drawRoundedRect(QRectF(c.x() - 3, c.y() - 16, 6, 40), 3, 3);
    }
}

} // namespace

bool writeTextures(const QString &root, QString *error)
{
    const Noise n(811);

    const QImage meadow = pixels(256, 256, [&](double x, double y) {
        const double patches = tiledFbm(n, x, y, 4.0, 5);
        const double fine = tiledFbm(n, x + 0.37, y + 0.11, 24.0, 2);
        const QColor grass = mix(QColor(60, 110, 35), QColor(110, 150, 55), 0.5 + fine);
        const QColor soil = mix(QColor(95, 75, 50), QColor(130, 105, 70), 0.5 + fine);
        return mix(grass, soil, (patches - 0.15) * 3.0);
    });
    const QImage blend = pixels(256, 256, [&](double x, double y) {
        const int g = std::clamp(int(128 + 220 * tiledFbm(n, x + 0.5, y + 0.2, 3.0, 5)), 0, 255);
        return QColor(g, g, g);
    });
    auto granite = [&](double shift) {
        return pixels(256, 256, [&, shift](double x, double y) {
            const double base = tiledFbm(n, x + shift, y, 6.0, 6);
            const double speck = n.hash01(int(x * 256), int(y * 256 + shift * 977));
            QColor c = mix(QColor(90, 88, 85), QColor(175, 170, 160), 0.5 + base * 1.4);
            if (speck > 0.93)
                c = c.lighter(135);
            else if (speck < 0.05)
                c = c.darker(160);
            return c;
        });
    };
    const QImage stoneBump = pixels(256, 256, [&](double x, double y) {
        const int g = std::clamp(int(128 + 200 * tiledFbm(n, x + 0.9, y, 6.0, 6)), 0, 255);
        return QColor(g, g, g);
    });
    // Bark: furrows run along the trunk (v), so the noise is stretched along y.
    auto barkValue = [&](double x, double y) {
        const double a = x * 2 * kPi;
        const double r = n.ridged(std::cos(a) * 2.0 + 3.0, std::sin(a) * 2.0 + y * 3.0, 5);
        return r * 0.8 + 0.2 * (0.5 + 0.5 * n.fbm(std::cos(a) * 8.0, std::sin(a) * 8.0 + y * 20, 3));
    };
    const QImage bark = pixels(256, 256, [&](double x, double y) {
        return mix(QColor(50, 35, 25), QColor(140, 110, 80), barkValue(x, y));
    });
    const QImage barkBump = pixels(256, 256, [&](double x, double y) {
        const int g = std::clamp(int(255 * barkValue(x, y)), 0, 255);
        return QColor(g, g, g);
    });
    const QImage apple = pixels(256, 256, [&](double x, double y) {
        const double streak = n.fbm(x * 30.0, y * 3.0, 3);
        QColor c = mix(QColor(200, 30, 25), QColor(240, 190, 60), y * 0.8 + streak * 0.4);
        if (n.hash01(int(x * 128), int(y * 128)) > 0.97)
            c = c.lighter(130);
        return c;
    });
    const QImage stem = pixels(128, 256, [&](double x, double y) {
        const double streak = n.fbm(x * 40.0, y * 2.0 + 7.0, 3);
        return mix(QColor(50, 110, 40), QColor(110, 170, 70), 0.5 + streak);
    });
    const QImage pistil = pixels(256, 256, [&](double x, double y) {
        // Florets on a phyllotaxis spiral, the pattern of a daisy's centre.
        double best = 1e9;
        for (int k = 0; k < 400; ++k) {
            const double r = 0.5 * std::sqrt(k / 400.0) * 1.35, a = k * 2.39996323;
            const double fx = 0.5 + r * std::cos(a), fy = 0.5 + r * std::sin(a);
            best = std::min(best, std::hypot(x - fx, y - fy));
        }
        return mix(QColor(250, 210, 40), QColor(150, 80, 10), std::clamp(best * 60.0, 0.0, 1.0));
    });

    const struct {
        QString rel;
        QImage img;
    } plain[] = {
        {"Verdix_Texture_Landscape/Meadow_A.png", meadow},
        {"Verdix_Texture_Landscape_Alpha/Blend_A.png", blend},
        {"Verdix_Texture_Stones/Stone_A.png", granite(0.0)},
        {"Verdix_Texture_Stones/Stone_A_B.png", stoneBump},
        {"Verdix_Ground/Rock_A.png", granite(0.43)},
        {"Verdix_Texture_Tree_Bark/Bark_A.png", bark},
        {"Verdix_Texture_Tree_Bark/Bark_A_B.png", barkBump},
        {"Verdix_Texture_Tree_Fruit/Apple_A.png", apple},
        {"Verdix_Texture_Flower_Stem/Stem_A.png", stem},
        {"Verdix_Texture_Flower_Pistil/Pistil_A.png", pistil},
    };
    for (const auto &t : plain)
        if (!writePlain(root, t.rel, t.img, error))
            return false;

    const Cutout cutouts[] = {
        {"Verdix_Texture_Grass", "Grass_A", 256, 256, QColor(70, 130, 45), grassBlades},
        {"Verdix_Texture_Tree_Leaf", "Leaf_A_2X_X2", 256, 256, QColor(90, 150, 60), leafSheet},
        {"Verdix_Texture_Flower_Leaf", "Leaf_A", 256, 256, QColor(80, 150, 55), flowerLeaf},
        {"Verdix_Texture_Flower_Petal", "Petal_A", 256, 256, QColor(230, 90, 150), petal},
        {"Verdix_Texture_Billboard", "Butterfly_4X_X2", 512, 256, QColor(230, 150, 40),
         butterflySheet},
    };
    for (const Cutout &c : cutouts)
        if (!writeCutout(root, c, error))
            return false;
    return true;
}

} // namespace assetgen
