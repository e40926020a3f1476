// The grass boxes in the host application: a set document opened headless, run through
// --time and --ticks, exported; the exported blades must be exactly the ones this process
// computes for the phase those options should have produced.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include "grasspaneaccess.h"
#include "objfile.h"
#include "hostrun.h"

namespace {

// The largest coordinate difference; infinity when the counts differ.
float maxDiff(const std::vector<DzVec3>& x, const std::vector<DzVec3>& y)
{
    if (x.size() != y.size() || x.empty()) return INFINITY;
    float d = 0.f;
    for (size_t k = 0; k < x.size(); ++k)
        d = std::max(
            {d, std::fabs(x[k].m_x - y[k].m_x), std::fabs(x[k].m_y - y[k].m_y), std::fabs(x[k].m_z - y[k].m_z)});
    return d;
}

}  // namespace

TEST_F(GrassPaneTest, HostTicksAndTimeMoveTheExportedBlades)
{
    grass(300);
    const int j = grass(200);
    set(j, "Seed", 9);
    set(j, "Wind", 170);
    set(j, "Shape", 100);
    const QString titles[2] = {newBoxTitle(TypeGrass, 0), newBoxTitle(TypeGrass, j)};
    QTemporaryDir dir;
    const QString doc = dir.path() + "/patches.txt", obj = dir.path() + "/out.obj";
    QFile f(doc);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(pane->setDocumentText().toLatin1());
    f.close();

    // A fresh pane starts at phase 1 and each tick passes at its phase, then adds one. A time
    // sets the counters (the 30 fps timeline at frame 30 gives phase 51) and, with "Animate"
    // ticked as a new pane has it, ticks once. The time-to-phase table itself is the pane's.
    const float at12 = timelinePosition(12 * 160, 160).phase;
    const std::pair<QStringList, float> runs[] = {
        // the options, the phase of the last pass
        {{"--ticks", "3"}, 3.f},
        {{"--time", "30"}, 51.f},
        {{"--time", "12", "--ticks", "2"}, at12 + 2.f},
    };
    std::vector<std::vector<DzVec3>> tips;
    for (const auto& [options, phase] : runs) {
        QFile::remove(obj);
        const QStringList args =
            QStringList{"--headless", "--open-set", doc} + options + QStringList{"--export", obj, "--status"};
        SCOPED_TRACE(qPrintable(args.join(' ')));
        const HostRun r = runHost(args);
        ASSERT_EQ(r.code, 0) << qPrintable(r.err);
        const QMap<QString, std::vector<DzVec3>> got = readObj(obj);
        // What this process computes for the two boxes at that phase.
        a->phase() = phase;
        a->updateGrass(0, false);
        a->updateGrass(j, false);
        EXPECT_LT(maxDiff(got.value(titles[0]), verts(0)), 1e-4f);
        EXPECT_LT(maxDiff(got.value(titles[1]), verts(j)), 1e-4f);
        tips.push_back(got.value(titles[0]));
        EXPECT_TRUE(
            QRegularExpression("^Time:\\d+ UsedThreads:2 MaxThreads:\\d+ Waiting:\\d+\\n$").match(r.out).hasMatch())
            << qPrintable(r.out);
    }
    // The ticks really moved the blades: roots stay, tips sway.
    ASSERT_EQ(tips[0].size(), tips[1].size());
    EXPECT_EQ(tips[0][0].m_x, tips[1][0].m_x);
    EXPECT_GT(maxDiff(tips[0], tips[1]), 1e-3f);
    EXPECT_GT(maxDiff(tips[1], tips[2]), 1e-3f);
}
