// Where a landscape's maps come from: the default maps, the map combos, the User float
// files and saving the terrain's heights, with the files going wrong in every usual way.
#include "landscapefixture.h"
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
    QStringList userItems(int i)
    {
        QStringList out;
        for (int k = 0; k < box(i).combo('F')->count(); ++k) out << box(i).combo('F')->itemText(k);
        return out;
    }
    void save(int i, const QString& path)
    {
        dzApp->dialogs()->queueFileName(path);
        showPane();
        press(box(i).saveMapButton);
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
    for (float y : heights(i)) ASSERT_EQ(y, 0.f);  // 255 - 255

    QComboBox* land = box(i).combo('A');
    land->setCurrentIndex(land->findText("Ground_B.png"));
    for (float y : heights(i)) ASSERT_EQ(y, 100.f - 255.f);
    EXPECT_FALSE(a->preview()->isHidden());
    EXPECT_EQ(a->preview()->pixmap(Qt::ReturnByValue).size(), QSize(4, 4));

    QComboBox* river = box(i).combo('B');
    river->setCurrentIndex(river->findText("River_B.png"));
    for (float y : heights(i)) ASSERT_EQ(y, 100.f - 50.f);

    // The placeholder entry reloads nothing: the map chosen before stays in use even
    // though its file has changed since.
    flatMap("Verdix_Landscape_Ground/Ground_B.png", 7);
    land->setCurrentIndex(0);
    set(i, {});
    for (float y : heights(i)) ASSERT_EQ(y, 100.f - 50.f);
}

TEST_F(Sources, ImageThatDoesNotLoadIsReportedAndLeavesTheSlotOut)
{
    defaultMaps(200, 0, 0, 0, 0);
    file("Verdix_Landscape_Ground/Broken.png", "not an image at all");
    const int i = small();
    set(i, {{"Land", 100}, {"Hill", 10}});
    const std::vector<float> before = heights(i);
    ASSERT_EQ(before.front(), 200.f);

    dzApp->dialogs()->clearLog();
    QComboBox* land = box(i).combo('A');
    land->setCurrentIndex(land->findText("Broken.png"));
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    EXPECT_TRUE(dzApp->dialogs()->messages()[0].text.startsWith("Cannot read the map image " +
                                                                at("Verdix_Landscape_Ground/Broken.png")))
        << qPrintable(dzApp->dialogs()->messages()[0].text);
    EXPECT_EQ(heights(i), before);  // no update ran

    // The next update reports the slot's image missing and leaves the slot out.
    set(i, {});
    EXPECT_EQ(status(), "MapA image missing!");
    for (float y : heights(i)) ASSERT_EQ(y, 0.f);
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
    EXPECT_EQ(h.front(), 1.f);     // row 0, column 0
    EXPECT_EQ(h.back(), 9.f);      // the tenth float is never sampled
    EXPECT_EQ(*std::max_element(h.begin(), h.end()), 9.f);

    // Empty or less than one float: the MemSize box naming the file, no update; later
    // updates leave the slot out.
    for (const char* name : {"empty.dat", "three.dat"}) {
        chooseUser(i, "nine.dat");
        h = heights(i);
        dzApp->dialogs()->clearLog();
        chooseUser(i, name);
        ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
        EXPECT_EQ(dzApp->dialogs()->messages()[0].title, "error: MemSize");
        EXPECT_TRUE(dzApp->dialogs()->messages()[0].text.contains(user + name + " holds"));
        EXPECT_EQ(box(i).mapSize, 0);
        EXPECT_EQ(heights(i), h);
        set(i, {});
        for (float y : heights(i)) ASSERT_EQ(y, 0.f);
    }

    // A file that cannot be opened: the error box, nothing changes.
    chooseUser(i, "nine.dat");
    h = heights(i);
    dzApp->dialogs()->clearLog();
    chooseUser(i, "missing.dat");
    ASSERT_FALSE(dzApp->dialogs()->messages().isEmpty());
    EXPECT_EQ(dzApp->dialogs()->messages().last().title, "error");
    EXPECT_EQ(box(i).mapSize, 3);
    EXPECT_EQ(heights(i), h);

    // A file past the largest terrain's is refused before it is read, the old map kept.
    {
        QFile f(user + "huge.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(1024LL * 1024 * 1024));  // sparse: costs no disk
    }
    dzApp->dialogs()->clearLog();
    chooseUser(i, "huge.dat");
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    EXPECT_EQ(dzApp->dialogs()->messages()[0].title, "error: MemSize");
    EXPECT_TRUE(dzApp->dialogs()->messages()[0].text.contains(QString::number(kMaxHeightFileBytes)));
    EXPECT_EQ(box(i).userMap.size(), 9u);
    set(i, {});
    EXPECT_EQ(heights(i), h);
}

TEST_F(Sources, MissingMapFolderWarnsAndKeepsTheTerrainFlat)
{
    // No map folders at all under the root.
    const int i = createLandscape();
    EXPECT_FALSE(dzApp->dialogs()->messages().isEmpty());
    ASSERT_NE(nodeOf(i), nullptr);
    set(i, {{"TILES", 1}, {"DIVISIONS", 4}, {"Land", 100}});
    EXPECT_EQ(status(), "Error MapA!");
    for (float y : heights(i)) ASSERT_EQ(y, 0.f);
}

TEST_F(Sources, SavedTerrainLoadsBackAsTheSameHeights)
{
    greyMap(kGround, 21, 21, [](int x, int y) { return (x * 11 + y * 5) % 256; });
    flatMap(kRiver, 0);
    flatMap(kHill, 0);
    flatMap(kFlat, 0);
    flatMap(kPath, 0);
    const int i = createLandscape();

    // Before any update the file is empty but the save is still reported.
    const QString early = at("Verdix_Landscape_User/early.dat");
    save(i, early);
    EXPECT_TRUE(QFileInfo(early).isFile());
    EXPECT_EQ(QFileInfo(early).size(), 0);
    EXPECT_EQ(status(), QString("Save landscape data %1").arg(i));

    set(i, {{"TILES", 1}, {"DIVISIONS", 20}, {"Size XZ", 10}, {"Land", 87}, {"Smooth", 55}, {"Size Y", 130}});
    const std::vector<float> shaped = heights(i);
    const QString path = at("Verdix_Landscape_User/terrain.dat");
    save(i, path);
    EXPECT_EQ(QFileInfo(path).size(), 1764);
    EXPECT_EQ(status(), QString("Save landscape data %1").arg(i));
    // The User combo offers the new file once, however often it is saved.
    save(i, path);
    EXPECT_EQ(userItems(i).count("terrain.dat"), 1);
    EXPECT_EQ(userItems(i).count("early.dat"), 1);
    EXPECT_EQ(userItems(i).first(), "User");

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
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    EXPECT_EQ(dzApp->dialogs()->messages()[0].title, "error");
    EXPECT_FALSE(status().startsWith("Save landscape data"));
    save(i, QString());
    EXPECT_FALSE(status().startsWith("Save landscape data"));
}
