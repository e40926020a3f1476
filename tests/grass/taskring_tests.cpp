#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>

#include "animation/taskring.h"

namespace {
void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
// A task that runs until the flag is raised.
std::function<void()> until(std::atomic<bool>& flag)
{
    return [&flag] {
        while (!flag.load()) sleepMs(1);
    };
}
}  // namespace

TEST(Animation, TimelineFrameAndPhase)
{
    const TimelinePosition t = timelinePosition(4800, 160);
    EXPECT_EQ(t.fps, 30);
    EXPECT_EQ(t.frame, 30);
    EXPECT_FLOAT_EQ(t.phase, 51.0f);
    // No time step is taken as one tick; a step longer than a second still gives a phase.
    const TimelinePosition zero = timelinePosition(4800, 0);
    EXPECT_EQ(zero.step, 1);
    EXPECT_EQ(zero.frame, 4800);
    EXPECT_FLOAT_EQ(zero.phase, 51.f);
    const TimelinePosition slow = timelinePosition(48000, 9600);
    EXPECT_EQ(slow.frame, 5);
    EXPECT_TRUE(std::isfinite(slow.phase));
}

TEST(Animation, CountersWrapAtTheStartOfATickAndAdvanceAtItsEnd)
{
    AnimationCounters c = tickCountersEnd(tickCountersBegin(AnimationCounters()));
    EXPECT_FLOAT_EQ(c.phase, 2.f);
    EXPECT_EQ(c.frame, 1);
    // Past the limit both start again; at it, not yet.
    for (auto [phase, frame, wraps] : {std::tuple(100000.5f, 100001, true), std::tuple(100000.f, 100000, false)}) {
        c = tickCountersBegin({phase, frame});
        EXPECT_FLOAT_EQ(c.phase, wraps ? 1.f : phase);
        EXPECT_EQ(c.frame, wraps ? 0 : frame);
    }
}

TEST(TaskRing, SizeIsTheProcessorCountClamped)
{
    for (auto [cpus, workers] : {std::pair(1, 2), std::pair(0, 2), std::pair(8, 8), std::pair(100, 64)})
        EXPECT_EQ(taskRingWorkerCount(cpus), workers) << cpus;
    EXPECT_EQ(TaskRing(300).workers(), 64);
}

TEST(TaskRing, EveryTaskRunsExactlyOnceAndNoBoxIsTouchedTwiceAtOnce)
{
    constexpr int kBoxes = 150;
    std::vector<std::atomic<int>> runs(kBoxes), inFlight(kBoxes);
    std::atomic<int> overlaps{0}, concurrent{0}, peak{0};
    for (int tick = 0; tick < 5; ++tick) {
        std::vector<std::function<void()>> tasks;
        for (int i = 0; i < kBoxes; ++i)
            tasks.push_back([&, i] {
                if (inFlight[i].fetch_add(1) != 0) ++overlaps;
                const int now = ++concurrent;
                int p = peak.load();
                while (now > p && !peak.compare_exchange_weak(p, now)) {}
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                --concurrent;
                inFlight[i].fetch_sub(1);
                ++runs[i];
            });
        const TaskRingStats st = runTaskBatch(tasks, 0, 4);
        EXPECT_EQ(st.used, kBoxes);
        EXPECT_EQ(st.maxThreads, 4);
    }
    for (int i = 0; i < kBoxes; ++i) EXPECT_EQ(runs[i].load(), 5) << i;
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_LE(peak.load(), 4);
}

TEST(TaskRing, ReusingABusySlotIsCountedAsWaiting)
{
    TaskRing ring(2);
    std::atomic<bool> release{false};
    ring.start(until(release));
    ring.start(until(release));
    EXPECT_TRUE(ring.wrapped());
    EXPECT_EQ(ring.waiting(), 0);
    std::thread opener([&] {
        sleepMs(30);
        release = true;
    });
    ring.start([] {});  // slot 0 still runs: wait for it
    opener.join();
    EXPECT_EQ(ring.waiting(), 1);
    EXPECT_EQ(ring.slot(), 1);
    const TaskRingStats st = ring.finish(0);
    EXPECT_EQ(st.used, 3);
    EXPECT_GE(st.waiting, 1);
    EXPECT_LE(st.waiting, 3);

    // Before the ring wraps, nothing is waited for; tasks still running after the pause count.
    TaskRing fresh(4);
    std::atomic<bool> go{false};
    fresh.start(until(go));
    fresh.acquire();
    EXPECT_EQ(fresh.waiting(), 0);
    std::thread later([&] {
        sleepMs(20);
        go = true;
    });
    const TaskRingStats fs = fresh.finish(0);
    later.join();
    EXPECT_EQ(fs.waiting, 1);
}

// A task that runs a batch of its own while every worker is busy with such tasks: the inner
// tasks must still run (a waiter runs a task no worker has taken) instead of deadlocking.
TEST(TaskRing, NestedBatchesFinishWhileEveryWorkerWaits)
{
    std::atomic<int> inner{0};
    std::vector<std::function<void()>> outer(4, [&inner] {
        std::vector<std::function<void()>> tasks(6, [&inner] {
            sleepMs(1);
            ++inner;
        });
        runTaskBatch(tasks, 0, 2);
    });
    std::atomic<bool> finished{false};
    std::thread runner([&] {
        runTaskBatch(outer, 0, 2);
        finished = true;
    });
    for (int ms = 0; ms < 10000 && !finished.load(); ms += 5) sleepMs(5);
    ASSERT_TRUE(finished.load()) << "nested batches deadlocked";
    runner.join();
    EXPECT_EQ(inner.load(), 24);
    EXPECT_GE(taskPoolThreadCount(), 2);
}
