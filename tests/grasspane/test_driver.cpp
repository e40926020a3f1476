#include "grasspaneaccess.h"
#include "vegetation/grassbox.h"

TEST_F(GrassPaneTest, PlayTogglesTheTimerWithItsInterval)
{
    // Without boxes play stays stopped, and a tick that finds none stops a running timer.
    a->play();
    EXPECT_FALSE(a->playing());
    a->timer()->start(1000);
    a->draw();
    EXPECT_FALSE(a->timer()->isActive());

    grass(10);
    a->setupTimer(250);
    a->play();
    EXPECT_TRUE(a->playing());
    ASSERT_TRUE(a->timer()->isActive());
    EXPECT_EQ(a->timer()->interval(), 250);
    a->play();
    EXPECT_FALSE(a->playing());
    EXPECT_FALSE(a->timer()->isActive());
    // A render stops it (the host's own playback: the window test).
    a->play();
    dzScene->emitAboutToRender(nullptr);
    EXPECT_FALSE(a->timer()->isActive());
}

TEST_F(GrassPaneTest, BlockedOrBusyTicksDoNothing)
{
    grass(10);
    VerdixFlags::refreshBlocked = true;
    const int ticks = a->ticks();
    a->draw();
    EXPECT_EQ(a->ticks(), ticks);
    EXPECT_EQ(a->frame(), 0);
    VerdixFlags::refreshBlocked = false;
    // A busy pane stops the animation at the next tick.
    a->play();
    a->busy() = true;
    a->draw();
    EXPECT_FALSE(a->timer()->isActive());
    EXPECT_EQ(a->frame(), 0);
    a->busy() = false;
}

TEST_F(GrassPaneTest, TimelineSetsTheCountersAndTicksWhenAnimating)
{
    const int i = grass(100);
    const int ticks = a->ticks();
    a->updateFrame(4800);
    EXPECT_EQ(a->frame(), 30);
    EXPECT_EQ(a->ticks(), ticks) << "no tick without Animate";

    a->animate()->setChecked(true);
    const std::vector<DzVec3> before = verts(i);
    a->play();
    dzScene->setTime(9600);  // through the scene's signal
    EXPECT_FALSE(a->timer()->isActive()) << "a timeline change stops the timer";
    EXPECT_EQ(a->ticks(), ticks + 1);
    EXPECT_EQ(a->frame(), 61);
    EXPECT_FLOAT_EQ(a->phase(), 102.0f);
    EXPECT_FALSE(verts(i) == before);
}

TEST_F(GrassPaneTest, AllBoxUpdatesRunInTheRing)
{
    std::vector<std::vector<DzVec3>> before;
    for (int k = 0; k < 5; ++k) before.push_back(verts(grass(200)));
    // A value set by code (no focus): every grass box is updated, off the GUI thread.
    a->windStrength()->setValue(150);
    slider(2, "Height Min")->setValue(60);
    for (int k = 0; k < 5; ++k) EXPECT_FALSE(verts(k) == before[size_t(k)]) << k;
    EXPECT_EQ(generatorOf<GrassBox>(a->boxes()[0])->params.HeightMin, 20);
    EXPECT_EQ(generatorOf<GrassBox>(a->boxes()[2])->params.HeightMin, 60);
    EXPECT_EQ(generatorOf<GrassBox>(a->boxes()[4])->params.WindStrength1, 150);
    a->windStrength()->setValue(100);
}

TEST_F(GrassPaneTest, ClosingThePaneDropsTheCachesAndBlocksTicks)
{
    const int i = grass(100);
    ASSERT_FALSE(a->boxes()[i].groundHeights.empty());
    a->closePane();
    EXPECT_TRUE(VerdixFlags::refreshBlocked);
    EXPECT_TRUE(a->boxes()[i].groundHeights.empty());
    a->draw();
    EXPECT_EQ(a->frame(), 0);
    VerdixFlags::refreshBlocked = false;
    // The cache is rebuilt by the next pass.
    a->updateGrass(i, false);
    EXPECT_EQ(a->boxes()[i].groundHeights.size(), 10000u);
}

// 64 boxes ticked 200 times through the ring: every box ends exactly where this thread puts
// it, without asking the terrain again. Run under ThreadSanitizer by scripts/tsan.sh.
TEST_F(GrassPaneTest, SixtyFourBoxesTwoHundredTicks)
{
    for (int k = 0; k < 64; ++k) grass(10 + k);
    const int ticks = a->ticks();
    for (int t = 0; t < 200; ++t) a->draw();
    EXPECT_EQ(a->ticks(), ticks + 200);
    EXPECT_EQ(a->lastUsed(), 64);
    a->phase() -= 1.f;  // the phase the last tick used
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(generatorOf<GrassBox>(a->boxes()[k])->lastPass.heightQueries, 0) << k;
        const std::vector<DzVec3> ticked = verts(k);
        ASSERT_EQ(ticked.size(), size_t(2 * 7 * (10 + k)));
        a->updateGrass(k, false);
        EXPECT_TRUE(verts(k) == ticked) << k;
    }
}
