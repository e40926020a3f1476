#include "animation/taskring.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QtConcurrent>
#include <chrono>
#include <thread>

namespace {
qint64 processMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}
// Set and read on the GUI thread only.
std::function<void()>& prepareHook()
{
    static std::function<void()> hook;
    return hook;
}

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace

void setTaskRingPrepare(std::function<void()> prepare)
{
    if (onGuiThread()) prepareHook() = std::move(prepare);
}

int taskRingWorkerCount(int processors)
{
    return processors < 2 ? 2 : (processors > TaskRing::kMaxSlots ? TaskRing::kMaxSlots : processors);
}

int taskRingWorkerCount() { return taskRingWorkerCount(QThread::idealThreadCount()); }

QString taskRingStatus(const TaskRingStats& s)
{
    return QStringLiteral("Time:%1 UsedThreads:%2 MaxThreads:%3 Waiting:%4")
        .arg(s.elapsedMs)
        .arg(s.used)
        .arg(s.maxThreads)
        .arg(s.waiting);
}

TaskRing::TaskRing(int workers) : m_workers(taskRingWorkerCount(workers))
{
    for (auto& d : m_done) d.store(true, std::memory_order_relaxed);
    m_startMs = processMs();
    if (onGuiThread() && prepareHook()) prepareHook()();
}

TaskRing::~TaskRing() { waitAll(); }

bool TaskRing::slotBusy(int s) const
{
    return !m_futures[s].isFinished();
}

void TaskRing::acquire()
{
    if (m_wrapped && slotBusy(m_slot)) {
        ++m_waiting;
        m_futures[m_slot].waitForFinished();
    }
    m_futures[m_slot].waitForFinished();
    (void)m_done[m_slot].load(std::memory_order_acquire);
}

void TaskRing::start(std::function<void()> task)
{
    acquire();
    const int s = m_slot;
    m_done[s].store(false, std::memory_order_relaxed);
    m_epoch.fetch_add(1, std::memory_order_release);
    std::atomic<bool>* done = &m_done[s];
    std::atomic<unsigned>* epoch = &m_epoch;
    m_futures[s] = QtConcurrent::run([task = std::move(task), done, epoch] {
        (void)epoch->load(std::memory_order_acquire);
        task();
        done->store(true, std::memory_order_release);
    });
    ++m_used;
    if (++m_slot >= m_workers) {
        m_slot = 0;
        m_wrapped = true;
    }
}

int TaskRing::runningCount() const
{
    int n = 0;
    for (int s = 0; s < m_workers; ++s)
        if (slotBusy(s)) ++n;
    return n;
}

void TaskRing::waitAll()
{
    const int last = m_wrapped ? m_workers : m_slot;
    for (int s = 0; s < last; ++s) {
        m_futures[s].waitForFinished();
        (void)m_done[s].load(std::memory_order_acquire);
    }
}

TaskRingStats TaskRing::finish(int pauseMs)
{
    if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    m_waiting += runningCount();
    waitAll();
    TaskRingStats st;
    st.elapsedMs = int(processMs() - m_startMs);
    st.used = m_used;
    st.maxThreads = m_workers;
    st.waiting = m_waiting;
    return st;
}

TaskRingStats runTaskBatch(const std::vector<std::function<void()>>& tasks, int pauseMs, int workers)
{
    TaskRing ring(workers);
    for (const auto& t : tasks) ring.start(t);
    return ring.finish(pauseMs);
}

AnimationCounters tickCountersBegin(AnimationCounters c)
{
    if (c.phase > 100000.0f) c.phase = 1.0f;
    if (c.frame > 100000) c.frame = 0;
    return c;
}

AnimationCounters tickCountersEnd(AnimationCounters c)
{
    c.phase += 1.0f;
    c.frame += 1;
    return c;
}

TimelinePosition timelinePosition(DzTime myTime, DzTime timeStep)
{
    TimelinePosition t;
    t.step = qint32(timeStep) == 0 ? 1 : qint32(timeStep);
    // A step longer than a second would give 0 frames per second and a phase of inf or NaN.
    t.fps = qint32(4800) / t.step;
    if (t.fps == 0) t.fps = 1;
    t.frame = qint32(myTime) / t.step;
    t.phase = 50.0f / float(t.fps) * float(t.frame) + 1.0f;
    return t;
}
