#include "boxfixture.h"
#include <QLineEdit>
#include <QThread>
#include <atomic>

namespace {

// Counts the batches handed to it and runs them on this thread.
struct CountingRunner : VerdixBatchRunner
{
    std::atomic<int>* batches;
    std::atomic<int>* tasks;
    CountingRunner(std::atomic<int>* b, std::atomic<int>* t) : batches(b), tasks(t) {}
    void runAndWait(const std::vector<std::function<void()>>& list) override
    {
        ++*batches;
        *tasks += int(list.size());
        for (const auto& f : list) f();
    }
};

class Routing : public BoxTest
{
protected:
    UpdateLog log;
    std::atomic<int> batches{0}, tasks{0};

    // The type's slider slot is the generator's; where a generator has not arrived yet, the
    // sliders run the routing themselves.
    void route(int i, int type)
    {
        if (pane->wiredGeneratorTypes().contains(type)) return;
        for (DzIntSlider* s : box(i).sliders)
            QObject::connect(s, &DzIntSlider::valueChanged, pane, [this, type](int) { pane->routeSliderChange(type); });
    }
    void SetUp() override
    {
        BoxTest::SetUp();
        showPane();
        pane->setBatchRunner(std::unique_ptr<VerdixBatchRunner>(new CountingRunner(&batches, &tasks)));
    }
};

}  // namespace

TEST_F(Routing, FocusedSliderUpdatesItsBoxAloneOtherwiseEveryBoxOfTheType)
{
    for (int k = 0; k < 3; ++k) route(addBox(TypeGrass), TypeGrass);
    route(addBox(TypeBillboard), TypeBillboard);
    a->setUpdateOverride(TypeGrass, log.hook());
    a->setUpdateOverride(TypeBillboard, log.hook());

    // By mouse or keyboard: the slider has focus.
    slider(1, "Height Min")->lineEdit()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(slider(1, "Height Min")->hasFocus());
    slider(1, "Height Min")->setValue(40);
    EXPECT_EQ(log.sorted(), std::vector<int>({1}));
    EXPECT_EQ(batches, 0);
    // The pane state follows the change.
    EXPECT_TRUE(a->model()->coolText().contains("GrassV1.0,1000,100,0,1,6,100,0,3,40,"));

    // A focused slider of another box of the same type picks that box.
    log.clear();
    slider(2, "Seed")->lineEdit()->setFocus();
    QApplication::processEvents();
    slider(0, "Seed")->setValue(7);
    EXPECT_EQ(log.sorted(), std::vector<int>({2}));

    // A value set by a script (no slider of the type has focus): all grass boxes, as one
    // batch of background tasks.
    log.clear();
    a->selector()->setFocus();
    QApplication::processEvents();
    slider(0, "Amount")->setValue(500);
    EXPECT_EQ(log.sorted(), std::vector<int>({0, 1, 2}));
    EXPECT_EQ(batches, 1);
    EXPECT_EQ(tasks, 3);

    // "Wind" is not asked for focus: moving it rebuilds every grass box.
    log.clear();
    slider(0, "Wind")->lineEdit()->setFocus();
    QApplication::processEvents();
    slider(0, "Wind")->setValue(150);
    EXPECT_EQ(log.sorted(), std::vector<int>({0, 1, 2}));

    // Billboards are updated one after another, not through the batch runner.
    log.clear();
    a->selector()->setFocus();
    QApplication::processEvents();
    slider(3, "Amount")->setValue(20);
    EXPECT_EQ(log.sorted(), std::vector<int>({3}));
    EXPECT_EQ(batches, 2);

    // Replaying stored values triggers nothing.
    log.clear();
    a->setLoading(true);
    slider(1, "Amount")->setValue(99);
    a->setLoading(false);
    EXPECT_TRUE(log.sorted().empty());
}

TEST_F(Routing, DefaultRunnerRunsEveryTaskBeforeReturning)
{
    VerdixPoolRunner runner;
    std::atomic<int> done{0};
    std::vector<std::function<void()>> list;
    for (int k = 0; k < 40; ++k) list.push_back([&done] { QThread::msleep(1); ++done; });
    runner.runAndWait(list);
    EXPECT_EQ(done, 40);

    // And the pane's own runner drives real background updates.
    pane->setBatchRunner(nullptr);
    for (int k = 0; k < 4; ++k) addBox(TypeStones);
    a->setUpdateOverride(TypeStones, log.hook());
    a->selector()->setFocus();
    pane->routeSliderChange(TypeStones);
    EXPECT_EQ(log.sorted(), std::vector<int>({0, 1, 2, 3}));
}
