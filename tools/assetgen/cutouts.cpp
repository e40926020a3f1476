// Textures with a cut-out: grass blades, leaves, petals and the animated sprite sheets. Each
// is a colour image and an "_O" opacity companion (white = solid). The colour image is
// filled edge to edge with the shape's own colour so that filtering at the cut-out border
// never bleeds a dark fringe into the blade or the leaf.

#include "assetgen.h"
#include "paint.h"
#include "texturekit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace assetgen {

namespace {

struct Cutout
{
    QString rel;  // without ".png"
    int w, h;
    QColor fill;
    std::function<void(QPainter&, bool mask)> draw;
    double grain;  // strength of the colour noise laid over the painting
};

bool writeCutout(const QString& root, const Cutout& c, QString* error)
{
    const TileNoise noise(qHash(c.rel), 16);
    for (bool mask : {false, true}) {
        QImage img(c.w, c.h, QImage::Format_RGB32);
        img.fill(mask ? QColor(Qt::black) : c.fill);
        {
            QPainter p(&img);
            prepare(p);
            c.draw(p, mask);
        }
        if (!mask && c.grain > 0) {
            for (int y = 0; y < c.h; ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < c.w; ++x) {
                    const double u = (x + 0.5) / c.w, v = (y + 0.5) / c.h;
                    const double f = 1.0 + c.grain * (0.7 * noise.fbm(u, v, 3) + 0.3 * noise.perlin(u, v, 256));
                    line[x] = scaled(QColor(line[x]), f).rgb();
                }
            }
        }
        if (!writeTexture(root, c.rel + (mask ? "_O.png" : ".png"), img, error)) return false;
    }
    return true;
}

QBrush solid(bool mask, const QBrush& colour) { return mask ? QBrush(Qt::white) : colour; }

// ---- Grass: one blade card, u across the blade, v up it (the image's bottom is the root) ----

std::function<void(QPainter&, bool)> grassCard(QColor root, QColor tip, QColor rib, std::uint32_t seed)
{
    return [=](QPainter& p, bool mask) {
        const double W = p.device()->width(), H = p.device()->height();
        Sequence s(seed);
        p.setPen(Qt::NoPen);
        // A main blade and thinner ones beside it, each tapering to its own tip.
        for (int b = 0; b < 5; ++b) {
            const bool main = b == 0;
            const double cx = main ? W * 0.5 : W * s.range(0.15, 0.85);
            const double half = main ? W * 0.22 : W * s.range(0.06, 0.1);
            const double top = main ? H * 0.01 : H * s.range(0.15, 0.5);
            const double lean = main ? 0.0 : W * s.range(-0.12, 0.12);
            QPainterPath blade;
            blade.moveTo(cx - half, H);
            blade.cubicTo(cx - half, H * 0.55, cx - half * 0.5 + lean * 0.6, top + (H - top) * 0.2, cx + lean, top);
            blade.cubicTo(cx + half * 0.5 + lean * 0.6, top + (H - top) * 0.2, cx + half, H * 0.55, cx + half, H);
            blade.closeSubpath();
            QLinearGradient g(0, H, 0, top);
            const double shade = main ? 1.0 : s.range(0.8, 1.1);
            g.setColorAt(0, scaled(root, shade));
            g.setColorAt(0.6, scaled(mixColor(root, tip, 0.6), shade));
            g.setColorAt(1, scaled(tip, shade));
            p.setBrush(solid(mask, g));
            p.drawPath(blade);
            if (!mask) {
                p.setPen(QPen(rib, main ? W * 0.02 : W * 0.008));
                p.drawLine(QPointF(cx, H), QPointF(cx + lean, top + (H - top) * 0.08));
                p.setPen(Qt::NoPen);
            }
        }
    };
}

// ---- Leaves: base at the bottom, tip at the top ------------------------------------------

// Teeth (depth small) or rounded lobes (depth large) along the edge.
QPainterPath ovalLeaf(QPointF base, QPointF tip, double width, int teeth, double depth = 0.06)
{
    QPainterPath path;
    const QPointF d = tip - base;
    const double len = std::hypot(d.x(), d.y());
    const QPointF n = QPointF(-d.y(), d.x()) / len;
    const int steps = 120;
    QVector<QPointF> left, right;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        double w = width * std::pow(std::sin(kTexPi * t), 0.8) * (1.0 - 0.35 * t);
        if (teeth > 0) w *= 1.0 - depth * (1.0 - std::pow(std::fabs(std::sin(t * teeth * kTexPi)), 0.7));
        left << base + d * t + n * w;
        right << base + d * t - n * w;
    }
    path.moveTo(base);
    for (const QPointF& q : left) path.lineTo(q);
    for (int i = right.size() - 1; i >= 0; --i) path.lineTo(right[i]);
    path.closeSubpath();
    return path;
}

// Lobed outline (oak, maple) as a polar curve round the leaf's centre.
QPainterPath lobedLeaf(QPointF centre, double radius, int lobes, double depth, double sharp, double stretch)
{
    QPainterPath path;
    const int steps = 720;
    for (int i = 0; i <= steps; ++i) {
        const double a = 2 * kTexPi * i / steps;
        const double lobe = std::pow(std::fabs(std::cos(a * lobes / 2.0)), sharp);
        // The leaf narrows towards its stalk at the bottom (a = pi/2 in image space).
        const double base = 1.0 - 0.45 * std::pow(std::max(0.0, std::sin(a)), 3.0);
        const double r = radius * base * (1.0 - depth + depth * lobe);
        const QPointF q(centre.x() + r * std::cos(a), centre.y() - r * std::sin(a) * -1.0 * stretch);
        if (i == 0) path.moveTo(q);
        else path.lineTo(q);
    }
    path.closeSubpath();
    return path;
}

void veins(QPainter& p, QPointF base, QPointF tip, double width, const QColor& c, double scale, int pairs)
{
    p.setPen(QPen(c, 6 * scale, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(base, tip);
    const QPointF d = tip - base;
    const QPointF n = QPointF(-d.y(), d.x()) / std::hypot(d.x(), d.y());
    p.setPen(QPen(c, 2.8 * scale, Qt::SolidLine, Qt::RoundCap));
    for (int i = 1; i <= pairs; ++i) {
        const double t = double(i) / (pairs + 1.5);
        const QPointF at = base + d * t;
        for (int side : {-1, 1}) {
            QPainterPath v;
            v.moveTo(at);
            const QPointF end = at + d * 0.14 + n * side * width * 0.8 * std::sin(kTexPi * (t + 0.1));
            v.quadTo(at + n * side * width * 0.3, end);
            p.drawPath(v);
        }
    }
}

struct LeafLook
{
    QColor dark, light, vein;
    int kind;  // 0 oval, 1 oak, 2 maple
};

void drawLeaf(QPainter& p, bool mask, const QRectF& cell, const LeafLook& look)
{
    const double s = cell.width() / 1024.0;
    const QPointF base(cell.center().x(), cell.bottom() - 30 * s), tip(cell.center().x(), cell.top() + 40 * s);
    QPainterPath shape;
    if (look.kind == 0) shape = ovalLeaf(base, tip, 300 * s, 22);
    else if (look.kind == 1) shape = ovalLeaf(base, tip, 380 * s, 5, 0.4);
    else shape = lobedLeaf(QPointF(cell.center().x(), cell.center().y() - 10 * s), 470 * s, 5, 0.55, 2.2, 1.0);
    QRadialGradient g(cell.center(), cell.width() * 0.6);
    g.setColorAt(0, look.light);
    g.setColorAt(1, look.dark);
    p.setPen(Qt::NoPen);
    p.setBrush(solid(mask, g));
    p.drawPath(shape);
    // The stalk, so the leaf has something to hang by.
    p.setPen(QPen(mask ? QColor(Qt::white) : look.vein.darker(130), 14 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(base.x(), cell.bottom() - 4 * s), QPointF(base.x(), cell.center().y() + 200 * s));
    if (!mask) {
        p.save();
        p.setClipPath(shape);
        veins(p, QPointF(base.x(), cell.bottom() - 30 * s), tip, 340 * s, look.vein, s, look.kind == 2 ? 4 : 7);
        p.restore();
    }
}

std::function<void(QPainter&, bool)> leafCard(const LeafLook& look)
{
    return [look](QPainter& p, bool mask) {
        drawLeaf(p, mask, QRectF(0, 0, p.device()->width(), p.device()->height()), look);
    };
}

// ---- Petals: base at the bottom, light to the rim -----------------------------------------

struct PetalLook
{
    QColor base, mid, rim;
    double width, notch;  // width relative to the cell, notch depth at the tip
};

void drawPetal(QPainter& p, bool mask, const QRectF& cell, const PetalLook& look)
{
    const double W = cell.width(), H = cell.height();
    const double cx = cell.center().x(), bottom = cell.bottom() - H * 0.01, top = cell.top() + H * 0.02;
    const double hw = W * look.width * 0.5;
    QPainterPath pe;
    pe.moveTo(cx, bottom);
    pe.cubicTo(cx - hw * 0.6, bottom - H * 0.15, cx - hw * 1.05, top + H * 0.35, cx - hw * 0.7, top + H * 0.06);
    pe.quadTo(cx - hw * 0.3, top - H * 0.01, cx, top + H * look.notch);
    pe.quadTo(cx + hw * 0.3, top - H * 0.01, cx + hw * 0.7, top + H * 0.06);
    pe.cubicTo(cx + hw * 1.05, top + H * 0.35, cx + hw * 0.6, bottom - H * 0.15, cx, bottom);
    QLinearGradient g(QPointF(cx, bottom), QPointF(cx, top));
    g.setColorAt(0, look.base);
    g.setColorAt(0.35, look.mid);
    g.setColorAt(1, look.rim);
    p.setPen(Qt::NoPen);
    p.setBrush(solid(mask, g));
    p.drawPath(pe);
    if (!mask) {
        // Shading across the petal: darker along the edges, as if it were cupped.
        QLinearGradient across(QPointF(cx - hw, 0), QPointF(cx + hw, 0));
        across.setColorAt(0, QColor(0, 0, 0, 90));
        across.setColorAt(0.5, QColor(0, 0, 0, 0));
        across.setColorAt(1, QColor(0, 0, 0, 90));
        p.setBrush(across);
        p.drawPath(pe);
        p.save();
        p.setClipPath(pe);
        p.setPen(QPen(scaled(look.mid, 0.8), W * 0.004));
        for (int i = -5; i <= 5; ++i)
            p.drawLine(QPointF(cx, bottom), QPointF(cx + i * hw * 0.17, top + H * 0.08 + std::abs(i) * H * 0.02));
        p.restore();
    }
}

const PetalLook kDaisy{QColor(236, 220, 120), QColor(250, 248, 240), QColor(255, 255, 255), 0.34, 0.04};
const PetalLook kTulip{QColor(120, 20, 30), QColor(214, 30, 40), QColor(248, 90, 80), 0.8, 0.0};
const PetalLook kPoppy{QColor(30, 14, 14), QColor(226, 40, 20), QColor(250, 80, 40), 0.95, 0.03};
const PetalLook kBluebell{QColor(70, 40, 140), QColor(100, 80, 200), QColor(170, 160, 240), 0.6, 0.0};
const PetalLook kSunflower{QColor(200, 110, 10), QColor(250, 190, 20), QColor(255, 220, 60), 0.3, 0.02};

std::function<void(QPainter&, bool)> petalCard(const PetalLook& look)
{
    return [look](QPainter& p, bool mask) {
        drawPetal(p, mask, QRectF(0, 0, p.device()->width(), p.device()->height()), look);
    };
}

// ---- Sprite sheets: frames left to right, top row first -----------------------------------

struct WingLook
{
    QColor inner, outer, edge, spot;
};

// One butterfly seen from above; open is the wings' apparent width (1 flat, 0 closed up).
void drawButterfly(QPainter& p, bool mask, const QRectF& cell, double open, const WingLook& look)
{
    const double s = cell.width() / 256.0;
    const QPointF c = cell.center();
    for (int side : {-1, 1}) {
        p.save();
        p.translate(c);
        p.scale(side * s * std::max(0.06, open), s);
        QPainterPath upper;
        upper.moveTo(0, -6);
        upper.cubicTo(30, -100, 118, -104, 112, -40);
        upper.cubicTo(108, -10, 40, 2, 0, 4);
        QPainterPath lower;
        lower.moveTo(0, 4);
        lower.cubicTo(62, 8, 92, 50, 68, 86);
        lower.cubicTo(46, 110, 14, 64, 0, 22);
        QRadialGradient g(QPointF(0, 0), 120);
        g.setColorAt(0, look.inner);
        g.setColorAt(0.6, look.outer);
        g.setColorAt(0.92, look.outer.lighter(120));
        g.setColorAt(1, look.edge);
        p.setPen(mask ? Qt::NoPen : QPen(look.edge, 6));
        p.setBrush(solid(mask, g));
        p.drawPath(upper);
        p.drawPath(lower);
        if (!mask) {
            p.setPen(Qt::NoPen);
            p.setBrush(look.spot);
            p.drawEllipse(QPointF(90, -56), 9, 9);
            p.drawEllipse(QPointF(70, -70), 6, 6);
            p.drawEllipse(QPointF(56, 60), 8, 8);
            p.setPen(QPen(look.edge.lighter(150), 2));
            for (int k = 0; k < 4; ++k) p.drawLine(QPointF(4, -2), QPointF(100 - k * 12, -60 + k * 18));
        }
        p.restore();
    }
    p.setPen(Qt::NoPen);
    p.setBrush(mask ? QBrush(Qt::white) : QBrush(QColor(36, 26, 18)));
    p.drawRoundedRect(QRectF(c.x() - 6 * s, c.y() - 36 * s, 12 * s, 84 * s), 6 * s, 6 * s);
    p.setPen(QPen(mask ? QColor(Qt::white) : QColor(36, 26, 18), 3 * s));
    p.drawLine(c + QPointF(-2 * s, -34 * s), c + QPointF(-22 * s, -72 * s));
    p.drawLine(c + QPointF(2 * s, -34 * s), c + QPointF(22 * s, -72 * s));
}

std::function<void(QPainter&, bool)> butterflySheet(const WingLook& look)
{
    return [look](QPainter& p, bool mask) {
        const double cw = p.device()->width() / 8.0, ch = p.device()->height() / 4.0;
        for (int f = 0; f < 32; ++f) {
            // Two wing beats per cycle of the sheet.
            const double open = 0.5 + 0.5 * std::cos(4 * kTexPi * f / 32.0);
            drawButterfly(p, mask, QRectF((f % 8) * cw, (f / 8) * ch, cw, ch), open, look);
        }
    };
}

// A bird seen from the side: the wings sweep from high over the back to low under the body.
void birdSheet(QPainter& p, bool mask)
{
    const double cw = p.device()->width() / 4.0, ch = p.device()->height() / 2.0;
    const QColor body(52, 48, 46), belly(140, 128, 112);
    for (int f = 0; f < 8; ++f) {
        const QPointF c((f % 4) * cw + cw / 2, (f / 4) * ch + ch / 2);
        const double s = cw / 512.0;
        const double beat = std::cos(2 * kTexPi * f / 8.0);
        p.save();
        p.translate(c);
        p.scale(s, s);
        QPainterPath b;
        b.moveTo(-190, 10);
        b.cubicTo(-120, -40, 80, -50, 150, -20);
        b.quadTo(200, -30, 215, -6);
        b.lineTo(250, 0);
        b.lineTo(212, 8);
        b.cubicTo(160, 40, -60, 50, -150, 30);
        b.lineTo(-230, 50);
        b.lineTo(-215, 6);
        b.closeSubpath();
        QLinearGradient g(0, -50, 0, 50);
        g.setColorAt(0, body);
        g.setColorAt(1, belly);
        p.setPen(Qt::NoPen);
        p.setBrush(solid(mask, g));
        p.drawPath(b);
        const double tipY = -200 * beat;
        QPainterPath w;
        w.moveTo(-30, -10);
        w.cubicTo(-20, tipY * 0.5, -120, tipY * 0.9, -150, tipY);
        w.cubicTo(-60, tipY * 0.8, 40, tipY * 0.5, 60, -10);
        w.closeSubpath();
        p.setBrush(solid(mask, QBrush(body.darker(120))));
        p.drawPath(w);
        if (!mask) {
            p.setBrush(QColor(240, 230, 200));
            p.drawEllipse(QPointF(180, -14), 6, 6);
        }
        p.restore();
    }
}

}  // namespace

bool writeCutoutTextures(const QString& root, QString* error)
{
    const LeafLook oak{QColor(38, 84, 24), QColor(104, 150, 52), QColor(150, 190, 100), 1};
    const LeafLook maple{QColor(60, 110, 30), QColor(130, 180, 60), QColor(170, 210, 120), 2};
    const LeafLook birch{QColor(60, 116, 30), QColor(150, 196, 70), QColor(190, 220, 130), 0};
    const LeafLook autumn[] = {{QColor(160, 40, 20), QColor(230, 110, 30), QColor(250, 180, 90), 2},
                               {QColor(170, 110, 20), QColor(240, 190, 50), QColor(250, 220, 120), 0},
                               {QColor(110, 50, 20), QColor(180, 100, 40), QColor(220, 160, 100), 1},
                               {QColor(150, 20, 30), QColor(210, 60, 40), QColor(240, 140, 110), 2}};
    const Cutout list[] = {
        {"Verdix_Texture_Grass/Grass_Green", 1024, 1024, QColor(100, 150, 52),
         grassCard(QColor(72, 122, 38), QColor(150, 196, 78), QColor(170, 212, 104), 1), 0.15},
        {"Verdix_Texture_Grass/Grass_Dry", 1024, 1024, QColor(150, 130, 70),
         grassCard(QColor(128, 112, 56), QColor(222, 200, 128), QColor(236, 216, 156), 2), 0.15},
        {"Verdix_Texture_Grass/Grass_Lush", 1024, 1024, QColor(50, 120, 36),
         grassCard(QColor(52, 112, 30), QColor(118, 196, 62), QColor(140, 214, 92), 3), 0.15},
        {"Verdix_Texture_Tree_Leaf/Leaf_Oak", 1024, 1024, oak.dark, leafCard(oak), 0.12},
        {"Verdix_Texture_Tree_Leaf/Leaf_Maple", 1024, 1024, maple.dark, leafCard(maple), 0.12},
        {"Verdix_Texture_Tree_Leaf/Leaf_Birch", 1024, 1024, birch.dark, leafCard(birch), 0.12},
        {"Verdix_Texture_Tree_Leaf/Leaf_Autumn_2X2", 2048, 2048, QColor(170, 90, 30),
         [autumn](QPainter& p, bool mask) {
             for (int k = 0; k < 4; ++k)
                 drawLeaf(p, mask, QRectF((k % 2) * 1024, (k / 2) * 1024, 1024, 1024), autumn[k]);
         },
         0.12},
        {"Verdix_Texture_Flower_Leaf/FlowerLeaf_Broad", 1024, 1024, QColor(50, 110, 36),
         leafCard({QColor(36, 90, 26), QColor(100, 170, 60), QColor(150, 210, 110), 0}), 0.1},
        {"Verdix_Texture_Flower_Leaf/FlowerLeaf_Narrow", 1024, 1024, QColor(60, 120, 40),
         [](QPainter& p, bool mask) {
             QLinearGradient g(0, 1024, 0, 0);
             g.setColorAt(0, QColor(40, 96, 30));
             g.setColorAt(1, QColor(120, 180, 70));
             p.setPen(Qt::NoPen);
             p.setBrush(solid(mask, g));
             p.drawPath(ovalLeaf(QPointF(512, 1010), QPointF(512, 12), 150, 0));
             if (!mask) veins(p, QPointF(512, 1000), QPointF(512, 40), 120, QColor(150, 200, 110), 1.0, 0);
         },
         0.1},
        {"Verdix_Texture_Flower_Leaf/FlowerLeaf_Round", 1024, 1024, QColor(56, 120, 40),
         [](QPainter& p, bool mask) {
             QRadialGradient g(QPointF(512, 480), 520);
             g.setColorAt(0, QColor(120, 184, 70));
             g.setColorAt(1, QColor(40, 100, 30));
             p.setPen(Qt::NoPen);
             p.setBrush(solid(mask, g));
             p.drawEllipse(QPointF(512, 470), 430, 450);
             p.setPen(QPen(mask ? QColor(Qt::white) : QColor(70, 120, 50), 18));
             p.drawLine(QPointF(512, 1020), QPointF(512, 880));
             if (!mask) veins(p, QPointF(512, 900), QPointF(512, 60), 400, QColor(160, 210, 120), 1.0, 5);
         },
         0.1},
        {"Verdix_Texture_Flower_Petal/Petal_Daisy", 1024, 1024, QColor(248, 246, 236), petalCard(kDaisy), 0.05},
        {"Verdix_Texture_Flower_Petal/Petal_Tulip", 1024, 1024, QColor(214, 30, 40), petalCard(kTulip), 0.08},
        {"Verdix_Texture_Flower_Petal/Petal_Poppy", 1024, 1024, QColor(226, 40, 20), petalCard(kPoppy), 0.08},
        {"Verdix_Texture_Flower_Petal/Petal_Bluebell", 1024, 1024, QColor(100, 80, 200), petalCard(kBluebell), 0.08},
        {"Verdix_Texture_Flower_Petal/Petal_Sunflower", 1024, 1024, QColor(250, 190, 20), petalCard(kSunflower), 0.08},
        {"Verdix_Texture_Flower_Petal/Petal_Mix_3X2", 1536, 1024, QColor(230, 120, 120),
         [](QPainter& p, bool mask) {
             const PetalLook looks[] = {
                 kDaisy,     kTulip,
                 kPoppy,     kBluebell,
                 kSunflower, {QColor(200, 80, 140), QColor(240, 140, 200), QColor(255, 200, 230), 0.5, 0.03}};
             for (int k = 0; k < 6; ++k) drawPetal(p, mask, QRectF((k % 3) * 512, (k / 3) * 512, 512, 512), looks[k]);
         },
         0.08},
        {"Verdix_Texture_Billboard/Butterfly_Blue_8X4", 2048, 1024, QColor(60, 110, 210),
         butterflySheet({QColor(20, 30, 80), QColor(60, 130, 230), QColor(16, 16, 24), QColor(240, 240, 250)}), 0.06},
        {"Verdix_Texture_Billboard/Butterfly_Orange_8X4", 2048, 1024, QColor(240, 150, 40),
         butterflySheet({QColor(110, 40, 0), QColor(245, 150, 30), QColor(30, 18, 10), QColor(255, 248, 230)}), 0.06},
        {"Verdix_Texture_Billboard/Bird_4X2", 2048, 1024, QColor(60, 56, 54), birdSheet, 0.05},
    };
    for (const Cutout& c : list)
        if (!writeCutout(root, c, error)) return false;
    return true;
}

}  // namespace assetgen
