// Where a landscape's maps come from: the default maps, the map combos, the User float
// files and saving the terrain's heights, with the files going wrong in every usual way.
#include "landscapefixture.h"
#include <cmath>
#include "landscape/heightmaps.h"

namespace {

class Sources : public LandscapeTest
{
protected:
    // A small terrain keeps these tests quick: T = 1, D = 20 gives 21 x 21 vertices.
    int small()
    {
        const int i = createLandscape();
        set(i, {{"TILES", 1}, {"DIVISIONS", 20}, {"Size XZ", 10}});
        return i;
    }
    void expectFlat(int i, float y) { EXPECT_EQ(heights(i), std::vector<float>(21 * 21, y)); }
    // The last of the messages the last step showed, which should be this many.
    DzMessageRecord onlyMessage(int shown = 1)
    {
        const QList<DzMessageRecord> m = dzApp->dialogs()->messages();
        EXPECT_EQ(m.size(), shown) << qPrintable(messages().join('\n'));
        return m.isEmpty() ? DzMessageRecord() : m.last();
    }
};

}  // namespace

TEST_F(Sources, ChoosingAMapReloadsItsSlotAndShowsIt)
{
    defaultMaps(255, 255);
    flatMap("Verdix_Landscape_Ground/Ground_B.png", 100);
    flatMap("Verdix_Landscape_River/River_B.png", 50);
    const int i = small();
    set(i, {{"Land", 100}, {"River", 100}});
    expectFlat(i, 0.f);  // 255 - 255

    QComboBox* land = box(i).combo('A');
    land->setCurrentIndex(land->findText("Ground_B.png"));
    expectFlat(i, 100.f - 255.f);
    EXPECT_FALSE(a->preview()->isHidden());
    EXPECT_EQ(a->preview()->pixmap(Qt::ReturnByValue).size(), QSize(4, 4));
    QComboBox* river = box(i).combo('B');
    river->setCurrentIndex(river->findText("River_B.png"));
    expectFlat(i, 100.f - 50.f);

    // The placeholder entry reloads nothing: the map chosen before stays in use even
    // though its file has changed since.
    flatMap("Verdix_Landscape_Ground/Ground_B.png", 7);
    land->setCurrentIndex(0);
    set(i, {});
    expectFlat(i, 100.f - 50.f);
}

TEST_F(Sources, ImageThatDoesNotLoadIsReportedAndLeavesTheSlotOut)
{
    defaultMaps(200, 0, 0, 0, 0);
    file("Verdix_Landscape_Ground/Broken.png", "not an image at all");
    const int i = small();
    set(i, {{"Land", 100}, {"Hill", 10}});
    expectFlat(i, 200.f);

    dzApp->dialogs()->clearLog();
    QComboBox* land = box(i).combo('A');
    land->setCurrentIndex(land->findText("Broken.png"));
    EXPECT_TRUE(onlyMessage().text.startsWith("Cannot read the map image " + at("Verdix_Landscape_Ground/Broken.png")))
        << qPrintable(messages().join('\n'));
    expectFlat(i, 200.f);  // no update ran

    // The next update reports the slot's image missing and leaves the slot out.
    set(i, {});
    EXPECT_EQ(status(), "MapA image missing!");
    expectFlat(i, 0.f);
}

TEST_F(Sources, FloatFilesOfEverySize)
{
    defaultMaps();
    const QString user = at("Verdix_Landscape_User/");
    writeFile(user + "empty.dat", QByteArray());
    writeFile(user + "three.dat", QByteArray(3, '\x7f'));
    writeFile(user + "nine.dat", floats({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    writeFile(user + "ten.dat", floats({1, 2, 3, 4, 5, 6, 7, 8, 9, 1000}));
    const int i = small();
    set(i, {{"User", 100}});

    chooseUser(i, "ten.dat");
    EXPECT_EQ(status(), "Float data height map, FileSize=40 MapSize=3");
    EXPECT_EQ(box(i).mapSize, 3);
    std::vector<float> h = heights(i);
    EXPECT_EQ(h.front(), 1.f);  // row 0, column 0
    EXPECT_EQ(h.back(), 9.f);   // the tenth float is never sampled
    EXPECT_EQ(*std::max_element(h.begin(), h.end()), 9.f);

    // Files that cannot serve: one box naming the file and the reason, no update. An empty
    // or too short file leaves the slot out of later updates; an unreadable one, one with a
    // height that is no number, or one past the largest terrain's (refused before it is
    // read) keeps the map held before. A missing file is also named as missing from its folder.
    writeFile(user + "nan.dat", floats({1, 2, 3, 4, 5, std::nanf(""), 7, 8, 9}));
    {
        QFile f(user + "huge.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(1024LL * 1024 * 1024));  // sparse: costs no disk
    }
    const struct
    {
        const char* name;
        int shown;
        const char* title;
        QString says;
        bool keeps;
    } bad[] = {
        {"empty.dat", 1, "error: MemSize", user + "empty.dat holds", false},
        {"three.dat", 1, "error: MemSize", user + "three.dat holds", false},
        {"missing.dat", 2, "error", "Cannot open the height file " + user + "missing.dat", true},
        {"nan.dat", 1, "error", user + "nan.dat holds nan at index 5", true},
        {"huge.dat", 1, "error: MemSize", QString::number(kMaxHeightFileBytes), true},
    };
    for (const auto& c : bad) {
        chooseUser(i, "nine.dat");
        h = heights(i);
        dzApp->dialogs()->clearLog();
        chooseUser(i, c.name);
        const DzMessageRecord m = onlyMessage(c.shown);
        EXPECT_EQ(m.title, c.title) << c.name;
        EXPECT_TRUE(m.text.contains(c.says)) << qPrintable(m.text);
        EXPECT_EQ(box(i).mapSize, c.keeps ? 3 : 0) << c.name;
        EXPECT_EQ(heights(i), h) << c.name;
        set(i, {});
        if (c.keeps) EXPECT_EQ(heights(i), h) << c.name;
        else expectFlat(i, 0.f);
    }
}

TEST_F(Sources, MissingMapFolderWarnsAndKeepsTheTerrainFlat)
{
    // No map folders at all under the root.
    const int i = createLandscape();
    EXPECT_FALSE(dzApp->dialogs()->messages().isEmpty());
    ASSERT_NE(nodeOf(i), nullptr);
    set(i, {{"TILES", 1}, {"DIVISIONS", 4}, {"Land", 100}});
    EXPECT_EQ(status(), "Error MapA!");
    EXPECT_EQ(heights(i), std::vector<float>(25, 0.f));
}

TEST_F(Sources, SavedTerrainLoadsBackAsTheSameHeights)
{
    defaultMaps();
    greyMap(kGround, 21, 21, [](int x, int y) { return (x * 11 + y * 5) % 256; });
    const int i = createLandscape();
    const QString saved = QString("Save landscape data %1").arg(i);

    // Before any update the file is empty but the save is still reported.
    const QString early = at("Verdix_Landscape_User/early.dat");
    save(i, early);
    EXPECT_TRUE(QFileInfo(early).isFile());
    EXPECT_EQ(QFileInfo(early).size(), 0);
    EXPECT_EQ(status(), saved);

    set(i, {{"TILES", 1}, {"DIVISIONS", 20}, {"Size XZ", 10}, {"Land", 87}, {"Smooth", 55}, {"Size Y", 130}});
    const std::vector<float> shaped = heights(i);
    const QString path = at("Verdix_Landscape_User/terrain.dat");
    save(i, path);
    EXPECT_EQ(QFileInfo(path).size(), 1764);
    EXPECT_EQ(status(), saved);
    // The User combo offers the new file once, however often it is saved.
    save(i, path);
    QStringList items;
    for (int k = 0; k < box(i).combo('F')->count(); ++k) items << box(i).combo('F')->itemText(k);
    EXPECT_EQ(items.count("terrain.dat"), 1);
    EXPECT_EQ(items.count("early.dat"), 1);
    EXPECT_EQ(items.first(), "User");

    // On an otherwise flat setting the file gives the same heights back.
    const int j = small();
    set(j, {{"User", 100}});
    chooseUser(j, "terrain.dat");
    EXPECT_EQ(box(j).mapSize, 21);
    EXPECT_EQ(heights(j), shaped);

    // A target that cannot be written, or a cancelled dialog, writes nothing and says so.
    a->status()->clear();
    dzApp->dialogs()->clearLog();
    save(i, at("no/such/folder/terrain.dat"));
    EXPECT_EQ(onlyMessage().title, "error");
    EXPECT_NE(status(), saved);
    save(i, QString());
    EXPECT_NE(status(), saved);
}
