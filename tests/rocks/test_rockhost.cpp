// Rocks dropped onto the Meadow sample in the host application, headless, as the docs' script
// does it: they fall over the ticks and stay on the hill.
#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include "../grasspane/objfile.h"
#include "hostrun.h"

namespace {

const QString kScript = QStringLiteral(VERDIX_DOCS_DIR "/rockfall.js");
const QString kMeadow = QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Meadow.txt");

// The lowest vertex of every rock in an OBJ export, by object name.
QMap<QString, float> rockBottoms(const QString& file)
{
    QMap<QString, float> out;
    const QRegularExpression rockName("^\\(\\d{4}\\) RocksV1\\.0 \\d+$");
    const QMap<QString, std::vector<DzVec3>> objects = readObj(file);
    for (auto o = objects.begin(); o != objects.end(); ++o) {
        if (!rockName.match(o.key()).hasMatch()) continue;
        float low = INFINITY;
        for (const DzVec3& v : o.value()) low = std::min(low, v.m_y);
        out[o.key()] = low;
    }
    return out;
}

QMap<QString, float> runTicks(const QString& dir, int ticks)
{
    const QString obj = QString("%1/rocks%2.obj").arg(dir).arg(ticks);
    const HostRun r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", kMeadow, "--script", kScript,
                               "--ticks", QString::number(ticks), "--export", obj});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    return rockBottoms(obj);
}

}  // namespace

TEST(RockHost, RocksDroppedOnTheMeadowFallOverTheTicks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QMap<QString, float> start = runTicks(dir.path(), 0);
    const QMap<QString, float> later = runTicks(dir.path(), 40);
    ASSERT_EQ(start.size(), 20);
    ASSERT_EQ(later.keys(), start.keys());
    float drop = 0.f;
    for (const QString& name : start.keys()) {
        EXPECT_LE(later[name], start[name] + 1e-3f) << qPrintable(name);
        drop += start[name] - later[name];
    }
    EXPECT_GT(drop / 20.f, 10.f) << "the rocks fell";
}

TEST(RockHost, TheScriptFailsClearlyWithoutALandscape)
{
    const HostRun r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--script", kScript});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains("no box to drop the rocks onto")) << qPrintable(r.err);
}
