#pragma once
// The viewport's orbiting camera: a target, a distance and two angles. It mirrors itself
// into the host camera node so that camera-facing content sees where the user looks from.
#include <QMatrix4x4>
#include <QVector3D>
#include "scenemeshes.h"

class DzCameraNode;

class OrbitCamera
{
public:
    QVector3D target{0.f, 0.f, 0.f};
    float distance = 1612.f;
    float yawDeg = 0.f;     // about +Y, 0 looks down -Z
    float pitchDeg = 30.f;  // above the horizon
    float fovDeg = 45.f;

    QVector3D eye() const;
    QMatrix4x4 view() const;
    QMatrix4x4 projection(float aspect) const;

    void orbit(float dYawDeg, float dPitchDeg);
    // Moves target and eye together by a fraction of the view in screen directions.
    void pan(float dxView, float dyView);
    void zoom(float factor);
    // Keeps the current angles and fits the bounds into the view (an empty scene frames
    // a few metres around the origin).
    void frame(const Bounds& b, float aspect = 16.f / 9.f);
    // Stands at eye looking at target (the angles and distance follow).
    void lookAt(const QVector3D& eye, const QVector3D& target);
    // A ray from the eye through normalized device coordinates (x, y in -1..1).
    void ray(float ndcX, float ndcY, float aspect, QVector3D* origin, QVector3D* dir) const;

    // Takes eye and target from the host camera (when it has a sensible pose).
    void readFrom(const DzCameraNode* cam);
    void writeTo(DzCameraNode* cam) const;
};

// The camera of the host's active viewport, or null.
DzCameraNode* hostCamera();
