#include <gtest/gtest.h>

#include "pane/slidersets.h"
#include "persistence/boxrecord.h"

using namespace verdix;

TEST(SetDocument, JoinedBoxesSplitBackInOrder)
{
    const QString grass = writeRecord(defaultSnapshot(TypeGrass, setRecordHeader(TypeGrass)));
    EXPECT_EQ(joinSetDocument({grass}, {0}), "VerdixV1.0,6,2018\n" + grass + "\nOnLandScapeList,0,;\n;");
    EXPECT_EQ(joinSetDocument({}, {}), "VerdixV1.0,6,2018\n;");

    QStringList records;
    QVector<int> types{TypeLandscape, TypeRock, TypeTree, TypeGrass, TypeFlower, TypeStones, TypeBillboard};
    QVector<int> list;
    for (int t : types) {
        if (!setRecordHeader(t).isEmpty()) records << writeRecord(defaultSnapshot(t, setRecordHeader(t)));
        list << 0;
    }
    list[3] = 2;
    const SetDocument doc = splitSetDocument(joinSetDocument(records, list));
    ASSERT_FALSE(doc.empty);
    EXPECT_EQ(doc.boxLines(), 6);
    ASSERT_EQ(doc.lines.size(), 8);
    EXPECT_EQ(doc.lines[0].kind, SetDocumentLine::Header);
    QVector<int> seen;
    for (const SetDocumentLine& l : doc.lines)
        if (l.kind == SetDocumentLine::Box) seen << l.type;
    EXPECT_EQ(seen, (QVector<int>{TypeLandscape, TypeTree, TypeGrass, TypeFlower, TypeStones, TypeBillboard}));
    EXPECT_EQ(doc.boxTypes(), seen);
    EXPECT_EQ(doc.lines[2].text, records[1]);
    EXPECT_EQ(doc.lines.last().kind, SetDocumentLine::LandscapeList);
    EXPECT_TRUE(doc.hasLandscapeList);
    EXPECT_EQ(doc.landscapeList, list);

    // Each box line reads back into its type.
    for (const SetDocumentLine& l : doc.lines) {
        if (l.kind != SetDocumentLine::Box) continue;
        ReadTarget t;
        t.type = l.type;
        t.header = setRecordHeader(l.type);
        const TypeLayout& lay = layoutFor(l.type);
        for (int c : lay.recordCombos) t.comboItems.append({QLatin1String(lay.combos[c].placeholder)});
        EXPECT_EQ(readRecord(l.text, t).status, ReadStatus::Complete) << l.type;
    }
    // Stored files name their boxes by these words, matched exactly; rocks have no record.
    EXPECT_EQ(setRecordHeader(TypeLandscape), "LandscapeV1.0");
    EXPECT_EQ(setRecordHeader(TypeStones), "StonesV1.0");
    EXPECT_TRUE(setRecordHeader(TypeRock).isEmpty());
    EXPECT_EQ(typeForSetRecordHeader("BillboardV1.0"), TypeBillboard);
    EXPECT_EQ(typeForSetRecordHeader("FlowerV1"), 0);
    EXPECT_EQ(typeForSetRecordHeader("treeV1.0"), 0);
}

TEST(SetDocument, StopsAtEmptyLinesAndReportsUnknownModels)
{
    EXPECT_TRUE(splitSetDocument("VerdixV1").empty);
    EXPECT_TRUE(splitSetDocument("").lines.isEmpty());

    SetDocument doc = splitSetDocument("VerdixV1.0,6,2018\n\nGrassV1.0,1,;,Materials,;\n;");
    EXPECT_FALSE(doc.empty);
    EXPECT_EQ(doc.lines.size(), 1);
    EXPECT_EQ(doc.boxLines(), 0);

    doc = splitSetDocument("VerdixV1.0,6,2018\nTreeV1,1,2,;,Materials,;\nGrassV1.0,1,;,Materials,;\n;,x\nGrassV1.0,2,\n");
    ASSERT_EQ(doc.lines.size(), 3);
    EXPECT_EQ(doc.lines[1].kind, SetDocumentLine::Unknown);
    EXPECT_EQ(doc.lines[1].firstField, "TreeV1");
    EXPECT_EQ(doc.lines[2].kind, SetDocumentLine::Box);

    // Carriage returns from files edited elsewhere do not reach the records.
    doc = splitSetDocument("VerdixV1.0,6,2018\r\nGrassV1.0,1,;,Materials,;\r\nOnLandScapeList,4,;\r\n;");
    ASSERT_EQ(doc.lines.size(), 3);
    EXPECT_EQ(doc.lines[1].text, "GrassV1.0,1,;,Materials,;");
    EXPECT_EQ(doc.landscapeList, QVector<int>{4});
}

TEST(SetDocument, LandscapeListEntriesOnMerge)
{
    EXPECT_EQ(parseLandscapeList({"OnLandScapeList", "0", "1", "x", ";", "7"}), (QVector<int>{0, 1, 0}));
    EXPECT_EQ(parseLandscapeList({"OnLandScapeList"}), QVector<int>{});
    QStringList many{"OnLandScapeList"};
    for (int i = 0; i < 500; ++i) many << "1";
    EXPECT_EQ(parseLandscapeList(many).size(), kMaxBoxes);

    // A two-box document merged after three boxes (target landscape 1): entries move up
    // by three, except a 0 on a landscape, which takes the target.
    const int base = 3, target = 1, count = 5;
    EXPECT_EQ(resolveLandscapeEntry(0, true, base, target, count), 1);
    EXPECT_EQ(resolveLandscapeEntry(0, false, base, target, count), 3);
    EXPECT_EQ(resolveLandscapeEntry(1, false, base, target, count), 4);
    // Entries naming no box of the pane fall back to the target.
    EXPECT_EQ(resolveLandscapeEntry(2, false, base, target, count), 1);
    EXPECT_EQ(resolveLandscapeEntry(-4, false, base, target, count), 1);
    EXPECT_EQ(resolveLandscapeEntry(0, true, 0, 0, 1), 0);
}
