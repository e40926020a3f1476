#pragma once
// The library's flower presets as slider values, diffuse colours and textures, and where the
// "Flower Meadow" sample lays its grass and flower patches out.
// Sliders not listed keep the values a new flower box starts with.
#include <utility>
#include <vector>

// The tables below are laid out by hand, a row per slider or preset.
// clang-format off

struct FlowerPresetDef
{
    const char* file;
    std::vector<std::pair<const char*, int>> values;
    int stem, leaf, petalIn, petalOut, pistil;  // diffuse colours
    const char *stemTex, *leafTex, *petalTex, *pistilTex;
};

inline const std::vector<FlowerPresetDef>& flowerPresets()
{
    static const std::vector<FlowerPresetDef> presets = {
    {"Daisy.txt",
     {{"Seed", 11}, {"Amount", 120}, {"Area X", 120}, {"Area Y", 90}, {"Stem Sides", 6}, {"Stem LOD", 6},
      {"Stem Count", 1}, {"Stem Count RND", 3}, {"Stem Height", 16}, {"Stem Height RND", 10},
      {"Stem Spray", 15}, {"Stem Spray RND", 20}, {"Stem Chaos", 10}, {"Stem Chaos RND", 10}, {"Stem Bend", 8},
      {"Stem Bend RND", 10}, {"Stem Size Top", 8}, {"Stem Size Bottom", 12}, {"Leaf Row Count", 2},
      {"Leaf Spin Bottom", 5}, {"Leaf Spin Top", 2}, {"Leaf Width Bottom", 14}, {"Leaf Length Bottom", 45},
      {"Leaf Curl", -30}, {"Leaf Curl RND", 20}, {"Leaf Rot Angle RND", 90}, {"Petal Layers", 2},
      {"Petal Spin Outer", 18}, {"Petal Spin Inner", 14}, {"Petal Width Outer", 10}, {"Petal Width Inner", 9},
      {"Petal Length Outer", 45}, {"Petal Length Inner", 36}, {"Petal Curl", 10}, {"Petal Curl RND", 10},
      {"Flower Open", 5}, {"Flower Open RND", 10}, {"Petal Sharper", 20}, {"Petal Taper", -20},
      {"Pistil Size", 150}},
     0x4E8A2E, 0x3F7A2A, 0xF4F4EE, 0xFFFFFF, 0xF2C21B, "Stem_Green.png", "FlowerLeaf_Narrow.png",
     "Petal_Daisy.png", "Pistil_Yellow.png"},
    {"Tulip.txt",
     {{"Seed", 23}, {"Amount", 60}, {"Area X", 80}, {"Area Y", 80}, {"Stem Sides", 8}, {"Stem LOD", 8},
      {"Stem Count", 1}, {"Stem Count RND", 1}, {"Stem Height", 34}, {"Stem Height RND", 10},
      {"Stem Chaos", 4}, {"Stem Chaos RND", 4}, {"Stem Bend", 4}, {"Stem Bend RND", 6},
      {"Stem Size Top", 16}, {"Stem Size Bottom", 22}, {"Leaf Row Count", 3}, {"Leaf Spin Bottom", 2},
      {"Leaf Spin Top", 1}, {"Leaf Width Bottom", 60}, {"Leaf Width Top", 45}, {"Leaf Length Bottom", 200},
      {"Leaf Length Top", 150}, {"Leaf Angle Bottom", 1}, {"Leaf Angle Top", 1}, {"Leaf Curl", -40},
      {"Leaf Curl RND", 30}, {"Leaf Rot Angle", 90}, {"Petal Layers", 2}, {"Petal Spin Outer", 3},
      {"Petal Spin Inner", 3}, {"Petal Width Outer", 55}, {"Petal Width Inner", 50},
      {"Petal Length Outer", 60}, {"Petal Length Inner", 56}, {"Petal Curl", 22}, {"Petal Curl RND", 6},
      {"Flower Open", 100}, {"Flower Open RND", 20}, {"Petal Taper", 12}, {"Petal Sharper", 30},
      {"Pistil Size", 60}},
     0x5C8F3A, 0x5B8F45, 0xD81E3C, 0xE8243F, 0x3A2A1A, "Stem_Green.png", "FlowerLeaf_Broad.png",
     "Petal_Tulip.png", "Pistil_Dark.png"},
    {"Poppy_Field.txt",
     {{"Seed", 37}, {"Amount", 220}, {"Area X", 260}, {"Area Y", 160}, {"A Shape", 40}, {"Stem Sides", 5},
      {"Stem LOD", 8}, {"Stem Count", 1}, {"Stem Count RND", 2}, {"Stem Height", 30}, {"Stem Height RND", 20},
      {"Stem Spray", 10}, {"Stem Spray RND", 15}, {"Stem Chaos", 30}, {"Stem Chaos RND", 30}, {"Stem Bend", 15},
      {"Stem Bend RND", 20}, {"Stem Size Top", 7}, {"Stem Size Bottom", 10}, {"Leaf Row Count", 2},
      {"Leaf Spin Bottom", 3}, {"Leaf Width Bottom", 20}, {"Leaf Length Bottom", 60}, {"Leaf Curl", -20},
      {"Leaf Curl RND", 40}, {"Leaf Rot Angle RND", 120}, {"Petal Layers", 1}, {"Petal Spin Outer", 4},
      {"Petal Width Outer", 70}, {"Petal Length Outer", 40}, {"Petal Curl", 30}, {"Petal Curl RND", 20},
      {"Flower Open", 40}, {"Flower Open RND", 30}, {"Petal Taper", 30}, {"Pistil Size", 110},
      {"Petal LOD", 5}},
     0x4F7F2F, 0x4A7A30, 0xD62A12, 0xE0301A, 0x1E1A16, "Stem_Green.png", "FlowerLeaf_Narrow.png",
     "Petal_Poppy.png", "Pistil_Dark.png"},
    {"Bluebells.txt",
     {{"Seed", 41}, {"Amount", 140}, {"Area X", 70}, {"Area Y", 70}, {"A Shape", 100}, {"Stem Sides", 5},
      {"Stem LOD", 10}, {"Stem Count", 1}, {"Stem Count RND", 2}, {"Stem Height", 20}, {"Stem Height RND", 8},
      {"Stem Spray", 12}, {"Stem Spray RND", 10}, {"Stem Chaos", 5}, {"Stem Chaos RND", 5}, {"Stem Bend", 45},
      {"Stem Bend RND", 20}, {"Stem Size Top", 6}, {"Stem Size Bottom", 9}, {"Leaf Row Count", 2},
      {"Leaf Spin Bottom", 4}, {"Leaf Width Bottom", 12}, {"Leaf Length Bottom", 150}, {"Leaf Angle Bottom", 1},
      {"Leaf Curl", -60}, {"Leaf Curl RND", 30}, {"Leaf Rot Angle RND", 90}, {"Petal Layers", 1},
      {"Petal Spin Outer", 6}, {"Petal Width Outer", 34}, {"Petal Length Outer", 42}, {"Petal Curl", 45},
      {"Petal Curl RND", 10}, {"Flower Open", 100}, {"Flower Open RND", 10}, {"Petal Taper", 10},
      {"Pistil Size", 40}},
     0x4A7A3A, 0x3E7040, 0x4A55C8, 0x5560D8, 0xE8E0C0, "Stem_Dark.png", "FlowerLeaf_Narrow.png",
     "Petal_Bluebell.png", "Pistil_Yellow.png"},
    {"Sunflower.txt",
     {{"Seed", 53}, {"Amount", 24}, {"Area X", 70}, {"Area Y", 50}, {"Stem Sides", 10}, {"Stem LOD", 10},
      {"Stem Count", 1}, {"Stem Count RND", 1}, {"Stem Height", 75}, {"Stem Height RND", 25},
      {"Stem Chaos", 8}, {"Stem Chaos RND", 8}, {"Stem Bend", 25}, {"Stem Bend RND", 10},
      {"Stem Size Top", 35}, {"Stem Size Bottom", 55}, {"Leaf Row Count", 7}, {"Leaf Spin Bottom", 2},
      {"Leaf Spin Top", 2}, {"Leaf Width Bottom", 90}, {"Leaf Width Top", 60}, {"Leaf Length Bottom", 130},
      {"Leaf Length Top", 90}, {"Leaf Curl", -25}, {"Leaf Curl RND", 20}, {"Leaf Rot Angle", 90},
      {"Petal Layers", 3}, {"Petal Spin Outer", 22}, {"Petal Spin Inner", 20}, {"Petal Width Outer", 26},
      {"Petal Width Inner", 24}, {"Petal Length Outer", 90}, {"Petal Length Inner", 75}, {"Petal Curl", 8},
      {"Petal Curl RND", 8}, {"Flower Open", 10}, {"Flower Open RND", 20}, {"Petal Sharper", 40},
      {"Pistil Size", 200}},
     0x6A8F3A, 0x4F8A2E, 0xF0B010, 0xF8C818, 0x4A2E12, "Stem_Reed.png", "FlowerLeaf_Broad.png",
     "Petal_Sunflower.png", "Pistil_Brown.png"},
    {"Wildflower_Mix.txt",
     {{"Seed", 67}, {"Amount", 180}, {"Area X", 200}, {"Area Y", 200}, {"A Shape", 70}, {"Stem Sides", 5},
      {"Stem LOD", 7}, {"Stem Count", 1}, {"Stem Count RND", 4}, {"Stem Height", 18}, {"Stem Height RND", 25},
      {"Stem Spray", 15}, {"Stem Spray RND", 25}, {"Stem Chaos", 15}, {"Stem Chaos RND", 20}, {"Stem Bend", 10},
      {"Stem Bend RND", 25}, {"Stem Size Top", 7}, {"Stem Size Bottom", 10}, {"Leaf Row Count", 3},
      {"Leaf Spin Bottom", 3}, {"Leaf Spin Top", 2}, {"Leaf Width Bottom", 16}, {"Leaf Length Bottom", 45},
      {"Leaf Length Top", 30}, {"Leaf Curl", 20}, {"Leaf Curl RND", 60}, {"Leaf Rot Angle RND", 180},
      {"Petal Layers", 2}, {"Petal Spin Outer", 6}, {"Petal Spin Inner", 5}, {"Petal Width Outer", 30},
      {"Petal Width Inner", 24}, {"Petal Length Outer", 34}, {"Petal Length Inner", 26}, {"Petal Curl", 20},
      {"Petal Curl RND", 40}, {"Flower Open", 15}, {"Flower Open RND", 80}, {"Petal inner Map X", 3},
      {"Petal inner Map Y", 2}, {"Petal outer Map X", 3}, {"Petal outer Map Y", 2}, {"Pistil Size", 90}},
     0x557F35, 0x4C7C36, 0xC060D0, 0xF08A30, 0xF0D040, "Stem_Green.png", "FlowerLeaf_Round.png",
     "Petal_Mix_3X2.png", "Pistil_Yellow.png"},
    };
    return presets;
}

struct MeadowGrass
{
    int shape, ax, az, mx, mz, amount, seed;
};

inline const std::vector<MeadowGrass>& meadowGrass()
{
    static const std::vector<MeadowGrass> grass = {{0, 230, 230, 0, 0, 30000, 5}, {100, 90, 90, -130, 120, 6000, 9}};
    return grass;
}

// Each patch from a library preset, then laid out where it stands.
struct MeadowPatch
{
    const char* preset;
    int x, z, ax, az, shape, ring, rotate, sectorSize, sectorStart;
};

inline const std::vector<MeadowPatch>& meadowPatches()
{
    static const std::vector<MeadowPatch> patches = {{"Daisy.txt", 120, 105, 70, 60, 100, 0, 0, 0, 0},
                                                     {"Poppy_Field.txt", 105, -100, 110, 70, 40, 0, 30, 0, 0},
                                                     {"Bluebells.txt", -120, 110, 60, 60, 100, 20, 0, 200, 40},
                                                     {"Sunflower.txt", 15, 15, 35, 30, 100, 0, 0, 0, 0},
                                                     {"Tulip.txt", -110, -90, 50, 40, 1, 0, 45, 0, 0},
                                                     {"Wildflower_Mix.txt", 0, 0, 40, 40, 100, 140, 0, 0, 0}};
    return patches;
}
// clang-format on
