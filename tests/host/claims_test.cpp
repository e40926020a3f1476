// Counts in a scene file are claims: a mesh that says it has 178 million vertices but holds
// four bytes of them is refused before anything is allocated for the claim.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dzscene.h>

namespace {

QByteArray sceneClaiming(qint64 vertices, qint64 uvs)
{
    return QByteArray(R"({"format": "verdix-host-scene", "version": 1, "time": 0, "time_step": 160, "anim_end": 4800,
  "nodes": [{"class": "DzNode", "name": "n", "label": "Claim", "asset_id": "", "parent": -1,
    "pos": [0, 0, 0], "rot": [0, 0, 0, 1], "scale": [1, 1, 1], "visible": true, "selectable": true,
    "visible_in_render": true, "render_priority": 0, "presentation": null,
    "object": {"class": "DzObject", "name": "o", "label": "o", "shapes": [
      {"class": "DzFacetShape", "name": "s", "label": "s", "materials": [],
       "mesh": {"class": "DzFacetMesh", "name": "m", "active_material": 0,
         "vertex_count": )") + QByteArray::number(vertices) + R"(, "vertices": "AAAAAA==",
         "uv_class": "DzUVSet", "uv_count": )" + QByteArray::number(uvs) + R"(, "uvs": "AAAAAA==",
         "facet_count": 0, "facets": ""}}]}}],
  "scene_data": {}})";
}

long maxRssKb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

} // namespace

TEST(SceneClaims, CountsPastTheDataAreRefusedBeforeAllocating)
{
    QTemporaryDir tmp;
    const QString file = tmp.filePath("claims.duf");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sceneClaiming(178000000, 178000000));
    f.close();

    // Loaded in a child of its own, whose peak memory tells what the load asked for.
    const long before = maxRssKb();
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        QString error;
        const bool loaded = dzScene->loadScene(file, &error);
        _exit(!loaded && error.contains("\"vertices\" does not hold 178000000 items") ? 0 : 1);
    }
    int status = 0;
    rusage ru{};
    ASSERT_EQ(wait4(pid, &status, 0, &ru), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the load did not end by itself";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "refused for another reason, or not at all";
    EXPECT_LT(ru.ru_maxrss - before, 256L * 1024) << "peak grew by " << (ru.ru_maxrss - before) / 1024 << " MB";

    // The same file with the counts it holds loads.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(sceneClaiming(0, 0).replace("\"AAAAAA==\"", "\"\""));
    f.close();
    QString error;
    EXPECT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    dzScene->clear();
}
