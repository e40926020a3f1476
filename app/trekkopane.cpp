#include "trekkopane.h"
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QQuaternion>
#include <QSpinBox>
#include <QVector3D>
#include <QtMath>
#include <dzapp.h>
#include <dznode.h>
#include <dzscript.h>
#include "orbitcamera.h"

namespace {

// The walker looks a little down at the path ahead.
constexpr double kPitchDeg = -8.0;
constexpr double kLookAhead = 500.0;
constexpr double kTurnDeg = 5.0;

QVector3D forwardOf(double headingDeg)
{
    const double h = qDegreesToRadians(headingDeg);
    return QVector3D(float(-std::sin(h)), 0.f, float(-std::cos(h)));
}

QVector3D rightOf(double headingDeg)
{
    const double h = qDegreesToRadians(headingDeg);
    return QVector3D(float(std::cos(h)), 0.f, float(-std::sin(h)));
}

}  // namespace

ZPK_TrekkoPane::ZPK_TrekkoPane(QWidget* parent) : DzPane("Walk-through", parent)
{
    setObjectName("TrekkoPane");
    setFocusPolicy(Qt::StrongFocus);
    auto* form = new QFormLayout(this);
    form->setContentsMargins(4, 4, 4, 4);
    m_eye = new QSpinBox(this);
    m_eye->setObjectName("TrekkoEyeHeight");
    m_eye->setRange(1, 10000);
    m_eye->setValue(170);
    m_eye->setToolTip("Height of the eye above the ground");
    m_stepBox = new QSpinBox(this);
    m_stepBox->setObjectName("TrekkoStep");
    m_stepBox->setRange(1, 10000);
    m_stepBox->setValue(25);
    m_stepBox->setToolTip("Length of one step");
    m_position = new QLabel(this);
    m_position->setObjectName("TrekkoPosition");
    m_help = new QLabel("Click here, then walk with W/A/S/D and turn with Q/E or the arrow keys.", this);
    m_help->setWordWrap(true);
    form->addRow(m_help);
    form->addRow("Eye height", m_eye);
    form->addRow("Step", m_stepBox);
    form->addRow(m_position);
    // The spin boxes hand the keys back when the user leaves them.
    for (QSpinBox* s : {m_eye, m_stepBox}) s->setKeyboardTracking(false);
    connect(m_eye, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int) {
        if (m_started) placeCamera();
    });
    showPosition();
}

int ZPK_TrekkoPane::eyeHeight() const { return m_eye->value(); }
void ZPK_TrekkoPane::setEyeHeight(int h) { m_eye->setValue(h); }
int ZPK_TrekkoPane::stepLength() const { return m_stepBox->value(); }
void ZPK_TrekkoPane::setStepLength(int s) { m_stepBox->setValue(s); }

void ZPK_TrekkoPane::startFromCamera()
{
    m_started = true;
    DzCameraNode* cam = hostCamera();
    if (!cam) return;
    const QVector3D eye = toQt(cam->getWSPos()), target = toQt(cam->getFocalPoint());
    const QVector3D d = target - eye;
    m_x = target.x();
    m_z = target.z();
    if (std::abs(d.x()) + std::abs(d.z()) > 1e-4f) m_heading = qRadiansToDegrees(std::atan2(-d.x(), -d.z()));
}

void ZPK_TrekkoPane::placeAt(double x, double z, double headingDeg)
{
    m_started = true;
    m_x = x;
    m_z = z;
    m_heading = headingDeg;
    askGround();
    placeCamera();
}

void ZPK_TrekkoPane::step(int forward, int right)
{
    if (!m_started) startFromCamera();
    const QVector3D move =
        (forwardOf(m_heading) * float(forward) + rightOf(m_heading) * float(right)) * float(stepLength());
    m_x += move.x();
    m_z += move.z();
    askGround();
    placeCamera();
}

void ZPK_TrekkoPane::turn(double degrees)
{
    if (!m_started) startFromCamera();
    m_heading = std::fmod(m_heading + degrees, 360.0);
    askGround();
    placeCamera();
}

void ZPK_TrekkoPane::askGround()
{
    // Without the Verdix pane nobody answers and the walker keeps the last ground it had.
    m_answered = false;
    DzScript script;
    script.clear();
    script.addLine(QString("var oPaneMgr=MainWindow.getPaneMgr(); var myPane=oPaneMgr.findPane(\"ZPK_VerdixPane\"); "
                           "if(myPane){myPane.InputFromTrekko(%1, %2);}")
                       .arg(m_x, 0, 'g', 9)
                       .arg(m_z, 0, 'g', 9));
    if (!script.execute() && dzApp) dzApp->statusLine(script.errorMessage());
}

void ZPK_TrekkoPane::VerdixHeight(double Height)
{
    if (!std::isfinite(Height)) return;
    m_ground = Height;
    m_answered = true;
}

void ZPK_TrekkoPane::placeCamera()
{
    showPosition();
    DzCameraNode* cam = hostCamera();
    if (!cam) return;
    const QVector3D eye(float(m_x), float(m_ground + eyeHeight()), float(m_z));
    const double p = qDegreesToRadians(kPitchDeg);
    const QVector3D dir = forwardOf(m_heading) * float(std::cos(p)) + QVector3D(0.f, float(std::sin(p)), 0.f);
    const QVector3D target = eye + dir * float(kLookAhead);
    cam->setWSPos(DzVec3(eye.x(), eye.y(), eye.z()));
    cam->setFocalPoint(DzVec3(target.x(), target.y(), target.z()));
    // The camera looks down its own -Z axis.
    const QQuaternion q = QQuaternion::fromDirection(eye - target, QVector3D(0.f, 1.f, 0.f));
    cam->setLocalRot(DzQuat(q.x(), q.y(), q.z(), q.scalar()));
    emit cameraMoved();
}

void ZPK_TrekkoPane::showPosition()
{
    m_position->setText(QString("X %1  Z %2  ground %3  heading %4°")
                            .arg(m_x, 0, 'f', 0)
                            .arg(m_z, 0, 'f', 0)
                            .arg(m_ground, 0, 'f', 1)
                            .arg(m_heading, 0, 'f', 0));
}

void ZPK_TrekkoPane::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_W:
    case Qt::Key_Up:
        step(1, 0);
        break;
    case Qt::Key_S:
    case Qt::Key_Down:
        step(-1, 0);
        break;
    case Qt::Key_A:
        step(0, -1);
        break;
    case Qt::Key_D:
        step(0, 1);
        break;
    case Qt::Key_Q:
    case Qt::Key_Left:
        turn(kTurnDeg);
        break;
    case Qt::Key_E:
    case Qt::Key_Right:
        turn(-kTurnDeg);
        break;
    default:
        DzPane::keyPressEvent(e);
        return;
    }
    e->accept();
}

void ZPK_TrekkoPane::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    DzPane::mousePressEvent(e);
}
