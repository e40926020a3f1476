// The pane's slot list is its public surface: the host, scripts of other panes and every
// connection made by name reach the slots through the meta-object, so their order, names,
// parameter types and names, result types and access are fixed.
#include <gtest/gtest.h>
#include <QMetaMethod>
#include <dzgeometry.h>
#include "paneaccess.h"

namespace {

// "[public ]result name(type name, ...)", types as moc normalises them; a parameter may go unnamed.
// clang-format off
const char* const kSlotList[] = {
    "public void VerdixScriptInput(int In)", "public void InputFromTrekko(float X, float Z)", "void OutputToKorg()",
    "void Asm_ClosePane()", "void blockRefresh()", "void unblockRefresh()", "void nodeAboutToRemove(DzNode*)",
    "void nodeRemoved(DzNode*)", "void RenderStart(DzRenderer*)", "void SceneLoadOrSave()", "void SceneSaving()",
    "void setupMaxSpin()",
    "void Network_AddControlBox(QString ImageFileName, QString ControlTitle, int ControlBoxType)",
    "void SetupSlider(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue)",
    "void SetupSliderInt(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue)",
    "void ControlBox_ShowHideButtonPress()", "void ControlBox_DeleteButtonPress()",
    "void ControlBox_DeleteControl(bool BypassButton, bool ChangeLabel)", "void ControlBox_ImageButtonPress()",
    "void ColourBox()", "void refreshSelected(DzNode* node)",
    "void SliderNewLandscape(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)",
    "void SliderNewTree(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)",
    "void SliderNewStone(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)",
    "void SliderNewFlower(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)",
    "void SliderNewGrass(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)",
    "void SliderNewBB(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)", "void Animation_Play()",
    "void Animation_Stop()", "void Animation_Draw()", "void SetupTimer(int Milsec)",
    "float lerpA(float v0, float v1, float t)", "float lerpB(float v0, float v1, float t)", "void InitTextureFolder()",
    "QString LoadQSFile(QString input)", "QString LoadGround(QString input)", "QString LoadRiver(QString input)",
    "QString LoadHill(QString input)", "QString LoadFlat(QString input)", "QString LoadPath(QString input)",
    "QString LoadUser(QString input)", "QString LoadTree(QString input)",
    "void ReadSaveControls(int i, int Type, QString HeaderName, QString& Text, bool isPresets)",
    "void WriteSaveControls(int i, int Type, QString HeaderName, QString& Text)",
    "void SavePreset(int Index, int Type, QString FolderName, QString HeaderName)",
    "void OpenPreset(int i, int Type, QString FolderName, QString HeaderName, bool isPreset)",
    "void processMaterials(DzNode* node, QString matName, QString propName, QString texturePath)",
    "void processMaterialsDouble(DzNode* node, QString matName, QString propName, double dValue)",
    "void WarnMissingFolder(QString input)", "void GravityChanged(int Gravity)",
    "void KorgSetSlider(DzIntSlider* Slider, int KorgValue)",
    "void KorgSetSliderNeg(DzIntSlider* Slider, int KorgValue)", "void KorgSetSliderZero(DzIntSlider* Slider)",
    "void KorgSetSliderDef(DzIntSlider* Slider, int SliderValue)", "void SetSpecularCol(DzMaterial* mat, double val)",
    "void SetGlossiness(DzMaterial* mat, double val)", "void WindowVeiwShowHide()", "void LowLODMode()",
    "void UpdateFrame(DzTime myTime)", "QString GetTypeLable(int Type, int i)", "void PutOnLandscape()",
    "void RefreshAllLandscape()", "void SwapLandscape()", "void SwapAllLandscape()",
    "int FindLandScapeIndex(QString Text)", "void ImagetoHeightMap(BYTE* bMem, QImage Image)",
    "void UpdateLandScape(int SliderIndex, bool UpdateObjects)", "void SliderMoveLandScape(int Input)",
    "void LoadComboMapImage(int Index)", "void Button_CreateLandscape()",
    "void Button_AddPolyLandscape(int ControlBoxIndex, DzFacetMesh* mesh)", "void SaveUserHeightMap()",
    "float fHeight(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache, int* jCache)",
    "DzVec3 Vec3Cross(const DzVec3* pV1, const DzVec3* pV2)", "void AllObjectsOnLandScape(int SliderIndex)",
    "void AllObjectsWithNoLandScape()", "void AllObjectsOnLandScapeShow(int SliderIndex)",
    "void LoadTexureLandscape(int i)", "void LoadTexureLandscapeBlend(int i)", "void RedoComboSwapBox()",
    "void Button_CreateRock()", "void CreateRock()", "void ControlBox_ResetRockPress()",
    "void RocksOnLandScape(int SliderIndex)", "void Button_CreateGroundHeightPointer()", "void Button_CreateStones()",
    "void Button_AddPolyStones(int ControlBoxIndex, DzFacetMesh* mesh)",
    "void UpdateStones(int SliderIndex, bool ResetCache)", "void SliderUpdateStones(int ControlBoxIndex)",
    "void LoadTexureStonesGrass(int i)", "void LoadTexureStones(int i)", "void Button_CreateGrass()",
    "void Button_AddPolyGrass(int ControlBoxIndex, DzFacetMesh* mesh)",
    "void UpdateGrass(int SliderIndex, bool ResetCache)", "void SliderUpdateGrass(int ControlBoxIndex)",
    "void LoadTexureGrass(int i)", "void LoadTexureTreeLeaf(int i)", "void LoadTexureTreeFruit(int i)",
    "void LoadTexureTreeBark(int i)", "void LoadTexureTreeTrunk(int i)",
    "void LoadTexureToMaterial(char ABCD, int ObjectType, QString dirText, QString MaterialName)",
    "void LoadComboMapImageTree(int Input)", "void Button_SaveTreePreset()", "void Button_OpenTreePreset(int input)",
    "void Button_OpenTreeFile()", "void Button_CreateTree()",
    "void Button_AddPolyTree(int ControlBoxIndex, DzFacetMesh* mesh)",
    "void Button_AnimatePolyTree(int ControlBoxIndex)", "void UpdateTree(int SliderIndex, bool ResetCache)",
    "void SliderUpdateTree(int ControlBoxIndex)",
    "void Add_Line(const DzVec3* p1, const DzVec3* p2, float ThickA, float ThickB, DzFacetMesh* mesh, int DrawType)",
    "void Button_CreateBush()", "void Button_CreateIvy()", "void Button_CreateWeed()",
    "void LoadTexureFlowerStem(int i)", "void LoadTexureFlowerLeaf(int i)", "void LoadTexureFlowerPetalIn(int i)",
    "void LoadTexureFlowerPetalOut(int i)", "void LoadTexureFlowerPistil(int i)", "void Button_SaveFlowerPreset()",
    "void Button_OpenFlowerPreset(int input)", "void Button_OpenFlowerFile()", "void Button_CreateFlower()",
    "void Button_AnimateFlower(int ControlBoxIndex, bool ResetCache)",
    "void Button_AddPolyFlower(int ControlBoxIndex, DzFacetMesh* mesh)", "void SliderUpdateFlower(int ControlBoxIndex)",
    "void UpdateFlower(int ControlBoxIndex, bool ResetCache)", "void Button_CreateMushroom()",
    "void Button_CreateCrystals()", "void Button_CreateBillboard()",
    "void Button_AddPolyBillboard(int ControlBoxIndex, DzFacetMesh* mesh)",
    "void UpdateBillboard(int SliderIndex, bool ResetCache)", "void SliderUpdateBillboard(int ControlBoxIndex)",
    "void LoadTexureBillboard(int i)", "void on_DeleteAllButton_pressed()", "void SaveScene()", "void OpenScene()",
    "bool ObjectMapping_Open()", "void ObjectMapping_Close()",
    "void ObjectMapping_Add(DzNode* Node, DzVec3 XYZ, float Rad, float BoundMax)", "void ObjectMapping_Animation()",
    "void createModel()", "void readModel()", "void saveModelData()", "void openModelData()",
};
// clang-format on

QString describe(const QMetaMethod& m)
{
    QStringList params;
    for (int k = 0; k < m.parameterCount(); ++k) {
        const QByteArray name = m.parameterNames().value(k);
        params << QString::fromLatin1(m.parameterTypes()[k] + (name.isEmpty() ? "" : " " + name));
    }
    return QString("%1%2 %3(%4)")
        .arg(m.access() == QMetaMethod::Public    ? "public "
             : m.access() == QMetaMethod::Private ? ""
                                                  : "protected ",
             m.typeName(), QString::fromLatin1(m.name()), params.join(", "));
}

}  // namespace

TEST(PaneSlotList, MetaObjectDeclaresExactlyTheListInOrder)
{
    const QMetaObject* mo = &ZPK_VerdixPane::staticMetaObject;
    QStringList have;
    for (int k = mo->methodOffset(); k < mo->methodCount(); ++k) {
        const QMetaMethod m = mo->method(k);
        EXPECT_NE(m.methodType(), QMetaMethod::Signal) << "the pane emits no signals: " << m.methodSignature().data();
        if (m.methodType() == QMetaMethod::Slot) have << describe(m);
    }
    const int rows = int(sizeof kSlotList / sizeof *kSlotList);
    ASSERT_EQ(rows, 145);
    // Row by row, so a move, a rename or a changed parameter points at its place.
    for (int k = 0; k < std::max(rows, int(have.size())); ++k)
        EXPECT_EQ(have.value(k, "(missing)").toStdString(), k < rows ? kSlotList[k] : "(extra)") << "slot " << k;
}

// The host and other panes call slots by name; the answers come back through the meta-object.
// (The interpolations and heights behind the other slots are checked where they are computed.)
TEST(PaneSlotList, SlotsAnswerThroughTheMetaObject)
{
    ZPK_VerdixPane* pane = thePane();
    VerdixPaneTestAccess a(pane);
    const DzVec3 u(1, 2, 3), v(4, 5, 6);
    DzVec3 cross, none(7, 7, 7);
    bool opened = false;
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "Vec3Cross", Q_RETURN_ARG(DzVec3, cross), Q_ARG(const DzVec3*, &u),
                                          Q_ARG(const DzVec3*, &v)));
    EXPECT_EQ(cross, DzVec3(-3, 6, -3));
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "Vec3Cross", Q_RETURN_ARG(DzVec3, none), Q_ARG(const DzVec3*, &u),
                                          Q_ARG(const DzVec3*, nullptr)));
    EXPECT_EQ(none, DzVec3());
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "ObjectMapping_Open", Q_RETURN_ARG(bool, opened)));
    EXPECT_TRUE(opened && a.mapping().exists());
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "ObjectMapping_Close"));
    EXPECT_FALSE(a.mapping().exists());
}
