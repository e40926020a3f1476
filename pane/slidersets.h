#pragma once
// The widgets of every control-box type as data: sections, sliders, combo boxes and
// buttons in creation order, with the record order of the sliders. Network_AddControlBox
// walks these tables to build a box; the record reader and writer, the MIDI bridge and
// the generators find a slider through them by type and display name.
#include <QString>
#include <QStringList>
#include "pane/boxtypes.h"

namespace verdix {

constexpr int kMaxBoxes = kMaxControlBoxes;

// A read-only view of one of the static tables below.
template <class T>
struct TableView
{
    const T* items = nullptr;
    int count = 0;
    const T& operator[](int i) const { return items[i]; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }
    int size() const { return count; }
    bool isEmpty() const { return count == 0; }
};

// Where a widget sits: section -1 is the header row (or, for the rock, the box's own grid,
// which has no sections). Rows and columns are 0-based within that grid; in the header
// row the column counts the type's header widgets after the image button.
struct GridPlace
{
    int section;
    int row;
    int col;
};

struct SliderDef
{
    const char* name;
    int min;
    int max;
    int def;
    bool percent;
    const char* tooltip;  // nullptr: none
    GridPlace place;
    // False for the sliders that the type's slider-change slot does not ask for keyboard
    // focus, so moving one of them rebuilds every box of the type.
    bool focusScanned;
    // "X"/"Z" and "Move X"/"Move Z": consumed but not applied when a preset is read.
    bool position;
};

// Which files a combo box lists from its folder.
enum class FileFilter {
    None,      // lists nothing, placeholder only
    Maps,      // *.tif *.bmp *.jpg *.png
    Textures,  // as Maps, without companion maps; nothing when the folder is missing
    Dat,       // *.dat raw float height files
    Presets,   // *.txt single-record preset files
};

struct ComboDef
{
    const char* placeholder;
    const char* folderKey;  // asset folder name under the texture root; nullptr: none
    FileFilter filter;
    const char* slot;  // currentIndexChanged(int) target; nullptr: not connected
    char letter;       // combo table of the box ('A' = first)
    bool editable;
    GridPlace place;

    bool isTexture() const { return filter == FileFilter::Textures; }
    int table() const { return letter - 'A'; }
};

struct ButtonDef
{
    enum Role {
        SavePreset,
        OpenPreset,
        SaveMap,
        ResetRock
    };
    Role role;
    const char* icon;  // image file looked up through LoadQSFile; nullptr: none
    const char* tooltip;
    const char* slot;        // pressed() target
    const char* styleSheet;  // nullptr: none
    int maxWidth;            // 0: no limit
    GridPlace place;
};

struct SectionDef
{
    const char* title;
};

struct TypeLayout
{
    int type;
    const char* name;         // "Grass", for messages and tests
    const char* sliderSetup;  // SliderNewGrass and its siblings; nullptr when no sliders
    const char* sliderSlot;   // what every slider's valueChanged(int) is connected to
    // Header sliders sit in a borderless group of their own (grass, stones, billboard).
    bool headerGroup;
    // The show/hide button is connected (not for the rock and the header-only types).
    bool showHide;
    TableView<SectionDef> sections;
    TableView<SliderDef> sliders;  // creation order
    TableView<ComboDef> combos;    // creation order
    TableView<ButtonDef> buttons;
    // Record order: creation indices of the sliders as records store them; -1 marks a
    // record position that this type has no slider for (never written nor read).
    TableView<int> recordOrder;
    // Creation indices of the combo boxes whose texts head the record, in record order.
    TableView<int> recordCombos;
    // Position of slider i in the shared pool of slider tables.
    int poolSlot(int sliderIndex) const;
    // Position of slider i among the record's slider fields (gap-free), -1 when unrecorded.
    int recordPosition(int sliderIndex) const;
    // Number of slider fields a record holds for this type (the gap excluded).
    int recordSliderCount() const;
    // Creation index of the slider at record field position p (gap-free), -1 when none.
    int sliderAtRecordPosition(int p) const;
    // Creation index of the combo box in table letter, -1 when the type has none there.
    int comboForLetter(char letter) const;
    // The type writes a full record (header, values, materials), not the header alone.
    bool hasRecord() const { return !recordOrder.isEmpty(); }
};

// Widgets every box has, whatever its type.
struct CommonBoxWidgets
{
    static constexpr const char* deleteIcon = "Delete.png";
    static constexpr const char* deleteTooltip = "Remove";
    static constexpr const char* deleteSlot = "ControlBox_DeleteButtonPress()";
    static constexpr const char* showHideIcon = "Window.png";
    static constexpr const char* showHideTooltip = "Hide controls";
    static constexpr const char* showHideSlot = "ControlBox_ShowHideButtonPress()";
    static constexpr const char* imageSlot = "ControlBox_ImageButtonPress()";
    static constexpr const char* saveMapIcon = "save_map.png";
    static constexpr const char* buttonStyle = "padding:0px;";
    static constexpr const char* buttonGroupStyle = "border: none";
    static constexpr int groupMinHeight = 50;
    static constexpr int groupMaxHeight = 800;
    static constexpr int deleteMaxSize = 16;
    static constexpr int imageMaxSize = 40;
    static constexpr int imageIconSize = 50;
    static constexpr int buttonGroupWidth = 64;
    static constexpr int buttonGroupHeight = 36;
};

// The layout of type; an empty layout (no widgets beyond the header) for unknown codes.
const TypeLayout& layoutFor(int type);

// Creation index of the occurrence-th slider of type named name (exact, case-sensitive);
// -1 when there is none. Names repeat within a tree.
int sliderIndex(int type, const QString& name, int occurrence = 0);
// The same within one section, found by its title; "" names the header row.
int sliderIndexInSection(int type, const QString& sectionTitle, const QString& name);

// Files a combo lists, as name filters; empty for FileFilter::None.
QStringList nameFilters(FileFilter filter);
// True when a file name must be left out of a texture combo (a companion map).
bool isCompanionMap(const QString& fileName);
// The file names a combo lists after its placeholder: files only, matching the filter,
// sorted by name, companion maps left out of texture combos. Empty for a missing folder.
QStringList listComboFiles(const QString& folder, FileFilter filter);

}  // namespace verdix
