#pragma once
// Where Verdix finds its files: the user's asset library under one movable texture root,
// and the pane's own images next to the host's plug-ins. Every folder name lives in the
// table of assetfolders.cpp; every subsystem builds its paths through these functions.
#include <QString>

namespace VerdixAssets {

enum class Folder {
    LandscapeGround,
    LandscapeRiver,
    LandscapeHill,
    LandscapeFlat,
    LandscapePath,
    LandscapeUser,
    UserHeights,
    Ground,
    ShapesTree,
    PresetsTree,
    PresetsFlower,
    Scene,
    TextureLandscape,
    TextureLandscapeAlpha,
    TextureGrass,
    TextureStones,
    TextureTreeLeaf,
    TextureTreeFruit,
    TextureTreeBark,
    TextureFlowerStem,
    TextureFlowerLeaf,
    TextureFlowerPetal,
    TextureFlowerPistil,
    TextureBillboard,
};

// The bare folder name under the root, e.g. "Verdix_Landscape_Ground".
QString folderName(Folder f);
// "<root>/<folder>": the folder whose files fill a combo box.
QString folder(Folder f, const QString& root);
// "<root>/<folder>/": the prefix a texture file name is appended to.
QString prefix(Folder f, const QString& root);
// "<root>/<folder>/<file>": the full path of one file.
QString file(Folder f, const QString& root, const QString& fileName);

// The process-wide texture root. Starts at the default; the pane replaces it once from
// the configuration file.
QString textureRoot();
void setTextureRoot(const QString& root);
// Tells the host's image manager the root, as a folder scene files may take images from
// (setTextureRoot does so itself).
void shareTextureRoot();
QString defaultTextureRoot();

// "<appDir>/plugins/Halvorn/VerdixTexturesPath.txt".
QString configFilePath(const QString& appDir);
// Reads the configuration file: true with *root set when the file could be read (to its
// first non-empty line, or empty when it holds none), false when it is missing or unreadable.
bool readConfiguredRoot(const QString& configFile, QString* root);

// "<appDir>/plugins/Halvorn/Verdix_images/<name>".
QString imagePath(const QString& appDir, const QString& name);
// The fixed install location of the images, moved to the drive of currentDir.
QString imageFallbackPath(const QString& name, const QString& currentDir);
// The image's path under appDir, else under the fallback, else empty.
QString findImage(const QString& appDir, const QString& currentDir, const QString& name);

}  // namespace VerdixAssets
