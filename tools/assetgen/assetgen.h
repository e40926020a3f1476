#pragma once

#include <QString>
#include <QStringList>

namespace assetgen {

// Every icon file the pane and its control boxes load by name. Both "Window.png" and
// "window.png" exist because the pane asks for both and Linux file names are case-sensitive.
QStringList iconFileNames();

// Folders created under the texture root, in the order they are made.
QStringList libraryFolderNames();

// Each writer creates its target folder when missing, overwrites existing files and returns
// false with a one-line reason in *error when something cannot be written.
bool writeIcons(const QString& imagesDir, QString* error);
bool writeLibrary(const QString& libraryRoot, QString* error);
bool writeConfig(const QString& configFile, const QString& libraryRoot, QString* error);

// Shared by the writers: makes the folder (and parents) or reports why not.
bool ensureDir(const QString& dir, QString* error);

}  // namespace assetgen

namespace assetgen {

// Parts of writeLibrary, each writing into its own folders under an existing root.
bool writeHeightMaps(const QString& libraryRoot, QString* error);
bool writeTreeShapes(const QString& libraryRoot, QString* error);
// The trunk profiles the tree presets choose (treeshapes.cpp).
bool writeTreeShapeProfiles(const QString& libraryRoot, QString* error);
bool writeTextures(const QString& libraryRoot, QString* error);

}  // namespace assetgen
