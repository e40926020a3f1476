#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "animation/taskring.h"
#include "grasstestutil.h"

TEST(Animation, TimelineFrameAndPhase)
{
    const TimelinePosition t = timelinePosition(4800, 160);
    EXPECT_EQ(t.fps, 30);
    EXPECT_EQ(t.frame, 30);
    EXPECT_FLOAT_EQ(t.phase, 51.0f);

    const TimelinePosition zero = timelinePosition(4800, 0);
    EXPECT_EQ(zero.step, 1);
    EXPECT_EQ(zero.frame, 4800);
    EXPECT_FLOAT_EQ(zero.phase, 50.f / 4800.f * 4800.f + 1.f);

    // A step longer than a second still gives a usable phase.
    const TimelinePosition slow = timelinePosition(48000, 9600);
    EXPECT_EQ(slow.frame, 5);
    EXPECT_TRUE(std::isfinite(slow.phase));
}

TEST(Animation, CountersWrapAtTheStartOfATickAndAdvanceAtItsEnd)
{
    AnimationCounters c;
    c = tickCountersEnd(tickCountersBegin(c));
    EXPECT_FLOAT_EQ(c.phase, 2.f);
    EXPECT_EQ(c.frame, 1);

    c.phase = 100000.5f;
    c.frame = 100001;
    c = tickCountersBegin(c);
    EXPECT_FLOAT_EQ(c.phase, 1.f);
    EXPECT_EQ(c.frame, 0);
    c.phase = 100000.f; // not yet past
    c.frame = 100000;
    c = tickCountersBegin(c);
    EXPECT_FLOAT_EQ(c.phase, 100000.f);
    EXPECT_EQ(c.frame, 100000);

    EXPECT_FLOAT_EQ(lerpA(2.f, 6.f, 0.25f), 3.f);
    EXPECT_FLOAT_EQ(lerpB(2.f, 6.f, 0.25f), 3.f);
}

TEST(TaskRing, SizeIsTheProcessorCountClamped)
{
    EXPECT_EQ(taskRingWorkerCount(1), 2);
    EXPECT_EQ(taskRingWorkerCount(0), 2);
    EXPECT_EQ(taskRingWorkerCount(8), 8);
    EXPECT_EQ(taskRingWorkerCount(100), 64);
    EXPECT_EQ(TaskRing(300).workers(), 64);
}

TEST(TaskRing, EveryTaskRunsExactlyOnceAndNoBoxIsTouchedTwiceAtOnce)
{
    constexpr int kBoxes = 150;
    std::vector<std::atomic<int>> runs(kBoxes);
    std::vector<std::atomic<int>> inFlight(kBoxes);
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
    auto slow = [&] { while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    ring.start(slow);
    ring.start(slow);
    EXPECT_TRUE(ring.wrapped());
    EXPECT_EQ(ring.waiting(), 0);
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        release = true;
    });
    ring.start([] {}); // slot 0 still runs: wait for it
    opener.join();
    EXPECT_EQ(ring.waiting(), 1);
    EXPECT_EQ(ring.slot(), 1);
    const TaskRingStats st = ring.finish(0);
    EXPECT_EQ(st.used, 3);
    EXPECT_GE(st.waiting, 1);
    EXPECT_LE(st.waiting, 3);
    EXPECT_EQ(taskRingStatus(st),
              QString("Time:%1 UsedThreads:3 MaxThreads:2 Waiting:%2").arg(st.elapsedMs).arg(st.waiting));

    // Before the ring wraps, nothing is waited for; tasks still running after the pause count.
    TaskRing fresh(4);
    std::atomic<bool> go{false};
    fresh.start([&] { while (!go.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    fresh.acquire();
    EXPECT_EQ(fresh.waiting(), 0);
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        go = true;
    });
    const TaskRingStats fs = fresh.finish(0);
    later.join();
    EXPECT_EQ(fs.waiting, 1);
}

// 64 grass boxes animated for 200 ticks through the ring: every box must end exactly where a
// single thread puts it. Built with -DVERDIX_TSAN=ON this is the race check of the tick.
TEST(TaskRing, ManyGrassBoxesTickedThroughTheRingMatchASingleThread)
{
    constexpr int kBoxes = 64;
    constexpr int kTicks = 200;
    struct Box
    {
        GrassParams p;
        DzFacetMesh mesh;
        std::vector<float> cache;
    };
    CountingGround ground;
    std::vector<std::unique_ptr<Box>> boxes;
    for (int i = 0; i < kBoxes; ++i) {
        auto b = std::make_unique<Box>();
        b->p.Amount = 40 + i;
        b->p.GrassLOD = 3;
        b->p.boxIndex = i;
        b->p.WindSpeed2 = 20;
        updateGrassCore(b->p, b->mesh, b->cache, ground, true);
        boxes.push_back(std::move(b));
    }
    const int filled = ground.queries.load();
    AnimationCounters counters;
    for (int t = 0; t < kTicks; ++t) {
        counters = tickCountersBegin(counters);
        TaskRing ring;
        for (int i = 0; i < kBoxes; ++i) {
            ring.acquire();
            Box* b = boxes[size_t(i)].get();
            b->p.phase = counters.phase;
            ring.start([b, &ground] { updateGrassCore(b->p, b->mesh, b->cache, ground, false); });
        }
        const TaskRingStats st = ring.finish(0);
        EXPECT_EQ(st.used, kBoxes);
        counters = tickCountersEnd(counters);
    }
    EXPECT_EQ(ground.queries.load(), filled);
    for (int i = 0; i < kBoxes; ++i) {
        DzFacetMesh ref;
        std::vector<float> cache;
        updateGrassCore(boxes[size_t(i)]->p, ref, cache, ground, true);
        EXPECT_TRUE(vertices(ref) == vertices(boxes[size_t(i)]->mesh)) << i;
    }
}

// A task that runs a batch of its own while every worker is busy with such tasks: the inner
// tasks must still run (a waiter runs a task no worker has taken) instead of deadlocking.
TEST(TaskRing, NestedBatchesFinishWhileEveryWorkerWaits)
{
    std::atomic<int> inner{0};
    std::vector<std::function<void()>> outer;
    for (int k = 0; k < 4; ++k)
        outer.push_back([&inner] {
            std::vector<std::function<void()>> tasks(6, [&inner] {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ++inner;
            });
            runTaskBatch(tasks, 0, 2);
        });
    std::atomic<bool> finished{false};
    std::thread runner([&] {
        runTaskBatch(outer, 0, 2);
        finished = true;
    });
    for (int ms = 0; ms < 10000 && !finished.load(); ms += 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(finished.load()) << "nested batches deadlocked";
    runner.join();
    EXPECT_EQ(inner.load(), 24);
    EXPECT_GE(taskPoolThreadCount(), 2);
}
