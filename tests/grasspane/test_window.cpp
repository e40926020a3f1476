// The grass in the host application's window: the timeline's play button and the pane's own
// play button both drive the animation ticks, and the viewport picks the swaying blades up.
#include <QElapsedTimer>
#include <memory>
#include "grasspaneaccess.h"
#include "mainwindow.h"
#include "timeline.h"
#include "viewport.h"

namespace {
void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs the event loop until done() holds, for at most a generous while: a loaded machine
// delivers fewer timer ticks per second, never none.
template <class Done>
void spinUntil(Done done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 10);
}
}  // namespace

TEST_F(GrassPaneTest, TimelineAndPlayButtonSwayTheGrassInTheViewport)
{
    auto window = std::make_unique<MainWindow>();
    window->createPane();
    window->show();
    ASSERT_EQ(dzApp->getPaneMgr()->findPaneByClass("ZPK_VerdixPane"), pane);
    const int i = grass(400);
    a->animate()->setChecked(true);
    Viewport* view = window->viewport();
    view->frameAll();
    spin(150);
    const bool gl = view->hasGL();
    Timeline* timeline = window->timeline();
    std::vector<DzVec3> before = verts(i);
    int ticks = a->ticks(), uploads = gl ? view->renderer().uploadCount() : 0;
    // Ticks ran for the last while: the blades moved and the viewport re-uploaded them.
    auto hasTicked = [&] {
        return a->ticks() - ticks >= 4 && !(verts(i) == before) &&
               (!gl || view->renderer().uploadCount() - uploads >= 3);
    };
    auto expectTicked = [&] {
        EXPECT_GE(a->ticks() - ticks, 4);
        EXPECT_FALSE(verts(i) == before);
        if (gl) EXPECT_GE(view->renderer().uploadCount() - uploads, 3) << "the viewport re-uploads the swaying blades";
    };

    // The pane's animation is running when the timeline starts: the host's playback stops it,
    // and from then on every frame the timeline moves to is a tick.
    a->playButton()->click();
    ASSERT_TRUE(a->timer()->isActive());
    timeline->playButton()->click();
    EXPECT_TRUE(dzScene->isPlaying());
    EXPECT_FALSE(a->timer()->isActive());
    EXPECT_FALSE(a->playing());
    spinUntil(hasTicked);
    expectTicked();
    EXPECT_EQ(a->frame(), int(dzScene->getTime() / dzScene->getTimeStep()) + 1)
        << "the last tick ran at the timeline's frame";

    // Stopped by the timeline (its own tests show the time then stays), the pane's play button
    // ticks on its own timer while the timeline stays where it is.
    timeline->playButton()->click();
    EXPECT_FALSE(dzScene->isPlaying());
    spin(100);
    ticks = a->ticks();
    before = verts(i);
    const DzTime at = dzScene->getTime();
    uploads = gl ? view->renderer().uploadCount() : 0;
    a->playButton()->click();
    EXPECT_TRUE(a->timer()->isActive());
    spinUntil(hasTicked);
    a->playButton()->click();
    EXPECT_FALSE(a->timer()->isActive());
    expectTicked();
    EXPECT_EQ(dzScene->getTime(), at);

    // The pane outlives this window: the next tests use it.
    pane->setParent(nullptr);
    window.reset();
    pane->show();
    if (!gl) GTEST_SKIP() << "no OpenGL here: the viewport part was not checked";
}
