// The animation tick, play and stop, timeline mode and the small slots around them.
#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <dzscene.h>
#include <array>

#include "animation/taskring.h"
#include "pane/verdixpane.h"

void ZPK_VerdixPane::Animation_Play()
{
    if (m_boxes.count() == 0) return;
    if (m_playing) {
        if (m_playButton) m_playButton->setIcon(QIcon(LoadQSFile("Play.png")));
        if (m_timer && m_timer->isActive()) m_timer->stop();
        m_playing = false;
        setCursor(Qt::ArrowCursor);
    } else {
        m_playing = true;
        if (m_playButton) m_playButton->setIcon(QIcon(LoadQSFile("Pause.png")));
        if (m_timer && !m_timer->isActive()) m_timer->start(m_timerInterval);
    }
}

void ZPK_VerdixPane::Animation_Stop()
{
    if (m_playButton) m_playButton->setIcon(QIcon(LoadQSFile("Play.png")));
    if (m_timer && m_timer->isActive()) m_timer->stop();
    m_playing = false;
    setCursor(Qt::ArrowCursor);
}

void ZPK_VerdixPane::SetupTimer(int Milsec)
{
    m_timerInterval = Milsec;
    if (m_timer && m_timer->isActive()) m_timer->setInterval(Milsec);
}

void ZPK_VerdixPane::installSnapshotHook()
{
    static QPointer<ZPK_VerdixPane> hooked;
    if (hooked == this || QThread::currentThread() != thread()) return;
    hooked = this;
    QPointer<ZPK_VerdixPane> self(this);
    setTaskRingPrepare([self] {
        if (self) self->captureWorkerSnapshots();
    });
}

std::function<void()> ZPK_VerdixPane::tickTask(int i)
{
    const BoxTypeEntry* t = typeInfo(m_boxes[i].type);
    if (!t || !t->animates()) return {};
    // A generator joins the tick as soon as its slot exists. The slot is looked up once per
    // pane class: a tick asks for every box, and a look-up walks the pane's whole method list.
    static const QMetaObject* cachedFor = nullptr;
    static std::array<int, kLastType + 1> cached;
    if (cachedFor != metaObject()) {
        cached.fill(-2);
        cachedFor = metaObject();
    }
    int& at = cached[size_t(t->code)];
    if (at == -2) {
        const char* args = t->tick == TickCall::BoxSlot        ? "(int,bool)"
                           : t->tick == TickCall::BoxSlotIndex ? "(int)"
                                                               : "()";
        at = metaObject()->indexOfMethod((QByteArray(t->tickSlot) + args).constData());
    }
    if (at < 0) return {};
    const QMetaMethod m = metaObject()->method(at);
    switch (t->tick) {
    case TickCall::MappingStep:
        return [this, m] {
            QMutexLocker one(&m_mappingLock);
            m.invoke(this, Qt::DirectConnection);
        };
    case TickCall::BoxSlot:
        return [this, m, i] { m.invoke(this, Qt::DirectConnection, Q_ARG(int, i), Q_ARG(bool, false)); };
    case TickCall::BoxSlotIndex:
        return [this, m, i] { m.invoke(this, Qt::DirectConnection, Q_ARG(int, i)); };
    case TickCall::None:
        break;
    }
    return {};
}

void ZPK_VerdixPane::Animation_Draw()
{
    QMutexLocker lock(&m_animationLock);
    if (m_boxes.count() == 0 || m_busy) {
        Animation_Stop();
        return;
    }
    if (VerdixFlags::refreshBlocked || m_replacing) return;

    const AnimationCounters c = tickCountersBegin({m_phase, m_frame});
    m_phase = c.phase;
    m_frame = c.frame;
    // Worker passes read these snapshots instead of the widgets; the ring need not take
    // them a second time.
    captureWorkerSnapshots();

    TaskRing ring(m_workerCount, false);
    for (int i = 0; i < m_boxes.count() && !m_busy; ++i) {
        // Once the ring has wrapped, a slot still busy is waited for and counted.
        ring.acquire();
        std::function<void()> task = tickTask(i);
        if (task) ring.start(std::move(task));
    }
    const TaskRingStats st = ring.finish(dzScene && dzScene->isPlaying() ? 0 : 20);
    setStatus(taskRingStatus(st));
    m_lastTickUsed = st.used;
    m_lastTickWaiting = st.waiting;
    ++m_ticks;

    const AnimationCounters e = tickCountersEnd({m_phase, m_frame});
    m_phase = e.phase;
    m_frame = e.frame;
}

void ZPK_VerdixPane::UpdateFrame(DzTime myTime)
{
    const TimelinePosition t = timelinePosition(myTime, dzScene ? dzScene->getTimeStep() : 1);
    if (m_timer && m_timer->isActive()) Animation_Stop();
    m_frame = t.frame;
    m_phase = t.phase;
    if (m_animateCheck && m_animateCheck->isChecked()) Animation_Draw();
}

void ZPK_VerdixPane::LowLODMode()
{
    QMutexLocker lock(&m_lodLock);
    m_busy = true;
    VerdixFlags::refreshBlocked = true;
    m_lowLOD = m_lowLodCheck && m_lowLodCheck->isChecked();
    setStatus(m_lowLOD ? QStringLiteral("Low LOD enabled") : QStringLiteral("Low LOD disabled"));
    if (!invokeIfPresent("AllObjectsWithNoLandScape")) {
        // Until the landscape placement is wired, the grass boxes are the objects there are.
        captureAllOf(TypeGrass);
        std::vector<std::function<void()>> tasks;
        for (int i = 0; i < m_boxes.count(); ++i)
            if (m_boxes[i].type == TypeGrass) tasks.push_back([this, i] { UpdateGrass(i, true); });
        if (!tasks.empty()) runTaskBatch(tasks, 10, m_workerCount);
    }
    if (m_progress) m_progress->setValue(0);
    m_busy = false;
    VerdixFlags::refreshBlocked = false;
}

void ZPK_VerdixPane::RenderStart(DzRenderer*) { Animation_Stop(); }

void ZPK_VerdixPane::Asm_ClosePane()
{
    VerdixFlags::refreshBlocked = true;
    Animation_Stop();
    for (int i = 0; i < m_boxes.count(); ++i) {
        m_boxes[i].releaseBuffers();
        for (QImage& img : m_boxes[i].images) img = QImage();
    }
    invokeIfPresent("ObjectMapping_Close");
}

void ZPK_VerdixPane::WindowVeiwShowHide()
{
    if (!m_previewFrame) return;
    if (m_previewFrame->isHidden()) m_previewFrame->show();
    else m_previewFrame->hide();
}

void ZPK_VerdixPane::GravityChanged(int Gravity) { m_gravity = float(Gravity); }

float ZPK_VerdixPane::lerpA(float v0, float v1, float t) { return ::lerpA(v0, v1, t); }
float ZPK_VerdixPane::lerpB(float v0, float v1, float t) { return ::lerpB(v0, v1, t); }
