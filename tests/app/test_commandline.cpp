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
#include "testscene.h"
#include "hostrun.h"

TEST(CommandLine, ParsesEveryOptionWhateverTheirOrder)
{
    QTemporaryDir dir;
    const QString in = dir.path() + "/in.txt";
    QFile(in).open(QIODevice::WriteOnly);
    CommandLine cl;
    QString error;
    ASSERT_TRUE(parseCommandLine({"--status",
                                  "--export",
                                  dir.path() + "/a.obj",
                                  "--time",
                                  "12",
                                  "--headless",
                                  "--script",
                                  in,
                                  "--export=" + dir.path() + "/b.glb",
                                  "--ticks",
                                  "4",
                                  "--assets",
                                  dir.path(),
                                  "--screenshot",
                                  dir.path() + "/s.png",
                                  "--screenshot-size",
                                  "640x360",
                                  "--open-set",
                                  in,
                                  "--load-scene",
                                  in,
                                  "--save-scene",
                                  dir.path() + "/s.duf"},
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
    const struct
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
        {{"--export-animation", dir.path() + "/a.glb"}, "needs --frames", kExitUsage},
        {{"--export-animation", dir.path() + "/a.gltf", "--frames", "2"}, "not a .glb", kExitUsage},
        {{"--export-animation", dir.path() + "/a.glb", "--frames", "0"}, "--frames", kExitUsage},
        {{"--export-animation", dir.path() + "/a.glb", "--frames", "2", "--fps", "-1"}, "--fps", kExitUsage},
        {{"--frames", "2"}, "go with --export-animation", kExitUsage},
        {{"--export-animation", dir.path() + "/a.glb", "--export-sequence", dir.path(), "--frames", "2"},
         "not both",
         kExitUsage},
        {{"--export-heightmap", "0"}, "needs a box index and a file", kExitUsage},
        {{"--export-heightmap", "0", dir.path() + "/h.jpg"}, "unknown format", kExitUsage},
    };
    for (const auto& c : cases) {
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
        EXPECT_FALSE(parseCommandLine({"--save-scene", locked + "/s.duf"}, &cl, &error));
        EXPECT_TRUE(error.contains("not writable")) << qPrintable(error);
    }
}

TEST(CommandLine, RunsPaneSlotsAndScriptsInOrderAndPrintsThePaneStatus)
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

    QString error;
    auto parsed = [&](const QStringList& args) {
        CommandLine c;
        EXPECT_TRUE(parseCommandLine(args, &c, &error)) << qPrintable(error);
        return c;
    };
    const CommandLine cl =
        parsed({"--status", "--ticks", "3", "--time", "7", "--open-set", set, "--export", dir.path() + "/o.obj"});
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
    ASSERT_EQ(runCommands(parsed({"--time", "7"}), pane, out, &error), 0) << qPrintable(error);
    EXPECT_EQ(pane->followedTimes, QList<DzTime>{7 * dzScene->getTimeStep()});

    // Without a pane there is nothing to tick, and the run says so instead of pretending.
    EXPECT_EQ(runCommands(parsed({"--ticks", "1"}), nullptr, out, &error), kExitRunFailed);
    EXPECT_EQ(error, "--ticks: no pane to animate");
    printed.clear();
    EXPECT_EQ(runCommands(parsed({"--status"}), nullptr, out, &error), 0);
    EXPECT_EQ(printed, "\n");

    // A script that does not parse fails the run, naming the file and the line.
    const QString script = dir.path() + "/bad.js";
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("var x = ;\n") > 0);
    }
    EXPECT_EQ(runCommands(parsed({"--script", script}), nullptr, out, &error), kExitRunFailed);
    EXPECT_TRUE(error.startsWith("--script " + script + ": Line 1")) << qPrintable(error);
}

TEST(Executable, WritesThatCannotBeDoneFailWithTheWriteCode)
{
    QTemporaryDir dir;
    const QString fifo = dir.path() + "/scene.duf";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct
    {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"--save-scene", fifo}, "a pipe"},
        {{"--export", "/proc/self/scene.glb"}, "not writable"},
    };
    for (const auto& c : cases) {
        const HostRun r = runHost(QStringList{"--headless"} + c.args);
        EXPECT_EQ(r.code, kExitWriteFailed) << qPrintable(c.args.join(' ')) << ": " << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.says)) << qPrintable(r.err);
        // One line on stderr, saying who speaks.
        EXPECT_TRUE(r.err.startsWith("verdix-host: ") && r.err.count('\n') == 1) << qPrintable(r.err);
    }
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// In a shared folder anyone may plant a link where a save will go, to have it overwrite or
// create a file of their choosing: every save replaces such a link, never writes through it.
TEST(Executable, SavesReplaceALinkInTheirPlaceAndNeverWriteThroughIt)
{
    QTemporaryDir dir;
    const QString victim = dir.path() + "/victim.txt", missing = dir.path() + "/created-through-link";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const QStringList outputs{"scene.duf", "still.glb", "still.gltf", "still.obj", "height.png", "wind.glb"};
    QStringList args{"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set",
                     QString(VERDIX_LIBRARY_DIR) + "/Verdix_Scene/Landscape_Sample.txt"};
    for (int i = 0; i < outputs.size(); ++i) {
        const QString out = dir.path() + "/" + outputs[i];
        // Half the links name the victim, half name nothing yet.
        ASSERT_TRUE(QFile::link(i % 2 ? victim : missing + QString::number(i), out));
    }
    ASSERT_TRUE(QFile::link(victim, dir.path() + "/still.mtl"));
    args << "--save-scene" << dir.path() + "/scene.duf"
         << "--export-animation" << dir.path() + "/wind.glb"
         << "--frames"
         << "1"
         << "--export-heightmap"
         << "0" << dir.path() + "/height.png";
    for (const QString& o : {"still.glb", "still.gltf", "still.obj"}) args << "--export" << dir.path() + "/" + o;
    const HostRun r = runHost(args);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    for (const QString& o : outputs + QStringList{"still.mtl"}) {
        const QFileInfo fi(dir.path() + "/" + o);
        EXPECT_FALSE(fi.isSymLink()) << qPrintable(o) << " is still a link";
        EXPECT_TRUE(fi.isFile() && fi.size() > 0) << qPrintable(o);
    }
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
    EXPECT_TRUE(QDir(dir.path()).entryList({"created-through-link*"}, QDir::Files).isEmpty());
}

// A disk that fills up under a save: the write fails cleanly, says so with the write status,
// and leaves neither the file nor its temporary one. The file size limit of the process
// stands in for a full disk (writes past it fail as they would with no space left).
TEST(Executable, WritesOntoAFullDiskSayCouldNotBeWritten)
{
    QTemporaryDir dir;
    const QString sample = QString(VERDIX_LIBRARY_DIR) + "/Verdix_Scene/Landscape_Sample.txt";
    const struct
    {
        QStringList args;
        QString file;
    } cases[] = {
        {{"--screenshot", dir.path() + "/shot.png"}, dir.path() + "/shot.png"},
        {{"--export", dir.path() + "/scene.glb"}, dir.path() + "/scene.glb"},
        {{"--save-scene", dir.path() + "/scene.duf"}, dir.path() + "/scene.duf"},
        {{"--export-animation", dir.path() + "/wind.glb", "--frames", "2"}, dir.path() + "/wind.glb"},
    };
    for (const auto& c : cases) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        // 16 KiB a file; the signal a process gets past the limit is ignored (and stays so
        // through exec), so the write itself reports the failure.
        p.start("/bin/sh", QStringList{"-c", "trap '' XFSZ; ulimit -f 16; exec \"$@\"", "sh", VERDIX_HOST_EXE,
                                       "--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", sample} +
                               c.args);
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), kExitWriteFailed) << qPrintable(c.file) << ": " << qPrintable(err);
        EXPECT_TRUE(err.contains(c.file) && err.contains("could not be written")) << qPrintable(err);
        EXPECT_EQ(err.count('\n'), 1) << qPrintable(err);
        EXPECT_FALSE(QFileInfo::exists(c.file)) << qPrintable(c.file);
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
            << qPrintable(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(' '));
    }
}
