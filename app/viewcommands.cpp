// The command line's view options: the sun, the shading mode and the camera.
#include <algorithm>
#include <cmath>
#include <dznode.h>
#include "commandline.h"
#include "framing.h"
#include "orbitcamera.h"
#include "viewsettings.h"

namespace {

// n numbers separated by commas; false when the text is anything else.
bool readNumbers(const QString& text, int n, float* out)
{
    const QStringList parts = text.split(',');
    if (parts.size() != n) return false;
    for (int i = 0; i < n; ++i) {
        bool ok = false;
        const double v = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v) || std::abs(v) > 1e8) return false;
        out[i] = float(v);
    }
    return true;
}

}  // namespace

int parseViewOption(const QString& opt, const QString& v, CommandLine* cl, QString* error)
{
    if (opt == "--sun") {
        float az[2];
        if (!readNumbers(v, 2, az)) {
            *error = QString("--sun: not AZIMUTH,ELEVATION in degrees: %1").arg(v);
            return -1;
        }
        const QString why = checkSun(az[0], az[1]);
        if (!why.isEmpty()) {
            *error = QString("--sun: %1").arg(why);
            return -1;
        }
        cl->hasSun = true;
        cl->sunAzimuth = az[0];
        cl->sunElevation = az[1];
    } else if (opt == "--shading") {
        Shading s;
        if (!parseShading(v, &s)) {
            *error = QString("--shading: use full, fast or flat, not %1").arg(v);
            return -1;
        }
        cl->shading = shadingName(s);
    } else if (opt == "--view") {
        NamedView nv;
        if (!parseNamedView(v, &nv)) {
            *error = QString("--view: use perspective, top, front or eye, not %1").arg(v);
            return -1;
        }
        cl->view = v.trimmed().toLower();
    } else if (opt == "--camera" || opt == "--look-at") {
        float* dst = opt == "--camera" ? cl->camera : cl->lookAt;
        if (!readNumbers(v, 3, dst)) {
            *error = QString("%1: not a point X,Y,Z: %2").arg(opt, v);
            return -1;
        }
        (opt == "--camera" ? cl->hasCamera : cl->hasLookAt) = true;
    } else if (opt == "--fov") {
        bool ok = false;
        const double f = v.toDouble(&ok);
        if (!ok || !(f >= 10.0 && f <= 120.0)) {
            *error = QString("--fov: %1 is not from 10 to 120 degrees").arg(v);
            return -1;
        }
        cl->fov = float(f);
    } else {
        return 0;
    }
    return 1;
}

bool checkViewOptions(const CommandLine& cl, QString* error)
{
    if (cl.hasCamera != cl.hasLookAt) {
        *error = cl.hasCamera ? "--camera needs --look-at" : "--look-at needs --camera";
        return false;
    }
    if (cl.hasCamera && !cl.view.isEmpty()) {
        *error = "use --view or --camera, not both";
        return false;
    }
    if (cl.hasCamera &&
        QVector3D(cl.camera[0] - cl.lookAt[0], cl.camera[1] - cl.lookAt[1], cl.camera[2] - cl.lookAt[2]).length() <
            1e-3f) {
        *error = "--camera and --look-at are the same point";
        return false;
    }
    return true;
}

void applyViewOptions(const CommandLine& cl, bool setOpened)
{
    ViewLook look = viewLook();
    if (cl.hasSun) {
        look.sun.azimuthDeg = cl.sunAzimuth;
        look.sun.elevationDeg = cl.sunElevation;
    }
    if (!cl.shading.isEmpty()) parseShading(cl.shading, &look.shading);
    if (cl.hasSun || !cl.shading.isEmpty()) setViewLook(look);

    DzCameraNode* host = hostCamera();
    if (!host) return;
    // Framed for the pictures the run takes: the screenshots, else the render.
    const QSize picture = cl.screenshots.isEmpty() && !cl.render.file.isEmpty() ? cl.render.size : cl.screenshotSize;
    const float aspect = float(picture.width()) / float(std::max(1, picture.height()));
    const bool placed = (toQt(host->getWSPos()) - toQt(host->getFocalPoint())).length() >= 1e-3f;
    OrbitCamera cam;
    NamedView nv = NamedView::Perspective;
    if (cl.hasCamera) {
        cam.lookAt(QVector3D(cl.camera[0], cl.camera[1], cl.camera[2]),
                   QVector3D(cl.lookAt[0], cl.lookAt[1], cl.lookAt[2]));
        if (cl.fov <= 0.f) cam.fovDeg = 45.f;
    } else if (!cl.view.isEmpty() && parseNamedView(cl.view, &nv)) {
        cam = namedViewCamera(nv, aspect, walkEyeHeight(), cl.fov);
    } else if (cl.headless && (setOpened || !placed)) {
        // The window frames the scene at its own size; headless, the pictures' size decides.
        cam = namedViewCamera(NamedView::Perspective, aspect, walkEyeHeight(), cl.fov);
    } else if (cl.fov > 0.f && placed) {
        cam.readFrom(host);
    } else {
        return;
    }
    if (cl.fov > 0.f) cam.fovDeg = cl.fov;
    cam.writeTo(host);
}
