#pragma once
// The bounded ring of background tasks that the animation tick and the batch updates share,
// plus the small pure pieces of the animation driver.
//
// How the pane adapter calls it:
//   Animation_Draw: lock; check boxes/busy/refresh-blocked; counters = tickCountersBegin(..);
//     TaskRing ring; for each box i (stop when busy): ring.acquire(); if the type animates,
//     ring.start([=]{ UpdateGrass(i, false); }) (and so on by type; rock mapping steps wrapped
//     in one mutex so they run one after another); then
//     TaskRingStats st = ring.finish(dzScene->isPlaying() ? 0 : 20);
//     status label = taskRingStatus(st); counters = tickCountersEnd(counters).
//   Batch updates (all grass boxes after a slider change, all boxes on a landscape):
//     runTaskBatch(tasks) with one task per selected box, in box order.
//   UpdateFrame(myTime): TimelinePosition t = timelinePosition(myTime, dzScene->getTimeStep());
//     frame counter = t.frame, phase counter = t.phase.
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "dzmath.h"

// The ring's size for a processor count: clamped to 2..64.
int taskRingWorkerCount(int processors);
// The same for the processors of this machine.
int taskRingWorkerCount();

struct TaskRingStats
{
    int elapsedMs = 0;
    int used = 0;        // tasks started
    int maxThreads = 0;  // the ring's size M
    int waiting = 0;     // waits for a reused slot plus tasks still running after the pause
};

// "Time:%1 UsedThreads:%2 MaxThreads:%3 Waiting:%4"
QString taskRingStatus(const TaskRingStats& stats);

// Runs on the GUI thread each time a ring is built there, before any of its tasks start,
// so the pane can copy the widget state that passes on worker threads read.
void setTaskRingPrepare(std::function<void()> prepare);

class TaskRing
{
public:
    static constexpr int kMaxSlots = 64;

    // prepare false skips the GUI thread's snapshot hook, for a caller that has just taken
    // the snapshots itself.
    explicit TaskRing(int workers = taskRingWorkerCount(), bool prepare = true);
    ~TaskRing();  // waits for every task still running
    TaskRing(const TaskRing&) = delete;
    TaskRing& operator=(const TaskRing&) = delete;

    int workers() const { return m_workers; }
    int slot() const { return m_slot; }
    bool wrapped() const { return m_wrapped; }
    int used() const { return m_used; }
    int waiting() const { return m_waiting; }

    // Makes the current slot free: once the ring has wrapped, a task still running there is
    // waited for and counted under Waiting. start() calls it; the tick calls it for every box.
    void acquire();
    // Runs task in the current slot on the global thread pool and moves to the next slot.
    void start(std::function<void()> task);
    // Slots whose task has not finished.
    int runningCount() const;
    // Sleeps pauseMs, counts the tasks still running under Waiting, waits for all of them.
    TaskRingStats finish(int pauseMs);
    void waitAll();

    // One task in flight; shared with the worker that runs it.
    struct Job;

private:
    bool slotBusy(int s) const;
    void waitSlot(int s);

    int m_workers;
    int m_slot = 0;
    bool m_wrapped = false;
    int m_used = 0;
    int m_waiting = 0;
    qint64 m_startMs = 0;
    std::shared_ptr<Job> m_jobs[kMaxSlots];
};

// The process's worker threads that run the ring's tasks, at least as many as the largest
// ring asked for. Their hand-overs are plain mutexes and condition variables, so a race
// checker sees every one of them.
int taskPoolThreadCount();

// One pass over a list of box updates: started in order through a ring, a pause, then every
// task awaited.
TaskRingStats runTaskBatch(const std::vector<std::function<void()>>& tasks, int pauseMs = 10,
                           int workers = taskRingWorkerCount());

// Linear interpolation, two spellings kept for their callers.
inline float lerpA(float a, float b, float t) { return (b - a) * t + a; }
inline float lerpB(float a, float b, float t) { return (1 - t) * a + b * t; }

struct AnimationCounters
{
    float phase = 1.0f;
    int frame = 0;
};

// Start of a tick: counters that ran past 100000 start over.
AnimationCounters tickCountersBegin(AnimationCounters c);
// End of a tick: one step further.
AnimationCounters tickCountersEnd(AnimationCounters c);

struct TimelinePosition
{
    int step = 1;  // host ticks per frame, never 0
    int fps = 1;   // frames per second, never 0
    int frame = 0;
    float phase = 1.0f;  // advances 50 per second of timeline time
};

TimelinePosition timelinePosition(DzTime myTime, DzTime timeStep);
