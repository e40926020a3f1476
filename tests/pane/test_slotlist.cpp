// The pane's slot list is its public surface: the host, scripts of other panes and every
// connection made by name reach the slots through the meta-object, so their order, names,
// parameter types and names, result types and access are fixed.
#include <gtest/gtest.h>
#include <QMetaMethod>
#include <QRegularExpression>
#include <dzgeometry.h>
#include <dzscene.h>
#include "paneaccess.h"

namespace {

struct SlotRow
{
    bool isPublic;
    const char* declaration;  // "result name(type name, ...)"; a parameter may go unnamed
};

const SlotRow kSlotList[] = {
    {true, "void VerdixScriptInput(int In)"},
    {true, "void InputFromTrekko(float X, float Z)"},
    {false, "void OutputToKorg()"},
    {false, "void Asm_ClosePane()"},
    {false, "void blockRefresh()"},
    {false, "void unblockRefresh()"},
    {false, "void nodeAboutToRemove(DzNode*)"},
    {false, "void nodeRemoved(DzNode*)"},
    {false, "void RenderStart(DzRenderer*)"},
    {false, "void SceneLoadOrSave()"},
    {false, "void SceneSaving()"},
    {false, "void setupMaxSpin()"},
    {false, "void Network_AddControlBox(QString ImageFileName, QString ControlTitle, int ControlBoxType)"},
    {false, "void SetupSlider(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue)"},
    {false, "void SetupSliderInt(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue)"},
    {false, "void ControlBox_ShowHideButtonPress()"},
    {false, "void ControlBox_DeleteButtonPress()"},
    {false, "void ControlBox_DeleteControl(bool BypassButton, bool ChangeLabel)"},
    {false, "void ControlBox_ImageButtonPress()"},
    {false, "void ColourBox()"},
    {false, "void refreshSelected(DzNode* node)"},
    {false, "void SliderNewLandscape(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)"},
    {false, "void SliderNewTree(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)"},
    {false, "void SliderNewStone(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)"},
    {false, "void SliderNewFlower(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)"},
    {false, "void SliderNewGrass(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)"},
    {false, "void SliderNewBB(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)"},
    {false, "void Animation_Play()"},
    {false, "void Animation_Stop()"},
    {false, "void Animation_Draw()"},
    {false, "void SetupTimer(int Milsec)"},
    {false, "float lerpA(float v0, float v1, float t)"},
    {false, "float lerpB(float v0, float v1, float t)"},
    {false, "void InitTextureFolder()"},
    {false, "QString LoadQSFile(QString input)"},
    {false, "QString LoadGround(QString input)"},
    {false, "QString LoadRiver(QString input)"},
    {false, "QString LoadHill(QString input)"},
    {false, "QString LoadFlat(QString input)"},
    {false, "QString LoadPath(QString input)"},
    {false, "QString LoadUser(QString input)"},
    {false, "QString LoadTree(QString input)"},
    {false, "void ReadSaveControls(int i, int Type, QString HeaderName, QString& Text, bool isPresets)"},
    {false, "void WriteSaveControls(int i, int Type, QString HeaderName, QString& Text)"},
    {false, "void SavePreset(int Index, int Type, QString FolderName, QString HeaderName)"},
    {false, "void OpenPreset(int i, int Type, QString FolderName, QString HeaderName, bool isPreset)"},
    {false, "void processMaterials(DzNode* node, QString matName, QString propName, QString texturePath)"},
    {false, "void processMaterialsDouble(DzNode* node, QString matName, QString propName, double dValue)"},
    {false, "void WarnMissingFolder(QString input)"},
    {false, "void GravityChanged(int Gravity)"},
    {false, "void KorgSetSlider(DzIntSlider* Slider, int KorgValue)"},
    {false, "void KorgSetSliderNeg(DzIntSlider* Slider, int KorgValue)"},
    {false, "void KorgSetSliderZero(DzIntSlider* Slider)"},
    {false, "void KorgSetSliderDef(DzIntSlider* Slider, int SliderValue)"},
    {false, "void SetSpecularCol(DzMaterial* mat, double val)"},
    {false, "void SetGlossiness(DzMaterial* mat, double val)"},
    {false, "void WindowVeiwShowHide()"},
    {false, "void LowLODMode()"},
    {false, "void UpdateFrame(DzTime myTime)"},
    {false, "QString GetTypeLable(int Type, int i)"},
    {false, "void PutOnLandscape()"},
    {false, "void RefreshAllLandscape()"},
    {false, "void SwapLandscape()"},
    {false, "void SwapAllLandscape()"},
    {false, "int FindLandScapeIndex(QString Text)"},
    {false, "void ImagetoHeightMap(BYTE* bMem, QImage Image)"},
    {false, "void UpdateLandScape(int SliderIndex, bool UpdateObjects)"},
    {false, "void SliderMoveLandScape(int Input)"},
    {false, "void LoadComboMapImage(int Index)"},
    {false, "void Button_CreateLandscape()"},
    {false, "void Button_AddPolyLandscape(int ControlBoxIndex, DzFacetMesh* mesh)"},
    {false, "void SaveUserHeightMap()"},
    {false, "float fHeight(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache, int* jCache)"},
    {false, "DzVec3 Vec3Cross(const DzVec3* pV1, const DzVec3* pV2)"},
    {false, "void AllObjectsOnLandScape(int SliderIndex)"},
    {false, "void AllObjectsWithNoLandScape()"},
    {false, "void AllObjectsOnLandScapeShow(int SliderIndex)"},
    {false, "void LoadTexureLandscape(int i)"},
    {false, "void LoadTexureLandscapeBlend(int i)"},
    {false, "void RedoComboSwapBox()"},
    {false, "void Button_CreateRock()"},
    {false, "void CreateRock()"},
    {false, "void ControlBox_ResetRockPress()"},
    {false, "void RocksOnLandScape(int SliderIndex)"},
    {false, "void Button_CreateGroundHeightPointer()"},
    {false, "void Button_CreateStones()"},
    {false, "void Button_AddPolyStones(int ControlBoxIndex, DzFacetMesh* mesh)"},
    {false, "void UpdateStones(int SliderIndex, bool ResetCache)"},
    {false, "void SliderUpdateStones(int ControlBoxIndex)"},
    {false, "void LoadTexureStonesGrass(int i)"},
    {false, "void LoadTexureStones(int i)"},
    {false, "void Button_CreateGrass()"},
    {false, "void Button_AddPolyGrass(int ControlBoxIndex, DzFacetMesh* mesh)"},
    {false, "void UpdateGrass(int SliderIndex, bool ResetCache)"},
    {false, "void SliderUpdateGrass(int ControlBoxIndex)"},
    {false, "void LoadTexureGrass(int i)"},
    {false, "void LoadTexureTreeLeaf(int i)"},
    {false, "void LoadTexureTreeFruit(int i)"},
    {false, "void LoadTexureTreeBark(int i)"},
    {false, "void LoadTexureTreeTrunk(int i)"},
    {false, "void LoadTexureToMaterial(char ABCD, int ObjectType, QString dirText, QString MaterialName)"},
    {false, "void LoadComboMapImageTree(int Input)"},
    {false, "void Button_SaveTreePreset()"},
    {false, "void Button_OpenTreePreset(int input)"},
    {false, "void Button_OpenTreeFile()"},
    {false, "void Button_CreateTree()"},
    {false, "void Button_AddPolyTree(int ControlBoxIndex, DzFacetMesh* mesh)"},
    {false, "void Button_AnimatePolyTree(int ControlBoxIndex)"},
    {false, "void UpdateTree(int SliderIndex, bool ResetCache)"},
    {false, "void SliderUpdateTree(int ControlBoxIndex)"},
    {false, "void Add_Line(const DzVec3* p1, const DzVec3* p2, float ThickA, float ThickB, DzFacetMesh* mesh, int DrawType)"},
    {false, "void Button_CreateBush()"},
    {false, "void Button_CreateIvy()"},
    {false, "void Button_CreateWeed()"},
    {false, "void LoadTexureFlowerStem(int i)"},
    {false, "void LoadTexureFlowerLeaf(int i)"},
    {false, "void LoadTexureFlowerPetalIn(int i)"},
    {false, "void LoadTexureFlowerPetalOut(int i)"},
    {false, "void LoadTexureFlowerPistil(int i)"},
    {false, "void Button_SaveFlowerPreset()"},
    {false, "void Button_OpenFlowerPreset(int input)"},
    {false, "void Button_OpenFlowerFile()"},
    {false, "void Button_CreateFlower()"},
    {false, "void Button_AnimateFlower(int ControlBoxIndex, bool ResetCache)"},
    {false, "void Button_AddPolyFlower(int ControlBoxIndex, DzFacetMesh* mesh)"},
    {false, "void SliderUpdateFlower(int ControlBoxIndex)"},
    {false, "void UpdateFlower(int ControlBoxIndex, bool ResetCache)"},
    {false, "void Button_CreateMushroom()"},
    {false, "void Button_CreateCrystals()"},
    {false, "void Button_CreateBillboard()"},
    {false, "void Button_AddPolyBillboard(int ControlBoxIndex, DzFacetMesh* mesh)"},
    {false, "void UpdateBillboard(int SliderIndex, bool ResetCache)"},
    {false, "void SliderUpdateBillboard(int ControlBoxIndex)"},
    {false, "void LoadTexureBillboard(int i)"},
    {false, "void on_DeleteAllButton_pressed()"},
    {false, "void SaveScene()"},
    {false, "void OpenScene()"},
    {false, "bool ObjectMapping_Open()"},
    {false, "void ObjectMapping_Close()"},
    {false, "void ObjectMapping_Add(DzNode* Node, DzVec3 XYZ, float Rad, float BoundMax)"},
    {false, "void ObjectMapping_Animation()"},
    {false, "void createModel()"},
    {false, "void readModel()"},
    {false, "void saveModelData()"},
    {false, "void openModelData()"},
};

// One slot as the meta-object describes it, written the way the list above writes it.
QString describe(const QMetaMethod& m)
{
    QStringList params;
    const QList<QByteArray> types = m.parameterTypes();
    const QList<QByteArray> names = m.parameterNames();
    for (int k = 0; k < types.size(); ++k)
        params << (names.value(k).isEmpty() ? QString::fromLatin1(types[k])
                                            : QString::fromLatin1(types[k] + ' ' + names[k]));
    return QString("%1%2 %3(%4)")
        .arg(m.access() == QMetaMethod::Public ? "public " : m.access() == QMetaMethod::Private ? "" : "protected ",
             QString::fromLatin1(m.typeName()), QString::fromLatin1(m.name()), params.join(", "));
}

// The list's row in the same form, with its types normalised as moc normalises them.
QString describe(const SlotRow& row)
{
    static const QRegularExpression shape(R"(^(\S+) (\w+)\((.*)\)$)");
    const QRegularExpressionMatch m = shape.match(QString::fromLatin1(row.declaration));
    if (!m.hasMatch()) return QString("malformed row: ") + row.declaration;
    QStringList params;
    for (QString p : m.captured(3).split(',', Qt::SkipEmptyParts)) {
        p = p.trimmed();
        static const QRegularExpression named(R"(^(.*[\s*&])(\w+)$)");
        const QRegularExpressionMatch n = named.match(p);
        const QString type = n.hasMatch() ? n.captured(1) : p;
        const QString norm = QString::fromLatin1(QMetaObject::normalizedType(type.toLatin1().constData()));
        params << (n.hasMatch() ? norm + ' ' + n.captured(2) : norm);
    }
    return QString("%1%2 %3(%4)")
        .arg(row.isPublic ? "public " : "", m.captured(1), m.captured(2), params.join(", "));
}

}  // namespace

TEST(PaneSlotList, MetaObjectDeclaresExactlyTheListInOrder)
{
    const QMetaObject* mo = &ZPK_VerdixPane::staticMetaObject;
    QStringList have, want;
    for (int k = mo->methodOffset(); k < mo->methodCount(); ++k) {
        const QMetaMethod m = mo->method(k);
        EXPECT_NE(m.methodType(), QMetaMethod::Signal) << "the pane emits no signals of its own: "
                                                       << m.methodSignature().constData();
        if (m.methodType() == QMetaMethod::Slot) have << describe(m);
    }
    for (const SlotRow& row : kSlotList) want << describe(row);
    ASSERT_EQ(want.size(), 145);

    // Row by row, so a move, a rename or a changed parameter points at its place.
    for (int k = 0; k < std::max(have.size(), want.size()); ++k)
        EXPECT_EQ(have.value(k, "(missing)").toStdString(), want.value(k, "(extra)").toStdString()) << "slot " << k;

    // Each row is found by its normalised signature, as connections by name find it.
    for (const SlotRow& row : kSlotList) {
        QString sig = QString::fromLatin1(row.declaration);
        sig = sig.mid(sig.indexOf(' ') + 1);
        QStringList types;
        const int open = sig.indexOf('(');
        for (QString p : sig.mid(open + 1, sig.size() - open - 2).split(',', Qt::SkipEmptyParts)) {
            p = p.trimmed();
            static const QRegularExpression named(R"(^(.*[\s*&])\w+$)");
            const QRegularExpressionMatch n = named.match(p);
            types << (n.hasMatch() ? n.captured(1).trimmed() : p);
        }
        const QByteArray wanted = QMetaObject::normalizedSignature(
            (sig.left(open) + '(' + types.join(',') + ')').toLatin1().constData());
        EXPECT_GE(mo->indexOfSlot(wanted.constData()), mo->methodOffset()) << wanted.constData();
    }
}

// A slot from each of several subsystems, called by name, gives its subsystem's answer.
TEST(PaneSlotList, SlotsAnswerThroughTheMetaObject)
{
    ZPK_VerdixPane* pane = thePane();
    VerdixPaneTestAccess a(pane);
    dzScene->clear();
    a.boxes().clear();

    QString label;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "GetTypeLable", Qt::DirectConnection, Q_RETURN_ARG(QString, label),
                                          Q_ARG(int, 3), Q_ARG(int, 3)));
    EXPECT_EQ(label, "(0003) GrassV1.0");

    float lerp1 = 0, lerp2 = 0;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "lerpA", Qt::DirectConnection, Q_RETURN_ARG(float, lerp1),
                                          Q_ARG(float, 2.f), Q_ARG(float, 6.f), Q_ARG(float, 0.25f)));
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "lerpB", Qt::DirectConnection, Q_RETURN_ARG(float, lerp2),
                                          Q_ARG(float, -4.f), Q_ARG(float, 8.f), Q_ARG(float, 0.75f)));
    EXPECT_FLOAT_EQ(lerp1, 3.f);
    EXPECT_FLOAT_EQ(lerp2, 5.f);

    const DzVec3 u(1, 2, 3), v(4, 5, 6);
    DzVec3 cross;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "Vec3Cross", Qt::DirectConnection, Q_RETURN_ARG(DzVec3, cross),
                                          Q_ARG(const DzVec3*, &u), Q_ARG(const DzVec3*, &v)));
    EXPECT_EQ(cross, DzVec3(-3, 6, -3));

    // A grass box, then a landscape box whose one-cell terrain is the plane y = x + 10.
    a.boxes().append(TypeGrass);
    const int land = a.boxes().append(TypeLandscape);
    QLabel title(newBoxTitle(TypeLandscape, land));
    a.boxes()[land].titleLabel = &title;
    ASSERT_NE(pane->BuildObjectNode(TypeLandscape, land, title.text(),
                                    [](int, DzFacetMesh* mesh) {
                                        mesh->addVertex(-1.f, 9.f, 1.f);
                                        mesh->addVertex(1.f, 11.f, 1.f);
                                        mesh->addVertex(-1.f, 9.f, -1.f);
                                        mesh->addVertex(1.f, 11.f, -1.f);
                                    }),
              nullptr);
    a.boxes()[land].storedTiles = a.boxes()[land].storedDivisions = 1;
    a.boxes()[land].storedTileSize = 2.f;

    int index = -1;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "FindLandScapeIndex", Qt::DirectConnection, Q_RETURN_ARG(int, index),
                                          Q_ARG(QString, title.text())));
    EXPECT_EQ(index, land);

    auto height = [&](int box, float x, float z) {
        float h = -1;
        EXPECT_TRUE(QMetaObject::invokeMethod(pane, "fHeight", Qt::DirectConnection, Q_RETURN_ARG(float, h),
                                              Q_ARG(int, box), Q_ARG(float, x), Q_ARG(float, z),
                                              Q_ARG(DzVec3*, nullptr), Q_ARG(int*, nullptr), Q_ARG(int*, nullptr)));
        return h;
    };
    EXPECT_NEAR(height(land, 0.5f, 0.2f), 10.5f, 1e-4);
    EXPECT_NEAR(height(land, -0.7f, -0.6f), 9.3f, 1e-4);
    EXPECT_EQ(height(land, 5.f, 0.f), kHeightMiss);
    EXPECT_EQ(height(0, 0.5f, 0.2f), 0.f);  // a grass box has no terrain

    bool opened = false;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "ObjectMapping_Open", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, opened)));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(a.mapping().exists());
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "ObjectMapping_Close", Qt::DirectConnection));
    EXPECT_FALSE(a.mapping().exists());

    a.boxes().clear();
    dzScene->clear();
}
