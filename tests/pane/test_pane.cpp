#include <gtest/gtest.h>
#include <QGroupBox>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzplugin.h>
#include <dzscene.h>
#include <dzshape.h>
#include <memory>
#include "paneaccess.h"
#include "persistence/verdixscenemodel.h"
#include "objects/stonesbox.h"
#include "vegetation/grassbox.h"

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
    } cases[] = {{1, 0, "(0000) LandscapeV1.0"}, {2, 12, "(0012) RockV1.0"},     {11, 9, "(0009) ParticlesV1.0"},
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

// Each box holds the state of its own generator only, made by its type's registry entry; the
// state moves with its box when the table closes a gap, and a copied box owns its own.
TEST(ControlBoxModel, GeneratorStateBelongsToItsBox)
{
    ControlBoxTable t;
    for (int type : {TypeGrass, TypeStones, TypeLandscape, TypeGrass}) t.append(type);
    for (int k = 0; k < t.count(); ++k) EXPECT_EQ(bool(t[k].generator), t[k].type != TypeLandscape) << k;
    EXPECT_EQ(generatorOf<StonesBox>(t[0]), nullptr);
    EXPECT_EQ(generatorOf<GrassBox>(t[1]), nullptr);
    ASSERT_NE(generatorOf<GrassBox>(t[3]), nullptr);
    generatorOf<GrassBox>(t[3])->params.Amount = 77;
    generatorOf<GrassBox>(t[3])->title = "last";
    const GeneratorBox* moving = t[3].generator.get();

    t.removeAt(1);
    ASSERT_EQ(t.count(), 3);
    EXPECT_EQ(t[2].generator.get(), moving) << "the state moves, it is not rebuilt";
    EXPECT_EQ(generatorOf<GrassBox>(t[2])->params.Amount, 77);
    EXPECT_FALSE(t[3].generator) << "the freed record keeps no state";

    ControlBox copy = t[2];
    ASSERT_NE(copy.generator.get(), moving);
    generatorOf<GrassBox>(copy)->params.Amount = 5;
    EXPECT_EQ(generatorOf<GrassBox>(t[2])->params.Amount, 77);
    EXPECT_EQ(generatorOf<GrassBox>(copy)->title, "last");

    EXPECT_EQ(wrongTypeMessage(TypeGrass), "Not a grass object!");
    EXPECT_EQ(wrongTypeMessage(TypeStones), "Not a stones object!");
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

namespace {

// The generators' own tests hold the materials and meshes of their types; here the rules
// every node follows.
class NodeBuilder : public ::testing::Test
{
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    void clear()
    {
        a.boxes().clear();
        a.selector()->clear();
        a.renew()->setChecked(false);
        a.status()->clear();
        dzScene->clear();
    }
    DzNode* build(int type, int* index = nullptr)
    {
        const int i = a.boxes().append(type);
        if (index) *index = i;
        return pane->BuildObjectNode(type, i, newBoxTitle(type, i), [&](int box, DzFacetMesh* mesh) {
            filledBox = box;
            mesh->addVertex(1.f, 2.f, 3.f);
        });
    }

    ZPK_VerdixPane* pane = thePane();
    VerdixPaneTestAccess a{pane};
    QLabel landLabel;
    int filledBox = -1;
};

}  // namespace

TEST_F(NodeBuilder, GrassOnALandscape)
{
    const int l = a.boxes().append(TypeLandscape);
    landLabel.setText(newBoxTitle(TypeLandscape, l));
    a.boxes()[l].titleLabel = &landLabel;
    DzNode* land = pane->BuildObjectNode(TypeLandscape, l, landLabel.text(), nullptr);
    ASSERT_NE(land, nullptr);
    a.selector()->addItem(landLabel.text());
    EXPECT_EQ(land->getAssetId(), "land");
    ASSERT_EQ(land->getObject()->getShape(0)->getNumMaterials(), 1);
    EXPECT_EQ(land->getObject()->getShape(0)->getMaterial(0)->getName(), "Landscape");

    int i = -1;
    DzNode* grass = build(TypeGrass, &i);
    ASSERT_NE(grass, nullptr);
    EXPECT_EQ(grass->getLabel(), "(0001) GrassV1.0");
    EXPECT_EQ(grass->getNodeParent(), land);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) GrassV1.0"), grass);
    EXPECT_FALSE(grass->isEditing());
    EXPECT_EQ(a.boxes()[i].landscapeIndex, 0);
    EXPECT_EQ(a.status()->text(), "Added grass to (0000) LandscapeV1.0 ");
    EXPECT_EQ(filledBox, i);
    DzShape* shape = grass->getObject()->getShape(0);
    ASSERT_NE(qobject_cast<DzFacetShape*>(shape), nullptr);
    EXPECT_EQ(qobject_cast<DzFacetShape*>(shape)->getFacetMesh()->getNumVertices(), 1);
    ASSERT_EQ(shape->getNumMaterials(), 1);
    auto* grassMat = qobject_cast<DzDefaultMaterial*>(shape->getMaterial(0));
    ASSERT_NE(grassMat, nullptr);
    EXPECT_EQ(grassMat->getName(), "Grass");
    EXPECT_EQ(grassMat->getDiffuseColor(), QColor(250, 255, 240));
    // Types without a node build none.
    EXPECT_EQ(build(TypeBush), nullptr);
    EXPECT_EQ(dzScene->getNumNodes(), 2);
    // The material setters called by name ignore a missing material.
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "SetGlossiness", Q_ARG(DzMaterial*, nullptr), Q_ARG(double, 0.7)));
}

TEST_F(NodeBuilder, RenewRule)
{
    int i = -1;
    DzNode* first = build(TypeGrass, &i);
    ASSERT_NE(first, nullptr);
    a.boxes().removeAt(i);
    filledBox = -1;

    // A box rebuilt with the same title takes the node over unchanged.
    EXPECT_EQ(build(TypeGrass, &i), first);
    EXPECT_EQ(filledBox, -1);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    a.boxes().removeAt(i);

    // With "Renew" ticked the old node goes and a fresh one is built.
    a.renew()->setChecked(true);
    DzNode* fresh = build(TypeGrass, &i);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(filledBox, i);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(dzScene->findNodeByLabel("(0000) GrassV1.0"), fresh);
}
