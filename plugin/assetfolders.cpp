#include "plugin/assetfolders.h"
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <dzapp.h>
#include <dzmaterial.h>

namespace VerdixAssets {

namespace {

// One entry per Folder, in enum order.
const char* const kFolderNames[] = {
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
static_assert(sizeof(kFolderNames) / sizeof(kFolderNames[0]) == int(Folder::TextureBillboard) + 1,
              "one folder name per Folder");

// Where the host's installer puts the plug-in images on its system drive.
const char* const kImageInstallDir = "C:/Program Files/DAZ 3D/DAZStudio4/plugins/Halvorn/Verdix_images/%1";

QString& rootStorage()
{
    static QString root = defaultTextureRoot();
    return root;
}

}  // namespace

QString folderName(Folder f) { return QString::fromLatin1(kFolderNames[int(f)]); }

QString folder(Folder f, const QString& root) { return QString("%1/%2").arg(root, folderName(f)); }

QString prefix(Folder f, const QString& root) { return folder(f, root) + '/'; }

QString file(Folder f, const QString& root, const QString& fileName)
{
    return QString("%1/%2/%3").arg(root, folderName(f), fileName);
}

QString defaultTextureRoot()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Halvorn_Texture");
#else
    // No drive letters here: the library sits at the top of the file system instead.
    return QStringLiteral("/Halvorn_Texture");
#endif
}

QString textureRoot() { return rootStorage(); }
void setTextureRoot(const QString& root)
{
    rootStorage() = root;
    shareTextureRoot();
}

void shareTextureRoot()
{
    // Scene files may name the library's images, as the pane's own documents may.
    if (dzApp) dzApp->getImageMgr()->setImageFolder(QStringLiteral("Verdix"), rootStorage());
}

QString configFilePath(const QString& appDir)
{
    return QString("%1/plugins/Halvorn/VerdixTexturesPath.txt").arg(appDir);
}

bool readConfiguredRoot(const QString& configFile, QString* root)
{
    QFile f(configFile);
    if (!f.exists() || !f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&f);
    QString line;
    // The root is used exactly as written: a path may legitimately end in blanks.
    while (!in.atEnd()) {
        line = in.readLine();
        if (!line.isEmpty()) break;
    }
    if (root) *root = line;
    return true;
}

QString imagePath(const QString& appDir, const QString& name)
{
    return QString("%1/plugins/Halvorn/Verdix_images/%2").arg(appDir, name);
}

QString imageFallbackPath(const QString& name, const QString& currentDir)
{
    QString p = QString::fromLatin1(kImageInstallDir).arg(name);
    // With a drive letter ("E:/...") the install folder is looked for on that drive. A
    // path without one (Unix) has a single root, so the same layout is looked for
    // directly under "/".
    if (currentDir.size() >= 2 && currentDir.at(1) == ':' && currentDir.at(0).isLetter()) p[0] = currentDir.at(0);
    else p.remove(0, 2);
    return p;
}

QString findImage(const QString& appDir, const QString& currentDir, const QString& name)
{
    const QString p = imagePath(appDir, name);
    if (QFileInfo(p).isFile()) return p;
    const QString fallback = imageFallbackPath(name, currentDir);
    if (QFileInfo(fallback).isFile()) return fallback;
    return QString();
}

}  // namespace VerdixAssets
