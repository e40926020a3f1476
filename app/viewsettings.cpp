#include "viewsettings.h"
#include <QJsonArray>
#include <cmath>
#include <cstdio>
#include <dznode.h>
#include <dzscene.h>
#include "orbitcamera.h"

namespace {

ViewLook& look()
{
    static ViewLook l;
    return l;
}

QJsonArray vec(const QVector3D& v) { return QJsonArray{double(v.x()), double(v.y()), double(v.z())}; }

bool readVec(const QJsonValue& v, QVector3D* out)
{
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 3) return false;
    for (int i = 0; i < 3; ++i) {
        if (!a[i].isDouble() || !std::isfinite(a[i].toDouble()) || std::abs(a[i].toDouble()) > 1e9) return false;
        (*out)[i] = float(a[i].toDouble());
    }
    return true;
}

}  // namespace

const ViewLook& viewLook() { return look(); }

void setViewLook(const ViewLook& l)
{
    look() = l;
    emit ViewLookNotifier::instance()->changed();
}

ViewLookNotifier* ViewLookNotifier::instance()
{
    static ViewLookNotifier n;
    return &n;
}

QString shadingName(Shading s) { return s == Shading::Flat ? "flat" : s == Shading::Fast ? "fast" : "full"; }

bool parseShading(const QString& text, Shading* out)
{
    const QString t = text.trimmed().toLower();
    if (t == "flat") *out = Shading::Flat;
    else if (t == "fast") *out = Shading::Fast;
    else if (t == "full") *out = Shading::Full;
    else return false;
    return true;
}

QString checkSun(float az, float el)
{
    if (!std::isfinite(az) || az < 0.f || az > 360.f)
        return QString("azimuth %1 is not from 0 to 360 degrees").arg(double(az));
    if (!std::isfinite(el) || el < kMinElevation || el > kMaxElevation)
        return QString("elevation %1 is not from %2 to %3 degrees")
            .arg(double(el))
            .arg(double(kMinElevation))
            .arg(double(kMaxElevation));
    return QString();
}

QString checkTurbidity(float t)
{
    if (!std::isfinite(t) || t < kMinTurbidity || t > kMaxTurbidity)
        return QString("turbidity %1 is not from %2 to %3")
            .arg(double(t))
            .arg(double(kMinTurbidity))
            .arg(double(kMaxTurbidity));
    return QString();
}

QJsonObject viewToJson(const OrbitCamera& cam, const ViewLook& l)
{
    QJsonObject camera{{"eye", vec(cam.eye())}, {"target", vec(cam.target)}, {"fov", double(cam.fovDeg)}};
    QJsonObject sun{{"azimuth", double(l.sun.azimuthDeg)},
                    {"elevation", double(l.sun.elevationDeg)},
                    {"turbidity", double(l.sun.turbidity)},
                    {"strength", double(l.sun.sunStrength)}};
    return QJsonObject{{"camera", camera}, {"sun", sun}, {"shading", shadingName(l.shading)}};
}

bool viewFromJson(const QJsonObject& o, OrbitCamera* cam, bool* hasCamera, ViewLook* out, QString* error)
{
    ViewLook l = *out;
    OrbitCamera c = *cam;
    bool camSeen = false;
    if (o.contains("camera")) {
        const QJsonObject co = o.value("camera").toObject();
        QVector3D eye, target;
        const double fov = co.value("fov").toDouble(45.0);
        if (!readVec(co.value("eye"), &eye) || !readVec(co.value("target"), &target) || !(fov >= 1.0 && fov <= 170.0) ||
            (eye - target).length() < 1e-3f) {
            *error = "the view's camera is not valid";
            return false;
        }
        c.lookAt(eye, target);
        c.fovDeg = float(fov);
        camSeen = true;
    }
    if (o.contains("sun")) {
        const QJsonObject so = o.value("sun").toObject();
        l.sun.azimuthDeg = float(so.value("azimuth").toDouble(double(l.sun.azimuthDeg)));
        l.sun.elevationDeg = float(so.value("elevation").toDouble(double(l.sun.elevationDeg)));
        l.sun.turbidity = float(so.value("turbidity").toDouble(double(l.sun.turbidity)));
        l.sun.sunStrength = float(so.value("strength").toDouble(double(l.sun.sunStrength)));
        QString why = checkSun(l.sun.azimuthDeg, l.sun.elevationDeg);
        if (why.isEmpty()) why = checkTurbidity(l.sun.turbidity);
        if (why.isEmpty() && !(l.sun.sunStrength >= 0.f && l.sun.sunStrength <= 10.f))
            why = "sun strength is not from 0 to 10";
        if (!why.isEmpty()) {
            *error = "the view's sun: " + why;
            return false;
        }
    }
    if (o.contains("shading") && !parseShading(o.value("shading").toString(), &l.shading)) {
        *error = "the view's shading is not flat, fast or full";
        return false;
    }
    *out = l;
    *cam = c;
    if (hasCamera) *hasCamera = camSeen;
    return true;
}

void installViewPersistence()
{
    if (!dzScene) return;
    dzScene->setViewProvider([]() {
        OrbitCamera cam;
        const DzCameraNode* host = hostCamera();
        const bool placed = host && (toQt(host->getWSPos()) - toQt(host->getFocalPoint())).length() >= 1e-3f;
        if (placed) cam.readFrom(host);
        QJsonObject o = viewToJson(cam, viewLook());
        if (!placed) o.remove("camera");
        return o;
    });
    QObject::connect(dzScene, &DzScene::sceneLoaded, ViewLookNotifier::instance(), []() {
        const QJsonObject o = dzScene->getViewSettings();
        if (o.isEmpty()) return;
        OrbitCamera cam;
        ViewLook l = viewLook();
        bool hasCamera = false;
        QString why;
        if (!viewFromJson(o, &cam, &hasCamera, &l, &why)) {
            std::fprintf(stderr, "verdix-host: %s: %s; the view is not restored\n", qPrintable(dzScene->getFilename()),
                         qPrintable(why));
            return;
        }
        setViewLook(l);
        if (hasCamera) cam.writeTo(hostCamera());
    });
}
