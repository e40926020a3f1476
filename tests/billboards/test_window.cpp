// Billboards in the host application's window: orbiting the viewport's camera and letting
// the animation tick run turns every billboard to the camera's new place.
#include <QElapsedTimer>
#include <QMouseEvent>
#include <cmath>
#include <memory>
#include "fieldfixture.h"
#include "mainwindow.h"
#include "viewport.h"

namespace {

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class BillboardWindow : public FieldTest
{
protected:
    float worstFacing(int i)
    {
        const std::vector<DzVec3> v = verts(i);
        const DzVec3 cam = camera()->getWSPos();
        float worst = 0.f;
        for (size_t f = 0; f + 3 < v.size(); f += 4) {
            DzVec3 edge = v[f + 1] - v[f], to = (v[f] + v[f + 1]) * 0.5f - cam;
            edge.setY(0.f);
            to.setY(0.f);
            worst = std::max(worst, std::fabs(edge.normalized().dot(to.normalized())));
        }
        return worst;
    }
    static void drag(QWidget* w, QPoint from, QPoint to)
    {
        QMouseEvent press(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        for (int k = 1; k <= 10; ++k) {
            const QPoint at = from + (to - from) * k / 10;
            QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &move);
        }
        QMouseEvent release(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
    }
};

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
    spin(100);
    tick();
    EXPECT_LT(worstFacing(i), 2e-3f);

    // Half a turn round the scene: the camera moves, the billboards wait for the tick.
    const DzVec3 before = camera()->getWSPos();
    const QPoint mid = view->rect().center();
    drag(view, mid, mid + QPoint(450, 0));
    const DzVec3 after = camera()->getWSPos();
    ASSERT_GT((after - before).length(), 100.f) << "the drag orbited the host camera";
    EXPECT_GT(worstFacing(i), 0.05f);
    tick();
    EXPECT_LT(worstFacing(i), 2e-3f);

    // The pane outlives this window: the next tests use it.
    pane->setParent(nullptr);
    window.reset();
    pane->show();
}
