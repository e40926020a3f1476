#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QByteArray err;
};

ToolRun runTool(const QStringList& args)
{
    QProcess proc;
    proc.start(VERDIX_ASSETGEN_EXE, args);
    ToolRun r;
    // A whole library takes a minute on a busy machine; a real hang is the test runner's timeout.
    if (!proc.waitForFinished(-1)) return r;
    r.exitCode = proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    r.err = proc.readAllStandardError();
    return r;
}

const QStringList kIcons = {
    "BillboardV1.png",
    "Delete.png",
    "DeleteAll.png",
    "FlowerV1.png",
    "GrassV1.png",
    "GrowBillboard.png",
    "GrowBush.png",
    "GrowCrystals.png",
    "GrowFlower.png",
    "GrowGrass.png",
    "GrowIvy.png",
    "GrowLand.png",
    "GrowMushroom.png",
    "GrowRock.png",
    "GrowStones.png",
    "GrowTree.png",
    "GrowWeed.png",
    "Help.png",
    "KorgNanoKontrol2.png",
    "LandscapeV1.png",
    "OpenFile.png",
    "Pause.png",
    "Play.png",
    "StonesV1.png",
    "Swap.png",
    "TreeV1.png",
    "Window.png",
    "window.png",
    "open.png",
    "refresh.png",
    "refreshBig.png",
    "save.png",
    "save_map.png",
    "signpost.png",
};

const QStringList kFolders = {
    "Verdix_Landscape_Ground",
    "Verdix_Landscape_River",
    "Verdix_Landscape_Hill",
    "Verdix_Landscape_Flat",
    "Verdix_Landscape_Path",
    "Verdix_Landscape_User",
    "Verdix_User",
    "Verdix_Ground",
    "Verdix_Shapes_Tree",
    "Verdix_Presets_Tree",
    "Verdix_Presets_Flower",
    "Verdix_Scene",
    "Verdix_Texture_Landscape",
    "Verdix_Texture_Landscape_Alpha",
    "Verdix_Texture_Grass",
    "Verdix_Texture_Stones",
    "Verdix_Texture_Tree_Leaf",
    "Verdix_Texture_Tree_Fruit",
    "Verdix_Texture_Tree_Bark",
    "Verdix_Texture_Flower_Stem",
    "Verdix_Texture_Flower_Leaf",
    "Verdix_Texture_Flower_Petal",
    "Verdix_Texture_Flower_Pistil",
    "Verdix_Texture_Billboard",
};

// Maps other than Land only act where they are bright, so their background must be black.
struct MapCase
{
    const char* path;
    bool blackBackground;
};
const MapCase kMaps[] = {
    {"Verdix_Landscape_Ground/Ground_A.png", false},  {"Verdix_Landscape_Ground/Ground_B.png", false},
    {"Verdix_Landscape_Ground/Ground_C.png", false},  {"Verdix_Landscape_River/River_A.png", true},
    {"Verdix_Landscape_River/River_B.png", true},     {"Verdix_Landscape_River/River_C.png", true},
    {"Verdix_Landscape_Hill/Hill_A.png", true},       {"Verdix_Landscape_Hill/Hill_B.png", true},
    {"Verdix_Landscape_Hill/Hill_C.png", true},       {"Verdix_Landscape_Flat/Flat_Round_A.png", true},
    {"Verdix_Landscape_Flat/Flat_Round_B.png", true}, {"Verdix_Landscape_Flat/Flat_Square_A.png", true},
    {"Verdix_Landscape_Path/Path_A.jpg", true},       {"Verdix_Landscape_Path/Path_B.jpg", true},
    {"Verdix_Landscape_Path/Path_C.jpg", true},
};

class AssetGen : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_tmp = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(s_tmp->isValid());
        const ToolRun r = runTool(
            {"--images", dir("img"), "--library", dir("lib"), "--config", dir("cfg/plugins/VerdixTexturesPath.txt")});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    static void TearDownTestSuite() { s_tmp.reset(); }
    static QString dir(const QString& rel) { return s_tmp->filePath(rel); }
    static QString lib(const QString& rel) { return dir("lib/" + rel); }

    static std::unique_ptr<QTemporaryDir> s_tmp;
};
std::unique_ptr<QTemporaryDir> AssetGen::s_tmp;

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

TEST_F(AssetGen, IconsAreThereAtTheirSizesAndDistinct)
{
    QSet<QByteArray> seen;
    for (const QString& name : kIcons) {
        SCOPED_TRACE(name.toStdString());
        const QImage img(dir("img/" + name));
        ASSERT_FALSE(img.isNull());
        const bool wide = name == "GrowLand.png" || name == "LandscapeV1.png";
        EXPECT_EQ(img.width(), wide ? 128 : 64);
        EXPECT_EQ(img.height(), 64);
        int opaque = 0;
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                opaque += qAlpha(c) > 200;
                colours.insert(c);
            }
        EXPECT_GT(opaque, img.width() * img.height() / 8) << "almost empty picture";
        EXPECT_GT(colours.size(), 20) << "flat picture";
        // Only the two spellings of the window icon may share a picture.
        if (name != "window.png") EXPECT_FALSE(seen.contains(digest(dir("img/" + name)))) << "duplicate picture";
        seen.insert(digest(dir("img/" + name)));
    }
    EXPECT_EQ(digest(dir("img/Window.png")), digest(dir("img/window.png")));
}

TEST_F(AssetGen, LibraryFoldersAndConfig)
{
    for (const QString& f : kFolders) EXPECT_TRUE(QFileInfo(lib(f)).isDir()) << f.toStdString();

    QFile cfg(dir("cfg/plugins/VerdixTexturesPath.txt"));
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    const QByteArray text = cfg.readAll();
    const QString root = QDir(dir("lib")).absolutePath();
    EXPECT_EQ(text, root.toUtf8() + '\n');
    EXPECT_FALSE(root.endsWith('/'));
}

TEST_F(AssetGen, HeightMapsAreGreyAndShaped)
{
    for (const MapCase& m : kMaps) {
        SCOPED_TRACE(m.path);
        const QImage img(lib(m.path));
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.size(), QSize(512, 512));
        double sum = 0, sum2 = 0;
        int coloured = 0, black = 0, white = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const QRgb c = img.pixel(x, y);
                coloured += !(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
                const int g = (qRed(c) + qGreen(c) + qBlue(c)) / 3;
                sum += g;
                sum2 += double(g) * g;
                black += g == 0;
                white += g >= 250;
            }
        const double n = 512.0 * 512.0, mean = sum / n;
        EXPECT_EQ(coloured, 0);
        EXPECT_GT(std::sqrt(sum2 / n - mean * mean), 20.0) << "too little relief";
        if (m.blackBackground) {
            EXPECT_GT(white, 0) << "mask never reaches full strength";
            EXPECT_GT(black, int(n * 0.3)) << "background not black";
        } else {
            EXPECT_LT(black, int(n * 0.01)) << "ground map clipped to black";
        }
    }
    // The plateau core must be fully white so that Flat 100 makes it flat.
    EXPECT_EQ(qGray(QImage(lib("Verdix_Landscape_Flat/Flat_Round_A.png")).pixel(256, 256)), 255);
    QFile path(lib("Verdix_Landscape_Path/Path_A.jpg"));
    ASSERT_TRUE(path.open(QIODevice::ReadOnly));
    EXPECT_TRUE(path.read(3) == QByteArray("\xFF\xD8\xFF", 3)) << "Path_A.jpg is not a JPEG";
}

TEST_F(AssetGen, TrunkProfilesWrapAroundTheTrunk)
{
    for (const char* name : {"default.png", "Twisted.png", "Baobab.png"}) {
        SCOPED_TRACE(name);
        const QImage img(lib(QString("Verdix_Shapes_Tree/") + name));
        ASSERT_FALSE(img.isNull());
        ASSERT_GE(img.height(), 2);
        int worst = 0;
        for (int y = 0; y < img.height(); ++y)
            worst = std::max(worst, std::abs(qGray(img.pixel(0, y)) - qGray(img.pixel(img.width() - 1, y))));
        EXPECT_LE(worst, 12) << "seam where the profile closes around the trunk";
    }
}

// The pane lists only files without a companion marker, and finds a companion by inserting
// the marker before the suffix; a misnamed file would be offered as a texture or never found.
TEST_F(AssetGen, EveryTextureFolderOffersATextureAndCompanionsMatch)
{
    const QStringList markers = {"_O.", "_B.", "_N.", "_S.", "_D."};
    for (const QString& folder : kFolders) {
        if (!folder.startsWith("Verdix_Texture_")) continue;
        SCOPED_TRACE(folder.toStdString());
        int offered = 0;
        for (const QString& name : QDir(lib(folder)).entryList({"*.png", "*.jpg"}, QDir::Files)) {
            const auto marker =
                std::find_if(markers.begin(), markers.end(), [&](const QString& m) { return name.contains(m); });
            if (marker == markers.end()) {
                ++offered;
                const QImage img(lib(folder + "/" + name));
                EXPECT_GE(std::min(img.width(), img.height()), 1024) << name.toStdString();
                continue;
            }
            QString base = name;
            base.replace(*marker, ".");
            EXPECT_TRUE(QFileInfo::exists(lib(folder + "/" + base)))
                << name.toStdString() << " has no texture " << base.toStdString();
        }
        EXPECT_GE(offered, 3);
    }
    // Sheets of square cells, as their grid tags state.
    const struct
    {
        const char* file;
        int columns, rows;
    } sheets[] = {
        {"Verdix_Texture_Billboard/Butterfly_Blue_8X4.png", 8, 4},
        {"Verdix_Texture_Billboard/Bird_4X2.png", 4, 2},
        {"Verdix_Texture_Flower_Petal/Petal_Mix_3X2.png", 3, 2},
        {"Verdix_Texture_Tree_Leaf/Leaf_Autumn_2X2.png", 2, 2},
    };
    for (const auto& sh : sheets) {
        const QImage sheet(lib(sh.file));
        EXPECT_EQ(sheet.width() * sh.rows, sheet.height() * sh.columns) << sh.file;
    }
}

// Cut-out textures need their opacity companion, relief textures their bump or normal map:
// without them blades and leaves render as cards and terrain as flat colour.
TEST_F(AssetGen, CutoutsAndReliefTexturesHaveTheirCompanions)
{
    const struct
    {
        const char* folder;
        const char* marker;
    } wanted[] = {
        {"Verdix_Texture_Grass", "_O."},       {"Verdix_Texture_Tree_Leaf", "_O."},
        {"Verdix_Texture_Flower_Leaf", "_O."}, {"Verdix_Texture_Flower_Petal", "_O."},
        {"Verdix_Texture_Billboard", "_O."},   {"Verdix_Texture_Tree_Bark", "_N."},
        {"Verdix_Texture_Stones", "_B."},      {"Verdix_Texture_Landscape", "_N."},
    };
    for (const auto& w : wanted) {
        for (const QString& name : QDir(lib(w.folder)).entryList({"*.png"}, QDir::Files)) {
            if (name.contains("_O.") || name.contains("_B.") || name.contains("_N.")) continue;
            QString companion = name;
            companion.replace(".png", QString(w.marker) + "png");
            const QImage map(lib(QString(w.folder) + "/" + companion));
            ASSERT_FALSE(map.isNull()) << w.folder << "/" << companion.toStdString();
            const QImage colour(lib(QString(w.folder) + "/" + name));
            EXPECT_EQ(map.size(), colour.size()) << companion.toStdString();
            if (QString(w.marker) == "_O.") {
                // A cut-out has both solid and clear parts.
                const QImage small = map.scaled(64, 64);
                int solid = 0, clear = 0;
                for (int y = 0; y < 64; ++y)
                    for (int x = 0; x < 64; ++x) (qGray(small.pixel(x, y)) > 128 ? solid : clear)++;
                EXPECT_GT(solid, 64) << companion.toStdString();
                EXPECT_GT(clear, 64) << companion.toStdString();
            }
        }
    }
}

// A second run replaces what is there with the same files. Its config file cannot be
// written, which fails the run with one line once the pictures are written.
TEST_F(AssetGen, RerunIsDeterministicAndReplacesFiles)
{
    const QString map = lib("Verdix_Landscape_Ground/Ground_A.png");
    const QString icon = dir("img/TreeV1.png");
    const QByteArray mapBefore = digest(map), iconBefore = digest(icon);
    {
        QFile junk(map);
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        junk.write("not an image");
        QFile blocker(dir("blocker"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    const ToolRun r = runTool({"--images", dir("img"), "--library", dir("lib"), "--config", dir("blocker/c.txt")});
    EXPECT_GT(r.exitCode, 0);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_EQ(digest(map), mapBefore);
    EXPECT_EQ(digest(icon), iconBefore);
}

TEST(AssetGenArgs, BadInputFailsWithOneLine)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QFile blocker(tmp.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const QStringList good = {"--images",        tmp.filePath("i"), "--library",
                              tmp.filePath("l"), "--config",        tmp.filePath("c.txt")};
    const QList<QStringList> bad = {
        {},
        {"--images", tmp.filePath("i"), "--library", tmp.filePath("l")},
        good + QStringList{"--bogus"},
        {"--images", tmp.filePath("i"), "--library", tmp.filePath("l"), "--config"},
        // Output under an existing plain file cannot be created.
        {"--images", tmp.filePath("file/icons"), "--library", tmp.filePath("l"), "--config", tmp.filePath("c.txt")},
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ToolRun r = runTool(args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.exitCode, -1) << "crashed or hung";
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    }
}

}  // namespace
