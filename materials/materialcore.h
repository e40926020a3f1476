#pragma once
// Texture and material-property assignment on an object node, without widgets: what the
// texture combos, the records and the node builder share.
#include <QString>
#include <QStringList>
#include <functional>

class DzNode;

namespace verdix {

// The sprite-sheet grid a file name states: "4X" gives 4 columns, "X2" 2 rows, n from 1 to
// 40, case-sensitive; a missing tag means 1. Two-digit tags are looked for first, so that
// "12X" reads 12 rather than 2.
struct GridTags
{
    int columns = 1;
    int rows = 1;
    // Set when a number beside an "X" is outside 1 to 40 ("99999X99999"): the name states
    // no grid this reader can take, and must not be read as another one.
    QString fault;
};
GridTags readGridTags(const QString& fileName);

// A companion map of a diffuse texture: the marker between base name and suffix, the
// material property that takes the file and the value then set on it (none when hasValue
// is false).
struct CompanionMap
{
    const char* marker;
    const char* property;
    bool hasValue;
    double value;
};
// In the order they are applied.
const CompanionMap* companionMaps(int* count);
// "bark.png" with "_B." gives "bark_B.png".
QString companionFileName(const QString& fileName, const char* marker);

// Where a stored texture path points now. A path that names no file is looked for again
// as "<folder>/<file>" under the texture root, so that documents and scenes keep their
// textures when the library moved (another machine, another build folder, a Windows path).
// Anything else comes back unchanged.
QString resolveTexturePath(const QString& path, const QString& textureRoot);

// On the node's first shape, the material named mat and on it the property named prop:
// a numeric property gets the image at path as its map (made mappable first), an image
// property the image as its value; both lose their image when no file is at path. An image
// that is refused (too large, not an image, corrupt or cut short) leaves the property as it
// was, and the reason naming the file is returned; empty otherwise. report receives
// "Did not processMaterials %1" for a property of another kind. Missing node, object,
// shape, material or property: nothing.
QString setMaterialTexture(DzNode* node, const QString& mat, const QString& prop, const QString& path,
                           const std::function<void(const QString&)>& report = {});
// The same look-up; a numeric property takes value.
// Whether a texture path a document holds stays inside one of the folders (the library,
// the document's own folder), symbolic links and ".." resolved; a path to no file reads
// nothing and passes. why names the path when it does not.
bool textureInside(const QString& path, const QStringList& folders, QString* why);

void setMaterialValue(DzNode* node, const QString& mat, const QString& prop, double value);

}  // namespace verdix
