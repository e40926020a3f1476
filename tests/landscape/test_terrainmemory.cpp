// The memory a new terrain grid takes, measured in a process of its own: the estimate the
// pane checks before a build must be what the build really takes.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include "landscapefixture.h"

namespace {

// A figure of /proc/self/status in bytes ("VmHWM", "VmRSS").
long long statusBytes(const char* key)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QString text = QString::fromLatin1(f.readAll());
    const QRegularExpressionMatch m = QRegularExpression(QString("%1:\\s*(\\d+) kB").arg(key)).match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() * 1024 : -1;
}

// Starts the peak over at what the process holds now.
bool resetPeak()
{
    QFile f("/proc/self/clear_refs");
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

class TerrainMemory : public LandscapeTest
{
};

struct ChildRun
{
    long long grown = -1, estimate = -1;
    QString status;
};

// Runs the child case below in a process of its own and reads what it printed.
ChildRun buildInChild(const QString& spec)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VERDIX_TERRAIN_MEMORY", spec);
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=TerrainMemory.DISABLED_BuildOneGrid"});
    ChildRun r;
    if (!p.waitForFinished(120000)) return r;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression("grown (\\d+) estimate (\\d+) status (.*)\\n").match(out);
    if (!m.hasMatch()) return r;
    r.grown = m.captured(1).toLongLong();
    r.estimate = m.captured(2).toLongLong();
    r.status = m.captured(3);
    return r;
}

}  // namespace

// The child: builds the grid "TILES,DIVISIONS[,FREE_MB]" and prints how far the process's
// peak grew over what it held before. Run only by the test below.
TEST_F(TerrainMemory, DISABLED_BuildOneGrid)
{
    const QStringList spec = qEnvironmentVariable("VERDIX_TERRAIN_MEMORY").split(',');
    ASSERT_GE(spec.size(), 2);
    defaultMaps(128, 0, 64);
    const int i = createLandscape();
    set(i, {{"Land", 100}, {"Hill", 50}, {"TILES", 1}, {"DIVISIONS", 4}});
    if (spec.size() > 2) {
        const long long free = spec[2].toLongLong() << 20;
        a->setFreeMemory([free] { return free; });
    }
    ASSERT_TRUE(resetPeak());
    const long long before = statusBytes("VmRSS");
    set(i, {{"TILES", spec[0].toInt()}, {"DIVISIONS", spec[1].toInt()}});
    const long long peak = statusBytes("VmHWM");
    const TerrainLayout l{spec[0].toInt(), spec[1].toInt(), 200.f};
    printf("grown %lld estimate %lld status %s\n", peak - before, terrainBuildBytes(l), qPrintable(status()));
    fflush(stdout);
}

TEST_F(TerrainMemory, EstimateHoldsForABuildThatFitsAndOneThatIsRefused)
{
    if (!QFile::exists("/proc/self/clear_refs")) GTEST_SKIP() << "no /proc/self/clear_refs to measure the peak";
    // 2001 x 2001 vertices: points, UV points and heights, about 92 MB.
    const ChildRun fits = buildInChild("100,20");
    ASSERT_GT(fits.estimate, 0) << "the child printed nothing";
    EXPECT_EQ(fits.estimate, 2001LL * 2001 * 24);
    EXPECT_NEAR(double(fits.grown), double(fits.estimate), 0.25 * double(fits.estimate))
        << "peak grew " << fits.grown << " for an estimate of " << fits.estimate;
    EXPECT_FALSE(fits.status.startsWith("Error")) << qPrintable(fits.status);

    // The same grid with 64 MB free: refused before anything is taken, naming both figures.
    const ChildRun refused = buildInChild("100,20,64");
    ASSERT_GT(refused.estimate, 0);
    EXPECT_LT(refused.grown, refused.estimate / 10) << "peak grew " << refused.grown;
    EXPECT_EQ(refused.status,
              "Error: a 2001 x 2001 terrain (TILES 100, DIVISIONS 20) needs about 92 MB, more than "
              "the 64 MB free; choose fewer tiles or divisions");
}
