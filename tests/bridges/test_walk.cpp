// The walk-through pane over the library's sample of two overlapping landscapes: every step
// asks the Verdix pane for the ground and puts the viewport's camera at eye height over it.
#include "boxfixture.h"
#include <QDockWidget>
#include <QKeyEvent>
#include "mainwindow.h"
#include "orbitcamera.h"
#include "terrainfixture.h"
#include "trekkopane.h"
#include "viewport.h"

namespace {

class Walk : public BoxTest
{
protected:
    ZPK_TrekkoPane* walker = nullptr;
    std::vector<TestTerrain> terrains;
    std::vector<DzVec3> origins;

    void SetUp() override
    {
        BoxTest::SetUp();
        VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
        ASSERT_TRUE(pane->openSetDocument(QStringLiteral(VERDIX_SAMPLE_DIR "/Verdix_Scene/Landscape_Sample.txt")))
            << qPrintable(a->status()->text());
        ASSERT_EQ(a->boxes().count(), 2);
        // The terrains as built, read straight from their meshes.
        for (int i = 0; i < 2; ++i) {
            DzFacetMesh* mesh = meshOfNode(nodeOf(i));
            ASSERT_NE(mesh, nullptr);
            TestTerrain t;
            t.tiles = box(i).storedTiles;
            t.divisions = box(i).storedDivisions;
            t.tileSize = box(i).storedTileSize;
            t.verts.assign(mesh->getVerticesPtr(), mesh->getVerticesPtr() + mesh->getNumVertices());
            ASSERT_EQ(int(t.verts.size()), t.V() * t.V());
            terrains.push_back(t);
            origins.push_back(nodeOf(i)->getWSPos());
        }
        walker = new ZPK_TrekkoPane;
        dzApp->getPaneMgr()->addPane(walker);
        walker->setEyeHeight(170);
    }
    void TearDown() override
    {
        delete walker;
        BoxTest::TearDown();
    }
    // Which terrains are under (x, z), and the highest ground among them.
    double ground(double x, double z, int* over)
    {
        double best = 0.0;
        *over = 0;
        for (int i = 0; i < 2; ++i) {
            const float lx = float(x) - origins[i].x(), lz = float(z) - origins[i].z();
            if (std::abs(lx) > terrains[i].half() || std::abs(lz) > terrains[i].half()) continue;
            const double h = terrains[i].expected(lx, lz);
            best = *over ? std::max(best, h) : h;
            *over |= 1 << i;
        }
        return best;
    }
    void key(int k)
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(walker, &press);
    }
};

// The answer travels as text with six significant digits.
double nearHeight(double g) { return 1e-4 + std::abs(g) * 1e-5; }

}  // namespace

TEST_F(Walk, CameraStaysAtEyeHeightWalkingAcrossTheSeam)
{
    // The second landscape stands at (700, -450) and overlaps the first.
    ASSERT_FLOAT_EQ(origins[1].x(), 700.f);
    ASSERT_FLOAT_EQ(origins[1].z(), -450.f);
    walker->setStepLength(50);
    walker->placeAt(-300.0, -250.0, -90.0);  // heading east, along +X
    DzCameraNode* cam = hostCamera();
    ASSERT_NE(cam, nullptr);
    QMap<int, int> stepsOver;
    for (int step = 0; step < 30; ++step) {
        key(Qt::Key_W);
        const double x = -300.0 + 50.0 * (step + 1);
        ASSERT_NEAR(walker->x(), x, 1e-3);
        ASSERT_NEAR(walker->z(), -250.0, 1e-3);
        int over = 0;
        const double g = ground(x, -250.0, &over);
        ++stepsOver[over];
        ASSERT_TRUE(walker->groundAnswered()) << step;
        const DzVec3 eye = cam->getWSPos();
        EXPECT_NEAR(eye.y(), g + 170.0, nearHeight(g)) << "x " << x << " over " << over;
        EXPECT_NEAR(eye.x(), x, 1e-3);
        EXPECT_NEAR(eye.z(), -250.0, 1e-3);
        // Looking ahead, a little down.
        EXPECT_GT(cam->getFocalPoint().x(), eye.x());
        EXPECT_LT(cam->getFocalPoint().y(), eye.y());
    }
    // The walk went over the first terrain alone, both, the second alone, and off both, where
    // the ground is 0.
    for (int over : {0, 1, 2, 3}) EXPECT_GT(stepsOver[over], 0) << over;
    EXPECT_NEAR(walker->ground(), 0.0, 1e-6);

    // Turning and side steps: A goes left of the heading, S back.
    walker->placeAt(0.0, 0.0, 0.0);
    key(Qt::Key_A);
    EXPECT_NEAR(walker->x(), -50.0, 1e-3);
    key(Qt::Key_S);
    EXPECT_NEAR(walker->z(), 50.0, 1e-3);
    key(Qt::Key_Q);
    EXPECT_NEAR(walker->heading(), 5.0, 1e-9);
}

TEST_F(Walk, ALandscapeWithoutItsNodeStandsAtTheOriginUntilItsTerrainIsGone)
{
    walker->placeAt(900.0, -250.0, 0.0);
    ASSERT_GT(walker->ground(), 0.0);
    dzScene->removeNode(nodeOf(1));
    // Out of the scene but not yet deleted: its terrain answers as if it stood at the origin.
    walker->placeAt(100.0, -250.0, 0.0);
    const double h = std::max(terrains[0].expected(100.f, -250.f), terrains[1].expected(100.f, -250.f));
    EXPECT_NEAR(walker->ground(), h, nearHeight(h));
    // Deleted with its mesh: where only it stood there is no ground any more.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    walker->placeAt(900.0, -250.0, 0.0);
    EXPECT_TRUE(walker->groundAnswered());
    EXPECT_EQ(walker->ground(), 0.0);
}

TEST_F(Walk, ARaisedLandscapeRaisesTheEye)
{
    walker->placeAt(900.0, -250.0, 0.0);
    const double g = walker->ground();
    ASSERT_GT(g, 0.0);
    nodeOf(1)->setWSPos(origins[1] + DzVec3(0.f, 100.f, 0.f));
    walker->placeAt(900.0, -250.0, 0.0);
    EXPECT_NEAR(walker->ground(), g + 100.0, nearHeight(g + 100.0));
}

TEST_F(Walk, WindowDocksBothPanesAndTheViewportFollowsTheWalk)
{
    auto window = std::make_unique<MainWindow>();
    window->createPane();
    window->createBridgePanes();
    window->show();
    QApplication::processEvents();
    for (const char* dock : {"Dock_ZPK_KorgPane", "Dock_ZPK_TrekkoPane", "Dock_ZPK_VerdixPane"}) {
        QDockWidget* d = window->findChild<QDockWidget*>(dock);
        ASSERT_NE(d, nullptr) << dock;
        EXPECT_TRUE(d->isVisible()) << dock;
    }
    EXPECT_EQ(window->dockWidgetArea(window->findChild<QDockWidget*>("Dock_ZPK_TrekkoPane")), Qt::LeftDockWidgetArea);
    walker->placeAt(0.0, 0.0, 30.0);
    key(Qt::Key_W);
    int over = 0;
    const double g = ground(walker->x(), walker->z(), &over);
    ASSERT_EQ(over, 1);
    const QVector3D eye = window->viewport()->camera().eye();
    EXPECT_NEAR(eye.y(), g + 170.0, 0.05);
    EXPECT_NEAR(eye.x(), walker->x(), 0.05);
    EXPECT_NEAR(window->viewport()->camera().yawDeg, 30.0, 0.01);
    // The fixture keeps its panes; the window takes the controller pane with it.
    pane->setParent(nullptr);
    walker->setParent(nullptr);
    window.reset();
}
