#include <gtest/gtest.h>
#include <QGroupBox>
#include <dzplugin.h>
#include <memory>
#include <dzscene.h>
#include "paneaccess.h"
#include "persistence/verdixscenemodel.h"

TEST(PaneConstruction, FreshPane)
{
    std::unique_ptr<QObject> obj(dzApp->getPluginMgr()->createInstance("ZPK_VerdixPane"));
    auto* pane = qobject_cast<ZPK_VerdixPane*>(obj.get());
    ASSERT_NE(pane, nullptr);
    pane->show();
    VerdixPaneTestAccess a(pane);
    EXPECT_EQ(pane->getTitle(), "Verdix");
    // Create buttons of types that are not built stay out of sight.
    for (QPushButton* b : a.shownCreateButtons()) EXPECT_TRUE(b->isVisible()) << qPrintable(b->toolTip());
    for (QPushButton* b : a.hiddenCreateButtons()) EXPECT_FALSE(b->isVisible()) << qPrintable(b->toolTip());
    EXPECT_EQ(a.boxes().count(), 0);
    EXPECT_TRUE(pane->findChild<QWidget*>("VerdixArea")->findChildren<QGroupBox*>().isEmpty());
    EXPECT_EQ(a.selector()->count(), 0);
    EXPECT_TRUE(a.animate()->isChecked());
    for (QCheckBox* c : {a.autoOff(), a.merge(), a.lowLod(), a.renew()}) EXPECT_FALSE(c->isChecked());
    ASSERT_NE(a.model(), nullptr);
    EXPECT_NE(dzScene->findDataItem("VerdixSceneModel"), nullptr);
}

TEST(ControlBoxModel, TypeLabelsAndLandscapesFoundByTitle)
{
    VerdixPaneTestAccess a(thePane());
    const struct
    {
        int type, index;
        const char* label;
    } cases[] = {{1, 0, "(0000) LandscapeV1.0"}, {2, 12, "(0012) RockV1.0"}, {11, 9, "(0009) ParticlesV1.0"},
                 {13, 128, "(0128) StonesV1.0"}, {8, 1234, "(1234) FlowerV1.0"}, {14, 5, "Error: Label"},
                 {0, 5, "Error: Label"}};
    for (const auto& c : cases) EXPECT_EQ(a.typeLable(c.type, c.index), c.label) << c.type;
    // Nodes are found by their box titles; the rock's title word differs from its label word.
    EXPECT_EQ(newBoxTitle(2, 12), "(0012) RocksV1.0");
    EXPECT_EQ(newBoxTitle(11, 0), "");

    ControlBoxTable& t = a.boxes();
    t.clear();
    QLabel titles[4];
    for (int type : {TypeGrass, TypeLandscape, TypeTree, TypeLandscape}) {
        const int i = t.append(type);
        titles[i].setText(newBoxTitle(type, i));
        t[i].titleLabel = &titles[i];
    }
    EXPECT_EQ(a.findLandscape(""), 0);
    EXPECT_EQ(a.findLandscape("(0001) LandscapeV1.0"), 1);
    EXPECT_EQ(a.findLandscape("(0003) LandscapeV1.0"), 3);
    EXPECT_EQ(a.findLandscape("(0003) landscapeV1.0"), 0);
    // Only landscape boxes count, even when another box carries the text.
    titles[2].setText("(0009) LandscapeV1.0");
    EXPECT_EQ(a.findLandscape("(0009) LandscapeV1.0"), 0);
    t.clear();
}

// How deleting boxes moves the references is checked through the pane's delete button.
TEST(ControlBoxModel, TableCompactionAndAccess)
{
    ControlBoxTable t;
    for (int k = 0; k < 3; ++k) {
        t.append(k == 1 ? TypeLandscape : TypeGrass);
        t[k].builderCount = 10 + k;
        t[k].groundHeights.assign(size_t(k + 1), float(k));
    }
    t.removeAt(0);
    ASSERT_EQ(t.count(), 2);
    EXPECT_EQ(t[0].type, TypeLandscape);
    EXPECT_EQ(t[0].builderCount, 11);
    EXPECT_EQ(t[1].groundHeights, std::vector<float>(3, 2.f));
    // The freed slot is empty again; out of range nothing happens.
    EXPECT_EQ(t[2].type, 0);
    EXPECT_TRUE(t[2].groundHeights.empty());
    EXPECT_EQ(t.at(2), nullptr);
    t.removeAt(7);
    EXPECT_EQ(t.count(), 2);

    // Combos are reached by letter A..H only.
    ControlBox b;
    QComboBox combo;
    b.setCombo('C', &combo);
    EXPECT_EQ(b.combo('C'), &combo);
    EXPECT_EQ(b.combo('A'), nullptr);
    EXPECT_EQ(b.combo('I'), nullptr);
    b.setCombo('Z', &combo);  // outside A..H: ignored
    EXPECT_EQ(b.combo('H'), nullptr);
    EXPECT_EQ(b.slider("Amount"), nullptr);
}

// Saving and loading through the host are checked with host scenes; what they do not reach:
TEST(SceneModel, ChangesAndStrangers)
{
    VerdixSceneModel model;
    int changes = 0;
    QObject::connect(&model, &VerdixSceneModel::coolTextChanged, [&](const QString&) { ++changes; });
    model.setCoolText("doc");
    model.setCoolText("doc");
    EXPECT_EQ(changes, 1);

    MySceneModelIO io;
    IDzJsonIO writer;
    ASSERT_EQ(io.writeExtraInstance(&model, &writer, nullptr), DZ_NO_ERROR);
    DzAssetFile file("scene.duf");
    DzAssetJsonItem item(&file, writer.object());
    std::unique_ptr<DzAssetJsonObject> reader(io.startInstanceRead(&item));
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->addMember("other", QJsonValue("x")));
    QObject stranger;
    io.applyInstanceToObject(&stranger, nullptr);
    EXPECT_EQ(dzApp->getStatusLine(), "Verdix Item Not Found!");
}
