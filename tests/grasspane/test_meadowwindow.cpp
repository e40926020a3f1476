// The Meadow sample in the window while the camera orbits, for looking at by hand (textured
// hill, grass blades without dark specks, no shimmer from one frame to the next). Run under a
// display:
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/bin/grasshost_tests --gtest_also_run_disabled_tests
//       --gtest_filter=GrassPaneTest.DISABLED_MeadowOrbitFrames
// writes $VERDIX_SCREENSHOT_DIR/meadow-<n>.png (default /tmp).
#include <QElapsedTimer>
#include <memory>
#include "grasspaneaccess.h"
#include "mainwindow.h"
#include "plugin/assetfolders.h"
#include "viewport.h"

TEST_F(GrassPaneTest, DISABLED_MeadowOrbitFrames)
{
    const QString library = QString(VERDIX_LIBRARY_DIR);
    VerdixAssets::setTextureRoot(library);
    auto window = std::make_unique<MainWindow>();
    window->createPane();
    window->resize(1600, 1000);
    window->show();
    auto spin = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    ASSERT_TRUE(pane->openSetDocument(library + "/Verdix_Scene/Meadow.txt"));
    Viewport* view = window->viewport();
    view->frameAll();
    OrbitCamera& cam = view->camera();
    const QString dir = qEnvironmentVariableIsSet("VERDIX_SCREENSHOT_DIR") ? qEnvironmentVariable("VERDIX_SCREENSHOT_DIR")
                                                                           : QString("/tmp");
    // Close over the grass on the hill's flank, then small steps round it.
    cam.pitchDeg = 18.f;
    cam.zoom(0.35f);
    for (int n = 0; n < 4; ++n) {
        cam.orbit(1.5f, 0.f);
        view->update();
        spin(400);
        EXPECT_TRUE(view->grabFramebuffer().save(QString("%1/meadow-%2.png").arg(dir).arg(n)));
    }
    EXPECT_TRUE(window->grab().save(dir + "/meadow-window.png"));
    pane->setParent(nullptr);
    window.reset();
    VerdixAssets::setTextureRoot(VerdixAssets::defaultTextureRoot());
}
