#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <dzapp.h>
#include <dzdialogs.h>
#include "paneaccess.h"
#include "plugin/assetfolders.h"

namespace {

class AssetFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(appDir.isValid());
        dzApp->setApplicationDirOverride(appDir.path());
        VerdixAssets::setTextureRoot("unchanged-root");
        dzApp->dialogs()->clearLog();
    }
    void TearDown() override
    {
        dzApp->setApplicationDirOverride(QString());
        VerdixAssets::setTextureRoot(VerdixAssets::defaultTextureRoot());
    }
    void writeConfig(const QByteArray& content)
    {
        QDir().mkpath(appDir.path() + "/plugins/Halvorn");
        QFile f(appDir.path() + "/plugins/Halvorn/VerdixTexturesPath.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    void writeFile(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    QTemporaryDir appDir;
    VerdixPaneTestAccess pane{thePane()};
};

}  // namespace

TEST_F(AssetFolders, ConfigurationFileSetsTheRoot)
{
    writeConfig("\n/data/My Library \nsecond\n");
    pane.initTextureFolder();
    // The first non-empty line, exactly as written (trailing blank kept).
    EXPECT_EQ(VerdixAssets::textureRoot(), "/data/My Library ");

    writeConfig("\r\n\r\nD:/Halvorn\r\n");
    pane.initTextureFolder();
    EXPECT_EQ(VerdixAssets::textureRoot(), "D:/Halvorn");
}

TEST_F(AssetFolders, OnlyEmptyLinesGiveAnEmptyRoot)
{
    writeConfig("\n\n\n");
    pane.initTextureFolder();
    EXPECT_EQ(VerdixAssets::textureRoot(), "");
    EXPECT_EQ(VerdixAssets::folder(VerdixAssets::Folder::TextureGrass, VerdixAssets::textureRoot()),
              "/Verdix_Texture_Grass");

    writeConfig("");
    VerdixAssets::setTextureRoot("x");
    pane.initTextureFolder();
    EXPECT_EQ(VerdixAssets::textureRoot(), "");
}

TEST_F(AssetFolders, MissingConfigurationKeepsTheRoot)
{
    pane.initTextureFolder();
    EXPECT_EQ(VerdixAssets::textureRoot(), "unchanged-root");
    EXPECT_TRUE(dzApp->dialogs()->messages().isEmpty());
}

TEST_F(AssetFolders, IconsUnderTheApplicationOrOnTheCurrentDrive)
{
    const QString icon = appDir.path() + "/plugins/Halvorn/Verdix_images/Delete.png";
    EXPECT_EQ(pane.loadQSFile("Delete.png"), "");  // not there: no icon, nothing reported
    writeFile(icon);
    EXPECT_EQ(pane.loadQSFile("Delete.png"), icon);
    // A folder of that name is not an image.
    EXPECT_EQ(pane.loadQSFile(""), "");
    EXPECT_TRUE(dzApp->dialogs()->messages().isEmpty());

    EXPECT_EQ(VerdixAssets::imageFallbackPath("Delete.png", "E:/DAZ/Studio"),
              "E:/Program Files/DAZ 3D/DAZStudio4/plugins/Halvorn/Verdix_images/Delete.png");
    EXPECT_EQ(VerdixAssets::imageFallbackPath("Delete.png", "/home/user"),
              "/Program Files/DAZ 3D/DAZStudio4/plugins/Halvorn/Verdix_images/Delete.png");
}

TEST_F(AssetFolders, MissingMapFileWarnsAndStillGivesThePath)
{
    QTemporaryDir root;
    VerdixAssets::setTextureRoot(root.path());
    const QString expected = root.path() + "/Verdix_Landscape_Ground/Ground_A.png";
    EXPECT_EQ(pane.loadGround("Ground_A.png"), expected);
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    const DzMessageRecord m = dzApp->dialogs()->messages().first();
    EXPECT_EQ(m.text, QString("Ground_A.png is missing, from folder %1").arg(root.path()));
    EXPECT_EQ(m.informativeText, "Path found in file VerdixTexturesPath.txt");

    writeFile(expected);
    writeFile(root.path() + "/Verdix_Shapes_Tree/Oak.png");
    dzApp->dialogs()->clearLog();
    EXPECT_EQ(pane.loadGround("Ground_A.png"), expected);
    EXPECT_EQ(pane.loadTree("Oak.png"), root.path() + "/Verdix_Shapes_Tree/Oak.png");
    EXPECT_TRUE(dzApp->dialogs()->messages().isEmpty());
}
