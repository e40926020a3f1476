#include "animation/taskring.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <atomic>
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
}  // namespace

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

// ---- Worker threads ----------------------------------------------------------------------

namespace {
constexpr int kSpins = 200;
}

struct TaskRing::Job
{
    enum State {
        Queued,
        Running,
        Done
    };
    std::mutex m;
    std::condition_variable cv;
    State state = Queued;
    std::atomic<bool> finished{false};
    std::function<void()> task;

    // Runs the task unless someone else already took it; true when this call ran it.
    bool runIfQueued()
    {
        std::function<void()> t;
        {
            std::lock_guard<std::mutex> lock(m);
            if (state != Queued) return false;
            state = Running;
            t = std::move(task);
        }
        t();
        // The task's captures go before the waiter hears of the end.
        t = nullptr;
        {
            std::lock_guard<std::mutex> lock(m);
            state = Done;
            finished.store(true, std::memory_order_release);
        }
        cv.notify_all();
        return true;
    }
    bool done()
    {
        std::lock_guard<std::mutex> lock(m);
        return state == Done;
    }
    void wait()
    {
        // No spinning here: on a machine with as many cores as workers a spinning poster
        // takes time from the workers it waits for.
        if (finished.load(std::memory_order_acquire)) return;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [this] { return state == Done; });
    }
};

namespace {

class TaskPool
{
public:
    // Lives as long as the process: its threads wait on it until the very end, when nothing
    // is queued any more, so it is never torn down under them.
    static TaskPool& instance()
    {
        static TaskPool* pool = new TaskPool;
        return *pool;
    }
    void post(std::shared_ptr<TaskRing::Job> job, int wantThreads)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (; m_threads < wantThreads; ++m_threads) std::thread([this] { work(); }).detach();
            m_queue.push_back(std::move(job));
            m_pending.fetch_add(1, std::memory_order_release);
        }
        m_ready.notify_one();
    }
    // True when every worker is running a task, so a queued one would wait for some time.
    bool allBusy() { return m_idle.load(std::memory_order_acquire) == 0; }
    int threadCount()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_threads;
    }

private:
    void work()
    {
        for (;;) {
            std::shared_ptr<TaskRing::Job> job;
            // Idle from here on: a worker looking for its next task is about to take it.
            m_idle.fetch_add(1, std::memory_order_acq_rel);
            // The ring posts the next task right after the last one ends: a short look
            // before sleeping catches it without a wake-up.
            for (int k = 0; k < kSpins && m_pending.load(std::memory_order_acquire) == 0; ++k)
                std::this_thread::yield();
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_ready.wait(lock, [this] { return !m_queue.empty(); });
                m_idle.fetch_sub(1, std::memory_order_acq_rel);
                job = std::move(m_queue.front());
                m_queue.pop_front();
                m_pending.fetch_sub(1, std::memory_order_relaxed);
            }
            // A waiter may have run it already (it found the task not yet started).
            job->runIfQueued();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<std::shared_ptr<TaskRing::Job>> m_queue;
    int m_threads = 0;
    std::atomic<int> m_idle{0};
    std::atomic<int> m_pending{0};
};

}  // namespace

int taskPoolThreadCount() { return TaskPool::instance().threadCount(); }

// ---- The ring ----------------------------------------------------------------------------

TaskRing::TaskRing(int workers, bool prepare) : m_workers(taskRingWorkerCount(workers))
{
    m_startMs = processMs();
    if (prepare && onGuiThread() && prepareHook()) prepareHook()();
}

TaskRing::~TaskRing() { waitAll(); }

bool TaskRing::slotBusy(int s) const { return m_jobs[s] && !m_jobs[s]->done(); }

void TaskRing::waitSlot(int s)
{
    if (!m_jobs[s]) return;
    // A task that no worker can take soon (every one of them is busy, for instance with tasks
    // that wait for this ring) runs here. Otherwise a worker takes it: the thread that posts
    // the tasks must not sit on one while the workers run dry.
    if (!(TaskPool::instance().allBusy() && m_jobs[s]->runIfQueued())) m_jobs[s]->wait();
    m_jobs[s].reset();
}

void TaskRing::acquire()
{
    if (m_wrapped && slotBusy(m_slot)) ++m_waiting;
    waitSlot(m_slot);
}

void TaskRing::start(std::function<void()> task)
{
    acquire();
    auto job = std::make_shared<Job>();
    job->task = std::move(task);
    m_jobs[m_slot] = job;
    TaskPool::instance().post(std::move(job), m_workers);
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
    for (int s = 0; s < last; ++s) waitSlot(s);
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
