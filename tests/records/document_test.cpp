#include <gtest/gtest.h>

#include "recordtestsupport.h"

using namespace verdix;

TEST(SetDocument, JoinedBoxesSplitBackInOrder)
{
    const QString grass = writeRecord(defaultSnapshot(TypeGrass, setRecordHeader(TypeGrass)));
    EXPECT_EQ(joinSetDocument({grass}, {0}), "VerdixV1.0,6,2018\n" + grass + "\nOnLandScapeList,0,;\n;");
    EXPECT_EQ(joinSetDocument({}, {}), "VerdixV1.0,6,2018\n;");

    // Every type in one document splits back in order; rocks have no record, and the list
    // stays as written. Opening and saving such documents is checked in the pane.
    QStringList records;
    const QVector<int> types{TypeLandscape, TypeRock, TypeTree, TypeGrass, TypeFlower, TypeStones, TypeBillboard};
    for (int t : types)
        if (!setRecordHeader(t).isEmpty()) records << writeRecord(defaultSnapshot(t, setRecordHeader(t)));
    const QVector<int> list{0, 0, 0, 2, 0, 0, 0};
    const SetDocument doc = splitSetDocument(joinSetDocument(records, list));
    EXPECT_EQ(doc.boxTypes(),
              (QVector<int>{TypeLandscape, TypeTree, TypeGrass, TypeFlower, TypeStones, TypeBillboard}));
    ASSERT_EQ(doc.lines.size(), 8);
    EXPECT_EQ(doc.lines[2].text, records[1]);
    EXPECT_EQ(doc.landscapeList, list);
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

    doc =
        splitSetDocument("VerdixV1.0,6,2018\nTreeV1,1,2,;,Materials,;\nGrassV1.0,1,;,Materials,;\n;,x\nGrassV1.0,2,\n");
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
    // Entries naming no box of the pane (2, -4) fall back to the target.
    const struct
    {
        int entry;
        bool onLandscape;
        int want;
    } cases[] = {{0, true, 1}, {0, false, 3}, {1, false, 4}, {2, false, 1}, {-4, false, 1}};
    for (const auto& c : cases) EXPECT_EQ(resolveLandscapeEntry(c.entry, c.onLandscape, 3, 1, 5), c.want) << c.entry;
    EXPECT_EQ(resolveLandscapeEntry(0, true, 0, 0, 1), 0);
}
