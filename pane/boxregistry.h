#pragma once
// The registry of box types: one line per type code, reserved types included. Whatever
// differs between types (title, icon, node, materials, generator slots, placement on a
// terrain, animation, the images a new box loads, its preset files) is read from here;
// the widgets of a type are its slider layout (pane/slidersets.h).
// A new generator is one line in the table of boxregistry.cpp and its own folder.
#include <QColor>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>
#include "pane/boxtypes.h"
#include "plugin/assetfolders.h"

namespace verdix {
struct TypeLayout;
}
class GeneratorBox;

// One material of an object node. Negative specular/glossiness leave the host default.
struct VerdixMaterialSpec
{
    const char* name;
    QColor diffuse;
    double specular;  // 0xRRGGBB as a number
    double glossiness;
};

// How a box of the type takes part in an animation tick. Every tick task runs on a worker
// of the tick's task ring; the slot reads the snapshot its capture took on the GUI thread.
enum class TickCall {
    None,          // does not animate
    BoxSlot,       // tickSlot(int box, bool ResetCache = false)
    BoxSlotIndex,  // tickSlot(int box)
    MappingStep,   // tickSlot() once per box of the type, one at a time (shared object table)
};

// An image a new box loads at creation, from an asset folder.
struct DefaultImage
{
    const char* file;
    VerdixAssets::Folder folder;
};

// A slider the type's generator reads, with the range its core clamps the value to.
struct BoundSliderRange
{
    const char* name;
    int occurrence;
    int min, max;
};

struct BoxTypeEntry
{
    int code;
    const char* titleWord;  // "GrassV1.0": new box titles; null when the type has no create
    const char* labelWord;  // "(%1) GrassV1.0": GetTypeLable
    const char* iconFile;   // box icon, null when none
    const char* assetId;    // asset id of the object node, null when the type builds no node
    const char* addedTo;    // status after placing on a landscape ("%1" = its title)
    const char* added;      // status without a landscape

    // Generator slots, found by name so that a type is wired as soon as its slots exist.
    // A type with a create slot but no update slot (the rock) makes its own box or none.
    const char* createSlot;
    const char* updateSlot;  // update(int box, bool): full rebuild with fullUpdate
    bool fullUpdate;
    // All-box updates (a slider moved without focus) run as background tasks.
    bool backgroundBatch;
    // Its objects stand on a landscape and follow it: re-placed when the terrain changes.
    bool standsOnTerrain;

    TickCall tick;
    const char* tickSlot;

    // Node materials in the order they are added to the shape, and, where it differs, the
    // order they are created in (null-terminated).
    std::vector<VerdixMaterialSpec> materials;
    std::vector<const char*> materialCreationOrder;

    std::vector<DefaultImage> defaultImages;

    // Preset folder and record header of the types that keep presets; null otherwise.
    const char* presetFolder;
    const char* presetHeader;

    // The last slider of its record was added later: a record that ends right before it
    // leaves it at 0.
    bool lastSliderOptional;

    // The generator's slider bindings (its core's table); null for types without one.
    std::vector<BoundSliderRange> (*boundSliders)();

    // Makes a new box's generator state; null for types without one.
    std::unique_ptr<GeneratorBox> (*makeGenerator)();

    bool animates() const { return tick != TickCall::None; }
    // The type's widgets.
    const verdix::TypeLayout& layout() const;
};

// The entry of a type code; null outside 1..13.
const BoxTypeEntry* typeInfo(int type);

// The status line of a generator slot called for a box of another type: "Not a grass
// object!", the type's title word in lower case.
QString wrongTypeMessage(int type);

// "(0003) GrassV1.0"; "Error: Label" for an unknown type.
QString typeLabel(int type, int index);
// "(0003) GrassV1.0" from the title word; empty for a type without one.
QString newBoxTitle(int type, int index);

// The materials of a type's node, in the order they are added to the shape; empty for
// types that build no node through the shared builder.
std::vector<VerdixMaterialSpec> typeMaterials(int type);
// The order in which the builder creates those materials, by name, where it differs from
// the shape's order; empty otherwise.
QStringList typeMaterialCreationOrder(int type);
