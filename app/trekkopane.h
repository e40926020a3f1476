#pragma once
// The walk-through pane: walks the active viewport's camera over the terrain with the keys,
// the eye a set height above the ground. The ground height comes from the Verdix pane: each
// step asks it through a host script and it answers by calling VerdixHeight. Scripts find
// the pane by its class name.
#include <dzpane.h>

class QLabel;
class QSpinBox;
class DzCameraNode;

class ZPK_TrekkoPane : public DzPane
{
    Q_OBJECT
public:
    explicit ZPK_TrekkoPane(QWidget* parent = nullptr);

    // Where the walker stands and looks (degrees about +Y; 0 looks down -Z).
    double x() const { return m_x; }
    double z() const { return m_z; }
    double heading() const { return m_heading; }
    double ground() const { return m_ground; }
    bool groundAnswered() const { return m_answered; }
    int eyeHeight() const;
    void setEyeHeight(int h);
    int stepLength() const;
    void setStepLength(int s);

    // Starts the walk at (x, z) looking along heading, then asks for the ground there.
    void placeAt(double x, double z, double headingDeg);
    // One step: forward and right in steps of the step length (negative: back, left).
    void step(int forward, int right);
    void turn(double degrees);

public slots:
    // The Verdix pane's answer: the ground height under the walker.
    void VerdixHeight(double Height);

signals:
    // The host camera was moved; the viewport follows it.
    void cameraMoved();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    // Takes the start from the viewport: the point the camera looks at, in its direction.
    void startFromCamera();
    void askGround();
    void placeCamera();
    void showPosition();

    double m_x = 0.0, m_z = 0.0, m_heading = 0.0;
    double m_ground = 0.0;
    bool m_answered = false;
    bool m_started = false;
    QSpinBox* m_eye;
    QSpinBox* m_stepBox;
    QLabel* m_position;
    QLabel* m_help;
};
