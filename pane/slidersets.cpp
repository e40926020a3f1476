#include "pane/slidersets.h"

#include <QDir>

#include <vector>

// The tables below are laid out by hand, a row per slider or preset.
// clang-format off

namespace verdix {
namespace {

constexpr GridPlace H(int col) { return {-1, 0, col}; }
constexpr GridPlace at(int section, int row, int col) { return {section, row, col}; }

constexpr SliderDef s(const char* name, int min, int max, int def, GridPlace place)
{
    return {name, min, max, def, false, nullptr, place, true, false};
}
constexpr SliderDef pct(SliderDef x) { x.percent = true; return x; }
constexpr SliderDef tip(SliderDef x, const char* text) { x.tooltip = text; return x; }
// Moves of these sliders rebuild every box of the type rather than the focused one.
constexpr SliderDef unscanned(SliderDef x) { x.focusScanned = false; return x; }
constexpr SliderDef pos(SliderDef x) { x.position = true; return x; }

constexpr ComboDef combo(const char* placeholder, const char* folder, FileFilter filter, const char* slot,
                          char letter, GridPlace place, bool editable = false)
{
    return {placeholder, folder, filter, slot, letter, editable, place};
}

template <class T, int N>
constexpr TableView<T> view(const T (&a)[N]) { return {a, N}; }

// ---- Landscape -------------------------------------------------------------------------
const SectionDef kLandSections[] = {{"LANDSCAPE SHAPING"}, {"LOD LEVEL OF DETAIL"}, {"LANDSCAPE TEXTURES"}};
const SliderDef kLandSliders[] = {
    pct(s("Land", -100, 100, 0, at(0, 1, 0))),
    pct(s("River", -100, 100, 0, at(0, 1, 1))),
    pct(s("Hill", -100, 100, 0, at(0, 1, 2))),
    pct(s("Flat", -100, 100, 0, at(0, 1, 3))),
    pct(s("Path", -100, 100, 0, at(0, 1, 4))),
    unscanned(pct(s("User", -100, 100, 0, at(0, 1, 5)))),
    tip(pct(s("Smooth", 0, 400, 0, at(0, 2, 2))), "Smooth out the mesh"),
    tip(pct(s("DeNoise", 0, 100, 0, at(0, 2, 0))), "De noise the mesh"),
    unscanned(pct(s("Rest", 0, 100, 0, at(0, 3, 0)))),
    unscanned(pct(s("Rest Y Offset", 0, 100, 0, at(0, 3, 1)))),
    unscanned(s("Rest Blend", 1, 200, 10, at(0, 3, 2))),
    s("Size XZ", 1, 1000, 200, at(1, 0, 0)),
    s("DIVISIONS", 1, 100, 20, at(1, 0, 2)),
    s("TILES", 1, 100, 20, at(1, 0, 3)),
    pct(s("Size Y", 0, 1000, 100, at(1, 0, 1))),
};
const ComboDef kLandCombos[] = {
    combo("Landscape", "Verdix_Landscape_Ground", FileFilter::Maps, "LoadComboMapImage(int)", 'A', at(0, 0, 0)),
    combo("River", "Verdix_Landscape_River", FileFilter::Maps, "LoadComboMapImage(int)", 'B', at(0, 0, 1)),
    combo("Hill", "Verdix_Landscape_Hill", FileFilter::Maps, "LoadComboMapImage(int)", 'C', at(0, 0, 2)),
    combo("Flat", "Verdix_Landscape_Flat", FileFilter::Maps, "LoadComboMapImage(int)", 'D', at(0, 0, 3)),
    combo("Path", "Verdix_Landscape_Path", FileFilter::Maps, "LoadComboMapImage(int)", 'E', at(0, 0, 4)),
    combo("User", "Verdix_Landscape_User", FileFilter::Dat, "LoadComboMapImage(int)", 'F', at(0, 0, 5), true),
    combo("Landscape Diffuse None", "Verdix_Texture_Landscape", FileFilter::Textures, "LoadTexureLandscape(int)",
          'G', at(2, 0, 0)),
    combo("Landscape Blend None", "Verdix_Texture_Landscape_Alpha", FileFilter::Textures,
          "LoadTexureLandscapeBlend(int)", 'H', at(2, 0, 1)),
};
const ButtonDef kLandButtons[] = {
    {ButtonDef::SaveMap, "save_map.png", "Save total height data", "SaveUserHeightMap()", "padding:0px;", 0,
     at(0, 2, 5)},
};
const char* const kLandRecord[] = {"Land",    "River",     "Hill",  "Flat",   "Path",
                                   "User",    "Smooth",    "DeNoise", "Size XZ", "DIVISIONS",
                                   "TILES",   "Size Y",    "Rest",  "Rest Y Offset", "Rest Blend"};
const int kLandRecordCombos[] = {0, 1, 2, 3, 4, 5, 6, 7};

// ---- Rock (one grid, no sections; the image button holds column 0) ----------------------
const SliderDef kRockSliders[] = {
    unscanned(pct(s("Shape", -100, 100, 0, at(-1, 1, 1)))),
    unscanned(pct(s("Shape", -100, 100, 0, at(-1, 1, 2)))),
    unscanned(pct(s("Shape", -100, 100, 0, at(-1, 1, 3)))),
    unscanned(pct(s("Shape", -100, 100, 0, at(-1, 1, 4)))),
};
const ComboDef kRockCombos[] = {
    combo("Rock A", "Verdix_Ground", FileFilter::Maps, nullptr, 'A', at(-1, 0, 1)),
    combo("Rock B", nullptr, FileFilter::None, nullptr, 'B', at(-1, 0, 2)),
    combo("Rock C", nullptr, FileFilter::None, nullptr, 'C', at(-1, 0, 3)),
    combo("Rock B", nullptr, FileFilter::None, nullptr, 'D', at(-1, 0, 4)),
};
const ButtonDef kRockButtons[] = {
    {ButtonDef::ResetRock, "refresh.png", "Refresh to start", "ControlBox_ResetRockPress()", "padding:0px;", 44,
     at(-1, 1, 5)},
};

// ---- Grass -----------------------------------------------------------------------------
const SectionDef kGrassSections[] = {{"GRASS SETTINGS"}};
const SliderDef kGrassSliders[] = {
    s("Amount", 1, 200000, 1000, at(0, 0, 0)),
    s("Area size X", 1, 4000, 100, at(0, 0, 1)),
    s("Full off X", 0, 200, 0, at(0, 0, 2)),
    // Handed 0, below its range; the slider clamps it to 1.
    s("Clump Min", 1, 100, 1, at(0, 0, 3)),
    s("Grass LOD", 1, 32, 6, at(0, 1, 0)),
    s("Area size Z", 1, 4000, 100, at(0, 1, 1)),
    s("Full off Z", 0, 200, 0, at(0, 1, 2)),
    s("Clump RND", 1, 100, 3, at(0, 1, 3)),
    s("Height Min", 1, 500, 20, at(0, 0, 4)),
    s("Height RND", 1, 500, 5, at(0, 1, 4)),
    s("Bend Min", 1, 1000, 500, at(0, 0, 5)),
    s("Bend RND", 1, 1000, 300, at(0, 1, 5)),
    s("Thick Min", 100, 500, 200, at(0, 0, 6)),
    s("Thick RND", 100, 500, 100, at(0, 1, 6)),
    pct(s("Shape", -300, 300, 0, at(0, 2, 1))),
    s("Ring", 0, 4000, 1, at(0, 2, 2)),
    s("Rotate", 0, 360, 0, at(0, 2, 3)),
    s("Seed", 0, 1000, 0, H(0)),
    unscanned(s("Wind", 0, 200, 100, at(0, 2, 6))),
    s("Sector Size", 0, 359, 0, at(0, 2, 4)),
    s("Sector Start", 0, 360, 0, at(0, 2, 5)),
    pos(s("Move X", -10000, 10000, 0, H(1))),
    pos(s("Move Z", -10000, 10000, 0, H(2))),
};
const ComboDef kGrassCombos[] = {
    combo("Grass Textures", "Verdix_Texture_Grass", FileFilter::Textures, "LoadTexureGrass(int)", 'C', at(0, 2, 0)),
};

// ---- Stones ----------------------------------------------------------------------------
const SectionDef kStonesSections[] = {{"GRASS SETTINGS"}, {"STONE SETTINGS"}, {"STONE LAYOUT RANDOM"}};
const SliderDef kStonesSliders[] = {
    s("Grass", 0, 100, 10, at(0, 0, 0)),
    s("Area size X", 1, 4000, 100, at(0, 0, 1)),
    s("Full off X", 0, 200, 0, at(0, 0, 2)),
    s("Clump Min", 1, 100, 1, at(0, 0, 3)),
    s("Grass LOD", 1, 32, 6, at(0, 1, 0)),
    s("Area size Z", 1, 4000, 100, at(0, 1, 1)),
    s("Full off Z", 0, 200, 0, at(0, 1, 2)),
    s("Clump RND", 1, 100, 3, at(0, 1, 3)),
    s("Height Min", 1, 500, 10, at(0, 0, 4)),
    s("Height RND", 1, 500, 5, at(0, 1, 4)),
    s("Bend Min", 1, 1000, 200, at(0, 0, 5)),
    s("Bend RND", 1, 1000, 300, at(0, 1, 5)),
    s("Width Min", 100, 500, 150, at(0, 0, 6)),
    s("Width RND", 100, 500, 100, at(0, 1, 6)),
    pct(s("A Shape", -300, 300, 0, at(2, 0, 0))),
    s("A Ring", 0, 4000, 0, at(2, 0, 1)),
    s("A Rotate", 0, 360, 0, at(2, 0, 2)),
    s("Seed", 0, 1000, 0, H(0)),
    s("Wind", 0, 200, 100, at(2, 0, 5)),
    s("A Sector Size", 0, 359, 0, at(2, 0, 3)),
    s("A Sector Start", 0, 360, 0, at(2, 0, 4)),
    s("Stone Map X", 1, 9, 1, at(1, 2, 1)),
    s("Stone Map Y", 1, 9, 1, at(1, 2, 2)),
    pos(s("Move X", -10000, 10000, 0, H(1))),
    pos(s("Move Z", -10000, 10000, 0, H(2))),
    s("Stone Amount", 1, 1000, 50, at(1, 0, 0)),
    s("Stone LOD", 3, 50, 12, at(1, 1, 0)),
    s("Stone Size X", 1, 400, 50, at(1, 0, 1)),
    s("Stone Size Y", 1, 400, 40, at(1, 0, 2)),
    s("Stone Size Z", 1, 400, 50, at(1, 0, 3)),
    s("Stone Offset Y", -100, 100, 0, at(1, 1, 2)),
    s("StandOff X", 1, 100, 10, at(1, 1, 1)),
    s("StandOff Z", 1, 100, 10, at(1, 1, 3)),
    s("Rough", -100, 100, 0, at(1, 2, 3)),
};
const ComboDef kStonesCombos[] = {
    combo("Grass Textures", "Verdix_Texture_Grass", FileFilter::Textures, "LoadTexureStonesGrass(int)", 'C',
          at(0, 2, 0)),
    combo("Stone Textures", "Verdix_Texture_Stones", FileFilter::Textures, "LoadTexureStones(int)", 'D',
          at(1, 2, 0)),
};

// ---- Tree ------------------------------------------------------------------------------
const SectionDef kTreeSections[] = {{"TRUNK SETTINGS"}, {"BRANCH SETTINGS"}, {"TWIG SETTINGS"},
                                     {"LEAF SETTINGS"},  {"FRUIT SETTINGS"},  {"WIND SETTINGS"}};
const SliderDef kTreeSliders[] = {
    s("Seed", 0, 10000, 0, H(3)),                         // 1
    s("Image Shape", 0, 100, 0, at(0, 0, 1)),
    s("Trunk Sides", 2, 256, 32, at(0, 1, 0)),
    s("Trunk LOD", 1, 50, 10, at(0, 2, 0)),
    s("Trunk Shape", 1, 16, 3, at(0, 1, 1)),              // 5
    s("Trunk Smooth", 1, 100, 50, at(0, 2, 1)),
    s("Trunk Flute", -100, 100, 0, at(0, 1, 3)),
    s("Tree Height cm", 1, 10000, 500, at(0, 0, 3)),
    s("Trunk Girth max", 1, 2000, 200, at(0, 2, 2)),
    s("Trunk Girth min", 0, 200, 50, at(0, 1, 2)),        // 10
    s("Trunk Twist", -100, 100, 0, at(0, 2, 3)),
    s("Chaos", 1, 100, 30, at(0, 1, 4)),
    s("Chaos Start", 1, 50, 2, at(0, 2, 4)),
    s("Sway X", -100, 100, 0, at(0, 1, 5)),
    s("Sway Z", -100, 100, 0, at(0, 2, 5)),               // 15
    s("BranchA Length cm", 1, 1000, 200, at(1, 0, 0)),
    s("BranchB Length cm", 1, 1000, 150, at(1, 0, 3)),
    s("Branch Sides", 2, 32, 5, at(1, 1, 0)),
    s("Branch LOD", 2, 32, 5, at(1, 2, 0)),
    s("BranchB LOD", 2, 32, 6, at(1, 3, 0)),              // 20
    s("Shape", 1, 8, 2, at(1, 1, 1)),
    s("Smooth", 1, 100, 50, at(1, 2, 1)),
    s("Spread", 1, 100, 20, at(1, 3, 1)),
    s("Chaos", 1, 100, 30, at(1, 1, 2)),
    s("Chaos Interval", 1, 10, 1, at(1, 2, 2)),           // 25
    s("Angle Hi", 0, 180, 25, at(1, 1, 3)),
    s("Angle Lo", 0, 180, 60, at(1, 2, 3)),
    s("Shuffle", 0, 50, 0, at(1, 3, 3)),
    s("START1", 0, 100, 39, at(1, 1, 4)),
    s("START2", 0, 100, 10, at(1, 2, 4)),                 // 30
    s("START3", 0, 100, 10, at(1, 3, 4)),
    s("Spin Hi", 0, 8, 1, at(1, 1, 5)),
    s("Spin Low", 0, 8, 1, at(1, 2, 5)),
    s("Bending Hi", -200, 200, 10, at(1, 1, 6)),
    s("Bending Lo", -100, 100, 10, at(1, 2, 6)),          // 35
    s("Spin RND", 0, 100, 50, at(1, 3, 5)),
    s("Spin Angle", 0, 360, 0, at(1, 4, 5)),
    s("Branch Up", 0, 360, 0, at(1, 3, 6)),
    s("Branch Wall", 0, 360, 0, at(1, 4, 6)),
    s("Length RND", 0, 200, 10, at(1, 0, 6)),             // 40
    s("Leaf Size X", 1, 100, 8, at(3, 0, 1)),
    s("Leaf Size Y", 1, 100, 8, at(3, 1, 1)),
    s("Leaf Maps X", 1, 8, 1, at(3, 0, 2)),
    s("Leaf Maps Y", 1, 8, 1, at(3, 1, 2)),
    s("Leaf LOD", 0, 100, 25, at(3, 0, 3)),               // 45
    s("Floor LOD", 0, 100, 100, at(3, 1, 3)),
    s("Up Down RND", 1, 180, 1, at(3, 0, 4)),
    s("Left Right RND", 1, 180, 1, at(3, 1, 4)),
    s("Standoff Ground", 1, 100, 50, at(3, 0, 5)),
    s("Up Down", -20, 180, 0, at(3, 1, 5)),               // 50
    s("Fruit Size X", 1, 100, 8, at(4, 0, 1)),
    s("Fruit Size Y", 1, 100, 18, at(4, 1, 1)),
    s("Fruit Maps X", 1, 8, 1, at(4, 0, 2)),
    s("Fruit Maps Y", 1, 8, 1, at(4, 1, 2)),
    s("Fruit LOD", 0, 100, 25, at(4, 0, 3)),              // 55
    s("Floor LOD", 0, 100, 100, at(4, 1, 3)),
    s("Roll RND", 1, 360, 1, at(4, 0, 4)),
    s("Turn RND", 1, 360, 1, at(4, 1, 4)),
    s("Standoff Ground", 1, 100, 50, at(4, 0, 5)),
    s("Apple Pear", 0, 100, 0, at(4, 1, 5)),              // 60
    s("Fruit Sides", 4, 32, 12, at(4, 1, 0)),
    s("Twig Length A", 1, 200, 50, at(2, 0, 0)),
    s("Twig RND", 0, 100, 5, at(2, 0, 6)),
    s("Twig Sides", 2, 16, 3, at(2, 1, 0)),
    s("Twig LOD A", 2, 10, 3, at(2, 1, 1)),               // 65
    s("Twig LOD B", 2, 10, 3, at(2, 2, 1)),
    s("Bend Hi", -200, 200, 0, at(2, 1, 2)),
    s("Bend Lo", -100, 100, 0, at(2, 2, 2)),
    s("Spread Hi", 1, 100, 20, at(2, 1, 3)),
    s("Spread Lo", 1, 100, 30, at(2, 2, 3)),              // 70
    s("Chaos Hi", 0, 100, 5, at(2, 1, 4)),
    s("Chaos Lo", 0, 100, 5, at(2, 2, 4)),
    s("End Of Trunk", 0, 5, 0, at(2, 1, 5)),
    s("End Of Branch", 0, 5, 1, at(2, 2, 5)),
    s("Alternate Bias", 0, 100, 20, at(2, 1, 6)),         // 75
    s("START3", 0, 100, 10, at(2, 2, 6)),
    s("Twig Length B", 1, 200, 50, at(2, 0, 3)),
    unscanned(s("Wind On Stem", 0, 200, 100, at(5, 0, 0))),
    unscanned(s("Wind On Branch", 0, 200, 100, at(5, 0, 1))),
    unscanned(s("Wind On Twigs", 0, 200, 100, at(5, 0, 2))),     // 80
    unscanned(s("Wind On Leaves", 0, 200, 100, at(5, 0, 3))),
    unscanned(s("Wind On Fruit", 0, 200, 100, at(5, 0, 4))),
    s("Trunk Height", 0, 1000, 40, at(0, 0, 2)),
    pos(s("X", -10000, 10000, 0, H(4))),
    pos(s("Z", -10000, 10000, 0, H(5))),                  // 85
};
const ComboDef kTreeCombos[] = {
    combo("Tree Presets", "Verdix_Presets_Tree", FileFilter::Presets, "Button_OpenTreePreset(int)", 'A', H(0)),
    combo("Shapes", "Verdix_Shapes_Tree", FileFilter::Maps, "LoadComboMapImageTree(int)", 'B', at(0, 0, 0)),
    combo("Trunk Textures", "Verdix_Texture_Tree_Bark", FileFilter::Textures, "LoadTexureTreeTrunk(int)", 'F',
          at(1, 4, 0)),
    combo("Bark Textures", "Verdix_Texture_Tree_Bark", FileFilter::Textures, "LoadTexureTreeBark(int)", 'E',
          at(1, 4, 1)),
    combo("Leaf Textures", "Verdix_Texture_Tree_Leaf", FileFilter::Textures, "LoadTexureTreeLeaf(int)", 'C',
          at(3, 0, 0)),
    combo("Fruit Textures", "Verdix_Texture_Tree_Fruit", FileFilter::Textures, "LoadTexureTreeFruit(int)", 'D',
          at(4, 0, 0)),
};
const ButtonDef kTreeButtons[] = {
    {ButtonDef::SavePreset, "save.png", "Save tree preset", "Button_SaveTreePreset()", nullptr, 0, H(1)},
    {ButtonDef::OpenPreset, "OpenFile.png", "Open tree preset", "Button_OpenTreeFile()", nullptr, 0, H(2)},
};
// Record order by 1-based creation position; 0 is the slot a tree has no slider for.
const int kTreeRecordPositions[] = {
    3,  4,  5,  6,  7,  8,  9,  10, 11, 16, 18, 19, 21, 22, 24, 25, 26, 27, 29, 30, 32, 33,
    34, 35, 36, 40, 41, 42, 43, 44, 45, 46, 47, 48, 12, 13, 14, 15, 31, 23, 17, 20, 2,  28,
    1,  0,  62, 63, 64, 65, 67, 68, 69, 70, 71, 72, 73, 74, 75, 66, 76, 77, 37, 38, 39, 49,
    51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 78, 79, 80, 81, 82, 84, 85, 83, 50,
};
const int kTreeRecordCombos[] = {1};

// ---- Flower ----------------------------------------------------------------------------
const SectionDef kFlowerSections[] = {{"FLOWER SETTINGS"}, {"STEM SETTINGS"},   {"PETAL SETTINGS"},
                                       {"LEAF SETTINGS"},   {"LAYOUT SETTINGS"}, {"WIND SETTINGS"}};
const SliderDef kFlowerSliders[] = {
    s("Seed", 0, 10000, 0, H(3)),
    pos(s("X", -10000, 10000, 0, H(4))),
    pos(s("Z", -10000, 10000, 0, H(5))),
    s("Stem Sides", 2, 256, 9, at(1, 0, 0)),
    s("Stem LOD", 1, 50, 8, at(1, 1, 0)),
    s("Stem Count", 1, 10, 1, at(1, 0, 1)),
    s("Stem Count RND", 1, 10, 1, at(1, 1, 1)),
    s("Stem Height", 1, 100, 20, at(1, 0, 2)),
    s("Stem Height RND", 1, 100, 10, at(1, 1, 2)),
    s("Stem Spray", 1, 100, 2, at(1, 0, 3)),
    s("Stem Spray RND", 1, 100, 5, at(1, 1, 3)),
    s("Stem Chaos", 1, 100, 10, at(1, 0, 4)),
    s("Stem Chaos RND", 1, 100, 5, at(1, 1, 4)),
    s("Stem Bend", 1, 100, 10, at(1, 0, 5)),
    s("Stem Bend RND", 1, 100, 5, at(1, 1, 5)),
    s("Amount", 1, 250, 25, at(0, 1, 0)),
    s("Pistil Size", 1, 200, 100, at(0, 2, 0)),
    s("Flower Open", 1, 200, 1, at(0, 3, 0)),
    s("Flower Open RND", 1, 100, 1, at(0, 3, 1)),
    s("Leaf Map X", 1, 9, 1, at(0, 1, 1)),
    s("Leaf Map Y", 1, 9, 1, at(0, 2, 1)),
    s("Petal inner Map X", 1, 9, 1, at(0, 1, 2)),
    s("Petal inner Map Y", 1, 9, 1, at(0, 2, 2)),
    s("Petal outer Map X", 1, 9, 1, at(0, 1, 3)),
    s("Petal outer Map Y", 1, 9, 1, at(0, 2, 3)),
    unscanned(s("Pistil outer Map X", 1, 9, 1, at(0, 1, 4))),
    unscanned(s("Pistil outer Map Y", 1, 9, 1, at(0, 2, 4))),
    s("Petal LOD", 1, 12, 6, at(2, 0, 0)),
    s("Petal Layers", 1, 20, 3, at(2, 1, 0)),
    s("Petal Width Inner", 1, 100, 10, at(2, 0, 1)),
    s("Petal Width Outer", 1, 100, 10, at(2, 1, 1)),
    s("Petal Length Inner", 1, 200, 50, at(2, 0, 2)),
    s("Petal Length Outer", 1, 200, 50, at(2, 1, 2)),
    s("Petal Spin Inner", 1, 32, 4, at(2, 0, 3)),
    s("Petal Spin Outer", 1, 32, 3, at(2, 1, 3)),
    s("Petal Curl", 1, 100, 40, at(2, 0, 4)),
    s("Petal Curl RND", 1, 100, 1, at(2, 1, 4)),
    s("Leaf LOD", 1, 12, 6, at(3, 0, 0)),
    s("Leaf Row Count", 1, 100, 1, at(3, 1, 0)),
    s("Leaf Width Top", 1, 200, 15, at(3, 0, 1)),
    s("Leaf Width Bottom", 1, 200, 20, at(3, 1, 1)),
    s("Leaf Length Top", 1, 400, 30, at(3, 0, 2)),
    s("Leaf Length Bottom", 1, 400, 50, at(3, 1, 2)),
    s("Leaf Spin Top", 0, 32, 2, at(3, 0, 3)),
    s("Leaf Spin Bottom", 0, 32, 2, at(3, 1, 3)),
    s("Leaf Curl", -180, 180, 40, at(3, 0, 4)),
    s("Leaf Curl RND", 1, 180, 1, at(3, 1, 4)),
    s("Leaf Angle Top", -90, 90, 0, at(3, 0, 5)),
    s("Leaf Angle Bottom", -90, 90, 0, at(3, 1, 5)),
    s("Leaf Rot Angle", 0, 360, 0, at(3, 0, 6)),
    s("Leaf Rot Angle RND", 0, 360, 0, at(3, 1, 6)),
    s("Stem Size Top", 1, 100, 10, at(1, 0, 6)),
    s("Stem Size Bottom", 1, 100, 20, at(1, 1, 6)),
    s("Petal Sharper", 1, 100, 1, at(2, 0, 5)),
    s("Petal Taper", -100, 100, 0, at(2, 1, 5)),
    pct(s("A Shape", -300, 300, 1, at(4, 0, 0))),
    s("A Ring", 0, 4000, 0, at(4, 0, 1)),
    s("A Rotate", 0, 360, 0, at(4, 0, 2)),
    s("Area X", 1, 1000, 100, at(4, 0, 3)),
    s("Area Y", 1, 1000, 100, at(4, 0, 4)),
    s("A Sector Size", 0, 359, 0, at(4, 0, 5)),
    s("A Sector Start", 0, 360, 0, at(4, 0, 6)),
    s("Wind Stem", 0, 200, 100, at(5, 0, 0)),
    s("Wind Leaf", 0, 200, 100, at(5, 0, 1)),
    s("Wind Petal", 0, 200, 100, at(5, 0, 2)),
};
const ComboDef kFlowerCombos[] = {
    combo("Plant Presets", "Verdix_Presets_Flower", FileFilter::Presets, "Button_OpenFlowerPreset(int)", 'A', H(0)),
    combo("Stem Textures", "Verdix_Texture_Flower_Stem", FileFilter::Textures, "LoadTexureFlowerStem(int)", 'B',
          at(0, 0, 0)),
    combo("Leaf Textures", "Verdix_Texture_Flower_Leaf", FileFilter::Textures, "LoadTexureFlowerLeaf(int)", 'C',
          at(0, 0, 1)),
    combo("Petal Textures In", "Verdix_Texture_Flower_Petal", FileFilter::Textures, "LoadTexureFlowerPetalIn(int)",
          'D', at(0, 0, 2)),
    combo("Petal Textures Out", "Verdix_Texture_Flower_Petal", FileFilter::Textures,
          "LoadTexureFlowerPetalOut(int)", 'E', at(0, 0, 3)),
    combo("Pistil Textures", "Verdix_Texture_Flower_Pistil", FileFilter::Textures, "LoadTexureFlowerPistil(int)",
          'F', at(0, 0, 4)),
};
const ButtonDef kFlowerButtons[] = {
    {ButtonDef::SavePreset, "save.png", "Save flower preset", "Button_SaveFlowerPreset()", nullptr, 0, H(1)},
    {ButtonDef::OpenPreset, "OpenFile.png", "Open flower preset", "Button_OpenFlowerFile()", nullptr, 0, H(2)},
};
const char* const kFlowerRecord[] = {
    "X", "Z", "Seed", "Stem Sides", "Stem LOD", "Stem Count", "Stem Count RND", "Stem Height", "Stem Height RND",
    "Stem Spray", "Stem Spray RND", "Stem Chaos", "Stem Chaos RND", "Wind Stem", "Wind Leaf", "Wind Petal",
    "A Shape", "A Ring", "A Rotate", "Area X", "Area Y", "A Sector Size", "A Sector Start", "Amount",
    "Pistil Size", "Stem Bend", "Stem Bend RND", "Flower Open", "Flower Open RND", "Leaf Map X", "Leaf Map Y",
    "Petal inner Map X", "Petal inner Map Y", "Petal outer Map X", "Petal outer Map Y", "Pistil outer Map X",
    "Pistil outer Map Y", "Petal LOD", "Petal Layers", "Petal Width Inner", "Petal Width Outer",
    "Petal Length Inner", "Petal Length Outer", "Petal Spin Inner", "Petal Spin Outer", "Petal Curl",
    "Petal Curl RND", "Leaf LOD", "Leaf Row Count", "Leaf Width Top", "Leaf Width Bottom", "Leaf Length Top",
    "Leaf Length Bottom", "Leaf Spin Top", "Leaf Spin Bottom", "Leaf Curl", "Leaf Curl RND", "Leaf Angle Top",
    "Leaf Angle Bottom", "Leaf Rot Angle", "Leaf Rot Angle RND", "Stem Size Top", "Stem Size Bottom",
    "Petal Sharper", "Petal Taper",
};

// ---- Billboard -------------------------------------------------------------------------
const SectionDef kBillboardSections[] = {
    {"BILLBOARD SETTINGS"}, {"LAYOUT SETTINGS"}, {"MAPPING & ANIMATION SETTINGS"}};
const SliderDef kBillboardSliders[] = {
    s("Amount", 1, 10000, 100, at(0, 0, 0)),
    s("Area size X", 1, 4000, 1000, at(0, 0, 1)),
    s("Full off X", 0, 500, 0, at(0, 0, 2)),
    s("Animate Start RND", 0, 512, 0, at(2, 0, 3)),
    s("Spin LOD", 1, 16, 1, at(0, 1, 0)),
    s("Area size Z", 1, 4000, 1000, at(0, 1, 1)),
    s("Full off Z", 0, 500, 0, at(0, 1, 2)),
    s("Animate End", 0, 512, 0, at(2, 0, 4)),
    s("Height Min", 1, 2000, 100, at(0, 0, 3)),
    s("Height RND", 1, 1000, 1, at(0, 1, 3)),
    s("Map X", 1, 40, 1, at(2, 0, 1)),
    s("Map Z", 1, 40, 1, at(2, 0, 2)),
    s("Width Min", 1, 2000, 100, at(0, 0, 4)),
    s("Width RND", 1, 1000, 1, at(0, 1, 4)),
    pct(s("Shape", -300, 300, 100, at(1, 0, 1))),
    s("Ring", 0, 4000, 1000, at(1, 0, 2)),
    s("Rotate", 0, 360, 0, at(1, 0, 3)),
    s("Seed", 0, 1000, 0, H(0)),
    unscanned(s("Animate Off On", 0, 1, 0, at(2, 0, 5))),
    s("Sector Size", 0, 359, 0, at(1, 0, 4)),
    s("Sector Start", 0, 360, 0, at(1, 0, 5)),
    pos(s("Move X", -10000, 10000, 0, H(1))),
    pos(s("Move Z", -10000, 10000, 0, H(2))),
};
const ComboDef kBillboardCombos[] = {
    combo("Billboard Textures", "Verdix_Texture_Billboard", FileFilter::Textures, "LoadTexureBillboard(int)", 'C',
          at(2, 0, 0)),
};

// ---- Assembly --------------------------------------------------------------------------

struct Built
{
    std::vector<int> record[14];
    TypeLayout layouts[14];
    TypeLayout empty;
};

int findIn(const SliderDef* sl, int n, const char* name)
{
    for (int i = 0; i < n; ++i)
        if (QLatin1String(sl[i].name) == QLatin1String(name)) return i;
    return -1;
}

template <int N, int M>
std::vector<int> byNames(const SliderDef (&sl)[N], const char* const (&names)[M])
{
    std::vector<int> out;
    for (const char* n : names) out.push_back(findIn(sl, N, n));
    return out;
}

template <int N>
std::vector<int> identity(const SliderDef (&)[N])
{
    std::vector<int> out;
    for (int i = 0; i < N; ++i) out.push_back(i);
    return out;
}

TableView<int> viewOf(const std::vector<int>& v) { return {v.data(), int(v.size())}; }

Built* build()
{
    static Built b;
    auto& L = b.layouts;
    for (int t = 0; t < 14; ++t) L[t] = TypeLayout{t, "", nullptr, nullptr, false, false, {}, {}, {}, {}, {}, {}};
    b.empty = L[0];

    b.record[TypeLandscape] = byNames(kLandSliders, kLandRecord);
    b.record[TypeGrass] = identity(kGrassSliders);
    b.record[TypeStones] = identity(kStonesSliders);
    b.record[TypeBillboard] = identity(kBillboardSliders);
    b.record[TypeFlower] = byNames(kFlowerSliders, kFlowerRecord);
    for (int p : kTreeRecordPositions) b.record[TypeTree].push_back(p - 1);

    L[TypeLandscape] = {TypeLandscape, "Landscape", "SliderNewLandscape", "SliderMoveLandScape(int)", false, true,
                        view(kLandSections), view(kLandSliders), view(kLandCombos), view(kLandButtons),
                        viewOf(b.record[TypeLandscape]), view(kLandRecordCombos)};
    L[TypeRock] = {TypeRock, "Rock", "SliderNewLandscape", "SliderMoveLandScape(int)", false, false,
                   {}, view(kRockSliders), view(kRockCombos), view(kRockButtons), {}, {}};
    L[TypeGrass] = {TypeGrass, "Grass", "SliderNewGrass", "SliderUpdateGrass(int)", true, true,
                    view(kGrassSections), view(kGrassSliders), view(kGrassCombos), {},
                    viewOf(b.record[TypeGrass]), {}};
    L[TypeTree] = {TypeTree, "Tree", "SliderNewTree", "SliderUpdateTree(int)", false, true,
                   view(kTreeSections), view(kTreeSliders), view(kTreeCombos), view(kTreeButtons),
                   viewOf(b.record[TypeTree]), view(kTreeRecordCombos)};
    L[TypeFlower] = {TypeFlower, "Flower", "SliderNewFlower", "SliderUpdateFlower(int)", false, true,
                     view(kFlowerSections), view(kFlowerSliders), view(kFlowerCombos), view(kFlowerButtons),
                     viewOf(b.record[TypeFlower]), {}};
    L[TypeBillboard] = {TypeBillboard, "Billboard", "SliderNewBB", "SliderUpdateBillboard(int)", true, true,
                        view(kBillboardSections), view(kBillboardSliders), view(kBillboardCombos), {},
                        viewOf(b.record[TypeBillboard]), {}};
    L[TypeStones] = {TypeStones, "Stones", "SliderNewStone", "SliderUpdateStones(int)", true, true,
                     view(kStonesSections), view(kStonesSliders), view(kStonesCombos), {},
                     viewOf(b.record[TypeStones]), {}};
    const struct { int type; const char* name; } reserved[] = {
        {TypeBush, "Bush"}, {TypeIvy, "Ivy"}, {TypeWeed, "Weed"},
        {TypeMushroom, "Mushroom"}, {TypeCrystals, "Crystals"}, {TypeParticles, "Particles"}};
    for (const auto& r : reserved) {
        L[r.type].type = r.type;
        L[r.type].name = r.name;
    }
    return &b;
}

const Built& built()
{
    static const Built* b = build();
    return *b;
}

} // namespace

const TypeLayout& layoutFor(int type)
{
    const Built& b = built();
    if (type < 1 || type > 13) return b.empty;
    return b.layouts[type];
}

int TypeLayout::poolSlot(int sliderIndex) const
{
    if (sliderIndex < 0 || sliderIndex >= sliders.size()) return -1;
    for (int p = 0; p < recordOrder.size(); ++p)
        if (recordOrder[p] == sliderIndex) return p;
    return sliderIndex;
}

int TypeLayout::recordPosition(int sliderIndex) const
{
    int p = 0;
    for (int slot : recordOrder) {
        if (slot < 0) continue;
        if (slot == sliderIndex) return p;
        ++p;
    }
    return -1;
}

int TypeLayout::recordSliderCount() const
{
    int n = 0;
    for (int slot : recordOrder) n += slot >= 0 ? 1 : 0;
    return n;
}

int TypeLayout::sliderAtRecordPosition(int p) const
{
    for (int slot : recordOrder) {
        if (slot < 0) continue;
        if (p-- == 0) return slot;
    }
    return -1;
}

int TypeLayout::comboForLetter(char letter) const
{
    for (int i = 0; i < combos.size(); ++i)
        if (combos[i].letter == letter) return i;
    return -1;
}

int sliderIndex(int type, const QString& name, int occurrence)
{
    const TypeLayout& l = layoutFor(type);
    for (int i = 0; i < l.sliders.size(); ++i)
        if (name == QLatin1String(l.sliders[i].name) && occurrence-- == 0) return i;
    return -1;
}

int sliderIndexInSection(int type, const QString& sectionTitle, const QString& name)
{
    const TypeLayout& l = layoutFor(type);
    int section = -1;
    if (!sectionTitle.isEmpty()) {
        for (int k = 0; k < l.sections.size() && section < 0; ++k)
            if (sectionTitle == QLatin1String(l.sections[k].title)) section = k;
        if (section < 0) return -1;
    }
    for (int i = 0; i < l.sliders.size(); ++i)
        if (l.sliders[i].place.section == section && name == QLatin1String(l.sliders[i].name)) return i;
    return -1;
}

QStringList nameFilters(FileFilter filter)
{
    switch (filter) {
    case FileFilter::Maps:
    case FileFilter::Textures: return {"*.tif", "*.bmp", "*.jpg", "*.png"};
    case FileFilter::Dat: return {"*.dat"};
    case FileFilter::Presets: return {"*.txt"};
    case FileFilter::None: break;
    }
    return {};
}

bool isCompanionMap(const QString& fileName)
{
    for (const char* m : {"_O.", "_B.", "_N.", "_S.", "_D."})
        if (fileName.contains(QLatin1String(m))) return true;
    return false;
}

QStringList listComboFiles(const QString& folder, FileFilter filter)
{
    const QStringList filters = nameFilters(filter);
    if (filters.isEmpty() || folder.isEmpty()) return {};
    const QDir dir(folder);
    if (!dir.exists()) return {};
    QStringList out;
    for (const QString& name : dir.entryList(filters, QDir::Files, QDir::Name))
        if (filter != FileFilter::Textures || !isCompanionMap(name)) out << name;
    return out;
}

} // namespace verdix
// clang-format on
