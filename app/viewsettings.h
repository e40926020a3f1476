#pragma once
// How the viewport and the screenshots look at the scene: the shading mode and the sun and
// sky. One set for the application, saved with the host scene together with the camera.
#include <QJsonObject>
#include <QObject>
#include <QString>
#include "sky.h"

class OrbitCamera;

enum class Shading {
    Flat,  // one fixed light, no sky: for checking geometry
    Fast,  // sky, sun and ambient light, fog and tone curve; no shadows or occlusion
    Full,  // Fast plus sun shadows and ambient occlusion
};

struct ViewLook
{
    SunSky sun;
    Shading shading = Shading::Full;
};

// The look in use; change it through setViewLook so the viewport redraws.
const ViewLook& viewLook();
void setViewLook(const ViewLook& look);

QString shadingName(Shading s);
bool parseShading(const QString& text, Shading* out);

// Announces changes of the look (the viewport redraws, the dialog follows).
class ViewLookNotifier : public QObject
{
    Q_OBJECT
public:
    static ViewLookNotifier* instance();
signals:
    void changed();
};

// The members the host scene keeps under "view": "camera" {eye, target, fov} and "sun"
// {azimuth, elevation, turbidity, strength} and "shading".
QJsonObject viewToJson(const OrbitCamera& cam, const ViewLook& look);
// Reads what viewToJson wrote; members that are missing keep the values given. False with
// error set when a member is there but not valid (the caller keeps its own values then).
bool viewFromJson(const QJsonObject& o, OrbitCamera* cam, bool* hasCamera, ViewLook* look, QString* error);

// Makes host scenes keep the camera and the look: saved through the scene's view provider,
// applied (look set, host camera placed) when a scene with a view is loaded. A view that is
// not valid is reported on stderr and left out.
void installViewPersistence();

// Checks of the values a user gives; empty when fine, else the reason in one line.
QString checkSun(float azimuthDeg, float elevationDeg);
QString checkTurbidity(float t);
