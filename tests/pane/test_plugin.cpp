#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>
#include <memory>
#include <dzapp.h>
#include <dzplugin.h>
#include <dzscript.h>
#include "paneaccess.h"

extern "C" DzPlugin* getPluginDefinition();

TEST(PluginDefinition, IsBuiltOnceAndRegistersItsClassesAndSceneData)
{
    DzPlugin* p = getPluginDefinition();
    ASSERT_NE(p, nullptr);
    DzClassFactory* firstFactory = p->getClassFactory(0);
    EXPECT_EQ(getPluginDefinition(), p);
    EXPECT_EQ(p->getClassFactory(0), firstFactory);
    const QStringList classes = {"ZPK_VerdixPaneAction", "ZPK_VerdixPane", "VerdixSceneModel", "MySceneModelIO"};
    ASSERT_EQ(p->getNumClassFactories(), classes.size());
    QSet<QString> ids;
    for (int i = 0; i < p->getNumClassFactories(); ++i) {
        DzClassFactory* f = p->getClassFactory(i);
        EXPECT_EQ(f->getClassName(), classes.value(i));
        EXPECT_EQ(QString(f->metaObject()->className()), classes.value(i));
        EXPECT_FALSE(f->getClassID().isNull());
        ids.insert(f->getClassID().toString());
    }
    EXPECT_EQ(ids.size(), 4);

    // Saved scenes find the pane's data under this path.
    const auto ios = p->sceneDataIOs();
    ASSERT_EQ(ios.size(), 1);
    EXPECT_EQ(ios[0].path, "studio/scene_data/verdix_scene_data");
    EXPECT_EQ(ios[0].ioClassName, "MySceneModelIO");
    EXPECT_EQ(ios[0].dataClassName, "VerdixSceneModel");
}

TEST(PluginDefinition, LibraryExportsTheEntryPoints)
{
    const QString lib = QCoreApplication::applicationDirPath() + "/plugins/libverdix.so";
    if (!QFileInfo::exists(lib)) GTEST_SKIP() << "no plug-in library beside the tests";
    QString error;
    // The host loads the library this process already uses: the same definition comes back.
    EXPECT_EQ(dzApp->getPluginMgr()->loadPlugin(lib, &error), getPluginDefinition()) << qPrintable(error);
}

TEST(PluginDefinition, PaneActionOpensThePane)
{
    std::unique_ptr<QObject> obj(dzApp->getPluginMgr()->createInstance("ZPK_VerdixPaneAction"));
    auto* action = qobject_cast<DzPaneAction*>(obj.get());
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->getPaneClass(), "ZPK_VerdixPane");
    ZPK_VerdixPane* pane = thePane();
    int shown = 0;
    auto c =
        QObject::connect(dzApp->getPaneMgr(), &DzPaneMgr::paneShowRequested, [&](DzPane* p) { shown += (p == pane); });
    action->trigger();
    QObject::disconnect(c);
    EXPECT_EQ(shown, 1);
}

TEST(ScriptRegistration, ClassNamesAreGlobalsAndTheHostReachesThePublicSlots)
{
    DzScript script;
    script.addLine("var names = ['ZPK_VerdixPane', 'ZPK_VerdixPaneAction', 'VerdixSceneModel', 'MySceneModelIO'];");
    script.addLine("for (var k = 0; k < names.length; ++k)");
    script.addLine("  if (typeof this[names[k]] == 'undefined') throw 'missing ' + names[k];");
    EXPECT_TRUE(script.execute()) << qPrintable(script.errorMessage());

    VerdixPaneTestAccess access(thePane());
    while (access.boxes().count() > 0) access.deleteControl(true, false);
    access.addControlBox("GrassV1.png", newBoxTitle(TypeGrass, 0), TypeGrass);
    ASSERT_EQ(access.boxes().count(), 1);
    DzIntSlider* heightRnd = access.boxes()[0].slider("Height RND");
    ASSERT_NE(heightRnd, nullptr);
    const int before = heightRnd->getValue();

    // Fader 5 all the way up, packed as the controller pane packs it.
    script.clear();
    script.addLine("var p = MainWindow.getPaneMgr().findPane(\"ZPK_VerdixPane\");");
    script.addLine("p.VerdixScriptInput(176 + 4 * 256 + 127 * 65536);");
    // While stored values are replayed the input is ignored.
    access.setLoading(true);
    ASSERT_TRUE(script.execute()) << qPrintable(script.errorMessage());
    access.setLoading(false);
    EXPECT_EQ(heightRnd->getValue(), before);
    ASSERT_TRUE(script.execute()) << qPrintable(script.errorMessage());
    EXPECT_EQ(heightRnd->getValue(), heightRnd->getMax());
    access.deleteControl(true, false);
}
