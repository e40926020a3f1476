// The viewport's light and cameras: view options refused clearly, the camera and sun kept
// by host scenes, cut-outs casting shadows through their opacity, and framing that fills the
// picture.
#include <cmath>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "commandline.h"
#include "framing.h"
#include "orbitcamera.h"
#include "renderer.h"
#include "shadowmap.h"
#include "viewsettings.h"
#include "worldground.h"
#include "testscene.h"
#include "hostrun.h"

namespace {

// A flat quad of side size at height y, centred on (cx, cz), with UVs over 0..1.
DzNode* quad(const QString& label, float cx, float y, float cz, float size, const QColor& colour,
             DzDefaultMaterial** matOut)
{
    DzFacetMesh* mesh = nullptr;
    DzFacetShape* shape = nullptr;
    DzNode* node = makeMeshNode(label, &mesh, &shape);
    DzDefaultMaterial* mat = addMaterial(shape, label, colour);
    mesh->beginEdit();
    const float h = size / 2;
    const float corners[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
    for (int i = 0; i < 4; ++i) {
        mesh->addVertex(cx + corners[i][0], y, cz + corners[i][1]);
        mesh->getUVs()->appendPnt2Vec(DzPnt2(corners[i][0] > 0 ? 1.f : 0.f, corners[i][1] > 0 ? 1.f : 0.f));
    }
    const int q[4] = {0, 1, 2, 3};
    mesh->addFacet(q, q);
    mesh->finishEdit();
    dzScene->addNode(node);
    if (matOut) *matOut = mat;
    return node;
}

class LookGuard
{
public:
    LookGuard() : m_saved(viewLook()) {}
    ~LookGuard()
    {
        setViewLook(m_saved);
        if (DzCameraNode* c = hostCamera()) {
            c->setWSPos(DzVec3(0.f, 0.f, 0.f));
            c->setFocalPoint(DzVec3(0.f, 0.f, 0.f));
        }
    }

private:
    ViewLook m_saved;
};

}  // namespace

TEST(ViewOptions, OutOfRangeSunViewAndCameraAreRefusedWithOneClearLine)
{
    const struct
    {
        QStringList args;
        QString expect;
    } cases[] = {
        {{"--sun", "400,30"}, "--sun: azimuth 400 is not from 0 to 360 degrees"},
        {{"--sun", "90,-5"}, "--sun: elevation -5 is not from 0 to 90 degrees"},
        {{"--sun", "90,95"}, "--sun: elevation 95 is not from 0 to 90 degrees"},
        {{"--sun", "east"}, "--sun: not AZIMUTH,ELEVATION in degrees: east"},
        {{"--sun", "90,nan"}, "--sun: not AZIMUTH,ELEVATION"},
        {{"--view", "side"}, "--view: use perspective, top, front or eye, not side"},
        {{"--shading", "pretty"}, "--shading: use full, fast or flat, not pretty"},
        {{"--fov", "5"}, "--fov: 5 is not from 10 to 120 degrees"},
        {{"--camera", "1,2"}, "--camera: not a point X,Y,Z: 1,2"},
        {{"--camera", "1,2,3"}, "--camera needs --look-at"},
        {{"--look-at", "1,2,3"}, "--look-at needs --camera"},
        {{"--camera", "1,2,3", "--look-at", "1,2,3"}, "--camera and --look-at are the same point"},
        {{"--view", "top", "--camera", "0,9,0", "--look-at", "0,0,0"}, "use --view or --camera, not both"},
    };
    for (const auto& c : cases) {
        CommandLine cl;
        QString error;
        int code = 0;
        EXPECT_FALSE(parseCommandLine(c.args, &cl, &error, &code)) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(error.startsWith(c.expect)) << qPrintable(c.args.join(' ') + " -> " + error);
        EXPECT_EQ(code, kExitUsage) << qPrintable(c.args.join(' '));
    }
    // The real executable says the same on stderr and exits with the usage code.
    const HostRun r = runHost({"--headless", "--sun", "90,91"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(r.err.contains("--sun: elevation 91 is not from 0 to 90 degrees")) << qPrintable(r.err);

    CommandLine cl;
    QString error;
    ASSERT_TRUE(parseCommandLine({"--sun", "315,25", "--shading", "FAST", "--view", "eye", "--fov", "60"}, &cl, &error))
        << qPrintable(error);
    EXPECT_EQ(cl.sunAzimuth, 315.f);
    EXPECT_EQ(cl.sunElevation, 25.f);
    EXPECT_EQ(cl.shading, "fast");
    EXPECT_EQ(cl.view, "eye");
    EXPECT_EQ(cl.fov, 60.f);
}

TEST(ViewPersistence, HostSceneRoundTripKeepsTheCameraAndTheSun)
{
    LookGuard guard;
    QTemporaryDir dir;
    dzScene->clear();
    buildTestScene(dir.path());
    installViewPersistence();
    ViewLook look;
    look.sun.azimuthDeg = 300.f;
    look.sun.elevationDeg = 22.5f;
    look.sun.turbidity = 4.f;
    look.shading = Shading::Fast;
    setViewLook(look);
    OrbitCamera cam;
    cam.fovDeg = 38.f;
    cam.lookAt(QVector3D(120.f, 80.f, 340.f), QVector3D(10.f, 5.f, -20.f));
    cam.writeTo(hostCamera());
    const QString file = dir.path() + "/view.duf";
    QString why;
    ASSERT_TRUE(dzScene->saveScene(file, &why)) << qPrintable(why);

    // Somewhere else entirely, then the file again.
    setViewLook(ViewLook());
    OrbitCamera other;
    other.lookAt(QVector3D(0.f, 500.f, 1.f), QVector3D(0.f, 0.f, 0.f));
    other.writeTo(hostCamera());
    ASSERT_TRUE(dzScene->loadScene(file, &why)) << qPrintable(why);
    EXPECT_FLOAT_EQ(viewLook().sun.azimuthDeg, 300.f);
    EXPECT_FLOAT_EQ(viewLook().sun.elevationDeg, 22.5f);
    EXPECT_FLOAT_EQ(viewLook().sun.turbidity, 4.f);
    EXPECT_EQ(viewLook().shading, Shading::Fast);
    OrbitCamera back;
    back.readFrom(hostCamera());
    EXPECT_LT((back.eye() - QVector3D(120.f, 80.f, 340.f)).length(), 0.01f);
    EXPECT_LT((back.target - QVector3D(10.f, 5.f, -20.f)).length(), 0.01f);
    EXPECT_FLOAT_EQ(back.fovDeg, 38.f);

    // A view that is not valid is left out; the scene itself still loads.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    ASSERT_TRUE(text.contains("\"elevation\""));
    text = QString::fromUtf8(text).replace(QRegularExpression("\"elevation\": *22\\.5"), "\"elevation\": 140").toUtf8();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    setViewLook(ViewLook());
    ASSERT_TRUE(dzScene->loadScene(file, &why)) << qPrintable(why);
    EXPECT_FLOAT_EQ(viewLook().sun.elevationDeg, SunSky().elevationDeg);
    EXPECT_GT(dzScene->getNumNodes(), 0);
    dzScene->clear();
}

// A grass card over white ground with the sun in the east: the card's shadow falls west of
// it. Where the blade texture is clear the sun reaches the ground, so the shadow has stripes
// of light; a solid card would leave one dark rectangle.
TEST(SunShadow, CutOutCardsCastShadowsThroughTheirOpacity)
{
    LookGuard guard;
    QTemporaryDir dir;
    dzScene->clear();
    quad("Ground", 0.f, 0.f, 0.f, 400.f, QColor(230, 230, 230), nullptr);
    DzDefaultMaterial* cardMat = nullptr;
    quad("Card", 100.f, 100.f, 0.f, 80.f, QColor(60, 160, 40), &cardMat);
    // Eight stripes across u: solid, clear, solid, ...
    QImage colour(64, 64, QImage::Format_RGB32), opacity(64, 64, QImage::Format_Grayscale8);
    colour.fill(Qt::white);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) opacity.setPixel(x, y, (x / 8) % 2 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    colour.save(dir.path() + "/blade.png");
    opacity.save(dir.path() + "/blade_O.png");
    qobject_cast<DzNumericProperty*>(cardMat->findProperty("Diffuse Color"))
        ->setMap(dzApp->getImageMgr()->getImage(dir.path() + "/blade.png"));
    auto* op = qobject_cast<DzNumericProperty*>(cardMat->findProperty("Opacity Strength"));
    op->setIsMappable(true);
    op->setMap(dzApp->getImageMgr()->getImage(dir.path() + "/blade_O.png"));
    ASSERT_NE(cardMat->getOpacityMap(), nullptr);

    ViewLook look;
    look.sun.azimuthDeg = 90.f;  // east: the shadow of the card at x 60..140 falls on x -40..40
    look.sun.elevationDeg = 45.f;
    look.shading = Shading::Full;
    setViewLook(look);
    // Straight down on the shadow; the card itself stays out of the picture.
    OrbitCamera cam;
    cam.fovDeg = 20.f;
    cam.lookAt(QVector3D(0.f, 300.f, 0.01f), QVector3D(0.f, 0.f, 0.f));
    cam.writeTo(hostCamera());
    QString error;
    const QImage img = renderSceneImage(QSize(256, 256), &error);
    ASSERT_FALSE(img.isNull()) << qPrintable(error);
    // Half the picture spans about 53 units; the shadow's x -40..40 lies within it. A row
    // through the middle, inside the shadow's z range.
    const int y = 128;
    auto lum = [&](int x) { return qGray(img.pixel(x, y)); };
    const int outside = lum(3);
    const int x0 = 128 - int(35.f / 53.f * 128), x1 = 128 + int(35.f / 53.f * 128);
    int lit = 0, dark = 0, transitions = 0;
    // Lit: as bright as the open ground; shaded: clearly darker (the sky still lights it).
    bool prevLit = lum(x0) > outside - 10;
    for (int x = x0; x <= x1; ++x) {
        const bool isLit = lum(x) > outside - 10;
        lit += isLit;
        dark += lum(x) < outside - 30;
        transitions += isLit != prevLit;
        prevLit = isLit;
    }
    const int n = x1 - x0 + 1;
    EXPECT_GT(dark, n / 4) << "the solid stripes shade the ground";
    EXPECT_GT(lit, n / 4) << "the clear stripes let the sun through";
    EXPECT_GE(transitions, 5) << "light and shade alternate with the stripes";
    // Flat shading has no shadow at all: the same row is evenly lit.
    look.shading = Shading::Flat;
    setViewLook(look);
    const QImage flat = renderSceneImage(QSize(256, 256), &error);
    int flatDark = 0;
    for (int x = x0; x <= x1; ++x) flatDark += qGray(flat.pixel(x, y)) < qGray(flat.pixel(3, y)) - 30;
    EXPECT_EQ(flatDark, 0);
    dzScene->clear();
}

// The sun's cascades on a 200 m terrain: every cascade holds the part of the scene inside its
// slice of the view (with every caster of the scene in its depth range), the near cascade is
// far sharper than one map over the whole scene, and a camera that moves or turns moves the
// maps by whole texels only, keeping their size.
TEST(ShadowCascades, EachHoldsItsSliceOfTheSceneSharpNearTheEyeAndSnappedToTexels)
{
    Bounds scene;
    scene.add(QVector3D(0.f, -100.f, 0.f));
    scene.add(QVector3D(20000.f, 800.f, 20000.f));
    const int size = 2048, count = 3;
    auto inScene = [&](const QVector3D& p) {
        for (int k = 0; k < 3; ++k)
            if (p[k] < scene.min[k] - 1e-2f || p[k] > scene.max[k] + 1e-2f) return false;
        return true;
    };
    OrbitCamera eye, overview, outward;
    eye.fovDeg = 50.f;
    eye.lookAt(QVector3D(2000.f, 170.f, 2000.f), QVector3D(10000.f, 100.f, 10000.f));
    overview.fovDeg = 55.f;
    overview.lookAt(QVector3D(-8000.f, 9000.f, 30000.f), QVector3D(10000.f, 0.f, 10000.f));
    // Standing at the edge, looking out of the scene at an angle.
    outward.lookAt(QVector3D(19000.f, 300.f, 10000.f), QVector3D(40000.f, 0.f, 14000.f));
    const float aspect = 16.f / 9.f;
    const QVector3D suns[] = {QVector3D(1.f, 0.45f, -0.6f), QVector3D(-0.3f, 0.95f, 0.1f), QVector3D(0.f, 0.17f, 1.f)};
    for (const OrbitCamera* cam : {&eye, &overview, &outward}) {
        for (const QVector3D& sun : suns) {
            const QMatrix4x4 view = cam->view(), proj = cam->projection(aspect);
            const std::vector<ShadowCascade> cs = fitShadowCascades(view, proj, scene, sun, count, size);
            ASSERT_EQ(int(cs.size()), count);
            const QMatrix4x4 inv = (proj * view).inverted();
            for (int i = 0; i < count; ++i) {
                const ShadowCascade& c = cs[size_t(i)];
                EXPECT_LT(c.fitNear, c.splitFar);
                if (i > 0) {
                    EXPECT_LT(c.fitNear, cs[size_t(i) - 1].splitFar) << "the cascades overlap where they blend";
                    EXPECT_GE(c.texel, cs[size_t(i) - 1].texel * 0.999f);
                }
                // Points of the slice, on a grid of the picture and its depth, and the scene's
                // own corners inside the slice: where inside the scene, inside the map.
                std::vector<QVector3D> pts;
                for (int a = 0; a <= 12; ++a)
                    for (int b = 0; b <= 12; ++b) {
                        const QVector3D n = inv.map(QVector3D(-1.f + a / 6.f, -1.f + b / 6.f, -1.f));
                        const QVector3D f = inv.map(QVector3D(-1.f + a / 6.f, -1.f + b / 6.f, 1.f));
                        const float dn = -view.map(n).z(), df = -view.map(f).z();
                        for (int k = 0; k <= 16; ++k) {
                            const float d = c.fitNear + (c.splitFar - c.fitNear) * float(k) / 16.f;
                            pts.push_back(n + (f - n) * ((d - dn) / (df - dn)));
                        }
                    }
                for (int k = 0; k < 8; ++k) {
                    const QVector3D p(k & 1 ? scene.max.x() : scene.min.x(), k & 2 ? scene.max.y() : scene.min.y(),
                                      k & 4 ? scene.max.z() : scene.min.z());
                    const QVector3D q = (proj * view).map(p);
                    const float d = -view.map(p).z();
                    if (std::abs(q.x()) <= 1.f && std::abs(q.y()) <= 1.f && d >= c.fitNear && d <= c.splitFar)
                        pts.push_back(p);
                    // Every caster of the scene lies in the depth range.
                    const float z = c.matrix.map(p).z();
                    EXPECT_TRUE(z > -1.f && z < 1.f) << "cascade " << i << " corner " << k;
                }
                int held = 0;
                for (const QVector3D& p : pts) {
                    if (!inScene(p)) continue;
                    const QVector3D q = c.matrix.map(p);
                    ++held;
                    ASSERT_TRUE(std::abs(q.x()) < 1.f && std::abs(q.y()) < 1.f)
                        << "cascade " << i << " misses " << p.x() << "," << p.y() << "," << p.z() << " at " << q.x()
                        << "," << q.y();
                }
                if (cam != &outward) EXPECT_GT(held, 0) << "cascade " << i;
            }
            // One map over the whole scene: its texel from the width of its clip box.
            const QMatrix4x4 single = sunShadowMatrix(scene, sun);
            const float singleTexel = 2.f / QVector3D(single(0, 0), single(0, 1), single(0, 2)).length() / float(size);
            if (cam == &eye) EXPECT_LT(cs[0].texel, singleTexel * 0.25f);
            EXPECT_LT(cs[0].texel, singleTexel);
        }
    }
    // The camera steps aside by a fraction of a texel and turns a little: each map keeps its
    // size and moves by whole texels.
    const QVector3D sun = suns[0];
    const std::vector<ShadowCascade> before =
        fitShadowCascades(eye.view(), eye.projection(aspect), scene, sun, count, size);
    OrbitCamera moved = eye;
    moved.target += QVector3D(37.3f, 0.f, -11.9f);
    moved.yawDeg += 7.f;
    const std::vector<ShadowCascade> after =
        fitShadowCascades(moved.view(), moved.projection(aspect), scene, sun, count, size);
    bool someMoved = false;
    for (int i = 0; i < count; ++i) {
        EXPECT_NEAR(after[size_t(i)].texel, before[size_t(i)].texel, before[size_t(i)].texel * 1e-3f);
        const QVector3D p(10000.f, 0.f, 10000.f);
        const QVector3D shift = (after[size_t(i)].matrix.map(p) - before[size_t(i)].matrix.map(p)) * (size * 0.5f);
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(shift[k], std::round(shift[k]), 0.02f) << "cascade " << i;
            someMoved = someMoved || std::abs(shift[k]) > 0.5f;
        }
    }
    EXPECT_TRUE(someMoved);
}

// A wide flat ground, a bed of flowers in its middle and a tall post at its edge. Drawn flat
// (no land around it), every view holds the whole ground; with the land drawn around it the
// perspective view frames the bed and the post, which fill half the picture and more, with the
// horizon in the upper part.
TEST(Framing, NamedViewsFillThePictureWithTheWholeSceneAndTheEyeStandsOnTheGround)
{
    LookGuard guard;
    dzScene->clear();
    quad("Ground", 0.f, 0.f, 0.f, 1000.f, QColor(90, 140, 60), nullptr);
    quad("Bed", 0.f, 20.f, 0.f, 400.f, QColor(200, 60, 60), nullptr);
    DzFacetMesh* mesh = nullptr;
    DzFacetShape* shape = nullptr;
    DzNode* post = makeMeshNode("Post", &mesh, &shape);
    addMaterial(shape, "Wood", QColor(120, 90, 60));
    mesh->beginEdit();
    for (const DzVec3& v : {DzVec3(200, 0, 200), DzVec3(210, 0, 200), DzVec3(205, 300, 205)}) mesh->addVertex(v);
    const int tri[4] = {0, 1, 2, -1};
    mesh->addFacet(tri, tri);
    mesh->finishEdit();
    dzScene->addNode(post);

    const Bounds b = sceneBounds();
    ViewLook shaded = viewLook();
    for (Shading shading : {Shading::Flat, Shading::Full}) {
        shaded.shading = shading;
        setViewLook(shaded);
        for (float aspect : {16.f / 9.f, 4.f / 3.f, 0.6f}) {
            for (NamedView v : {NamedView::Perspective, NamedView::Top, NamedView::Front}) {
                const bool content = v == NamedView::Perspective && shading != Shading::Flat;
                if (shading != Shading::Flat && !content) continue;
                const OrbitCamera cam = namedViewCamera(v, aspect, 170.f);
                const QMatrix4x4 m = cam.projection(aspect) * cam.view();
                float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
                // Every corner of every mesh (the ground is flat, so its box is the quad); with
                // the land drawn around, all but the ground's.
                for (const MeshNode& mn : sceneMeshNodes(true)) {
                    if (content && mn.node->getLabel() == "Ground") continue;
                    const Bounds nb = nodeBounds(mn);
                    for (int i = 0; i < 8; ++i) {
                        const QVector3D q =
                            m.map(QVector3D(i & 1 ? nb.max.x() : nb.min.x(), i & 2 ? nb.max.y() : nb.min.y(),
                                            i & 4 ? nb.max.z() : nb.min.z()));
                        for (int k = 0; k < 2; ++k) {
                            lo[k] = std::min(lo[k], q[k]);
                            hi[k] = std::max(hi[k], q[k]);
                        }
                    }
                }
                const QString what = namedViewLabel(v) +
                                     QString(" at aspect %1, %2 shading").arg(double(aspect)).arg(shadingName(shading));
                EXPECT_GE(lo[0], -1.f) << qPrintable(what);
                EXPECT_GE(lo[1], -1.f) << qPrintable(what);
                EXPECT_LE(hi[0], 1.f) << qPrintable(what);
                EXPECT_LE(hi[1], 1.f) << qPrintable(what);
                // Every view fills the picture along its longer side.
                EXPECT_GE(std::max(hi[0] - lo[0], hi[1] - lo[1]), 1.7f) << qPrintable(what);
                if (v != NamedView::Perspective) continue;
                // The perspective view looks down at an angle yet keeps the horizon in the
                // picture's upper part with sky above it: flat ground alone seen so is a wide
                // band across it; what stands on it fills more.
                if (aspect > 1.f) {
                    EXPECT_GE((hi[0] - lo[0]) * (hi[1] - lo[1]) / 4.f, content ? 0.6f : 0.33f) << qPrintable(what);
                }
                const QVector3D level = QVector3D(cam.target.x(), cam.eye().y(), cam.target.z()) - cam.eye();
                const QVector3D horizon = m.map(cam.eye() + level.normalized() * 1e5f);
                EXPECT_GT(horizon.y(), 0.3f) << qPrintable(what);
                EXPECT_LT(horizon.y(), 0.85f) << qPrintable(what);
            }
        }
    }
    // The eye stands on the ground at the eye height, inside the scene, looking towards its middle.
    const OrbitCamera eye = namedViewCamera(NamedView::Eye, 16.f / 9.f, 170.f);
    EXPECT_NEAR(eye.eye().y(), 170.f, 0.5f);
    EXPECT_LT(std::abs(eye.eye().x()), 500.f);
    EXPECT_LT(std::abs(eye.eye().z()), 500.f);
    const QVector3D look = (eye.target - eye.eye()).normalized();
    const QVector3D toCentre = (QVector3D(b.center().x(), eye.eye().y(), b.center().z()) - eye.eye()).normalized();
    EXPECT_GT(QVector3D::dotProduct(look, toCentre), 0.9f);
    EXPECT_LT(look.y(), 0.f) << "eyes a little down";
    // Turning the sun moves the shadows, not the person: the same place and direction under
    // the sun from the other side.
    ViewLook turned = viewLook();
    turned.sun.azimuthDeg = 315.f;
    setViewLook(turned);
    const OrbitCamera again = namedViewCamera(NamedView::Eye, 16.f / 9.f, 170.f);
    setViewLook(ViewLook());
    EXPECT_LT((again.eye() - eye.eye()).length(), 1e-3f);
    EXPECT_LT((again.target - eye.target).length(), 1e-3f);
    dzScene->clear();
}

TEST(WorldGround, RingMeetsTheRimWithItsNormalsContinuesTheTextureAndSettlesAtTheHorizon)
{
    // A 1000 x 1000 terrain from x = 200, z = -300 whose rim rises from 0 in the west to 200
    // in the east, with a hill in the middle; its texture spans it once.
    MeshBuffers terrain;
    const int n = 20;
    auto height = [](float x, float z) {
        const float dx = x - 700.f, dz = z + 300.f;
        return (x - 200.f) * 0.2f + 300.f * std::exp(-(dx * dx + dz * dz) / 40000.f);
    };
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            GpuVertex v{};
            v.px = 200.f + 1000.f * float(i) / n;
            v.pz = -800.f + 1000.f * float(j) / n;
            v.py = height(v.px, v.pz);
            // The terrain's own normals, from the slope of its height.
            const float e = 1.f;
            const QVector3D nrm = QVector3D(height(v.px - e, v.pz) - height(v.px + e, v.pz), 2.f * e,
                                            height(v.px, v.pz - e) - height(v.px, v.pz + e))
                                      .normalized();
            v.nx = nrm.x(), v.ny = nrm.y(), v.nz = nrm.z();
            v.u = float(i) / n;
            v.v = 1.f - float(j) / n;
            terrain.vertices.push_back(v);
        }
    MeshBuffers ring;
    WorldGroundShape shape;
    ASSERT_TRUE(buildWorldGround(terrain, 20000.f, ring, &shape));
    ASSERT_FALSE(ring.indices.empty());
    EXPECT_NEAR(shape.centre.x(), 700.f, 1e-2f);
    EXPECT_NEAR(shape.centre.z(), -300.f, 1e-2f);
    float nearest = 1e9f, farthest = 0.f;
    int onRim = 0, underRim = 0;
    for (const GpuVertex& v : ring.vertices) {
        const bool inside =
            v.px > 200.f + 1e-2f && v.px < 1200.f - 1e-2f && v.pz > -800.f + 1e-2f && v.pz < 200.f - 1e-2f;
        EXPECT_FALSE(inside) << v.px << "," << v.pz;
        const bool rim =
            !inside && v.px > 200.f - 1e-2f && v.px < 1200.f + 1e-2f && v.pz > -800.f - 1e-2f && v.pz < 200.f + 1e-2f;
        if (rim) {
            // The terrain's own rim vertices, and a curtain under them.
            const float below = height(v.px, v.pz) - v.py;
            // Lit as the terrain's rim: the terrain's normal, not one of the ring's own.
            const GpuVertex* own = nullptr;
            for (const GpuVertex& t : terrain.vertices)
                if (std::abs(t.px - v.px) < 1e-2f && std::abs(t.pz - v.pz) < 1e-2f) own = &t;
            ASSERT_NE(own, nullptr);
            EXPECT_NEAR(v.nx, own->nx, 1e-4f);
            EXPECT_NEAR(v.ny, own->ny, 1e-4f);
            EXPECT_NEAR(v.nz, own->nz, 1e-4f);
            if (std::abs(below) < 1e-2f) ++onRim;
            else if (below > 1.f) ++underRim;
            else ADD_FAILURE() << "a ring vertex on the rim neither on nor under it: " << below;
        }
        const float r = std::hypot(v.px - 700.f, v.pz + 300.f);
        nearest = std::min(nearest, r);
        farthest = std::max(farthest, r);
        // The texture goes on as the terrain lays it out.
        EXPECT_NEAR(v.u, (v.px - 200.f) / 1000.f, 1e-3f * std::max(1.f, std::abs(v.u)));
        EXPECT_NEAR(v.v, 1.f - (v.pz + 800.f) / 1000.f, 1e-3f * std::max(1.f, std::abs(v.v)));
        EXPECT_GT(v.ny, 0.f);
        // The far ring lies at the rim's mean height (100 here), everywhere around.
        if (r > 19000.f) {
            EXPECT_NEAR(v.py, 100.f, 2.f);
        }
    }
    EXPECT_EQ(onRim, 4 * n) << "each rim vertex of the terrain once";
    EXPECT_EQ(underRim, 4 * n);
    EXPECT_NEAR(farthest, 20000.f, 1.f);
    EXPECT_NEAR(nearest, 500.f, 1e-2f) << "the ring starts at the rim";
    // Every triangle is a real one: no slivers joining the rim to the far side.
    for (size_t t = 0; t < ring.indices.size(); t += 3) {
        const GpuVertex& a = ring.vertices[ring.indices[t]];
        const GpuVertex& b = ring.vertices[ring.indices[t + 1]];
        EXPECT_LT(std::hypot(a.px - b.px, a.pz - b.pz), 8000.f);
    }
    // A flat line has no rim to start from.
    MeshBuffers line;
    for (int i = 0; i < 4; ++i) line.vertices.push_back(GpuVertex{float(i), 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f});
    EXPECT_FALSE(buildWorldGround(line, 1000.f, ring));
    EXPECT_TRUE(ring.vertices.empty());
}

// The largest terrains are drawn through a sampled grid: within the budget, the rim and the
// corners where they are, each vertex with its own UV point, normals as the full mesh has them.
TEST(GridPreview, SamplesAGridPastTheBudgetKeepingRimUvsAndNormals)
{
    const int n = 100;  // quads per side: 101 x 101 vertices
    DzFacetMesh mesh;
    mesh.beginEdit();
    auto* uvs = new DzUVSet;
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n; ++c) {
            mesh.addVertex(float(c), 0.5f * float(c), float(r));
            uvs->appendPnt2Vec(DzPnt2(float(c) / n, float(r) / n));
        }
    mesh.setUVList(uvs);
    mesh.setFacetGrid(DzFacetGrid{n, n, n + 1, 2});
    mesh.finishEdit();

    MeshBuffers full, preview;
    EXPECT_FALSE(buildGridPreview(mesh, size_t(101 * 101), preview)) << "within the budget it is drawn whole";
    ASSERT_TRUE(buildGridPreview(mesh, 400, preview));
    buildMeshBuffers(mesh, full);
    EXPECT_LE(preview.vertices.size(), 400u);
    EXPECT_GE(preview.vertices.size(), 100u);
    ASSERT_EQ(preview.ranges.size(), 1u);
    EXPECT_EQ(preview.ranges[0].material, 2);
    EXPECT_EQ(preview.ranges[0].count, preview.indices.size());
    for (uint32_t i : preview.indices) ASSERT_LT(i, preview.vertices.size());

    float x0 = 1e9f, x1 = -1e9f, z0 = 1e9f, z1 = -1e9f;
    for (const GpuVertex& v : preview.vertices) {
        x0 = std::min(x0, v.px), x1 = std::max(x1, v.px), z0 = std::min(z0, v.pz), z1 = std::max(z1, v.pz);
        EXPECT_FLOAT_EQ(v.py, 0.5f * v.px) << "a vertex of the mesh, not a blend";
        EXPECT_NEAR(v.u, v.px / n, 1e-6f);
        EXPECT_NEAR(v.v, v.pz / n, 1e-6f);
        EXPECT_NEAR(v.nx, full.vertices[0].nx, 1e-5f);
        EXPECT_NEAR(v.ny, full.vertices[0].ny, 1e-5f);
        EXPECT_NEAR(v.nz, full.vertices[0].nz, 1e-5f);
    }
    EXPECT_EQ(x0, 0.f);
    EXPECT_EQ(x1, float(n)) << "the last column is kept: the rim stays where it is";
    EXPECT_EQ(z0, 0.f);
    EXPECT_EQ(z1, float(n));
    // The sampled grid covers the whole footprint: its triangles' area is the plane's.
    double area = 0.0;
    for (size_t t = 0; t < preview.indices.size(); t += 3) {
        const GpuVertex &a = preview.vertices[preview.indices[t]], &b = preview.vertices[preview.indices[t + 1]],
                        &c = preview.vertices[preview.indices[t + 2]];
        area += 0.5 * std::abs(double(b.px - a.px) * (c.pz - a.pz) - double(c.px - a.px) * (b.pz - a.pz));
    }
    EXPECT_NEAR(area, double(n) * n, 1e-3);

    DzFacetMesh list;
    list.beginEdit();
    for (int i = 0; i < 4; ++i) list.addVertex(float(i & 1), 0.f, float(i >> 1));
    const int q[4] = {0, 1, 3, 2};
    list.addFacet(q);
    list.finishEdit();
    EXPECT_FALSE(buildGridPreview(list, 1, preview)) << "a list of facets is no grid";
}
