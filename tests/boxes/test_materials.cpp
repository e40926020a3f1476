// The texture combos as a user works them: the focused box's material takes the image, its
// companion maps and the sheet's grid; records and host scenes bring all of it back.
#include "boxfixture.h"
#include <QPixmap>
#include <dzmaterial.h>
#include <dzshape.h>
#include "materials/materialcore.h"

namespace {

class Materials : public BoxTest
{
protected:
    DzProperty* property(int i, const char* mat, const char* prop)
    {
        DzNode* n = nodeOf(i);
        auto* m = n ? qobject_cast<DzDefaultMaterial*>(n->getObject()->getShape(0)->findMaterial(mat)) : nullptr;
        return m ? m->findProperty(prop) : nullptr;
    }
    double number(int i, const char* mat, const char* prop)
    {
        auto* p = qobject_cast<DzNumericProperty*>(property(i, mat, prop));
        return p ? p->getDoubleValue() : -99.0;
    }
    // The maps on these properties of a box's material, each as a path under the texture root
    // ("" for none).
    QStringList maps(int i, const char* mat, std::initializer_list<const char*> props)
    {
        QStringList out;
        for (const char* name : props) {
            DzProperty* p = property(i, mat, name);
            DzTexture* t = nullptr;
            if (auto* num = qobject_cast<DzNumericProperty*>(p)) t = num->getMapValue();
            else if (auto* img = qobject_cast<DzImageProperty*>(p)) t = img->getValue();
            else out << QString("no property ") + name;
            if (p) out << (t ? QDir(VerdixAssets::textureRoot()).relativeFilePath(t->getFilename()) : "");
        }
        return out;
    }
    void images(const QString& folder, std::initializer_list<const char*> names)
    {
        for (const char* n : names) image(folder + "/" + n);
    }
    // The boxes, in a shown pane.
    void boxes(std::initializer_list<int> types)
    {
        for (int t : types) addBox(t);
        showPane();
    }
    // Picks an item as the user does: the combo has focus while its selection changes.
    void choose(int i, char letter, const QString& text)
    {
        QComboBox* c = box(i).combo(letter);
        ASSERT_NE(c, nullptr);
        c->setFocus();
        QApplication::processEvents();
        const int k = c->findText(text);
        ASSERT_GE(k, 0) << qPrintable(text);
        c->setCurrentIndex(k);
    }
};

const char* const kColour = "Diffuse Color";
const char* const kOpacity = "Opacity Strength";

}  // namespace

TEST_F(Materials, OnlyTheFocusedGrassBoxTakesTheTextureAndThePlaceholderClearsOnlyItsMap)
{
    images("Verdix_Texture_Grass", {"Blades.png", "Blades_O.png", "Tall.png"});
    boxes({TypeGrass, TypeGrass});
    EXPECT_EQ(box(0).combo('C')->count(), 3) << "placeholder and the two textures, no companion";

    choose(1, 'C', "Blades.png");
    EXPECT_EQ(maps(1, "Grass", {kColour, kOpacity}),
              QStringList({"Verdix_Texture_Grass/Blades.png", "Verdix_Texture_Grass/Blades_O.png"}));
    EXPECT_EQ(maps(0, "Grass", {kColour, kOpacity}), QStringList({"", ""}));
    EXPECT_EQ(a->preview()->pixmap(Qt::ReturnByValue).size(), QSize(4, 4)) << "the texture is previewed";

    // The placeholder clears the focused box's texture; companions of the earlier texture stay,
    // and the other box keeps its own.
    choose(0, 'C', "Tall.png");
    choose(1, 'C', "Grass Textures");
    EXPECT_EQ(maps(1, "Grass", {kColour, kOpacity}), QStringList({"", "Verdix_Texture_Grass/Blades_O.png"}));
    EXPECT_EQ(maps(0, "Grass", {kColour}), QStringList({"Verdix_Texture_Grass/Tall.png"}));
}

TEST_F(Materials, SheetNamesSetTheGridAndTheAnimationRange)
{
    images("Verdix_Texture_Billboard", {"Bugs_8X4.png", "Birds_12X3.png", "Single.png"});
    image("Verdix_Texture_Tree_Leaf/Leaf_12X_X2.png");
    boxes({TypeBillboard, TypeTree});
    slider(0, "Animate Start RND")->setValue(7);
    const struct
    {
        const char* sheet;
        int x, z, end;
    } sheets[] = {{"Bugs_8X4.png", 8, 4, 32}, {"Birds_12X3.png", 12, 3, 36}, {"Single.png", 1, 1, 1}};
    for (const auto& s : sheets) {
        choose(0, 'C', s.sheet);
        const int got[] = {slider(0, "Map X")->getValue(), slider(0, "Map Z")->getValue(),
                           slider(0, "Animate Start RND")->getValue(), slider(0, "Animate End")->getValue()};
        EXPECT_EQ(std::vector<int>(got, got + 4), std::vector<int>({s.x, s.z, 0, s.end})) << s.sheet;
        EXPECT_EQ(maps(0, "Billboard", {kColour}), QStringList(QString("Verdix_Texture_Billboard/") + s.sheet));
    }
    // The tree's leaf grid goes to its own sliders, whose range ends at 8: 12 is clamped, not read as 2.
    choose(1, 'C', "Leaf_12X_X2.png");
    EXPECT_EQ(slider(1, "Leaf Maps X")->getValue(), 8);
    EXPECT_EQ(slider(1, "Leaf Maps Y")->getValue(), 2);
    EXPECT_EQ(maps(1, "Leaf", {kColour}), QStringList("Verdix_Texture_Tree_Leaf/Leaf_12X_X2.png"));
    EXPECT_EQ(maps(1, "Stem", {kColour}), QStringList(""));
}

TEST_F(Materials, LandscapeBlendTouchesNoSliderAndTakesNoCompanion)
{
    images("Verdix_Texture_Landscape", {"Soil.png", "Soil_N.png"});
    images("Verdix_Texture_Landscape_Alpha", {"Mask_4X2.png", "Mask_4X2_N.png", "Mask_4X2_B.png"});
    boxes({TypeLandscape});
    const auto values = [&] {
        std::vector<int> v;
        for (DzIntSlider* s : box(0).sliders) v.push_back(s->getValue());
        return v;
    };
    const std::vector<int> before = values();
    const std::initializer_list<const char*> props = {kOpacity, kColour, "Normal Map"};

    choose(0, 'H', "Mask_4X2.png");
    EXPECT_EQ(maps(0, "Landscape", props), QStringList({"Verdix_Texture_Landscape_Alpha/Mask_4X2.png", "", ""}));
    EXPECT_EQ(number(0, "Landscape", "Bump Strength"), 0.0);
    EXPECT_EQ(values(), before);
    choose(0, 'G', "Soil.png");
    EXPECT_EQ(maps(0, "Landscape", props),
              QStringList({"Verdix_Texture_Landscape_Alpha/Mask_4X2.png", "Verdix_Texture_Landscape/Soil.png",
                           "Verdix_Texture_Landscape/Soil_N.png"}));
    // The blend placeholder clears the opacity map alone.
    choose(0, 'H', "Landscape Blend None");
    EXPECT_EQ(maps(0, "Landscape", {kOpacity, kColour}), QStringList({"", "Verdix_Texture_Landscape/Soil.png"}));
}

TEST_F(Materials, CompanionsGoOnTheirPropertiesWithTheirValues)
{
    images("Verdix_Texture_Stones",
           {"Rock.png", "Rock_O.png", "Rock_B.png", "Rock_N.png", "Rock_S.png", "Rock_D.png", "Plain.png"});
    boxes({TypeStones});
    qobject_cast<DzNumericProperty*>(property(0, "Stones", "Specular Strength"))->setDoubleValue(0.2);
    choose(0, 'D', "Rock.png");
    const struct
    {
        const char* prop;
        const char* file;
        double value;
    } want[] = {
        {kOpacity, "Rock_O.png", 1.0},
        {"Bump Strength", "Rock_B.png", 1.0},
        {"Normal Map", "Rock_N.png", -1},
        {"Specular Strength", "Rock_S.png", 1.0},
        {"Displacement Strength", "Rock_D.png", 2.0},
    };
    for (const auto& w : want) {
        EXPECT_EQ(maps(0, "Stones", {w.prop}), QStringList(QString("Verdix_Texture_Stones/") + w.file));
        if (w.value >= 0) {
            EXPECT_EQ(number(0, "Stones", w.prop), w.value) << w.prop;
        }
    }
    EXPECT_EQ(maps(0, "Grass", {kColour}), QStringList("")) << "the stones' grass is another material";
    // A texture without companions leaves the earlier ones in place.
    choose(0, 'D', "Plain.png");
    EXPECT_EQ(maps(0, "Stones", {kColour, "Bump Strength"}),
              QStringList({"Verdix_Texture_Stones/Plain.png", "Verdix_Texture_Stones/Rock_B.png"}));
}

TEST_F(Materials, ReopenedDocumentAndHostSceneBringEveryMapBack)
{
    const QStringList rels = {"Verdix_Texture_Landscape/Soil.png", "Verdix_Texture_Landscape/Soil_N.png",
                              "Verdix_Texture_Grass/Blades.png", "Verdix_Texture_Grass/Blades_O.png"};
    for (const QString& rel : rels) image(rel);
    boxes({TypeLandscape, TypeGrass});
    choose(0, 'G', "Soil.png");
    choose(1, 'C', "Blades.png");
    pane->setFocus();
    const QString doc = pane->setDocumentText();
    ASSERT_TRUE(doc.contains("Path,Opacity Strength," + root.filePath(rels[3])));
    const auto allMaps = [&] {
        return maps(0, "Landscape", {kColour, "Normal Map"}) + maps(1, "Grass", {kColour, kOpacity});
    };

    // The library moves (another machine, another build): the document finds it again.
    QTemporaryDir moved;
    for (const QString& rel : rels) {
        QDir().mkpath(QFileInfo(moved.filePath(rel)).path());
        ASSERT_TRUE(QFile::rename(root.filePath(rel), moved.filePath(rel)));
    }
    VerdixAssets::setTextureRoot(moved.path());
    QFile f(moved.filePath("set.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(doc.toUtf8()) > 0);
    f.close();
    reset();
    ASSERT_TRUE(pane->openSetDocument(f.fileName()));
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(allMaps(), rels);
    EXPECT_EQ(box(1).combo('C')->currentText(), "Blades.png") << "the combo shows the texture in use";
    EXPECT_EQ(box(0).combo('G')->currentText(), "Soil.png");

    // A host scene keeps every map, in the scene file and in the pane's own records.
    QString error;
    ASSERT_TRUE(dzScene->saveScene(moved.filePath("a.duf"), &error)) << qPrintable(error);
    dzScene->clear();
    ASSERT_TRUE(dzScene->loadScene(moved.filePath("a.duf"), &error)) << qPrintable(error);
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(allMaps(), rels);
}

// The pane's tests above read the common tags and companions; here the names they do not use.
TEST(MaterialNames, GridTagsCompanionNamesAndMovedPaths)
{
    EXPECT_EQ(verdix::readGridTags("Mix_40X_X10.png").columns, 40);
    EXPECT_EQ(verdix::readGridTags("Mix_40X_X10.png").rows, 10);
    EXPECT_EQ(verdix::readGridTags("lower_4x_x2.png").columns, 1) << "tags are upper case";
    EXPECT_EQ(verdix::readGridTags("lower_4x_x2.png").rows, 1);
    EXPECT_EQ(verdix::companionFileName("a.b.tif", "_N."), "a.b_N.tif");

    // A path from another machine is found again under this library's folder of the same name.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir().mkpath(dir.filePath("Verdix_Texture_Grass")));
    QFile f(dir.filePath("Verdix_Texture_Grass/G.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString here = QFileInfo(f).absoluteFilePath();
    using verdix::resolveTexturePath;
    EXPECT_EQ(resolveTexturePath(here, "/elsewhere"), here);
    EXPECT_EQ(QFileInfo(resolveTexturePath("C:\\Lib\\Verdix_Texture_Grass\\G.png", dir.path())).absoluteFilePath(),
              here);
    EXPECT_EQ(resolveTexturePath("None", dir.path()), "None");
    EXPECT_EQ(resolveTexturePath("/old/Verdix_Texture_Grass/Gone.png", dir.path()),
              "/old/Verdix_Texture_Grass/Gone.png");
}
