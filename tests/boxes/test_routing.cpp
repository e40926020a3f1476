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
    // Focuses the widget, moves the slider and gives the boxes the update went to.
    std::vector<int> move(QWidget* focus, DzIntSlider* s, int value)
    {
        log.clear();
        focus->setFocus();
        QApplication::processEvents();
        s->setValue(value);
        return log.sorted();
    }
};

}  // namespace

TEST_F(Routing, FocusedSliderUpdatesItsBoxAloneOtherwiseEveryBoxOfTheType)
{
    for (int k = 0; k < 3; ++k) route(addBox(TypeGrass), TypeGrass);
    route(addBox(TypeBillboard), TypeBillboard);
    a->setUpdateOverride(TypeGrass, log.hook());
    a->setUpdateOverride(TypeBillboard, log.hook());
    const std::vector<int> one{1}, two{2}, three{3}, grass{0, 1, 2};

    // By mouse or keyboard: the slider has focus.
    EXPECT_EQ(move(slider(1, "Height Min")->lineEdit(), slider(1, "Height Min"), 40), one);
    ASSERT_TRUE(slider(1, "Height Min")->hasFocus());
    EXPECT_EQ(batches, 0);
    // The pane state follows the change.
    EXPECT_TRUE(a->model()->coolText().contains("GrassV1.0,1000,100,0,1,6,100,0,3,40,"));
    // A focused slider of another box of the same type picks that box.
    EXPECT_EQ(move(slider(2, "Seed")->lineEdit(), slider(0, "Seed"), 7), two);
    // A value set by a script (no slider of the type has focus): all grass boxes, as one
    // batch of background tasks.
    EXPECT_EQ(move(a->selector(), slider(0, "Amount"), 500), grass);
    EXPECT_EQ(batches, 1);
    EXPECT_EQ(tasks, 3);
    // "Wind" is not asked for focus: moving it rebuilds every grass box.
    EXPECT_EQ(move(slider(0, "Wind")->lineEdit(), slider(0, "Wind"), 150), grass);
    // Billboards are updated one after another, not through the batch runner.
    EXPECT_EQ(move(a->selector(), slider(3, "Amount"), 20), three);
    EXPECT_EQ(batches, 2);

    // Replaying stored values triggers nothing.
    a->setLoading(true);
    EXPECT_TRUE(move(a->selector(), slider(1, "Amount"), 99).empty());
    a->setLoading(false);
}

TEST_F(Routing, DefaultRunnerRunsEveryTaskBeforeReturning)
{
    VerdixPoolRunner runner;
    std::atomic<int> done{0};
    std::vector<std::function<void()>> list(40, [&done] {
        QThread::msleep(1);
        ++done;
    });
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

// A generator's slot called for a box of another type says so, the same way for every type,
// and touches nothing; an index past the table is passed over in silence.
TEST_F(BoxTest, GeneratorSlotsRefuseABoxOfAnotherType)
{
    const int land = addBox(TypeLandscape, false);
    ASSERT_EQ(land, 0);
    const std::vector<std::pair<const char*, const char*>> calls = {
        {"UpdateGrass", "Not a grass object!"},         {"UpdateStones", "Not a stones object!"},
        {"UpdateBillboard", "Not a billboard object!"}, {"UpdateTree", "Not a tree object!"},
        {"UpdateFlower", "Not a flower object!"},       {"Button_AnimateFlower", "Not a flower object!"}};
    for (const auto& s : calls) {
        a->status()->clear();
        ASSERT_TRUE(
            QMetaObject::invokeMethod(pane, s.first, Qt::DirectConnection, Q_ARG(int, land), Q_ARG(bool, true)));
        EXPECT_EQ(a->status()->text(), s.second) << s.first;
        a->status()->clear();
        ASSERT_TRUE(QMetaObject::invokeMethod(pane, s.first, Qt::DirectConnection, Q_ARG(int, 5), Q_ARG(bool, true)));
        EXPECT_EQ(a->status()->text(), "") << s.first;
    }
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "Button_AnimatePolyTree", Qt::DirectConnection, Q_ARG(int, land)));
    EXPECT_EQ(a->status()->text(), "Not a tree object!");
    EXPECT_EQ(dzScene->getNumNodes(), 0);
}
