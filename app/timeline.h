#pragma once
// Frame slider, play/stop and frame rate. Moving the slider sets the scene time; playing
// advances it with a timer at the frame rate until stopped.
#include <QTimer>
#include <QWidget>
#include <dzmath.h>

class QSlider;
class QSpinBox;
class QPushButton;
class QLabel;

class Timeline : public QWidget
{
    Q_OBJECT
public:
    explicit Timeline(QWidget* parent = nullptr);
    QSlider* slider() const { return m_slider; }
    QPushButton* playButton() const { return m_play; }
    QSpinBox* rateSpin() const { return m_rate; }
    bool isPlaying() const { return m_timer.isActive(); }

public slots:
    void play();
    void stop();
    void setFrame(int frame);

private slots:
    void advance();
    void onTimeChanged(DzTime t);

private:
    void updateRange();

    QSlider* m_slider;
    QPushButton* m_play;
    QSpinBox* m_rate;
    QLabel* m_frameLabel;
    QTimer m_timer;
    bool m_syncing = false;
};
