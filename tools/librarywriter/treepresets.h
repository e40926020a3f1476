#pragma once
// The library's tree presets as slider values, and where the "Grove" sample plants them.
// Sliders not listed keep the values a new tree box starts with.
#include <vector>

// The tables below are laid out by hand, a row per slider or preset.
// clang-format off

struct TreeSliderValue
{
    const char* name;
    int occurrence;  // names that repeat in a tree box: 0 = the first
    int value;
};

struct TreePresetDef
{
    const char* file;
    const char* shape;  // trunk-profile image of the shape list; nullptr: none
    std::vector<TreeSliderValue> values;
};

inline const std::vector<TreePresetDef>& treePresets()
{
    static const std::vector<TreePresetDef> presets = {
        // A broad, spreading crown on a thick fluted trunk; the high-detail one.
        {"Broad Oak.txt", "Fluted.png",
         {{"Image Shape", 0, 14}, {"Seed", 0, 17}, {"Tree Height cm", 0, 560}, {"Trunk LOD", 0, 40}, {"Trunk Sides", 0, 128},
          {"Trunk Shape", 0, 5}, {"Trunk Smooth", 0, 35}, {"Trunk Flute", 0, 10}, {"Trunk Girth max", 0, 380},
          {"Trunk Girth min", 0, 110}, {"Chaos", 0, 8}, {"Chaos Start", 0, 4}, {"Trunk Height", 0, 0},
          {"BranchA Length cm", 0, 340}, {"BranchB Length cm", 0, 190}, {"Length RND", 0, 80},
          {"Branch Sides", 0, 32}, {"Branch LOD", 0, 32}, {"BranchB LOD", 0, 16}, {"Shape", 0, 2},
          {"Smooth", 0, 20}, {"Spread", 0, 35}, {"Chaos", 1, 6}, {"Chaos Interval", 0, 3},
          {"Angle Hi", 0, 15}, {"Angle Lo", 0, 58}, {"Bending Hi", 0, 8}, {"Bending Lo", 0, 12},
          {"START1", 0, 60}, {"START2", 0, 86}, {"START3", 0, 95}, {"Spin Hi", 0, 1}, {"Spin Low", 0, 2},
          {"Spin RND", 0, 6}, {"Spin Angle", 0, 30}, {"Branch Up", 0, 0}, {"Branch Wall", 0, 12},
          {"Twig Length A", 0, 160}, {"Twig Length B", 0, 110}, {"Twig RND", 0, 30}, {"Twig Sides", 0, 16},
          {"Twig LOD A", 0, 10}, {"Twig LOD B", 0, 10}, {"Bend Hi", 0, 8}, {"Bend Lo", 0, 12},
          {"Spread Hi", 0, 40}, {"Spread Lo", 0, 55}, {"Chaos Hi", 0, 10}, {"Chaos Lo", 0, 10},
          {"End Of Trunk", 0, 0}, {"End Of Branch", 0, 1}, {"Alternate Bias", 0, 30}, {"START3", 1, 90},
          {"Leaf Size X", 0, 85}, {"Leaf Size Y", 0, 80}, {"Leaf LOD", 0, 100}, {"Floor LOD", 0, 96},
          {"Up Down", 0, 70}, {"Up Down RND", 0, 60}, {"Left Right RND", 0, 180}, {"Standoff Ground", 0, 30},
          {"Fruit LOD", 0, 0}}},
        // Tall and narrow: short, steep branches all the way up a slender trunk.
        {"Tall Poplar.txt", "Round_Flare.png",
         {{"Image Shape", 0, 8}, {"Seed", 0, 5}, {"Tree Height cm", 0, 1300}, {"Trunk LOD", 0, 30}, {"Trunk Sides", 0, 24},
          {"Trunk Shape", 0, 3}, {"Trunk Smooth", 0, 10}, {"Trunk Girth max", 0, 260}, {"Trunk Girth min", 0, 70},
          {"Chaos", 0, 6}, {"Chaos Start", 0, 5}, {"Trunk Height", 0, 0}, {"BranchA Length cm", 0, 170},
          {"BranchB Length cm", 0, 90}, {"Length RND", 0, 40}, {"Branch Sides", 0, 8}, {"Branch LOD", 0, 10},
          {"BranchB LOD", 0, 8}, {"Smooth", 0, 10}, {"Spread", 0, 18}, {"Chaos", 1, 4},
          {"Chaos Interval", 0, 2}, {"Angle Hi", 0, 12}, {"Angle Lo", 0, 32}, {"Bending Hi", 0, -12},
          {"Bending Lo", 0, -8}, {"START1", 0, 15}, {"START2", 0, 55}, {"START3", 0, 90}, {"Spin Hi", 0, 1},
          {"Spin Low", 0, 1}, {"Spin RND", 0, 10}, {"Branch Wall", 0, 5}, {"Twig Length A", 0, 60},
          {"Twig Length B", 0, 40}, {"Twig RND", 0, 15}, {"Twig Sides", 0, 5}, {"Twig LOD A", 0, 8},
          {"Twig LOD B", 0, 6}, {"Spread Hi", 0, 20}, {"Spread Lo", 0, 25}, {"Chaos Hi", 0, 5}, {"Chaos Lo", 0, 5},
          {"End Of Trunk", 0, 3}, {"End Of Branch", 0, 1}, {"Alternate Bias", 0, 40}, {"START3", 1, 80},
          {"Leaf Size X", 0, 40}, {"Leaf Size Y", 0, 45}, {"Leaf LOD", 0, 100}, {"Floor LOD", 0, 97},
          {"Up Down", 0, 40}, {"Up Down RND", 0, 50}, {"Left Right RND", 0, 180}, {"Fruit LOD", 0, 0}}},
        // A young sapling: a thin stem and a few light branches.
        {"Young Sapling.txt", nullptr,
         {{"Seed", 0, 3}, {"Tree Height cm", 0, 260}, {"Trunk LOD", 0, 10}, {"Trunk Sides", 0, 12},
          {"Trunk Shape", 0, 2}, {"Trunk Smooth", 0, 5}, {"Trunk Girth max", 0, 110}, {"Trunk Girth min", 0, 30},
          {"Chaos", 0, 10}, {"Chaos Start", 0, 2}, {"Sway X", 0, 6}, {"Trunk Height", 0, 0},
          {"BranchA Length cm", 0, 90}, {"BranchB Length cm", 0, 45}, {"Length RND", 0, 20},
          {"Branch Sides", 0, 6}, {"Branch LOD", 0, 8}, {"BranchB LOD", 0, 6}, {"Smooth", 0, 5},
          {"Spread", 0, 30}, {"Chaos", 1, 3}, {"Chaos Interval", 0, 2}, {"Angle Hi", 0, 35}, {"Angle Lo", 0, 55},
          {"Bending Hi", 0, 0}, {"Bending Lo", 0, 10}, {"START1", 0, 40}, {"START2", 0, 40}, {"START3", 0, 60},
          {"Spin Hi", 0, 2}, {"Spin Low", 0, 1}, {"Spin RND", 0, 10}, {"Twig Length A", 0, 35},
          {"Twig Length B", 0, 25}, {"Twig RND", 0, 10}, {"Twig Sides", 0, 4}, {"Twig LOD A", 0, 6},
          {"Twig LOD B", 0, 5}, {"Spread Hi", 0, 30}, {"Spread Lo", 0, 40}, {"Chaos Hi", 0, 3}, {"Chaos Lo", 0, 3},
          {"End Of Trunk", 0, 2}, {"End Of Branch", 0, 1}, {"Alternate Bias", 0, 40}, {"START3", 1, 50},
          {"Leaf Size X", 0, 22}, {"Leaf Size Y", 0, 24}, {"Leaf LOD", 0, 100}, {"Floor LOD", 0, 100},
          {"Up Down", 0, 50}, {"Up Down RND", 0, 50}, {"Left Right RND", 0, 180}, {"Fruit LOD", 0, 0}}},
        // A low, crooked apple tree heavy with fruit, some of it in the grass below.
        {"Apple Tree.txt", "Gnarled.png",
         {{"Image Shape", 0, 12}, {"Seed", 0, 41}, {"Tree Height cm", 0, 330}, {"Trunk LOD", 0, 14}, {"Trunk Sides", 0, 32},
          {"Trunk Shape", 0, 4}, {"Trunk Smooth", 0, 40}, {"Trunk Girth max", 0, 300}, {"Trunk Girth min", 0, 90},
          {"Trunk Twist", 0, 30}, {"Chaos", 0, 40}, {"Chaos Start", 0, 2}, {"Sway Z", 0, 10}, {"Trunk Height", 0, 0},
          {"BranchA Length cm", 0, 300}, {"BranchB Length cm", 0, 150}, {"Length RND", 0, 60},
          {"Branch Sides", 0, 10}, {"Branch LOD", 0, 12}, {"BranchB LOD", 0, 8}, {"Smooth", 0, 25},
          {"Spread", 0, 40}, {"Chaos", 1, 14}, {"Chaos Interval", 0, 2}, {"Angle Hi", 0, 42},
          {"Angle Lo", 0, 62}, {"Bending Hi", 0, 10}, {"Bending Lo", 0, 15}, {"START1", 0, 50},
          {"START2", 0, 30}, {"START3", 0, 70}, {"Spin Hi", 0, 2}, {"Spin Low", 0, 3}, {"Spin RND", 0, 15},
          {"Spin Angle", 0, 90}, {"Twig Length A", 0, 70}, {"Twig Length B", 0, 50}, {"Twig RND", 0, 20},
          {"Twig Sides", 0, 5}, {"Twig LOD A", 0, 8}, {"Twig LOD B", 0, 10}, {"Bend Hi", 0, 10}, {"Bend Lo", 0, 15},
          {"Spread Hi", 0, 35}, {"Spread Lo", 0, 50}, {"Chaos Hi", 0, 15}, {"Chaos Lo", 0, 15},
          {"End Of Trunk", 0, 2}, {"End Of Branch", 0, 2}, {"Alternate Bias", 0, 35}, {"START3", 1, 60},
          {"Leaf Size X", 0, 38}, {"Leaf Size Y", 0, 38}, {"Leaf LOD", 0, 50}, {"Floor LOD", 0, 96},
          {"Up Down", 0, 60}, {"Up Down RND", 0, 60}, {"Left Right RND", 0, 180},
          {"Fruit Size X", 0, 12}, {"Fruit Size Y", 0, 13}, {"Fruit LOD", 0, 100}, {"Floor LOD", 1, 75},
          {"Fruit Sides", 0, 12}, {"Apple Pear", 0, 0}, {"Roll RND", 0, 360}, {"Turn RND", 0, 360},
          {"Standoff Ground", 1, 20}}},
        // A bare winter birch: tall, thin, drooping twigs and not a leaf.
        {"Winter Birch.txt", "Round_Flare.png",
         {{"Image Shape", 0, 6}, {"Seed", 0, 29}, {"Tree Height cm", 0, 900}, {"Trunk LOD", 0, 24}, {"Trunk Sides", 0, 20},
          {"Trunk Shape", 0, 2}, {"Trunk Smooth", 0, 8}, {"Trunk Girth max", 0, 200}, {"Trunk Girth min", 0, 40},
          {"Chaos", 0, 12}, {"Chaos Start", 0, 3}, {"Sway X", 0, -8}, {"Trunk Height", 0, 0},
          {"BranchA Length cm", 0, 280}, {"BranchB Length cm", 0, 140}, {"Length RND", 0, 60},
          {"Branch Sides", 0, 6}, {"Branch LOD", 0, 12}, {"BranchB LOD", 0, 10}, {"Smooth", 0, 5},
          {"Spread", 0, 30}, {"Chaos", 1, 6}, {"Chaos Interval", 0, 1}, {"Angle Hi", 0, 30}, {"Angle Lo", 0, 60},
          {"Bending Hi", 0, 45}, {"Bending Lo", 0, 60}, {"START1", 0, 35}, {"START2", 0, 60}, {"START3", 0, 85},
          {"Spin Hi", 0, 1}, {"Spin Low", 0, 1}, {"Spin RND", 0, 20}, {"Twig Length A", 0, 90},
          {"Twig Length B", 0, 60}, {"Twig RND", 0, 30}, {"Twig Sides", 0, 3}, {"Twig LOD A", 0, 8},
          {"Twig LOD B", 0, 8}, {"Bend Hi", 0, 60}, {"Bend Lo", 0, 80}, {"Spread Hi", 0, 30}, {"Spread Lo", 0, 45},
          {"Chaos Hi", 0, 20}, {"Chaos Lo", 0, 20}, {"End Of Trunk", 0, 3}, {"End Of Branch", 0, 2},
          {"Alternate Bias", 0, 50}, {"START3", 1, 70}, {"Leaf LOD", 0, 0}, {"Fruit LOD", 0, 0}}},
    };
    return presets;
}

struct GroveTree
{
    const char* preset;
    int x, z;
};

inline const std::vector<GroveTree>& groveTrees()
{
    static const std::vector<GroveTree> trees = {
        {"Broad Oak.txt", -450, -380}, {"Tall Poplar.txt", 560, -600}, {"Apple Tree.txt", 420, 430},
        {"Young Sapling.txt", -120, 620}, {"Winter Birch.txt", -680, 320}, {"Young Sapling.txt", 720, 80},
    };
    return trees;
}
// clang-format on
