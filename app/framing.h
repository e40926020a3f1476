#pragma once
// Cameras that frame the scene: a tight fit of bounds into the picture, the named views and
// the ground under a point. Plain geometry on the host scene; no OpenGL.
#include <QString>
#include <QVector3D>
#include <vector>
#include "orbitcamera.h"
#include "scenemeshes.h"

enum class NamedView {
    Perspective,  // from above at an angle, the whole scene in the picture
    Top,          // straight down
    Front,        // level, looking north
    Eye,          // a person standing on the terrain, looking across the scene
};

bool parseNamedView(const QString& text, NamedView* out);
QString namedViewLabel(NamedView v);

// Keeps the camera's angles and field of view and moves it so the eight corners of b lie in
// the picture, the larger side filling the fraction fill of it, centred.
void frameBounds(OrbitCamera* cam, const Bounds& b, float aspect, float fill = 0.92f);
// The same for a cloud of points (what the scene really occupies).
void framePoints(OrbitCamera* cam, const std::vector<QVector3D>& points, float aspect, float fill = 0.92f);
// Points that outline the scene: the ground sampled on a grid (a bowl's rim, not its box)
// and the corners of every other mesh's bounds.
std::vector<QVector3D> sceneOutline();
// Points that outline what the scene holds beyond plain ground: every other mesh's bounds,
// and the ground where it rises or falls away from its rim's level (a hill, a valley). Where
// the ground lies flat at that level it reads as more of the land drawn around the scene,
// so it is left out. Empty when the scene is flat ground alone.
std::vector<QVector3D> sceneContentOutline();

// The eye height of the walk-through pane when there is one, else a person's (170).
float walkEyeHeight();

// The height of the ground (the widest mesh of the scene, seen from above) at x, z; false
// when no ground lies there.
bool groundHeightAt(float x, float z, float* height);

// The camera of a named view of the current scene for a picture of the given aspect, with
// the view's own field of view or fovDeg when that is given.
OrbitCamera namedViewCamera(NamedView v, float aspect, float eyeHeight, float fovDeg = 0.f);
