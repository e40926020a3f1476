// The command line: checked as a whole first, run in its fixed order, one clear line per
// failure, and the real executable behaving the same.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <dzapp.h>
#include <dzscene.h>
#include "commandline.h"
#include "sceneexport.h"
#include "testscene.h"
#include "../hostrun.h"

namespace {

bool parse(const QStringList& args, CommandLine* cl, QString* error) { return parseCommandLine(args, cl, error); }

} // namespace

TEST(CommandLine, ParsesEveryOptionWhateverTheirOrder)
{
    QTemporaryDir dir;
    const QString in = dir.path() + "/in.txt";
    QFile(in).open(QIODevice::WriteOnly);
    CommandLine cl;
    QString error;
    ASSERT_TRUE(parse({"--status", "--export", dir.path() + "/a.obj", "--time", "12", "--headless", "--script", in,
                       "--export=" + dir.path() + "/b.glb", "--ticks", "4", "--assets", dir.path(), "--screenshot",
                       dir.path() + "/s.png", "--screenshot-size", "640x360", "--open-set", in, "--load-scene", in,
                       "--save-scene", dir.path() + "/s.duf"},
                      &cl, &error))
        << qPrintable(error);
    EXPECT_TRUE(cl.headless);
    EXPECT_TRUE(cl.status);
    EXPECT_EQ(cl.exports, QStringList({dir.path() + "/a.obj", dir.path() + "/b.glb"}));
    EXPECT_TRUE(cl.hasTime);
    EXPECT_EQ(cl.frame, 12);
    EXPECT_EQ(cl.ticks, 4);
    EXPECT_EQ(cl.screenshotSize, QSize(640, 360));
    EXPECT_EQ(cl.loadScene, in);
    EXPECT_EQ(cl.openSet, in);
}

TEST(CommandLine, RefusesBadInputWithOneClearLineAndItsExitCode)
{
    QTemporaryDir dir;
    const QString locked = dir.path() + "/locked";
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    struct Case
    {
        QStringList args;
        QString expect;
        int code;
    } cases[] = {
        {{"--frobnicate"}, "unknown option: --frobnicate", kExitUsage},
        {{"--export"}, "--export needs a value", kExitUsage},
        {{"--time", "--headless"}, "--time needs a value", kExitUsage},
        {{"--time", "soon"}, "--time: soon is not a whole number from 0 to 2147483647", kExitUsage},
        // Past what a signed 64-bit parse holds, and negative frames.
        {{"--time", "99999999999999999999999"}, "from 0 to 2147483647", kExitUsage},
        {{"--time", "2147483648"}, "from 0 to 2147483647", kExitUsage},
        {{"--time=-1"}, "--time: -1 is not a whole number from 0", kExitUsage},
        {{"--ticks", "-3"}, "--ticks: -3 is not a whole number from 0 to 1000000", kExitUsage},
        {{"--load-scene", dir.path() + "/none.duf"}, "--load-scene: no such file", kExitInputFailed},
        {{"--open-set", dir.path() + "/none.txt"}, "--open-set: no such file", kExitInputFailed},
        {{"--script", dir.path()}, "--script: cannot read", kExitInputFailed},
        {{"--assets", dir.path() + "/nowhere"}, "--assets: no such folder", kExitInputFailed},
        {{"--export", dir.path() + "/x.fbx"}, "--export: unknown format", kExitUsage},
        {{"--export", dir.path() + "/no/such/x.obj"}, "does not exist", kExitWriteFailed},
        {{"--screenshot", dir.path() + "/x.jpg"}, "is not a .png file", kExitUsage},
        {{"--time", "1", "--time", "2"}, "--time given more than once", kExitUsage},
        {{"--headless=yes"}, "--headless takes no value", kExitUsage},
    };
    for (const Case& c : cases) {
        CommandLine cl;
        QString error;
        int code = kExitOk;
        EXPECT_FALSE(parseCommandLine(c.args, &cl, &error, &code)) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(error.contains(c.expect)) << qPrintable(error) << " for " << qPrintable(c.args.join(' '));
        EXPECT_EQ(code, c.code) << qPrintable(c.args.join(' '));
        EXPECT_FALSE(error.contains('\n'));
    }
    // A read-only folder only matters when the test does not run as root.
    if (!QFileInfo(locked).isWritable()) {
        CommandLine cl;
        QString error;
        EXPECT_FALSE(parse({"--save-scene", locked + "/s.duf"}, &cl, &error));
        EXPECT_TRUE(error.contains("not writable")) << qPrintable(error);
    }
}

TEST(CommandLine, RunsPaneSlotsInOrderAndPrintsThePaneStatus)
{
    registerStandInPlugin();
    QTemporaryDir dir;
    buildTestScene(dir.path());
    const QString set = dir.path() + "/garden.set";
    QFile(set).open(QIODevice::WriteOnly);
    dzApp->getPaneMgr()->showPane(kPaneClass);
    auto* pane = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->findPaneByClass(kPaneClass));
    ASSERT_TRUE(pane);
    pane->ticks = 0;

    CommandLine cl;
    QString error;
    ASSERT_TRUE(parse({"--status", "--ticks", "3", "--time", "7", "--open-set", set, "--export", dir.path() + "/o.obj"},
                      &cl, &error));
    QString printed;
    QTextStream out(&printed);
    ASSERT_EQ(runCommands(cl, pane, out, &error), 0) << qPrintable(error);
    EXPECT_EQ(pane->openedSets.last(), set);
    EXPECT_EQ(pane->ticks, 3);
    EXPECT_EQ(dzScene->getTime(), 7 * dzScene->getTimeStep());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/o.obj"));
    // --status comes last, after the ticks.
    EXPECT_EQ(printed, "Tick 3\n");

    // A pane that reports failure makes the run fail, with the pane's own words; the
    // scene is untouched.
    const int nodes = dzScene->getNumNodes();
    QFile::remove(set);
    CommandLine bad;
    bad.openSet = set;
    EXPECT_EQ(runCommands(bad, pane, out, &error), kExitInputFailed);
    EXPECT_TRUE(error.contains("Set not found")) << qPrintable(error);
    EXPECT_EQ(dzScene->getNumNodes(), nodes);

    // The scene says nothing when its time does not change, yet the pane is told the time.
    pane->followedTimes.clear();
    CommandLine same;
    same.hasTime = true;
    same.frame = 7;
    ASSERT_EQ(runCommands(same, pane, out, &error), 0) << qPrintable(error);
    EXPECT_EQ(pane->followedTimes, QList<DzTime>{7 * dzScene->getTimeStep()});

    // Without a pane there is nothing to tick, and the run says so instead of pretending.
    CommandLine ticks;
    ticks.hasTicks = true;
    ticks.ticks = 1;
    EXPECT_EQ(runCommands(ticks, nullptr, out, &error), kExitRunFailed);
    EXPECT_EQ(error, "--ticks: no pane to animate");
    CommandLine status;
    status.status = true;
    printed.clear();
    EXPECT_EQ(runCommands(status, nullptr, out, &error), 0);
    EXPECT_EQ(printed, "\n");
}

TEST(CommandLine, ScriptErrorsFailTheRun)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/bad.js";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("var x = ;\n");
    f.close();
    CommandLine cl;
    cl.script = file;
    QString printed, error;
    QTextStream out(&printed);
    EXPECT_EQ(runCommands(cl, nullptr, out, &error), kExitRunFailed);
    EXPECT_TRUE(error.startsWith("--script " + file + ": Line 1")) << qPrintable(error);
}

TEST(Executable, BadCommandLinesExitNonZeroWithOneLine)
{
    QTemporaryDir dir;
    const QStringList bad[] = {{"--headless", "--what"},
                               {"--headless", "--export"},
                               {"--headless", "--load-scene", dir.path() + "/missing.duf"},
                               {"--headless", "--export", dir.path() + "/nope/out.obj"}};
    for (const QStringList& args : bad) {
        const HostRun r = runHost(args);
        EXPECT_NE(r.code, 0) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.startsWith("verdix-host: ")) << qPrintable(r.err);
        EXPECT_EQ(r.err.count('\n'), 1) << qPrintable(r.err);
    }
}

TEST(Executable, HeadlessRunWithoutOptionsSucceeds)
{
    const HostRun r = runHost({"--headless", "--status"});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out.endsWith("\n"));
}

// Goes through the real executable with a scene file; needs the host's scene files, and
// skips (saying so) until they are available in this build.
TEST(Executable, LoadSceneThenExportAndScreenshotNeedsSceneFiles)
{
    QTemporaryDir dir;
    TestScene ts = buildTestScene(dir.path());
    const QString sceneFile = dir.path() + "/scene.duf";
    QString error;
    if (!dzScene->saveScene(sceneFile, &error)) GTEST_SKIP() << "host scene files not available: " << qPrintable(error);
    const QString obj = dir.path() + "/cli.obj", glb = dir.path() + "/cli.glb", png = dir.path() + "/cli.png";
    const HostRun r = runHost({"--screenshot", png, "--export", obj, "--headless", "--export", glb, "--load-scene", sceneFile});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    // Same file as the in-process export of the same scene.
    // Same base name in its own folder, so that the mtllib lines agree too.
    ASSERT_TRUE(QDir(dir.path()).mkpath("ref"));
    const QString ref = dir.path() + "/ref/cli.obj";
    ASSERT_TRUE(exportObj(ref, &error));
    QFile a(obj), b(ref);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
    EXPECT_GT(QFileInfo(glb).size(), 0);
    EXPECT_FALSE(QImage(png).isNull());
}

TEST(Executable, WritesThatCannotBeDoneFailWithTheWriteCode)
{
    QTemporaryDir dir;
    const QString fifo = dir.path() + "/scene.duf";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case
    {
        QStringList args;
        const char* says;
    };
    const Case cases[] = {
        {{"--save-scene", fifo}, "a pipe"},
        {{"--export", dir.path() + "/link.glb"}, "a device"},
        {{"--export", "/dev/shm/out.obj"}, "system folder"},
        {{"--screenshot", "/sys/kernel/shot.png"}, "system folder"},
    };
    ASSERT_TRUE(QFile::link("/dev/null", dir.path() + "/link.glb"));
    for (const Case& c : cases) {
        const HostRun r = runHost(QStringList{"--headless"} + c.args);
        EXPECT_EQ(r.code, kExitWriteFailed) << qPrintable(c.args.join(' ')) << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.says)) << qPrintable(r.err);
    }
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(QFileInfo(dir.path() + "/link.glb").isSymLink());
}
