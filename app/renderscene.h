#pragma once
// The host scene as the path tracer takes it: every visible mesh node in world space with its
// materials read the way the viewport and the exporters read them (colour map with its
// opacity companion, cut-out or blended, normal or bump relief), the camera pictures are
// taken from, and the look's sky and sun. A copy: the render runs on worker threads and never
// touches the host scene.
#include <QSize>
#include <QString>
#include <memory>
#include "renderjob.h"
#include "sky.h"

class OrbitCamera;

struct PreparedRender
{
    std::unique_ptr<RenderScene> scene;
    std::unique_ptr<Environment> env;
    SunLight sun;
    RenderCamera camera;
    RenderSettings settings;
};

// Reads the host scene and the look; false with error set when the renderer cannot take it.
// cancelled (when given) is asked between meshes: true from it stops the reading and sets
// error to say so.
bool prepareRender(const QSize& size, int samples, PreparedRender* out, QString* error, bool (*cancelled)() = nullptr);

RenderCamera renderCameraOf(const OrbitCamera& cam);
