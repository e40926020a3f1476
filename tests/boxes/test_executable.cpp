// The application's command line round trip: a set document opened headless and saved in a
// host scene file comes back as the same boxes when that scene is loaded in a new process.
#include "boxfixture.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include "hostrun.h"

using Executable = BoxTest;

TEST_F(Executable, OpenSetSaveSceneThenLoadSceneGivesTheSameBoxes)
{
    for (int t : {TypeLandscape, TypeGrass, TypeStones, TypeLandscape, TypeTree}) addBox(t);
    int v = 3;
    for (int i = 0; i < a->boxes().count(); ++i)
        for (DzIntSlider* s : box(i).sliders) s->setValue(s->getMin() + (v++ * 7 % (s->getMax() - s->getMin() + 1)));
    const QString document = pane->setDocumentText();
    ASSERT_EQ(document.count('\n'), 7);  // header, five records, landscape list

    QTemporaryDir dir;
    const QString set = dir.path() + "/sample.txt", scene = dir.path() + "/out.json", check = dir.path() + "/check.js";
    const QByteArray expected = QJsonDocument(QJsonArray({document})).toJson(QJsonDocument::Compact);
    // The second process checks its rebuilt boxes against the document; a mismatch is a
    // script error, which fails the run. Materials and a landscape's position belong to the
    // boxes' nodes, which only generators build; their round trip is checked in process. What
    // is compared here is every box's type, combos and sliders, and the landscape list.
    const QByteArray script =
        "var p = MainWindow.getPaneMgr().findPane(\"ZPK_VerdixPane\");\n"
        "var expected = " +
        expected +
        "[0];\n"
        "function boxes(t) {\n"
        "  return t.split(\"\\n\").map(function(l) {\n"
        "    l = l.replace(/,;,Materials,.*$/, \"\");\n"
        "    return l.indexOf(\"LandscapeV1.0,\") == 0 ? l.split(\",\").slice(0, 24).join(\",\") : l;\n"
        "  }).join(\"\\n\");\n"
        "}\n"
        "var got = boxes(p.setDocumentText());\n"
        "if (got != boxes(expected)) throw new Error(\"boxes differ:\\n\" + got + \"\\nexpected:\\n\" + expected);\n";
    for (const auto& f : {std::make_pair(set, document.toUtf8()), std::make_pair(check, script)}) {
        QFile out(f.first);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(f.second) == f.second.size());
    }
    HostRun r =
        runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--open-set", set, "--save-scene", scene, "--status"});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains("Scene load finished..")) << qPrintable(r.out);
    r = runHost({"--headless", "--assets", VERDIX_LIBRARY_DIR, "--load-scene", scene, "--script", check, "--status"});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
}
