#include <gtest/gtest.h>
#include <QGroupBox>
#include <QMetaMethod>
#include <dzplugin.h>
#include <QApplication>
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

TEST(PaneConstruction, SceneClearGivesAFreshElement)
{
    VerdixPaneTestAccess a(thePane());
    a.model()->setCoolText("old document");
    dzScene->clear();
    ASSERT_NE(a.model(), nullptr);
    EXPECT_TRUE(a.model()->coolText().isEmpty());
    EXPECT_EQ(dzScene->findDataItem("VerdixSceneModel"), a.model());
}

// Every slot the pane may offer, with its exact signature; built ones exist from the start.
struct SlotEntry
{
    const char* signature;
    bool built;
};
static const SlotEntry kSlots[] = {
    {"VerdixScriptInput(int)", true},
    {"InputFromTrekko(float,float)", true},
    {"OutputToKorg()", true},
    {"Asm_ClosePane()", false},
    {"blockRefresh()", true},
    {"unblockRefresh()", true},
    {"nodeAboutToRemove(DzNode*)", true},
    {"nodeRemoved(DzNode*)", true},
    {"RenderStart(DzRenderer*)", false},
    {"SceneLoadOrSave()", true},
    {"SceneSaving()", true},
    {"setupMaxSpin()", true},
    {"Network_AddControlBox(QString,QString,int)", true},
    {"SetupSlider(DzIntSlider*,QString,int,int,int,int,int)", true},
    {"SetupSliderInt(DzIntSlider*,QString,int,int,int,int,int)", true},
    {"ControlBox_ShowHideButtonPress()", true},
    {"ControlBox_DeleteButtonPress()", true},
    {"ControlBox_DeleteControl(bool,bool)", true},
    {"ControlBox_ImageButtonPress()", true},
    {"ColourBox()", true},
    {"refreshSelected(DzNode*)", true},
    {"SliderNewLandscape(DzIntSlider*,QString,int,int,int)", true},
    {"SliderNewTree(DzIntSlider*,QString,int,int,int)", true},
    {"SliderNewStone(DzIntSlider*,QString,int,int,int)", true},
    {"SliderNewFlower(DzIntSlider*,QString,int,int,int)", true},
    {"SliderNewGrass(DzIntSlider*,QString,int,int,int)", true},
    {"SliderNewBB(DzIntSlider*,QString,int,int,int)", true},
    {"Animation_Play()", false},
    {"Animation_Stop()", false},
    {"Animation_Draw()", false},
    {"SetupTimer(int)", false},
    {"lerpA(float,float,float)", false},
    {"lerpB(float,float,float)", false},
    {"InitTextureFolder()", true},
    {"LoadQSFile(QString)", true},
    {"LoadGround(QString)", true},
    {"LoadRiver(QString)", true},
    {"LoadHill(QString)", true},
    {"LoadFlat(QString)", true},
    {"LoadPath(QString)", true},
    {"LoadUser(QString)", true},
    {"LoadTree(QString)", true},
    {"ReadSaveControls(int,int,QString,QString&,bool)", true},
    {"WriteSaveControls(int,int,QString,QString&)", true},
    {"SavePreset(int,int,QString,QString)", true},
    {"OpenPreset(int,int,QString,QString,bool)", true},
    {"processMaterials(DzNode*,QString,QString,QString)", true},
    {"processMaterialsDouble(DzNode*,QString,QString,double)", true},
    {"WarnMissingFolder(QString)", true},
    {"GravityChanged(int)", false},
    {"KorgSetSlider(DzIntSlider*,int)", true},
    {"KorgSetSliderNeg(DzIntSlider*,int)", true},
    {"KorgSetSliderZero(DzIntSlider*)", true},
    {"KorgSetSliderDef(DzIntSlider*,int)", true},
    {"SetSpecularCol(DzMaterial*,double)", true},
    {"SetGlossiness(DzMaterial*,double)", true},
    {"WindowVeiwShowHide()", false},
    {"LowLODMode()", false},
    {"UpdateFrame(DzTime)", false},
    {"GetTypeLable(int,int)", true},
    {"PutOnLandscape()", false},
    {"RefreshAllLandscape()", false},
    {"SwapLandscape()", false},
    {"SwapAllLandscape()", false},
    {"FindLandScapeIndex(QString)", true},
    {"ImagetoHeightMap(BYTE*,QImage)", true},
    {"UpdateLandScape(int,bool)", true},
    {"SliderMoveLandScape(int)", false},
    {"LoadComboMapImage(int)", true},
    {"Button_CreateLandscape()", true},
    {"Button_AddPolyLandscape(int,DzFacetMesh*)", true},
    {"SaveUserHeightMap()", true},
    {"fHeight(int,float,float,DzVec3*,int*,int*)", false},
    {"Vec3Cross(const DzVec3*,const DzVec3*)", false},
    {"AllObjectsOnLandScape(int)", false},
    {"AllObjectsWithNoLandScape()", false},
    {"AllObjectsOnLandScapeShow(int)", false},
    {"LoadTexureLandscape(int)", true},
    {"LoadTexureLandscapeBlend(int)", true},
    {"RedoComboSwapBox()", false},
    {"Button_CreateRock()", false},
    {"CreateRock()", false},
    {"ControlBox_ResetRockPress()", false},
    {"RocksOnLandScape(int)", false},
    {"Button_CreateGroundHeightPointer()", false},
    {"Button_CreateStones()", false},
    {"Button_AddPolyStones(int,DzFacetMesh*)", false},
    {"UpdateStones(int,bool)", false},
    {"SliderUpdateStones(int)", false},
    {"LoadTexureStonesGrass(int)", true},
    {"LoadTexureStones(int)", true},
    {"Button_CreateGrass()", false},
    {"Button_AddPolyGrass(int,DzFacetMesh*)", false},
    {"UpdateGrass(int,bool)", false},
    {"SliderUpdateGrass(int)", false},
    {"LoadTexureGrass(int)", true},
    {"LoadTexureTreeLeaf(int)", true},
    {"LoadTexureTreeFruit(int)", true},
    {"LoadTexureTreeBark(int)", true},
    {"LoadTexureTreeTrunk(int)", true},
    {"LoadTexureToMaterial(char,int,QString,QString)", true},
    {"LoadComboMapImageTree(int)", true},
    {"Button_SaveTreePreset()", true},
    {"Button_OpenTreePreset(int)", true},
    {"Button_OpenTreeFile()", true},
    {"Button_CreateTree()", true},
    {"Button_AddPolyTree(int,DzFacetMesh*)", true},
    {"Button_AnimatePolyTree(int)", true},
    {"UpdateTree(int,bool)", true},
    {"SliderUpdateTree(int)", true},
    {"Add_Line(const DzVec3*,const DzVec3*,float,float,DzFacetMesh*,int)", true},
    {"Button_CreateBush()", true},
    {"Button_CreateIvy()", true},
    {"Button_CreateWeed()", true},
    {"LoadTexureFlowerStem(int)", true},
    {"LoadTexureFlowerLeaf(int)", true},
    {"LoadTexureFlowerPetalIn(int)", true},
    {"LoadTexureFlowerPetalOut(int)", true},
    {"LoadTexureFlowerPistil(int)", true},
    {"Button_SaveFlowerPreset()", true},
    {"Button_OpenFlowerPreset(int)", true},
    {"Button_OpenFlowerFile()", true},
    {"Button_CreateFlower()", true},
    {"Button_AnimateFlower(int,bool)", true},
    {"Button_AddPolyFlower(int,DzFacetMesh*)", true},
    {"SliderUpdateFlower(int)", true},
    {"UpdateFlower(int,bool)", true},
    {"Button_CreateMushroom()", true},
    {"Button_CreateCrystals()", true},
    {"Button_CreateBillboard()", false},
    {"Button_AddPolyBillboard(int,DzFacetMesh*)", false},
    {"UpdateBillboard(int,bool)", false},
    {"SliderUpdateBillboard(int)", false},
    {"LoadTexureBillboard(int)", true},
    {"on_DeleteAllButton_pressed()", true},
    {"SaveScene()", true},
    {"OpenScene()", true},
    {"ObjectMapping_Open()", false},
    {"ObjectMapping_Close()", false},
    {"ObjectMapping_Add(DzNode*,DzVec3,float,float)", false},
    {"ObjectMapping_Animation()", false},
    {"createModel()", true},
    {"readModel()", true},
    {"saveModelData()", true},
    {"openModelData()", true},
};

// Callers reach slots by name, so a misspelt signature is a silent break. Every slot the pane
// declares must be one of the known signatures, and the foundation's own must all be there.
// Generators add theirs as they arrive; the header groups them by subsystem.
TEST(PaneSlots, KnownSignaturesAndTheFoundationsOwn)
{
    const QMetaObject* mo = &ZPK_VerdixPane::staticMetaObject;
    QStringList known, unknown, publicOnes;
    for (const SlotEntry& e : kSlots) known << QString::fromLatin1(QMetaObject::normalizedSignature(e.signature));
    for (int m = mo->methodOffset(); m < mo->methodCount(); ++m) {
        const QMetaMethod method = mo->method(m);
        if (method.methodType() != QMetaMethod::Slot) continue;
        const QString sig = QString::fromLatin1(method.methodSignature());
        if (!known.contains(sig)) unknown << sig;
        if (method.access() == QMetaMethod::Public) publicOnes << sig;
    }
    EXPECT_EQ(unknown.join(' ').toStdString(), "");
    for (const SlotEntry& e : kSlots)
        if (e.built) EXPECT_GE(mo->indexOfSlot(QMetaObject::normalizedSignature(e.signature)), 0) << e.signature;
    // Scripts of other panes see the two entry points; the height query is public too because
    // the generators outside the pane class ask it from background tasks.
    EXPECT_EQ(publicOnes.join(' ').toStdString(),
              "VerdixScriptInput(int) InputFromTrekko(float,float) fHeight(int,float,float,DzVec3*,int*,int*) "
              "Vec3Cross(const DzVec3*,const DzVec3*)");
}

TEST(PaneSlots, ResultsThroughTheMetaObject)
{
    ZPK_VerdixPane* pane = thePane();
    QString label;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "GetTypeLable", Q_RETURN_ARG(QString, label), Q_ARG(int, 3),
                                          Q_ARG(int, 3)));
    EXPECT_EQ(label, "(0003) GrassV1.0");
    int index = -1;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "FindLandScapeIndex", Q_RETURN_ARG(int, index),
                                          Q_ARG(QString, QString())));
    EXPECT_EQ(index, 0);
}

TEST(ControlBoxModel, TypeLabels)
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
}

TEST(ControlBoxModel, FindLandscapeByTitleLabel)
{
    VerdixPaneTestAccess a(thePane());
    ControlBoxTable& t = a.boxes();
    t.clear();
    const int types[] = {TypeGrass, TypeLandscape, TypeTree, TypeLandscape};
    std::vector<std::unique_ptr<QLabel>> labels;
    for (int k = 0; k < 4; ++k) {
        const int i = t.append(types[k]);
        labels.emplace_back(new QLabel(newBoxTitle(types[k], i)));
        t[i].titleLabel = labels.back().get();
    }
    EXPECT_EQ(a.findLandscape(""), 0);
    EXPECT_EQ(a.findLandscape("(0001) LandscapeV1.0"), 1);
    EXPECT_EQ(a.findLandscape("(0003) LandscapeV1.0"), 3);
    EXPECT_EQ(a.findLandscape("(0003) landscapeV1.0"), 0);
    // Only landscape boxes count, even when another box carries the text.
    labels[2]->setText("(0009) LandscapeV1.0");
    EXPECT_EQ(a.findLandscape("(0009) LandscapeV1.0"), 0);
    t.clear();
}

TEST(ControlBoxModel, TableCapacityCompactionAndAccess)
{
    ControlBoxTable t;
    for (int k = 0; k < kMaxControlBoxes; ++k) ASSERT_EQ(t.append(TypeGrass), k);
    EXPECT_TRUE(t.isFull());
    EXPECT_EQ(t.append(TypeGrass), -1);
    EXPECT_EQ(t.count(), 129);
    t.clear();

    // 0 land, 1 grass on 0, 2 land, 3 tree on 2, 4 grass on 2
    const int types[] = {TypeLandscape, TypeGrass, TypeLandscape, TypeTree, TypeGrass};
    const int lands[] = {0, 0, 0, 2, 2};
    for (int k = 0; k < 5; ++k) {
        t.append(types[k]);
        t[k].landscapeIndex = lands[k];
        t[k].builderCount = 10 + k;
        t[k].groundHeights.assign(size_t(k + 1), float(k));
    }
    t.removeAt(1);
    ASSERT_EQ(t.count(), 4);
    EXPECT_EQ(t[1].type, TypeLandscape);
    EXPECT_EQ(t[1].builderCount, 12);
    EXPECT_EQ(t[2].groundHeights, std::vector<float>(4, 3.f));
    // References follow their landscape to its new index.
    EXPECT_EQ(t[2].landscapeIndex, 1);
    EXPECT_EQ(t[3].landscapeIndex, 1);
    // The freed slot is empty again.
    EXPECT_EQ(t[4].type, 0);
    EXPECT_TRUE(t[4].groundHeights.empty());
    EXPECT_EQ(t.at(4), nullptr);

    // Deleting a landscape leaves its objects standing on none.
    t.removeAt(1);
    EXPECT_EQ(t[1].landscapeIndex, 0);
    EXPECT_EQ(t[2].landscapeIndex, 0);
    t.removeAt(7);  // out of range: nothing happens
    EXPECT_EQ(t.count(), 3);

    // Combos are reached by letter A..H only.
    ControlBox b;
    std::unique_ptr<QComboBox> combo(new QComboBox);
    b.setCombo('C', combo.get());
    EXPECT_EQ(b.combo('C'), combo.get());
    EXPECT_EQ(b.combo('A'), nullptr);
    EXPECT_EQ(b.combo('I'), nullptr);
    b.setCombo('Z', combo.get());  // outside A..H: ignored
    EXPECT_EQ(b.combo('H'), nullptr);
    EXPECT_EQ(b.slider("Amount"), nullptr);
}

TEST(SceneModel, TextAndStorage)
{
    VerdixSceneModel model;
    int changes = 0;
    QObject::connect(&model, &VerdixSceneModel::coolTextChanged, [&](const QString&) { ++changes; });
    model.setCoolText("doc");
    model.setCoolText("doc");
    EXPECT_EQ(changes, 1);

    // An empty model writes nothing; a written one reads back through the host's items.
    MySceneModelIO io;
    VerdixSceneModel empty;
    EXPECT_FALSE(io.shouldWrite(&empty, nullptr));
    EXPECT_TRUE(io.shouldWrite(&model, nullptr));
    IDzJsonIO writer;
    EXPECT_EQ(io.writeExtraInstance(&model, &writer, nullptr), DZ_NO_ERROR);
    EXPECT_EQ(writer.object().value("Verdix_text").toString(), "doc");

    DzAssetFile file("scene.duf");
    DzAssetJsonItem item(&file, writer.object());
    std::unique_ptr<DzAssetJsonObject> reader(io.startInstanceRead(&item));
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->addMember("other", QJsonValue("x")));
    EXPECT_TRUE(reader->addMember("Verdix_text", QJsonValue("stored document")));
    VerdixSceneModel target;
    EXPECT_EQ(io.applyInstanceToObject(&target, nullptr), DZ_NO_ERROR);
    EXPECT_EQ(target.coolText(), "stored document");
    QObject stranger;
    io.applyInstanceToObject(&stranger, nullptr);
    EXPECT_EQ(dzApp->getStatusLine(), "Verdix Item Not Found!");

    thePane();
    EXPECT_EQ(io.getObjectForInstance(&item, nullptr), dzScene->findDataItem("VerdixSceneModel"));
    EXPECT_NE(io.getObjectForInstance(&item, nullptr), nullptr);
}
