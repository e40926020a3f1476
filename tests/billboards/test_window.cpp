// Billboards in the host application's window: the camera a mouse drag orbits in the viewport
// is the one the next tick turns every billboard to. That billboards wait for the tick is
// the pane's own test.
#include <QElapsedTimer>
#include <QMouseEvent>
#include <memory>
#include "fieldfixture.h"
#include "mainwindow.h"
#include "viewport.h"

namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, at, button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

using BillboardWindow = FieldTest;

}  // namespace

TEST_F(BillboardWindow, OrbitingTheCameraAndTickingTurnsTheBillboards)
{
    auto window = std::make_unique<MainWindow>();
    window->createPane();
    window->show();
    ASSERT_EQ(dzApp->getPaneMgr()->findPaneByClass("ZPK_VerdixPane"), pane);
    const int i = create(TypeBillboard);
    set(i, {{"Amount", 300}, {"Area size X", 400}, {"Area size Z", 400}, {"Ring", 100}});
    Viewport* view = window->viewport();
    view->frameAll();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 100) QApplication::processEvents(QEventLoop::AllEvents, 10);
    tick();

    // Half a turn round the scene, dragged with the mouse.
    const DzVec3 before = camera()->getWSPos();
    const QPoint from = view->rect().center(), to = from + QPoint(450, 0);
    mouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int k = 1; k <= 10; ++k)
        mouse(view, QEvent::MouseMove, from + (to - from) * k / 10, Qt::NoButton, Qt::LeftButton);
    mouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    ASSERT_GT((camera()->getWSPos() - before).length(), 100.f) << "the drag orbited the host camera";
    ASSERT_GT(worstFacing(verts(i), camera()->getWSPos()), 0.05f) << "they faced the old place";
    tick();
    EXPECT_LT(worstFacing(verts(i), camera()->getWSPos()), 2e-3f);

    // The pane outlives this window: the next tests use it.
    pane->setParent(nullptr);
    window.reset();
    pane->show();
}
