#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QString>

#include "recordtestsupport.h"

using namespace verdix;

namespace {

QStringList recordNames(int type, bool inRecordOrder = true)
{
    const TypeLayout& l = layoutFor(type);
    QStringList out;
    for (int p = 0; p < l.recordSliderCount(); ++p)
        out << QLatin1String(l.sliders[inRecordOrder ? l.sliderAtRecordPosition(p) : p].name);
    return out;
}

const int kAllTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

}  // namespace

TEST(SliderSets, RepeatedTreeNamesAreToldApartByOccurrenceAndSection)
{
    EXPECT_EQ(sliderIndex(TypeTree, "Chaos"), 11);
    EXPECT_EQ(sliderIndex(TypeTree, "Chaos", 1), 23);
    EXPECT_EQ(sliderIndex(TypeTree, "Chaos", 2), -1);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "BRANCH SETTINGS", "Chaos"), 23);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "BRANCH SETTINGS", "START3"), 30);
    EXPECT_EQ(sliderIndexInSection(TypeTree, "TWIG SETTINGS", "START3"), 75);
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
    // Every default the slider is given lies inside its range.
    for (int t : kAllTypes)
        for (const SliderDef& s : layoutFor(t).sliders) {
            EXPECT_TRUE(s.min <= s.def && s.def <= s.max) << s.name;
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
    EXPECT_EQ(recordNames(TypeGrass), recordNames(TypeGrass, false));

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
}

// Companion maps (a capital marker before the suffix) are offered only where maps are.
TEST(SliderSets, ComboFileListsOfferCompanionsOnlyAsMaps)
{
    QTemporaryDir dir;
    for (const char* name : {"b.png", "a.jpg", "bark_B.png", "bark_N.tif", "bark_b.png", "Y_Bush.png",
                             "leaf_4X_X2_O.png", "notes.txt", "map.dat", "c.bmp", "d.gif"}) {
        ASSERT_TRUE(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    }
    QDir(dir.path()).mkdir("sub.png");
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Textures),
              (QStringList{"Y_Bush.png", "a.jpg", "b.png", "bark_b.png", "c.bmp"}));
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Maps),
              (QStringList{"Y_Bush.png", "a.jpg", "b.png", "bark_B.png", "bark_N.tif", "bark_b.png", "c.bmp",
                           "leaf_4X_X2_O.png"}));
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Dat), QStringList{"map.dat"});
    EXPECT_EQ(listComboFiles(dir.path(), FileFilter::Presets), QStringList{"notes.txt"});
    EXPECT_TRUE(listComboFiles(dir.path(), FileFilter::None).isEmpty());
    EXPECT_TRUE(listComboFiles(dir.filePath("missing"), FileFilter::Textures).isEmpty());
}
