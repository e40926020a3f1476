#pragma once
// Writing the host scene to interchange files. Every visible node with a facet mesh is
// written; on failure the functions return false with error set to one line.
#include <QString>

// Wavefront OBJ with its MTL beside it (same base name, .mtl). Vertices in world space.
bool exportObj(const QString& file, QString* error);
// glTF 2.0: binary false writes .gltf (+ .bin, textures referenced by relative path),
// binary true a self-contained .glb with the textures embedded.
bool exportGltf(const QString& file, bool binary, QString* error);
// Chooses the format by the file's extension (.obj, .gltf, .glb).
bool exportScene(const QString& file, QString* error);
// True when exportScene knows the extension of file.
bool isExportFormat(const QString& file);
