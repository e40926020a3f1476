#include "timeline.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <dzscene.h>

Timeline::Timeline(QWidget* parent) : QWidget(parent)
{
    setObjectName("Timeline");
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(6, 2, 6, 2);
    m_play = new QPushButton("Play", this);
    m_play->setObjectName("PlayButton");
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName("FrameSlider");
    m_frameLabel = new QLabel("0", this);
    m_frameLabel->setMinimumWidth(40);
    m_rate = new QSpinBox(this);
    m_rate->setObjectName("FrameRate");
    m_rate->setRange(1, 120);
    m_rate->setSuffix(" fps");
    lay->addWidget(m_play);
    lay->addWidget(m_slider, 1);
    lay->addWidget(m_frameLabel);
    lay->addWidget(new QLabel("Rate", this));
    lay->addWidget(m_rate);

    const DzTime step = dzScene && dzScene->getTimeStep() > 0 ? dzScene->getTimeStep() : 160;
    m_rate->setValue(int(DZ_TICKS_PER_SECOND / step));
    updateRange();

    connect(m_slider, &QSlider::valueChanged, this, &Timeline::setFrame);
    connect(m_play, &QPushButton::clicked, this, [this]() { isPlaying() ? stop() : play(); });
    connect(m_rate, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int fps) {
        if (dzScene) dzScene->setTimeStep(std::max<DzTime>(1, DZ_TICKS_PER_SECOND / fps));
        m_timer.setInterval(1000 / fps);
        updateRange();
    });
    connect(&m_timer, &QTimer::timeout, this, &Timeline::advance);
    if (dzScene) {
        connect(dzScene, &DzScene::timeChanged, this, &Timeline::onTimeChanged);
        connect(dzScene, &DzScene::playbackFinished, this, [this]() {
            m_timer.stop();
            m_play->setText("Play");
        });
        connect(dzScene, &DzScene::sceneCleared, this, [this]() {
            updateRange();
            onTimeChanged(0);
        });
    }
}

void Timeline::updateRange()
{
    if (!dzScene) return;
    const DzTime step = std::max<DzTime>(1, dzScene->getTimeStep());
    m_syncing = true;
    m_slider->setRange(0, int(std::max<DzTime>(1, dzScene->getAnimEnd() / step)));
    m_slider->setValue(int(dzScene->getTime() / step));
    m_syncing = false;
}

void Timeline::setFrame(int frame)
{
    m_frameLabel->setText(QString::number(frame));
    if (m_syncing || !dzScene) return;
    dzScene->setTime(DzTime(frame) * dzScene->getTimeStep());
}

void Timeline::onTimeChanged(DzTime t)
{
    const DzTime step = dzScene ? std::max<DzTime>(1, dzScene->getTimeStep()) : 160;
    m_syncing = true;
    m_slider->setValue(int(t / step));
    m_frameLabel->setText(QString::number(t / step));
    m_syncing = false;
}

void Timeline::play()
{
    if (!dzScene || isPlaying()) return;
    m_timer.setInterval(1000 / std::max(1, m_rate->value()));
    m_timer.start();
    m_play->setText("Stop");
    dzScene->play();
}

void Timeline::stop()
{
    m_timer.stop();
    m_play->setText("Play");
    if (dzScene) dzScene->stop();
}

void Timeline::advance()
{
    if (!dzScene) return;
    // Wraps at the end of the animation range.
    const int next = m_slider->value() >= m_slider->maximum() ? 0 : m_slider->value() + 1;
    m_slider->setValue(next);
}
