// The path-traced picture in batch: written as a PNG of the asked size that shows a sky over
// the ground, the same bytes from run to run, its options checked before anything runs, and
// the previous file kept when the picture cannot be written; and in its window.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzscene.h>
#include "commandline.h"
#include "renderscene.h"
#include "renderwindow.h"
#include "testscene.h"
#include "hostrun.h"

namespace {

const QString kSample = QString(VERDIX_LIBRARY_DIR) + "/Verdix_Scene/Meadow.txt";

QStringList renderArgs(const QString& file, const QString& size, const QString& samples)
{
    return {"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", kSample,     "--view", "eye",
            "--render",   file,       "--render-size",    size,         "--samples", samples};
}

QByteArray bytesOf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(RenderCommand, WritesTheSceneUnderItsSkyTheSameOnEveryRun)
{
    QTemporaryDir dir;
    const QString a = dir.path() + "/a.png", b = dir.path() + "/b.png";
    const HostRun r = runHost(renderArgs(a, "96x54", "4"));
    ASSERT_EQ(r.code, kExitOk) << qPrintable(r.err);
    EXPECT_TRUE(r.err.isEmpty()) << "progress goes only to a terminal: " << qPrintable(r.err);
    const QImage img(a);
    ASSERT_EQ(img.size(), QSize(96, 54));
    // Standing on the ground looking across: blue sky above, the lit ground below.
    const QColor sky = img.pixelColor(48, 2), ground = img.pixelColor(48, 51);
    EXPECT_GT(sky.blue(), sky.red() + 10) << qPrintable(sky.name());
    EXPECT_GT(ground.green(), ground.blue()) << qPrintable(ground.name());
    EXPECT_GT(ground.value(), 20) << qPrintable(ground.name());
    ASSERT_EQ(runHost(renderArgs(b, "96x54", "4")).code, kExitOk);
    EXPECT_EQ(bytesOf(a), bytesOf(b));
}

TEST(RenderCommand, BadValuesAreRefusedBeforeAnythingRuns)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/x.png";
    const struct
    {
        QStringList args;
        QString says;
        int code;
    } cases[] = {
        {{"--render", dir.path() + "/x.jpg"}, "not a .png file", kExitUsage},
        {{"--render", out, "--samples", "0"}, "--samples: 0 is not a whole number from 1 to 65536", kExitUsage},
        {{"--render", out, "--samples", "many"}, "--samples", kExitUsage},
        {{"--render", out, "--render-size", "8x8"}, "--render-size: not a size", kExitUsage},
        {{"--samples", "4"}, "--samples goes with --render FILE.png", kExitUsage},
        {{"--render-size", "64x64"}, "--render-size goes with --render FILE.png", kExitUsage},
        {{"--render", dir.path() + "/no/such/x.png"}, "does not exist", kExitWriteFailed},
    };
    for (const auto& c : cases) {
        const HostRun r = runHost(QStringList{"--headless"} + c.args);
        EXPECT_EQ(r.code, c.code) << qPrintable(c.args.join(' ')) << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.says)) << qPrintable(r.err);
        EXPECT_EQ(r.err.count('\n'), 1) << qPrintable(r.err);
    }
    EXPECT_FALSE(QFile::exists(out));
}

// A disk that fills up under the picture: exit 5 with the message, the old picture as it was.
TEST(RenderCommand, AFailedWriteKeepsThePreviousPicture)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/render.png";
    {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the previous picture");
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    // 16 KiB a file: a noisy picture of one sample per pixel is far larger.
    p.start("/bin/sh", QStringList{"-c", "trap '' XFSZ; ulimit -f 16; exec \"$@\"", "sh", VERDIX_HOST_EXE} +
                           renderArgs(out, "320x180", "1"));
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), kExitWriteFailed) << qPrintable(err);
    EXPECT_TRUE(err.contains(out) && err.contains("could not be written")) << qPrintable(err);
    EXPECT_EQ(bytesOf(out), QByteArray("the previous picture"));
}

// The window: the picture refines to its full sample count and saves through the dialog
// service; Escape stops a long render, keeping the picture so far.
TEST(RenderWindowRuns, RefinesSavesAndStopsOnEscape)
{
    QTemporaryDir dir;
    buildTestScene(dir.path());
    auto waitIdle = [](RenderWindow& w) {
        QElapsedTimer t;
        t.start();
        while (w.isRunning() && t.elapsed() < 60000) {
            QApplication::processEvents();
            QThread::msleep(20);
        }
    };
    {
        RenderWindow w;
        w.show();
        ASSERT_TRUE(w.start(QSize(48, 27), 4));
        waitIdle(w);
        EXPECT_FALSE(w.isRunning());
        EXPECT_EQ(w.picture().size(), QSize(48, 27));
        EXPECT_TRUE(w.statusText().startsWith("Done: 4 samples per pixel")) << qPrintable(w.statusText());
        const QString file = dir.path() + "/saved.png";
        dzApp->dialogs()->queueFileName(dir.path() + "/saved");
        w.findChild<QPushButton*>("RenderSave")->click();
        EXPECT_EQ(QImage(file).size(), QSize(48, 27));
        EXPECT_EQ(QImage(file).convertToFormat(QImage::Format_RGB32),
                  w.picture().convertToFormat(QImage::Format_RGB32));
    }
    {
        RenderWindow w;
        w.show();
        ASSERT_TRUE(w.start(QSize(64, 36), kMaxRenderSamples));
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&w, &escape);
        waitIdle(w);
        EXPECT_FALSE(w.isRunning());
        EXPECT_TRUE(w.statusText().startsWith("Cancelled after")) << qPrintable(w.statusText());
        EXPECT_FALSE(w.findChild<QPushButton*>("RenderCancel")->isEnabled());
        EXPECT_TRUE(w.findChild<QPushButton*>("RenderSave")->isEnabled());
    }
    dzScene->clear();
}

// The path tracer stands the scene in the same land as the viewport: past the terrain's edge a
// ray down meets ground dressed as the terrain, not the sky under the horizon.
TEST(RenderScene, TheLandAroundTheTerrainIsInThePicture)
{
    QTemporaryDir dir;
    buildTestScene(dir.path());
    PreparedRender pr;
    QString error;
    ASSERT_TRUE(prepareRender(QSize(64, 36), 1, &pr, &error)) << qPrintable(error);
    SurfaceHit onTerrain, beyond;
    ASSERT_TRUE(pr.scene->intersect(Vec3(-120.f, 500.f, -120.f), Vec3(0.f, -1.f, 0.f), 0.f, 1e6f, 0, &onTerrain));
    EXPECT_NEAR(onTerrain.t, 500.f, 1e-2f);
    ASSERT_TRUE(pr.scene->intersect(Vec3(-1500.f, 500.f, 400.f), Vec3(0.f, -1.f, 0.f), 0.f, 1e6f, 0, &beyond))
        << "nothing under a point ten terrain widths out";
    EXPECT_NEAR(beyond.t, 500.f, 1.f) << "the land settles at the rim's height";
    EXPECT_EQ(beyond.material, onTerrain.material);
    dzScene->clear();
}
