#include "orbitcamera.h"
#include <QQuaternion>
#include <QtMath>
#include <dzapp.h>
#include <dznode.h>

QVector3D OrbitCamera::eye() const
{
    const float p = qDegreesToRadians(pitchDeg), y = qDegreesToRadians(yawDeg);
    return target + distance * QVector3D(std::cos(p) * std::sin(y), std::sin(p), std::cos(p) * std::cos(y));
}

QMatrix4x4 OrbitCamera::view() const
{
    QMatrix4x4 m;
    m.lookAt(eye(), target, QVector3D(0.f, 1.f, 0.f));
    return m;
}

QMatrix4x4 OrbitCamera::projection(float aspect) const
{
    QMatrix4x4 m;
    const float nearPlane = std::max(0.01f, distance * 0.002f);
    m.perspective(fovDeg, aspect > 0.f ? aspect : 1.f, nearPlane, distance * 50.f + 1000.f);
    return m;
}

void OrbitCamera::orbit(float dYawDeg, float dPitchDeg)
{
    yawDeg = std::fmod(yawDeg + dYawDeg, 360.f);
    // Short of the poles, where lookAt loses its up direction.
    pitchDeg = qBound(-89.f, pitchDeg + dPitchDeg, 89.f);
}

void OrbitCamera::pan(float dxView, float dyView)
{
    const QMatrix4x4 inv = view().inverted();
    const QVector3D right = inv.mapVector(QVector3D(1.f, 0.f, 0.f));
    const QVector3D up = inv.mapVector(QVector3D(0.f, 1.f, 0.f));
    const float scale = 2.f * distance * std::tan(qDegreesToRadians(fovDeg) * 0.5f);
    target += (-dxView * right + dyView * up) * scale;
}

void OrbitCamera::zoom(float factor) { distance = qBound(0.1f, distance * factor, 1e7f); }

void OrbitCamera::frame(const Bounds& b, float aspect)
{
    Bounds use = b;
    if (use.isEmpty()) {
        use.add(QVector3D(-250.f, 0.f, -250.f));
        use.add(QVector3D(250.f, 100.f, 250.f));
    }
    target = use.center();
    const float r = std::max(use.radius(), 1.f);
    // The narrower of the two fields of view decides.
    const float half = qDegreesToRadians(fovDeg) * 0.5f;
    const float halfH = std::atan(std::tan(half) * std::min(aspect, 1.f));
    distance = r / std::sin(std::min(half, halfH)) * 1.05f;
}

void OrbitCamera::ray(float ndcX, float ndcY, float aspect, QVector3D* origin, QVector3D* dir) const
{
    const QMatrix4x4 inv = (projection(aspect) * view()).inverted();
    const QVector3D nearP = inv.map(QVector3D(ndcX, ndcY, -1.f));
    const QVector3D farP = inv.map(QVector3D(ndcX, ndcY, 1.f));
    *origin = nearP;
    *dir = (farP - nearP).normalized();
}

void OrbitCamera::lookAt(const QVector3D& e, const QVector3D& t)
{
    const QVector3D d = e - t;
    if (d.length() < 1e-3f) return;
    target = t;
    distance = d.length();
    // Short of the poles, as orbit keeps it.
    pitchDeg = qBound(-89.f, float(qRadiansToDegrees(std::asin(qBound(-1.f, d.y() / distance, 1.f)))), 89.f);
    yawDeg = qRadiansToDegrees(std::atan2(d.x(), d.z()));
}

void OrbitCamera::readFrom(const DzCameraNode* cam)
{
    if (!cam) return;
    const QVector3D e = toQt(cam->getWSPos());
    const QVector3D t = toQt(cam->getFocalPoint());
    if ((e - t).length() < 1e-3f) return;
    lookAt(e, t);
    fovDeg = cam->getFieldOfView() > 1.f ? cam->getFieldOfView() : 45.f;
}

void OrbitCamera::writeTo(DzCameraNode* cam) const
{
    if (!cam) return;
    const QVector3D e = eye();
    cam->setWSPos(DzVec3(e.x(), e.y(), e.z()));
    cam->setFocalPoint(DzVec3(target.x(), target.y(), target.z()));
    // The camera looks down its own -Z axis.
    const QQuaternion q = QQuaternion::fromDirection(e - target, QVector3D(0.f, 1.f, 0.f));
    cam->setLocalRot(DzQuat(q.x(), q.y(), q.z(), q.scalar()));
    cam->setFieldOfView(fovDeg);
}

DzCameraNode* hostCamera()
{
    if (!dzApp || !dzApp->getInterface()) return nullptr;
    DzViewportMgr* vm = dzApp->getInterface()->getViewportMgr();
    DzViewport* vp = vm ? vm->getActiveViewport() : nullptr;
    Dz3DViewport* v3 = vp ? vp->get3DViewport() : nullptr;
    return v3 ? v3->getCamera() : nullptr;
}
