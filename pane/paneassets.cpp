// The pane's side of the asset folders: the configured root, icons and map files.
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <dzapp.h>
#include <dzdialogs.h>
#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"

using VerdixAssets::Folder;

namespace {
QString applicationDir() { return dzApp ? dzApp->getApplicationDir() : QString(); }
}  // namespace

void ZPK_VerdixPane::InitTextureFolder()
{
    QString root;
    // The host's own choice of library (its --assets option) comes before the config file.
    if (dzApp && !dzApp->getTextureRootOverride().isEmpty()) {
        VerdixAssets::setTextureRoot(dzApp->getTextureRootOverride());
        return;
    }
    // A missing or unreadable file keeps the default root without a word.
    if (VerdixAssets::readConfiguredRoot(VerdixAssets::configFilePath(applicationDir()), &root))
        VerdixAssets::setTextureRoot(root);
    else VerdixAssets::shareTextureRoot();
}

QString ZPK_VerdixPane::LoadQSFile(QString input)
{
    return VerdixAssets::findImage(applicationDir(), QDir::currentPath(), input);
}

QString ZPK_VerdixPane::loadAssetFile(int folder, const QString& input)
{
    const QString path = VerdixAssets::file(Folder(folder), VerdixAssets::textureRoot(), input);
    if (!QFileInfo(path).isFile()) WarnMissingFolder(input);
    return path;
}

QString ZPK_VerdixPane::LoadGround(QString input) { return loadAssetFile(int(Folder::LandscapeGround), input); }
QString ZPK_VerdixPane::LoadRiver(QString input) { return loadAssetFile(int(Folder::LandscapeRiver), input); }
QString ZPK_VerdixPane::LoadHill(QString input) { return loadAssetFile(int(Folder::LandscapeHill), input); }
QString ZPK_VerdixPane::LoadFlat(QString input) { return loadAssetFile(int(Folder::LandscapeFlat), input); }
QString ZPK_VerdixPane::LoadPath(QString input) { return loadAssetFile(int(Folder::LandscapePath), input); }
QString ZPK_VerdixPane::LoadUser(QString input) { return loadAssetFile(int(Folder::LandscapeUser), input); }
QString ZPK_VerdixPane::LoadTree(QString input) { return loadAssetFile(int(Folder::ShapesTree), input); }

void ZPK_VerdixPane::WarnMissingFolder(QString input)
{
    if (!dzApp) return;
    dzApp->dialogs()->messageBox(QMessageBox::Warning, "Verdix",
                                 QString("%1 is missing, from folder %2").arg(input, VerdixAssets::textureRoot()),
                                 dzApp->getTextureRootOverride().isEmpty()
                                     ? QString("Path found in file VerdixTexturesPath.txt")
                                     : QString("Path given by the host's --assets option"),
                                 QMessageBox::Ok, QMessageBox::Ok, this);
}
