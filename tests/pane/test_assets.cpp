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
    void writeFile(const QString& path, const QByteArray& content = "x")
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QTemporaryDir appDir;
    VerdixPaneTestAccess pane{thePane()};
};

}  // namespace

TEST_F(AssetFolders, ConfigurationFileSetsTheRoot)
{
    // No file keeps the root; otherwise the first non-empty line, exactly as written.
    pane.initTextureFolder();
    EXPECT_EQ(VerdixAssets::textureRoot(), "unchanged-root");
    const struct
    {
        QByteArray content;
        const char* root;
    } cases[] = {{"\n/data/My Library \nsecond\n", "/data/My Library "},
                 {"\r\n\r\nD:/Halvorn\r\n", "D:/Halvorn"},
                 {"\n\n\n", ""},
                 {"", ""}};
    for (const auto& c : cases) {
        writeFile(appDir.path() + "/plugins/Halvorn/VerdixTexturesPath.txt", c.content);
        VerdixAssets::setTextureRoot("x");
        pane.initTextureFolder();
        EXPECT_EQ(VerdixAssets::textureRoot(), c.root) << c.content.toStdString();
    }
    EXPECT_EQ(VerdixAssets::folder(VerdixAssets::Folder::TextureGrass, ""), "/Verdix_Texture_Grass");
    EXPECT_TRUE(dzApp->dialogs()->messages().isEmpty());
}

TEST_F(AssetFolders, IconsAndMapsAreFoundOrReported)
{
    const QString icon = appDir.path() + "/plugins/Halvorn/Verdix_images/Delete.png";
    EXPECT_EQ(pane.loadQSFile("Delete.png"), "");  // not there: no icon, nothing reported
    writeFile(icon);
    EXPECT_EQ(pane.loadQSFile("Delete.png"), icon);
    EXPECT_EQ(pane.loadQSFile(""), "");  // the folder itself is not an image
    EXPECT_TRUE(dzApp->dialogs()->messages().isEmpty());

    // A missing map warns once and still gives its path; a present one says nothing.
    QTemporaryDir root;
    VerdixAssets::setTextureRoot(root.path());
    const QString expected = root.path() + "/Verdix_Landscape_Ground/Ground_A.png";
    EXPECT_EQ(pane.loadGround("Ground_A.png"), expected);
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    EXPECT_EQ(dzApp->dialogs()->messages().first().text,
              QString("Ground_A.png is missing, from folder %1").arg(root.path()));
    writeFile(expected);
    dzApp->dialogs()->clearLog();
    EXPECT_EQ(pane.loadGround("Ground_A.png"), expected);
    EXPECT_TRUE(dzApp->dialogs()->messages().isEmpty());
}
