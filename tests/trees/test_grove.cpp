// The "Grove" sample as a user opens it: headless, ticked and exported.
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <dzmath.h>
#include <vector>
#include "../grasspane/objfile.h"
#include "../hostrun.h"

TEST(Grove, OpensTicksAndShowsTreesOfSeveralPresetsSwaying)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString lib = QStringLiteral(VERDIX_LIBRARY_DIR);
    const QString grove = lib + "/Verdix_Scene/Grove.txt";
    const HostRun still = runHost({"--headless", "--assets", lib, "--open-set", grove, "--export", dir.filePath("still.obj")});
    ASSERT_EQ(still.code, 0) << still.err.toStdString();
    const HostRun run = runHost({"--headless", "--assets", lib, "--open-set", grove, "--ticks", "3", "--export",
                                 dir.filePath("wind.obj"), "--status"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("UsedThreads")) << run.out.toStdString();

    const auto a = readObj(dir.filePath("still.obj")), b = readObj(dir.filePath("wind.obj"));
    std::vector<int> sizes;
    int grass = 0;
    for (auto it = a.begin(); it != a.end(); ++it) {
        if (it.key().endsWith("GrassV1.0")) ++grass;
        if (!it.key().endsWith("TreeV1.0")) continue;
        const std::vector<DzVec3>& s = it.value();
        const std::vector<DzVec3>& w = b.value(it.key());
        ASSERT_EQ(s.size(), w.size()) << it.key().toStdString();
        sizes.push_back(int(s.size()));
        int moved = 0;
        for (size_t k = 0; k < s.size(); ++k) moved += !(s[k] == w[k]);
        EXPECT_GT(moved, int(s.size()) / 4) << it.key().toStdString();
    }
    EXPECT_EQ(sizes.size(), 6u);
    EXPECT_GE(grass, 1);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_GE(std::unique(sizes.begin(), sizes.end()) - sizes.begin(), 4);  // several presets
}
