// Pictograms for the pane's buttons and control boxes. Everything is vector painting so the
// icons stay crisp when the pane scales them down to 16 px, and no text is drawn because the
// build machine may have no fonts.

#include "assetgen.h"
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

QLinearGradient vertical(double top, double bottom, const QColor& a, const QColor& b)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QRadialGradient glow(QPointF centre, double radius, QPointF focus, const QColor& a, const QColor& b)
{
    QRadialGradient g(centre, radius, focus);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QPen outline(const QColor& c, double w)
{
    QPen pen(c, w);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

QPainterPath circle(double cx, double cy, double r)
{
    QPainterPath p;
    p.addEllipse(QPointF(cx, cy), r, r);
    return p;
}

// Dark rounded tile behind the object pictograms, so box icons and create buttons read as
// one family on any pane palette.
void tile(QPainter& p, double w, double h)
{
    const QRectF r(1.5, 1.5, w - 3, h - 3);
    p.setPen(outline(QColor(120, 150, 170), 1.5));
    p.setBrush(vertical(0, h, QColor(70, 96, 118), QColor(28, 38, 48)));
    p.drawRoundedRect(r, 10, 10);
}

// Green "+" in the corner marks a create button as opposed to a box's own icon.
void growBadge(QPainter& p, double w, double h)
{
    const QPointF c(w - 12, h - 12);
    p.setPen(outline(QColor(20, 70, 20), 1.5));
    p.setBrush(glow(c, 11, c - QPointF(3, 3), QColor(140, 230, 110), QColor(40, 150, 40)));
    p.drawEllipse(c, 10, 10);
    p.setPen(outline(Qt::white, 3.5));
    p.drawLine(c - QPointF(5, 0), c + QPointF(5, 0));
    p.drawLine(c - QPointF(0, 5), c + QPointF(0, 5));
}

void groundShadow(QPainter& p, double cx, double cy, double rx, double ry)
{
    QRadialGradient g(QPointF(cx, cy), rx);
    g.setColorAt(0, QColor(0, 0, 0, 110));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.save();
    p.translate(cx, cy);
    p.scale(1.0, ry / rx);
    p.drawEllipse(QPointF(0, 0), rx, rx);
    p.restore();
}

// ---- object pictograms -----------------------------------------------------------------

void drawTree(QPainter& p)
{
    groundShadow(p, 32, 58, 18, 4);
    QPainterPath trunk;
    trunk.moveTo(27, 59);
    trunk.cubicTo(30, 50, 30, 42, 30, 30);
    trunk.lineTo(34, 30);
    trunk.cubicTo(34, 42, 34, 50, 37, 59);
    trunk.closeSubpath();
    QLinearGradient bark(27, 0, 37, 0);
    bark.setColorAt(0, QColor(120, 78, 40));
    bark.setColorAt(0.5, QColor(160, 110, 60));
    bark.setColorAt(1, QColor(90, 56, 28));
    p.setPen(outline(QColor(60, 36, 16), 1.2));
    p.setBrush(bark);
    p.drawPath(trunk);

    QPainterPath crown = circle(32, 19, 14)
                             .united(circle(19, 29, 11))
                             .united(circle(45, 29, 11))
                             .united(circle(32, 33, 12))
                             .united(circle(24, 19, 8))
                             .united(circle(41, 20, 8));
    p.setPen(outline(QColor(20, 70, 25), 1.5));
    p.setBrush(glow(QPointF(30, 24), 26, QPointF(24, 14), QColor(150, 225, 110), QColor(30, 110, 40)));
    p.drawPath(crown);
}

QPainterPath blade(double baseX, double baseW, double tipX, double tipY, double bend)
{
    QPainterPath b;
    b.moveTo(baseX - baseW, 59);
    b.quadTo(baseX - baseW + bend, (59 + tipY) * 0.5, tipX, tipY);
    b.quadTo(baseX + baseW + bend, (59 + tipY) * 0.5, baseX + baseW, 59);
    b.closeSubpath();
    return b;
}

void drawGrass(QPainter& p)
{
    struct B
    {
        double x, w, tx, ty, bend;
        bool back;
    };
    const B blades[] = {
        {14, 3.0, 4, 22, -2, true}, {26, 3.0, 22, 8, 0, true},   {40, 3.0, 46, 10, 2, true},
        {52, 3.0, 60, 24, 3, true}, {10, 3.5, 12, 30, 0, false}, {20, 3.5, 14, 16, -4, false},
        {32, 4.0, 33, 5, 0, false}, {44, 3.5, 52, 17, 4, false}, {54, 3.5, 52, 34, -1, false},
    };
    for (const B& b : blades) {
        const QColor top = b.back ? QColor(110, 180, 70) : QColor(170, 235, 100);
        const QColor bottom = b.back ? QColor(25, 80, 25) : QColor(40, 120, 35);
        p.setPen(outline(QColor(15, 60, 15), 1.0));
        p.setBrush(vertical(b.ty, 59, top, bottom));
        p.drawPath(blade(b.x, b.w, b.tx, b.ty, b.bend));
    }
}

void drawFlower(QPainter& p)
{
    QPainterPath stem;
    stem.moveTo(32, 60);
    stem.cubicTo(30, 48, 35, 38, 32, 24);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(QColor(40, 120, 40), 3.0));
    p.drawPath(stem);

    auto leaf = [&](QPointF base, double angle, double len) {
        p.save();
        p.translate(base);
        p.rotate(angle);
        QPainterPath l;
        l.moveTo(0, 0);
        l.quadTo(len * 0.5, -len * 0.35, len, 0);
        l.quadTo(len * 0.5, len * 0.35, 0, 0);
        p.setPen(outline(QColor(20, 80, 20), 1.0));
        p.setBrush(vertical(-len * 0.3, len * 0.3, QColor(140, 220, 90), QColor(40, 130, 40)));
        p.drawPath(l);
        p.restore();
    };
    leaf({32, 50}, -30, 17);
    leaf({32, 44}, 205, 15);

    const QPointF c(32, 21);
    for (int i = 0; i < 6; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 60 + 15);
        QPainterPath petal;
        petal.addEllipse(QPointF(0, -10), 6.5, 11);
        p.setPen(outline(QColor(140, 20, 70), 1.0));
        p.setBrush(glow(QPointF(0, -6), 14, QPointF(0, -4), QColor(255, 170, 210), QColor(220, 40, 110)));
        p.drawPath(petal);
        p.restore();
    }
    p.setPen(outline(QColor(150, 90, 0), 1.0));
    p.setBrush(glow(c, 6, c - QPointF(2, 2), QColor(255, 240, 120), QColor(230, 150, 0)));
    p.drawEllipse(c, 5.5, 5.5);
}

void pebble(QPainter& p, QRectF r, double rotation, const QColor& light, const QColor& dark)
{
    p.save();
    p.translate(r.center());
    p.rotate(rotation);
    const QRectF local(-r.width() / 2, -r.height() / 2, r.width(), r.height());
    p.setPen(outline(QColor(40, 40, 45), 1.2));
    p.setBrush(glow(QPointF(0, 0), r.width() * 0.6, QPointF(-r.width() * 0.2, -r.height() * 0.3), light, dark));
    p.drawRoundedRect(local, r.width() * 0.45, r.height() * 0.5);
    p.restore();
}

void drawStones(QPainter& p)
{
    groundShadow(p, 32, 56, 26, 5);
    pebble(p, QRectF(26, 34, 30, 20), -8, QColor(200, 200, 205), QColor(95, 95, 105));
    pebble(p, QRectF(6, 38, 26, 18), 6, QColor(215, 205, 190), QColor(110, 100, 90));
    pebble(p, QRectF(18, 20, 24, 17), -4, QColor(190, 200, 210), QColor(85, 95, 110));
    pebble(p, QRectF(44, 48, 13, 9), 10, QColor(200, 195, 185), QColor(100, 95, 90));
}

void drawRock(QPainter& p)
{
    groundShadow(p, 32, 56, 26, 5);
    const QPointF pts[] = {{8, 56}, {12, 34}, {24, 16}, {40, 12}, {54, 28}, {58, 56}};
    QPainterPath body;
    body.moveTo(pts[0]);
    for (const QPointF& q : pts) body.lineTo(q);
    body.closeSubpath();
    p.setPen(outline(QColor(35, 35, 40), 1.5));
    p.setBrush(QColor(120, 115, 110));
    p.drawPath(body);
    // Facets in three tones give the boulder its light direction.
    auto facet = [&](std::initializer_list<QPointF> poly, const QColor& c) {
        QPainterPath f;
        auto it = poly.begin();
        f.moveTo(*it);
        for (++it; it != poly.end(); ++it) f.lineTo(*it);
        f.closeSubpath();
        p.setPen(outline(QColor(35, 35, 40), 1.0));
        p.setBrush(c);
        p.drawPath(f);
    };
    facet({{12, 34}, {24, 16}, {40, 12}, {30, 32}}, QColor(190, 185, 178));
    facet({{40, 12}, {54, 28}, {42, 36}, {30, 32}}, QColor(150, 145, 138));
    facet({{8, 56}, {12, 34}, {30, 32}, {26, 56}}, QColor(135, 130, 124));
    facet({{30, 32}, {42, 36}, {44, 56}, {26, 56}}, QColor(105, 100, 96));
}

void drawBillboard(QPainter& p)
{
    groundShadow(p, 32, 59, 12, 3);
    p.setPen(outline(QColor(60, 36, 16), 1.2));
    p.setBrush(vertical(0, 0, QColor(150, 100, 55), QColor(150, 100, 55)));
    p.drawRect(QRectF(29, 34, 6, 25));
    const QRectF board(6, 7, 52, 32);
    p.setPen(outline(QColor(60, 36, 16), 2.0));
    p.setBrush(QColor(170, 120, 70));
    p.drawRoundedRect(board, 3, 3);
    const QRectF picture = board.adjusted(4, 4, -4, -4);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(picture.top(), picture.bottom(), QColor(150, 210, 250), QColor(220, 245, 255)));
    p.drawRect(picture);
    // A butterfly on the board: the sprite a billboard typically plays.
    const QPointF c = picture.center();
    p.setPen(outline(QColor(90, 40, 0), 1.0));
    p.setBrush(glow(c, 14, c, QColor(255, 210, 80), QColor(235, 110, 20)));
    for (int side : {-1, 1}) {
        p.drawEllipse(QPointF(c.x() + side * 7, c.y() - 3), 7, 6);
        p.drawEllipse(QPointF(c.x() + side * 5.5, c.y() + 5), 4.5, 4);
    }
    p.setPen(outline(QColor(50, 30, 10), 2.0));
    p.drawLine(QPointF(c.x(), c.y() - 7), QPointF(c.x(), c.y() + 8));
}

void drawBush(QPainter& p)
{
    groundShadow(p, 32, 56, 27, 5);
    QPainterPath bush = circle(16, 44, 11)
                            .united(circle(28, 36, 13))
                            .united(circle(42, 37, 12))
                            .united(circle(50, 46, 9))
                            .united(circle(32, 47, 11));
    QPainterPath ground;
    ground.addRect(0, 55, 64, 9);
    bush = bush.subtracted(ground);
    p.setPen(outline(QColor(20, 60, 20), 1.5));
    p.setBrush(glow(QPointF(30, 38), 28, QPointF(26, 28), QColor(130, 200, 90), QColor(30, 90, 35)));
    p.drawPath(bush);
    p.setPen(outline(QColor(110, 0, 20), 0.8));
    p.setBrush(QColor(220, 30, 50));
    for (const QPointF& b : {QPointF(20, 40), QPointF(34, 31), QPointF(44, 43), QPointF(28, 48)})
        p.drawEllipse(b, 2.5, 2.5);
}

void drawIvy(QPainter& p)
{
    QPainterPath vine;
    vine.moveTo(8, 60);
    vine.cubicTo(40, 52, 10, 32, 30, 22);
    vine.cubicTo(46, 14, 36, 6, 56, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(QColor(90, 60, 30), 2.5));
    p.drawPath(vine);
    // Heart-shaped leaves alternate along the vine.
    for (int i = 1; i <= 5; ++i) {
        const double t = i / 6.0;
        const QPointF at = vine.pointAtPercent(t);
        const double ang = -vine.angleAtPercent(t) + (i % 2 ? 60 : -120);
        p.save();
        p.translate(at);
        p.rotate(ang);
        QPainterPath heart;
        heart.moveTo(0, 0);
        heart.cubicTo(2, -9, 12, -9, 16, 0);
        heart.cubicTo(12, 9, 2, 9, 0, 0);
        p.setPen(outline(QColor(15, 70, 20), 1.0));
        p.setBrush(glow(QPointF(8, 0), 10, QPointF(6, -2), QColor(120, 210, 90), QColor(25, 110, 35)));
        p.drawPath(heart);
        p.restore();
    }
}

void drawWeed(QPainter& p)
{
    // Jagged rosette leaves of a dandelion-like weed.
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(32, 56);
        p.rotate(-150 + i * 30);
        QPainterPath leaf;
        leaf.moveTo(0, -2);
        for (int k = 0; k < 4; ++k) {
            leaf.lineTo(6 + k * 6, -6);
            leaf.lineTo(8 + k * 6, -2);
        }
        leaf.lineTo(32, 0);
        for (int k = 3; k >= 0; --k) {
            leaf.lineTo(8 + k * 6, 2);
            leaf.lineTo(6 + k * 6, 6);
        }
        leaf.lineTo(0, 2);
        leaf.closeSubpath();
        p.setPen(outline(QColor(20, 70, 20), 1.0));
        p.setBrush(QColor(70, 150, 50));
        p.drawPath(leaf);
        p.restore();
    }
    p.setPen(outline(QColor(60, 120, 50), 2.0));
    p.drawLine(QPointF(32, 56), QPointF(36, 18));
    // Seed puff.
    const QPointF c(36, 15);
    p.setPen(outline(QColor(235, 235, 240), 1.0));
    for (int i = 0; i < 24; ++i) {
        const double a = i * 2 * kPi / 24;
        p.drawLine(c, c + QPointF(std::cos(a) * 11, std::sin(a) * 11));
    }
    p.setBrush(QColor(250, 250, 255));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 24; ++i) {
        const double a = i * 2 * kPi / 24;
        p.drawEllipse(c + QPointF(std::cos(a) * 11, std::sin(a) * 11), 1.4, 1.4);
    }
    p.setBrush(QColor(200, 170, 90));
    p.drawEllipse(c, 2.5, 2.5);
}

void drawMushroom(QPainter& p)
{
    groundShadow(p, 32, 58, 16, 3.5);
    QPainterPath stem;
    stem.moveTo(25, 58);
    stem.cubicTo(27, 48, 27, 40, 27, 32);
    stem.lineTo(37, 32);
    stem.cubicTo(37, 40, 37, 48, 39, 58);
    stem.closeSubpath();
    p.setPen(outline(QColor(120, 100, 70), 1.2));
    p.setBrush(vertical(32, 58, QColor(255, 250, 235), QColor(220, 205, 175)));
    p.drawPath(stem);
    QPainterPath cap;
    cap.moveTo(6, 34);
    cap.cubicTo(6, 4, 58, 4, 58, 34);
    cap.quadTo(32, 28, 6, 34);
    p.setPen(outline(QColor(110, 10, 10), 1.5));
    p.setBrush(glow(QPointF(28, 16), 30, QPointF(22, 10), QColor(255, 110, 90), QColor(170, 20, 20)));
    p.drawPath(cap);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 250, 240));
    for (const QPointF& d : {QPointF(20, 22), QPointF(33, 14), QPointF(45, 22), QPointF(28, 27), QPointF(50, 30)})
        p.drawEllipse(d, 3.2, 2.6);
}

void drawCrystals(QPainter& p)
{
    groundShadow(p, 32, 57, 24, 4);
    struct C
    {
        double x, h, w, ang;
        QColor a, b;
    };
    const C crystals[] = {
        {20, 30, 10, -22, QColor(200, 160, 255), QColor(100, 40, 180)},
        {46, 28, 10, 20, QColor(170, 230, 255), QColor(30, 120, 200)},
        {32, 44, 13, 0, QColor(210, 250, 255), QColor(40, 150, 210)},
    };
    for (const C& c : crystals) {
        p.save();
        p.translate(c.x, 56);
        p.rotate(c.ang);
        const double w = c.w / 2;
        QPainterPath prism;
        prism.moveTo(-w, 0);
        prism.lineTo(-w, -c.h + w * 1.6);
        prism.lineTo(0, -c.h);
        prism.lineTo(w, -c.h + w * 1.6);
        prism.lineTo(w, 0);
        prism.closeSubpath();
        QLinearGradient g(-w, 0, w, 0);
        g.setColorAt(0, c.a);
        g.setColorAt(0.5, c.b.lighter(120));
        g.setColorAt(1, c.b);
        p.setPen(outline(c.b.darker(180), 1.2));
        p.setBrush(g);
        p.drawPath(prism);
        p.setPen(outline(QColor(255, 255, 255, 170), 1.0));
        p.drawLine(QPointF(0, -c.h), QPointF(0, 0));
        p.restore();
    }
}

void drawLandscape(QPainter& p, double w, double h)
{
    const QRectF r(1.5, 1.5, w - 3, h - 3);
    QPainterPath frame;
    frame.addRoundedRect(r, 10, 10);
    p.save();
    p.setClipPath(frame);
    p.fillRect(r, vertical(0, h, QColor(90, 160, 230), QColor(200, 230, 250)));
    const QPointF sun(w * 0.78, h * 0.28);
    p.setPen(Qt::NoPen);
    p.setBrush(glow(sun, 10, sun, QColor(255, 250, 200), QColor(255, 200, 60)));
    p.drawEllipse(sun, 7, 7);

    QPainterPath far;
    far.moveTo(0, h);
    far.lineTo(0, h * 0.55);
    far.cubicTo(w * 0.15, h * 0.25, w * 0.3, h * 0.3, w * 0.42, h * 0.5);
    far.cubicTo(w * 0.55, h * 0.28, w * 0.72, h * 0.35, w * 0.85, h * 0.5);
    far.cubicTo(w * 0.92, h * 0.45, w * 0.97, h * 0.45, w, h * 0.5);
    far.lineTo(w, h);
    far.closeSubpath();
    p.setBrush(vertical(h * 0.3, h, QColor(110, 150, 160), QColor(70, 110, 120)));
    p.drawPath(far);

    QPainterPath near;
    near.moveTo(0, h);
    near.lineTo(0, h * 0.75);
    near.cubicTo(w * 0.2, h * 0.52, w * 0.4, h * 0.6, w * 0.55, h * 0.72);
    near.cubicTo(w * 0.7, h * 0.58, w * 0.88, h * 0.6, w, h * 0.7);
    near.lineTo(w, h);
    near.closeSubpath();
    p.setBrush(vertical(h * 0.55, h, QColor(130, 200, 80), QColor(40, 110, 35)));
    p.drawPath(near);

    // A winding river through the valley ties the picture to the map slots.
    QPainterPath river;
    river.moveTo(w * 0.5, h * 0.74);
    river.cubicTo(w * 0.58, h * 0.82, w * 0.4, h * 0.88, w * 0.5, h);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(QColor(90, 170, 235), 3.0));
    p.drawPath(river);

    for (const QPointF& t : {QPointF(w * 0.18, h * 0.62), QPointF(w * 0.26, h * 0.66), QPointF(w * 0.8, h * 0.64)}) {
        QPainterPath fir;
        fir.moveTo(t.x(), t.y() - 10);
        fir.lineTo(t.x() + 4, t.y());
        fir.lineTo(t.x() - 4, t.y());
        fir.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(25, 80, 35));
        p.drawPath(fir);
    }
    p.restore();
    p.setPen(outline(QColor(120, 150, 170), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(frame);
}

// ---- toolbar pictograms ----------------------------------------------------------------

void drawPlay(QPainter& p)
{
    QPainterPath tri;
    tri.moveTo(16, 8);
    tri.lineTo(56, 32);
    tri.lineTo(16, 56);
    tri.closeSubpath();
    p.setPen(outline(QColor(20, 90, 20), 5.0));
    p.setBrush(vertical(8, 56, QColor(140, 235, 110), QColor(30, 150, 40)));
    p.drawPath(tri);
}

void drawPause(QPainter& p)
{
    p.setPen(outline(QColor(20, 50, 100), 2.0));
    p.setBrush(vertical(8, 56, QColor(130, 180, 250), QColor(30, 80, 180)));
    p.drawRoundedRect(QRectF(12, 8, 14, 48), 4, 4);
    p.drawRoundedRect(QRectF(38, 8, 14, 48), 4, 4);
}

void drawDelete(QPainter& p)
{
    // Thick strokes with a dark rim so the cross still reads at 16 px.
    for (int pass = 0; pass < 2; ++pass) {
        p.setPen(outline(pass == 0 ? QColor(110, 0, 0) : QColor(230, 40, 40), pass == 0 ? 17 : 11));
        p.drawLine(QPointF(14, 14), QPointF(50, 50));
        p.drawLine(QPointF(50, 14), QPointF(14, 50));
    }
    p.setPen(outline(QColor(255, 140, 130), 3));
    p.drawLine(QPointF(16, 14), QPointF(30, 28));
    p.drawLine(QPointF(48, 14), QPointF(40, 22));
}

void drawDeleteAll(QPainter& p)
{
    p.setPen(outline(QColor(40, 45, 55), 2.0));
    // Can body, slightly tapered.
    QPainterPath body;
    body.moveTo(14, 18);
    body.lineTo(50, 18);
    body.lineTo(46, 58);
    body.lineTo(18, 58);
    body.closeSubpath();
    QLinearGradient metal(14, 0, 50, 0);
    metal.setColorAt(0, QColor(150, 160, 175));
    metal.setColorAt(0.4, QColor(220, 225, 235));
    metal.setColorAt(1, QColor(110, 120, 135));
    p.setBrush(metal);
    p.drawPath(body);
    p.setPen(outline(QColor(70, 75, 90), 2.5));
    for (double x : {24.0, 32.0, 40.0}) p.drawLine(QPointF(x, 24), QPointF(x + (32 - x) * 0.1, 52));
    // Lid and handle.
    p.setPen(outline(QColor(40, 45, 55), 2.0));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(9, 10, 46, 8), 3, 3);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(25, 4, 14, 7), 3, 3);
    // Red cross: "delete", applied to everything.
    p.setPen(outline(QColor(120, 0, 0), 8));
    p.drawLine(QPointF(36, 36), QPointF(56, 56));
    p.drawLine(QPointF(56, 36), QPointF(36, 56));
    p.setPen(outline(QColor(235, 45, 45), 4.5));
    p.drawLine(QPointF(36, 36), QPointF(56, 56));
    p.drawLine(QPointF(56, 36), QPointF(36, 56));
}

void drawHelp(QPainter& p)
{
    p.setPen(outline(QColor(15, 50, 110), 2.0));
    p.setBrush(glow(QPointF(32, 32), 32, QPointF(24, 20), QColor(120, 180, 255), QColor(25, 80, 180)));
    p.drawEllipse(QPointF(32, 32), 29, 29);
    QPainterPath q;
    q.moveTo(21, 24);
    q.cubicTo(21, 10, 43, 10, 43, 23);
    q.cubicTo(43, 32, 32, 31, 32, 41);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(Qt::white, 7.0));
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 51), 4.5, 4.5);
}

QPainterPath arrow(QPointF from, QPointF to, double shaft, double head)
{
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    const double len = std::hypot(dx, dy);
    const double ux = dx / len, uy = dy / len, nx = -uy, ny = ux;
    const double neck = len - head * 1.1;
    QPainterPath a;
    auto P = [&](double along, double side) {
        return QPointF(from.x() + ux * along + nx * side, from.y() + uy * along + ny * side);
    };
    a.moveTo(P(0, -shaft));
    a.lineTo(P(neck, -shaft));
    a.lineTo(P(neck, -head));
    a.lineTo(P(len, 0));
    a.lineTo(P(neck, head));
    a.lineTo(P(neck, shaft));
    a.lineTo(P(0, shaft));
    a.closeSubpath();
    return a;
}

void drawSwap(QPainter& p)
{
    p.setPen(outline(QColor(120, 60, 0), 1.5));
    p.setBrush(vertical(10, 30, QColor(255, 200, 90), QColor(230, 120, 20)));
    p.drawPath(arrow({6, 20}, {58, 20}, 5, 12));
    p.setPen(outline(QColor(10, 50, 110), 1.5));
    p.setBrush(vertical(34, 54, QColor(120, 190, 255), QColor(30, 100, 200)));
    p.drawPath(arrow({58, 44}, {6, 44}, 5, 12));
}

void drawWindow(QPainter& p)
{
    const QRectF r(5, 8, 54, 48);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(r.top(), r.bottom(), QColor(245, 248, 252), QColor(205, 215, 228)));
    p.drawRoundedRect(r, 5, 5);
    // Title bar: the feature that makes it read as a window even at 16 px.
    QPainterPath bar;
    bar.addRoundedRect(QRectF(r.left(), r.top(), r.width(), 15), 5, 5);
    bar.addRect(QRectF(r.left(), r.top() + 8, r.width(), 7));
    p.setBrush(vertical(r.top(), r.top() + 15, QColor(90, 150, 240), QColor(30, 80, 190)));
    p.drawPath(bar.simplified());
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(r.right() - 8 - i * 8, r.top() + 7.5), 2.5, 2.5);
    p.setPen(outline(QColor(25, 45, 80), 4.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, 5, 5);
}

void folderBack(QPainter& p)
{
    QPainterPath back;
    back.moveTo(4, 14);
    back.lineTo(22, 14);
    back.lineTo(27, 19);
    back.lineTo(56, 19);
    back.lineTo(56, 54);
    back.lineTo(4, 54);
    back.closeSubpath();
    p.setPen(outline(QColor(130, 80, 0), 1.5));
    p.setBrush(vertical(14, 54, QColor(230, 170, 50), QColor(180, 110, 10)));
    p.drawPath(back);
}

void folderFront(QPainter& p)
{
    QPainterPath front;
    front.moveTo(12, 28);
    front.lineTo(62, 28);
    front.lineTo(54, 54);
    front.lineTo(4, 54);
    front.closeSubpath();
    p.setPen(outline(QColor(130, 80, 0), 1.5));
    p.setBrush(vertical(28, 54, QColor(255, 225, 120), QColor(240, 170, 40)));
    p.drawPath(front);
}

void drawOpen(QPainter& p)
{
    folderBack(p);
    folderFront(p);
}

void drawOpenFile(QPainter& p)
{
    folderBack(p);
    // A sheet standing in the folder: opens one file rather than a whole set.
    p.save();
    p.translate(34, 34);
    p.rotate(8);
    QPainterPath sheet;
    sheet.moveTo(-12, 0);
    sheet.lineTo(-12, -28);
    sheet.lineTo(6, -28);
    sheet.lineTo(12, -22);
    sheet.lineTo(12, 0);
    sheet.closeSubpath();
    p.setPen(outline(QColor(90, 95, 110), 1.2));
    p.setBrush(QColor(252, 252, 255));
    p.drawPath(sheet);
    p.setPen(outline(QColor(120, 160, 210), 1.5));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(-8, -21 + i * 5), QPointF(8, -21 + i * 5));
    p.restore();
    folderFront(p);
}

void floppy(QPainter& p, const std::function<void(QRectF)>& label)
{
    QPainterPath body;
    body.moveTo(6, 8);
    body.lineTo(50, 8);
    body.lineTo(58, 16);
    body.lineTo(58, 56);
    body.lineTo(6, 56);
    body.closeSubpath();
    p.setPen(outline(QColor(10, 25, 60), 2.0));
    p.setBrush(vertical(8, 56, QColor(60, 110, 200), QColor(20, 50, 120)));
    p.drawPath(body);
    // Shutter with its slot.
    p.setPen(outline(QColor(70, 75, 90), 1.2));
    p.setBrush(vertical(8, 24, QColor(225, 228, 235), QColor(160, 165, 175)));
    p.drawRect(QRectF(18, 8, 26, 16));
    p.setBrush(QColor(40, 50, 70));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(34, 11, 6, 10));
    const QRectF lab(13, 32, 38, 22);
    p.setPen(outline(QColor(150, 150, 160), 1.0));
    p.setBrush(QColor(250, 250, 245));
    p.drawRoundedRect(lab, 2, 2);
    label(lab);
}

void drawSave(QPainter& p)
{
    floppy(p, [&](QRectF lab) {
        p.setPen(outline(QColor(200, 60, 60), 1.5));
        p.drawLine(QPointF(lab.left() + 4, lab.top() + 6), QPointF(lab.right() - 4, lab.top() + 6));
        p.setPen(outline(QColor(150, 170, 200), 1.5));
        for (int i = 1; i < 3; ++i)
            p.drawLine(QPointF(lab.left() + 4, lab.top() + 6 + i * 5), QPointF(lab.right() - 4, lab.top() + 6 + i * 5));
    });
}

void drawSaveMap(QPainter& p)
{
    floppy(p, [&](QRectF lab) {
        // A small terrain on the label: this one saves height data.
        QPainterPath hills;
        hills.moveTo(lab.left() + 2, lab.bottom() - 2);
        hills.lineTo(lab.left() + 11, lab.top() + 5);
        hills.lineTo(lab.left() + 18, lab.top() + 12);
        hills.lineTo(lab.left() + 26, lab.top() + 3);
        hills.lineTo(lab.right() - 2, lab.bottom() - 2);
        hills.closeSubpath();
        p.setPen(outline(QColor(20, 80, 20), 1.0));
        p.setBrush(vertical(lab.top(), lab.bottom(), QColor(150, 220, 100), QColor(40, 120, 40)));
        p.drawPath(hills);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        QPainterPath snow;
        snow.moveTo(lab.left() + 26, lab.top() + 3);
        snow.lineTo(lab.left() + 29.5, lab.top() + 7.5);
        snow.lineTo(lab.left() + 22.5, lab.top() + 7.5);
        snow.closeSubpath();
        p.drawPath(snow);
    });
}

void drawRefresh(QPainter& p, double width, const QColor& light, const QColor& dark)
{
    const QPointF c(32, 32);
    const double r = 21;
    auto arcArrow = [&](double startDeg) {
        const double span = 140;
        QPainterPath arc;
        const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
        arc.arcMoveTo(box, startDeg);
        arc.arcTo(box, startDeg, span);
        p.setBrush(Qt::NoBrush);
        p.setPen(outline(dark, width + 3));
        p.drawPath(arc);
        // Arrow head at the end of the arc, pointing along the direction of travel.
        const double e = (startDeg + span) * kPi / 180.0;
        const QPointF tip = c + QPointF(r * std::cos(e), -r * std::sin(e));
        const QPointF dir(-std::sin(e), -std::cos(e));
        const QPointF nrm(std::cos(e), -std::sin(e));
        const double hs = width * 1.6 + 3;
        QPainterPath head;
        head.moveTo(tip + dir * hs * 1.2);
        head.lineTo(tip + nrm * hs);
        head.lineTo(tip - nrm * hs);
        head.closeSubpath();
        p.setPen(outline(dark, 2.0));
        p.setBrush(light);
        p.drawPath(head);
        p.setBrush(Qt::NoBrush);
        p.setPen(outline(light, width));
        p.drawPath(arc);
    };
    arcArrow(20);
    arcArrow(200);
}

void drawKorg(QPainter& p)
{
    const QRectF body(3, 14, 58, 36);
    p.setPen(outline(QColor(10, 10, 12), 1.5));
    p.setBrush(vertical(body.top(), body.bottom(), QColor(75, 78, 85), QColor(30, 32, 36)));
    p.drawRoundedRect(body, 4, 4);
    // Transport buttons on the left.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == 2 ? QColor(230, 60, 50) : QColor(170, 175, 185));
        p.drawRoundedRect(QRectF(7, 19 + i * 9, 6, 6), 1.2, 1.2);
    }
    // Channel strips: knob on top, fader below.
    const double faderPos[] = {0.3, 0.7, 0.5, 0.15, 0.85, 0.45};
    for (int ch = 0; ch < 6; ++ch) {
        const double x = 20 + ch * 7.2;
        p.setBrush(QColor(200, 205, 215));
        p.setPen(outline(QColor(15, 15, 20), 0.8));
        p.drawEllipse(QPointF(x, 20), 2.6, 2.6);
        p.setPen(outline(QColor(10, 10, 12), 2.0));
        p.drawLine(QPointF(x, 27), QPointF(x, 46));
        const double y = 27 + faderPos[ch] * 19;
        p.setPen(outline(QColor(10, 10, 12), 0.8));
        p.setBrush(vertical(y - 2.5, y + 2.5, QColor(255, 255, 255), QColor(180, 185, 195)));
        p.drawRoundedRect(QRectF(x - 3, y - 2.5, 6, 5), 1, 1);
    }
    // Cable: it is a connection button.
    QPainterPath cable;
    cable.moveTo(32, 14);
    cable.cubicTo(32, 6, 46, 10, 48, 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(QColor(40, 40, 45), 2.5));
    p.drawPath(cable);
}

void drawSignpost(QPainter& p)
{
    groundShadow(p, 32, 59, 12, 3);
    p.setPen(outline(QColor(60, 36, 16), 1.5));
    QLinearGradient wood(28, 0, 36, 0);
    wood.setColorAt(0, QColor(120, 80, 40));
    wood.setColorAt(0.5, QColor(175, 125, 70));
    wood.setColorAt(1, QColor(100, 65, 30));
    p.setBrush(wood);
    p.drawRect(QRectF(28.5, 6, 7, 53));
    auto sign = [&](double y, bool right, const QColor& a, const QColor& b) {
        QPainterPath s;
        const double l = right ? 14 : 4, rr = right ? 60 : 50;
        if (right) {
            s.moveTo(l, y - 7);
            s.lineTo(rr - 8, y - 7);
            s.lineTo(rr, y);
            s.lineTo(rr - 8, y + 7);
            s.lineTo(l, y + 7);
        } else {
            s.moveTo(rr, y - 7);
            s.lineTo(l + 8, y - 7);
            s.lineTo(l, y);
            s.lineTo(l + 8, y + 7);
            s.lineTo(rr, y + 7);
        }
        s.closeSubpath();
        p.setPen(outline(b.darker(170), 1.5));
        p.setBrush(vertical(y - 7, y + 7, a, b));
        p.drawPath(s);
    };
    sign(16, true, QColor(130, 210, 110), QColor(40, 130, 50));
    sign(34, false, QColor(255, 210, 120), QColor(210, 130, 40));
}

struct IconJob
{
    QString file;
    int w, h;
    std::function<void(QPainter&, int, int)> draw;
};

std::function<void(QPainter&, int, int)> objectIcon(void (*pictogram)(QPainter&), bool grow)
{
    return [pictogram, grow](QPainter& p, int w, int h) {
        tile(p, w, h);
        pictogram(p);
        if (grow) growBadge(p, w, h);
    };
}

std::function<void(QPainter&, int, int)> plain(void (*pictogram)(QPainter&))
{
    return [pictogram](QPainter& p, int, int) { pictogram(p); };
}

}  // namespace

bool writeIcons(const QString& imagesDir, QString* error)
{
    if (!ensureDir(imagesDir, error)) return false;
    auto landscape = [](bool grow) {
        return [grow](QPainter& p, int w, int h) {
            drawLandscape(p, w, h);
            if (grow) growBadge(p, w, h);
        };
    };
    auto refresh = [](double width, QColor light, QColor dark) {
        return [=](QPainter& p, int, int) { drawRefresh(p, width, light, dark); };
    };
    const QVector<IconJob> jobs = {
        {"BillboardV1.png", 64, 64, objectIcon(drawBillboard, false)},
        {"Delete.png", 64, 64, plain(drawDelete)},
        {"DeleteAll.png", 64, 64, plain(drawDeleteAll)},
        {"FlowerV1.png", 64, 64, objectIcon(drawFlower, false)},
        {"GrassV1.png", 64, 64, objectIcon(drawGrass, false)},
        {"GrowBillboard.png", 64, 64, objectIcon(drawBillboard, true)},
        {"GrowBush.png", 64, 64, objectIcon(drawBush, true)},
        {"GrowCrystals.png", 64, 64, objectIcon(drawCrystals, true)},
        {"GrowFlower.png", 64, 64, objectIcon(drawFlower, true)},
        {"GrowGrass.png", 64, 64, objectIcon(drawGrass, true)},
        {"GrowIvy.png", 64, 64, objectIcon(drawIvy, true)},
        {"GrowLand.png", 128, 64, landscape(true)},
        {"GrowMushroom.png", 64, 64, objectIcon(drawMushroom, true)},
        {"GrowRock.png", 64, 64, objectIcon(drawRock, true)},
        {"GrowStones.png", 64, 64, objectIcon(drawStones, true)},
        {"GrowTree.png", 64, 64, objectIcon(drawTree, true)},
        {"GrowWeed.png", 64, 64, objectIcon(drawWeed, true)},
        {"Help.png", 64, 64, plain(drawHelp)},
        {"KorgNanoKontrol2.png", 64, 64, plain(drawKorg)},
        {"LandscapeV1.png", 128, 64, landscape(false)},
        {"OpenFile.png", 64, 64, plain(drawOpenFile)},
        {"Pause.png", 64, 64, plain(drawPause)},
        {"Play.png", 64, 64, plain(drawPlay)},
        {"StonesV1.png", 64, 64, objectIcon(drawStones, false)},
        {"Swap.png", 64, 64, plain(drawSwap)},
        {"TreeV1.png", 64, 64, objectIcon(drawTree, false)},
        {"Window.png", 64, 64, plain(drawWindow)},
        {"window.png", 64, 64, plain(drawWindow)},
        {"open.png", 64, 64, plain(drawOpen)},
        {"refresh.png", 64, 64, refresh(6.0, QColor(120, 220, 100), QColor(20, 90, 20))},
        {"refreshBig.png", 64, 64, refresh(8.5, QColor(110, 180, 255), QColor(15, 55, 130))},
        {"save.png", 64, 64, plain(drawSave)},
        {"save_map.png", 64, 64, plain(drawSaveMap)},
        {"signpost.png", 64, 64, plain(drawSignpost)},
    };
    for (const IconJob& job : jobs) {
        QImage img = makeCanvas(job.w, job.h);
        {
            QPainter p(&img);
            prepare(p);
            job.draw(p, job.w, job.h);
        }
        if (!saveImage(img, QDir(imagesDir).filePath(job.file), "PNG", -1, error)) return false;
    }
    return true;
}

}  // namespace assetgen
