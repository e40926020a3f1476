#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QString>

#include "pane/slidersets.h"

using namespace verdix;

namespace {

QString name(int type, int i) { return QLatin1String(layoutFor(type).sliders[i].name); }

QString letters(int type)
{
    QString out;
    for (const ComboDef& c : layoutFor(type).combos) out += QLatin1Char(c.letter);
    return out;
}

QStringList recordNames(int type)
{
    const TypeLayout& l = layoutFor(type);
    QStringList out;
    for (int p = 0; p < l.recordSliderCount(); ++p) out << name(type, l.sliderAtRecordPosition(p));
    return out;
}

const int kAllTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
const int kRecorded[] = {TypeLandscape, TypeGrass, TypeTree, TypeFlower, TypeStones, TypeBillboard};

} // namespace

TEST(SliderSets, CountsOfSlidersSectionsAndCombosPerType)
{
    struct Expect { int type, sliders, sections, combos; };
    const Expect expect[] = {
        {TypeLandscape, 15, 3, 8}, {TypeRock, 4, 0, 4},   {TypeGrass, 23, 1, 1},   {TypeTree, 85, 6, 6},
        {TypeFlower, 65, 6, 6},    {TypeBillboard, 23, 3, 1}, {TypeStones, 34, 3, 2},
    };
    for (const Expect& e : expect) {
        const TypeLayout& l = layoutFor(e.type);
        EXPECT_EQ(l.type, e.type);
        EXPECT_EQ(l.sliders.size(), e.sliders) << l.name;
        EXPECT_EQ(l.sections.size(), e.sections) << l.name;
        EXPECT_EQ(l.combos.size(), e.combos) << l.name;
    }
    for (int t : {4, 6, 7, 9, 10, 11}) {
        const TypeLayout& l = layoutFor(t);
        EXPECT_EQ(l.type, t);
        EXPECT_TRUE(l.sliders.isEmpty() && l.combos.isEmpty() && l.sections.isEmpty() && l.buttons.isEmpty());
        EXPECT_FALSE(l.showHide);
        EXPECT_FALSE(l.hasRecord());
        EXPECT_EQ(l.sliderSetup, nullptr);
    }
    EXPECT_FALSE(layoutFor(2).showHide);
    EXPECT_FALSE(layoutFor(2).hasRecord());
    EXPECT_TRUE(layoutFor(0).sliders.isEmpty());
    EXPECT_TRUE(layoutFor(14).sliders.isEmpty());
    EXPECT_TRUE(layoutFor(-3).combos.isEmpty());
}

TEST(SliderSets, SpotChecksOfNamesRangesDefaults)
{
    EXPECT_EQ(name(TypeTree, 83), "X");
    EXPECT_EQ(name(TypeTree, 84), "Z");
    const SliderDef& amount = layoutFor(TypeGrass).sliders[0];
    EXPECT_STREQ(amount.name, "Amount");
    EXPECT_EQ(amount.min, 1);
    EXPECT_EQ(amount.max, 200000);
    EXPECT_EQ(amount.def, 1000);
    const SliderDef& bending = layoutFor(TypeTree).sliders[sliderIndex(TypeTree, "Bending Hi")];
    EXPECT_EQ(bending.min, -200);
    EXPECT_EQ(bending.max, 200);
    EXPECT_EQ(bending.def, 10);
    const SliderDef& ashape = layoutFor(TypeFlower).sliders[sliderIndex(TypeFlower, "A Shape")];
    EXPECT_EQ(ashape.def, 1);
    EXPECT_TRUE(ashape.percent);
    EXPECT_STREQ(layoutFor(TypeLandscape).sliders[sliderIndex(TypeLandscape, "DeNoise")].tooltip,
                 "De noise the mesh");
    EXPECT_STREQ(layoutFor(TypeLandscape).sliders[sliderIndex(TypeLandscape, "Smooth")].tooltip,
                 "Smooth out the mesh");

    // Every default the slider is given lies inside its range.
    for (int t : kAllTypes)
        for (const SliderDef& s : layoutFor(t).sliders) {
            EXPECT_LE(s.min, s.def) << s.name;
            EXPECT_LE(s.def, s.max) << s.name;
        }
}

TEST(SliderSets, PercentSlidersPerType)
{
    auto percentNames = [](int type) {
        QStringList out;
        for (const SliderDef& s : layoutFor(type).sliders)
            if (s.percent) out << QLatin1String(s.name);
        return out;
    };
    EXPECT_EQ(percentNames(TypeLandscape), (QStringList{"Land", "River", "Hill", "Flat", "Path", "User", "Smooth",
                                                        "DeNoise", "Rest", "Rest Y Offset", "Size Y"}));
    EXPECT_EQ(percentNames(TypeStones) + percentNames(TypeFlower) + percentNames(TypeBillboard),
              (QStringList{"A Shape", "A Shape", "Shape"}));
    EXPECT_EQ(percentNames(TypeRock).size(), 4);
    EXPECT_TRUE(percentNames(TypeTree).isEmpty());
}

TEST(SliderSets, RepeatedTreeNamesAreToldApartByOccurrenceAndSection)
{
    EXPECT_EQ(sliderIndex(TypeTree, "Chaos"), 11);
    EXPECT_EQ(sliderIndex(TypeTree, "Chaos", 1), 23);
    EXPECT_EQ(sliderIndex(TypeTree, "Chaos", 2), -1);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "TRUNK SETTINGS", "Chaos"), 11);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "BRANCH SETTINGS", "Chaos"), 23);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "BRANCH SETTINGS", "START3"), 30);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "TWIG SETTINGS", "START3"), 75);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "LEAF SETTINGS", "Floor LOD"), 45);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "FRUIT SETTINGS", "Floor LOD"), 55);
    EXPECT_EQ(sliderIndex(TypeTree, "Standoff Ground", 1), 58);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "", "Seed"), 0);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "WIND SETTINGS", "Seed"), -1);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "NO SUCH", "Chaos"), -1);
    EXPECT_EQ(sliderIndex(TypeRock, "Shape", 3), 3);
    EXPECT_EQ(sliderIndex(TypeGrass, "shape"), -1);  // case-sensitive
    EXPECT_EQ(sliderIndex(99, "Shape"), -1);
}

TEST(SliderSets, RecordOrderCoversEverySliderOnce)
{
    for (int t : kRecorded) {
        const TypeLayout& l = layoutFor(t);
        EXPECT_EQ(l.recordSliderCount(), l.sliders.size()) << l.name;
        QSet<int> seen;
        for (int slot : l.recordOrder) {
            if (slot < 0) continue;
            EXPECT_TRUE(slot < l.sliders.size());
            EXPECT_FALSE(seen.contains(slot)) << l.name << " slot " << slot;
            seen.insert(slot);
        }
        for (int i = 0; i < l.sliders.size(); ++i) {
            EXPECT_EQ(l.sliderAtRecordPosition(l.recordPosition(i)), i);
            EXPECT_GE(l.poolSlot(i), 0);
        }
    }
}

TEST(SliderSets, RecordOrdersThatDifferFromCreation)
{
    QStringList land = recordNames(TypeLandscape);
    EXPECT_EQ(land.mid(6, 9), (QStringList{"Smooth", "DeNoise", "Size XZ", "DIVISIONS", "TILES", "Size Y", "Rest",
                                           "Rest Y Offset", "Rest Blend"}));
    QStringList flower = recordNames(TypeFlower);
    EXPECT_EQ(flower.mid(0, 3), (QStringList{"X", "Z", "Seed"}));
    EXPECT_EQ(flower.mid(13, 3), (QStringList{"Wind Stem", "Wind Leaf", "Wind Petal"}));
    EXPECT_EQ(flower.last(), "Petal Taper");
    EXPECT_EQ(recordNames(TypeGrass), [] {
        QStringList all;
        for (const SliderDef& s : layoutFor(TypeGrass).sliders) all << QLatin1String(s.name);
        return all;
    }());

    const TypeLayout& tree = layoutFor(TypeTree);
    ASSERT_EQ(tree.recordOrder.size(), 86);
    EXPECT_EQ(tree.recordOrder[45], -1);
    QStringList t = recordNames(TypeTree);
    EXPECT_EQ(t.first(), "Trunk Sides");
    EXPECT_EQ(t[44], "Seed");
    EXPECT_EQ(t[45], "Twig Length A");
    EXPECT_EQ(t.mid(81), (QStringList{"X", "Z", "Trunk Height", "Up Down"}));
    // The two "START3" sliders: branch first, twig later.
    EXPECT_EQ(tree.recordPosition(30), 38);
    EXPECT_EQ(tree.recordPosition(75), 59);
    // The unused tree slot is the flower's "Petal Curl RND" field: tree fields start after
    // the header and the shape combo, flower fields after the header alone.
    const int flowerCurl = layoutFor(TypeFlower).recordPosition(sliderIndex(TypeFlower, "Petal Curl RND"));
    EXPECT_EQ(2 + 45, 1 + flowerCurl);
    // Shared pool: the first table holds the landscape "Land", the grass "Amount" and
    // the tree "Trunk Sides".
    EXPECT_EQ(layoutFor(TypeLandscape).poolSlot(sliderIndex(TypeLandscape, "Land")), 0);
    EXPECT_EQ(layoutFor(TypeGrass).poolSlot(sliderIndex(TypeGrass, "Amount")), 0);
    EXPECT_EQ(tree.poolSlot(sliderIndex(TypeTree, "Trunk Sides")), 0);
    EXPECT_EQ(tree.poolSlot(sliderIndex(TypeTree, "Up Down")), 85);
}

TEST(SliderSets, ComboLettersAndTextureSlots)
{
    EXPECT_EQ(letters(TypeLandscape), "ABCDEFGH");
    EXPECT_EQ(letters(TypeTree), "ABFECD");  // presets, shape, trunk, bark, leaf, fruit
    EXPECT_EQ(letters(TypeFlower), "ABCDEF");
    EXPECT_EQ(letters(TypeGrass), "C");
    EXPECT_EQ(letters(TypeStones), "CD");
    EXPECT_EQ(letters(TypeBillboard), "C");

    struct Slot { int type; char letter; const char* slot; const char* folder; };
    const Slot expected[] = {
        {1, 'G', "LoadTexureLandscape(int)", "Verdix_Texture_Landscape"},
        {1, 'H', "LoadTexureLandscapeBlend(int)", "Verdix_Texture_Landscape_Alpha"},
        {3, 'C', "LoadTexureGrass(int)", "Verdix_Texture_Grass"},
        {13, 'D', "LoadTexureStones(int)", "Verdix_Texture_Stones"},
        {13, 'C', "LoadTexureStonesGrass(int)", "Verdix_Texture_Grass"},
        {5, 'C', "LoadTexureTreeLeaf(int)", "Verdix_Texture_Tree_Leaf"},
        {5, 'D', "LoadTexureTreeFruit(int)", "Verdix_Texture_Tree_Fruit"},
        {5, 'E', "LoadTexureTreeBark(int)", "Verdix_Texture_Tree_Bark"},
        {5, 'F', "LoadTexureTreeTrunk(int)", "Verdix_Texture_Tree_Bark"},
        {8, 'B', "LoadTexureFlowerStem(int)", "Verdix_Texture_Flower_Stem"},
        {8, 'C', "LoadTexureFlowerLeaf(int)", "Verdix_Texture_Flower_Leaf"},
        {8, 'D', "LoadTexureFlowerPetalIn(int)", "Verdix_Texture_Flower_Petal"},
        {8, 'E', "LoadTexureFlowerPetalOut(int)", "Verdix_Texture_Flower_Petal"},
        {8, 'F', "LoadTexureFlowerPistil(int)", "Verdix_Texture_Flower_Pistil"},
        {12, 'C', "LoadTexureBillboard(int)", "Verdix_Texture_Billboard"},
    };
    int textures = 0;
    for (int t : kAllTypes)
        for (const ComboDef& c : layoutFor(t).combos) textures += c.isTexture() ? 1 : 0;
    EXPECT_EQ(textures, int(sizeof expected / sizeof expected[0]));
    for (const Slot& s : expected) {
        const TypeLayout& l = layoutFor(s.type);
        const int c = l.comboForLetter(s.letter);
        ASSERT_GE(c, 0) << s.slot;
        EXPECT_STREQ(l.combos[c].slot, s.slot);
        EXPECT_STREQ(l.combos[c].folderKey, s.folder);
        EXPECT_TRUE(l.combos[c].isTexture()) << s.slot;
        EXPECT_EQ(l.combos[c].table(), s.letter - 'A');
    }
    const TypeLayout& tree = layoutFor(TypeTree);
    EXPECT_STREQ(tree.combos[tree.recordCombos[0]].placeholder, "Shapes");
    EXPECT_EQ(tree.combos[tree.comboForLetter('A')].filter, FileFilter::Presets);
    EXPECT_EQ(layoutFor(TypeLandscape).combos[5].filter, FileFilter::Dat);
    EXPECT_TRUE(layoutFor(TypeLandscape).combos[5].editable);
    int editable = 0;
    for (int t : kAllTypes)
        for (const ComboDef& c : layoutFor(t).combos) editable += c.editable ? 1 : 0;
    EXPECT_EQ(editable, 1);

}

TEST(SliderSets, FocusExceptionsOfTheSliderRouting)
{
    auto unscannedNames = [](int type) {
        QStringList out;
        for (const SliderDef& s : layoutFor(type).sliders)
            if (!s.focusScanned) out << QLatin1String(s.name);
        return out;
    };
    EXPECT_EQ(unscannedNames(TypeGrass), QStringList{"Wind"});
    EXPECT_TRUE(unscannedNames(TypeStones).isEmpty());
    EXPECT_EQ(unscannedNames(TypeTree), (QStringList{"Wind On Stem", "Wind On Branch", "Wind On Twigs",
                                                     "Wind On Leaves", "Wind On Fruit"}));
    EXPECT_EQ(unscannedNames(TypeFlower), (QStringList{"Pistil outer Map X", "Pistil outer Map Y"}));
    EXPECT_EQ(unscannedNames(TypeBillboard), QStringList{"Animate Off On"});
    EXPECT_EQ(unscannedNames(TypeLandscape), (QStringList{"User", "Rest", "Rest Y Offset", "Rest Blend"}));
    EXPECT_EQ(unscannedNames(TypeRock).size(), 4);

}

TEST(SliderSets, NoTwoWidgetsShareAGridCell)
{
    for (int t : kAllTypes) {
        const TypeLayout& l = layoutFor(t);
        QSet<QString> cells;
        auto claim = [&](const GridPlace& p, const char* what) {
            EXPECT_LT(p.section, l.sections.size()) << what;
            const QString key = QString("%1/%2/%3").arg(p.section).arg(p.row).arg(p.col);
            EXPECT_FALSE(cells.contains(key)) << l.name << ": " << what << " at " << qPrintable(key);
            cells.insert(key);
        };
        for (const SliderDef& s : l.sliders) claim(s.place, s.name);
        for (const ComboDef& c : l.combos) claim(c.place, c.placeholder);
        for (const ButtonDef& b : l.buttons) claim(b.place, b.tooltip);
    }
    // Header rows hold the seed and the position sliders.
    for (int t : {TypeGrass, TypeStones, TypeBillboard}) {
        EXPECT_TRUE(layoutFor(t).headerGroup);
        EXPECT_EQ(sliderIndexInSection(t, "", "Move Z"), sliderIndex(t, "Move Z"));
    }
    EXPECT_EQ(sliderIndexInSection(TypeFlower, "", "Z"), 2);
}

TEST(SliderSets, PositionSliders)
{
    auto positions = [](int type) {
        QStringList out;
        for (const SliderDef& s : layoutFor(type).sliders)
            if (s.position) out << QLatin1String(s.name);
        return out;
    };
    EXPECT_EQ(positions(TypeTree), (QStringList{"X", "Z"}));
    EXPECT_EQ(positions(TypeFlower), (QStringList{"X", "Z"}));
    EXPECT_EQ(positions(TypeStones), (QStringList{"Move X", "Move Z"}));
    EXPECT_TRUE(positions(TypeLandscape).isEmpty());

}

TEST(SliderSets, CompanionMaps)
{
    EXPECT_TRUE(isCompanionMap("bark_B.png"));
    EXPECT_TRUE(isCompanionMap("leaf_4X_X2_O.tif"));
    EXPECT_FALSE(isCompanionMap("bark.png"));
    EXPECT_FALSE(isCompanionMap("bark_b.png"));
    EXPECT_FALSE(isCompanionMap("A_Bush.png"));
}

TEST(SliderSets, ComboFileLists)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"b.png", "a.jpg", "bark_B.png", "bark_N.tif", "notes.txt", "map.dat", "c.bmp", "d.gif"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir(dir.path()).mkdir("sub.png");
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Textures), (QStringList{"a.jpg", "b.png", "c.bmp"}));
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Maps),
              (QStringList{"a.jpg", "b.png", "bark_B.png", "bark_N.tif", "c.bmp"}));
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Dat), QStringList{"map.dat"});
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Presets), QStringList{"notes.txt"});
    EXPECT_TRUE(listComboFiles(dir.path(), FileFilter::None).isEmpty());
    EXPECT_TRUE(listComboFiles(dir.filePath("missing"), FileFilter::Textures).isEmpty());
}
