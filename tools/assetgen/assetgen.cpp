#include "assetgen.h"
#include "paint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace assetgen {

QStringList iconFileNames()
{
    return {
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
}

QStringList libraryFolderNames()
{
    return {
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
}

bool ensureDir(const QString& dir, QString* error)
{
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir()) {
        *error = QString("cannot create folder %1: a file of that name exists").arg(dir);
        return false;
    }
    if (!QDir().mkpath(dir)) {
        *error = QString("cannot create folder %1").arg(dir);
        return false;
    }
    return true;
}

bool saveImage(const QImage& img, const QString& path, const char* format, int quality, QString* error)
{
    QImage out = img;
    if (out.format() == QImage::Format_ARGB32_Premultiplied) out = out.convertToFormat(QImage::Format_ARGB32);

    // Write to a temporary file and rename, so an interrupted run never leaves a truncated
    // image that the pane would then fail to load.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QString("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QImageWriter writer(&file, format);
    writer.setQuality(quality);
    if (!writer.write(out)) {
        file.cancelWriting();
        *error = QString("cannot write %1: %2").arg(path, writer.errorString());
        return false;
    }
    if (!file.commit()) {
        *error = QString("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool writeConfig(const QString& configFile, const QString& libraryRoot, QString* error)
{
    const QString parent = QFileInfo(configFile).absolutePath();
    if (!ensureDir(parent, error)) return false;
    QSaveFile file(configFile);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QString("cannot write %1: %2").arg(configFile, file.errorString());
        return false;
    }
    const QByteArray line = QDir::cleanPath(QDir(libraryRoot).absolutePath()).toUtf8() + '\n';
    if (file.write(line) != line.size() || !file.commit()) {
        *error = QString("cannot write %1: %2").arg(configFile, file.errorString());
        return false;
    }
    return true;
}

}  // namespace assetgen
