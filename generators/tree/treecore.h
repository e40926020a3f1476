#pragma once
// Tree generator core: no widgets, no scene look-ups.
//
// One pass lays the whole tree down (trunk, two branch orders, two twig orders, leaves,
// fruit) from the sliders and the seed alone; the wind pass replays the same pass with the
// wind terms and writes the vertices over the existing ones, draw for draw and vertex for
// vertex, so it needs nothing kept between frames but the mesh.
//
// Inputs: the parameter struct, one int per box slider (its name and range beside the field and
// in the binding table below; lengths in scene units, cm; angles in degrees), and the ground
// as a GroundSampler. Out-of-range values (records and scripts carry them) are clamped by the
// table, never rejected.
// Also read: the trunk-shape byte map TreeParams::image points at (the caller keeps it alive
// for the pass), and for the wind pass a TreeWind (pane wind sliders, phase).
// Threading: passes for different meshes may run in parallel on any thread; passes for one
// mesh must not. A progress sink, when given, is called on the calling thread.
// Random draws: from the caller's generator, seeded from "Seed" at the start of every pass,
// so the wind pass replays the build's draws exactly.
// Allocation: buildTreeCore lays the mesh out anew; animateTreeCore sets every vertex in
// place and allocates nothing; it refuses (returns false) a mesh not built from these sliders.
#include <array>
#include <cstdint>

#include "common/groundsampler.h"
#include "common/verdixrandom.h"
#include "common/sliderbinding.h"

class DzFacetMesh;

// A grey-level trunk-shape image: one byte per pixel, rows top to bottom.
struct TreeShapeImage
{
    const unsigned char* bytes = nullptr;
    int width = 0;
    int height = 0;
    bool present() const { return bytes && width > 0 && height > 0; }
    unsigned char at(int row, int col) const;  // clamped to the image
};

struct TreeParams
{
    // Placement.
    int X = 0, Z = 0;  // "X", "Z"            -10000..10000
    int Seed = 0;      // "Seed"              0..10000
    // Trunk.
    int TrunkSides = 32;       // "Trunk Sides"       2..256
    int TrunkLOD = 10;         // "Trunk LOD"         1..50
    int TrunkShape = 3;        // "Trunk Shape"       1..16
    int TrunkSmooth = 50;      // "Trunk Smooth"      1..100
    int TrunkFlute = 0;        // "Trunk Flute"       -100..100
    int TreeHeight = 500;      // "Tree Height cm"    1..10000
    int TrunkGirthMax = 200;   // "Trunk Girth max"   1..2000
    int TrunkGirthMin = 50;    // "Trunk Girth min"   0..200
    int TrunkTwist = 0;        // "Trunk Twist"       -100..100
    int TrunkChaos = 30;       // "Chaos" (trunk)     1..100
    int ChaosStart = 2;        // "Chaos Start"       1..50
    int SwayX = 0, SwayZ = 0;  // "Sway X", "Sway Z"  -100..100
    int TrunkHeight = 40;      // "Trunk Height"      0..1000
    int ImageShape = 0;        // "Image Shape"       0..100
    // Branches.
    int BranchALength = 200;  // "BranchA Length cm" 1..1000
    int BranchBLength = 150;  // "BranchB Length cm" 1..1000
    int LengthRND = 10;       // "Length RND"        0..200
    int BranchSides = 5;      // "Branch Sides"      2..32
    int BranchLOD = 5;        // "Branch LOD"        2..32
    int BranchBLOD = 6;       // "BranchB LOD"       2..32
    int Shape = 2;            // "Shape"             1..8
    int Smooth = 50;          // "Smooth"            1..100
    int Spread = 20;          // "Spread"            1..100
    int BranchChaos = 30;     // "Chaos" (branch)    1..100
    int ChaosInterval = 1;    // "Chaos Interval"    1..10
    int AngleHi = 25;         // "Angle Hi"          0..180
    int AngleLo = 60;         // "Angle Lo"          0..180
    int BendingHi = 10;       // "Bending Hi"        -200..200
    int BendingLo = 10;       // "Bending Lo"        -100..100
    int Start1 = 39;          // "START1"            0..100
    int Start2 = 10;          // "START2"            0..100
    int Start3 = 10;          // "START3" (branch)   0..100
    int SpinHi = 1;           // "Spin Hi"           0..8
    int SpinLow = 1;          // "Spin Low"          0..8
    int SpinRND = 50;         // "Spin RND"          0..100
    int SpinAngle = 0;        // "Spin Angle"        0..360
    int Shuffle = 0;          // "Shuffle"           0..50
    int BranchUp = 0;         // "Branch Up"         0..360
    int BranchWall = 0;       // "Branch Wall"       0..360
    // Twigs.
    int TwigLengthA = 50;    // "Twig Length A"     1..200
    int TwigLengthB = 50;    // "Twig Length B"     1..200
    int TwigRND = 5;         // "Twig RND"          0..100
    int TwigSides = 3;       // "Twig Sides"        2..16
    int TwigLODA = 3;        // "Twig LOD A"        2..10
    int TwigLODB = 3;        // "Twig LOD B"        2..10
    int BendHi = 0;          // "Bend Hi"           -200..200
    int BendLo = 0;          // "Bend Lo"           -100..100
    int SpreadHi = 20;       // "Spread Hi"         1..100
    int SpreadLo = 30;       // "Spread Lo"         1..100
    int ChaosHi = 5;         // "Chaos Hi"          0..100
    int ChaosLo = 5;         // "Chaos Lo"          0..100
    int EndOfTrunk = 0;      // "End Of Trunk"      0..5
    int EndOfBranch = 1;     // "End Of Branch"     0..5
    int AlternateBias = 20;  // "Alternate Bias"    0..100
    int TwigStart3 = 10;     // "START3" (twig)     0..100
    // Leaves.
    int LeafSizeX = 8, LeafSizeY = 8;  // "Leaf Size X/Y"   1..100
    int LeafMapsX = 1, LeafMapsY = 1;  // "Leaf Maps X/Y"   1..8
    int LeafLOD = 25;                  // "Leaf LOD"          0..100
    int LeafFloorLOD = 100;            // "Floor LOD" (leaf)  0..100
    int UpDownRND = 1;                 // "Up Down RND"       1..180
    int LeftRightRND = 1;              // "Left Right RND"    1..180
    int LeafStandoff = 50;             // "Standoff Ground" (leaf) 1..100
    int UpDown = 0;                    // "Up Down"           -20..180
    // Fruit.
    int FruitSizeX = 8, FruitSizeY = 18;  // "Fruit Size X/Y" 1..100
    int FruitMapsX = 1, FruitMapsY = 1;   // "Fruit Maps X/Y" 1..8
    int FruitLOD = 25;                    // "Fruit LOD"         0..100
    int FruitFloorLOD = 100;              // "Floor LOD" (fruit) 0..100
    int RollRND = 1;                      // "Roll RND"          1..360
    int TurnRND = 1;                      // "Turn RND"          1..360
    int FruitStandoff = 50;               // "Standoff Ground" (fruit) 1..100
    int ApplePear = 0;                    // "Apple Pear"        0..100
    int FruitSides = 12;                  // "Fruit Sides"       4..32
    // Wind response of this tree (the pane-wide wind is in TreeWind).
    int WindOnStem = 100, WindOnBranch = 100, WindOnTwigs = 100, WindOnLeaves = 100, WindOnFruit = 100;

    // The low level-of-detail flag: one branch per whorl, three-sided tubes.
    bool lowLOD = false;
    // The trunk-shape image used when "Image Shape" is above 0.
    TreeShapeImage image;

    // What a box without sliders builds.
    static TreeParams builtIn();
    // Every value forced into its slider's range (records and scripts may carry others).
    TreeParams clamped() const;
    // The values the mesh's layout depends on: vertex, facet and UV counts. A wind pass
    // over a mesh built under another key would write a different tree's vertex order.
    using TopologyKey = std::array<int, 25>;
    TopologyKey topologyKey() const;
};

// The box sliders the passes read, in reading order: display name, member, range and, for a
// name that repeats, which of its sliders. clamped() forces each member into its range.
const SliderFields<TreeParams>& treeSliderFields();

// What a build left in the mesh, for the wind passes that follow it.
struct TreeBuiltMesh
{
    TreeParams::TopologyKey key{};
    int vertices = -1;  // -1: nothing built yet
};

// Pane-wide wind inputs of one animation pass.
struct TreeWind
{
    int WindStrength1 = 100;  // "Wind Strength 1" 0..200
    int WindSpeed = 100;      // "Wind Speed"      0..200
    int WindSpeed2 = 0;       // "Wind Speed2"     0..200
    float phase = 1.0f;       // the pane's phase counter
};

// Fixed capacities of one pass.
constexpr int kTreeMaxStarts = 100;  // per branch and twig order
constexpr int kTreeMaxLeaves = 30000;
constexpr int kTreeMaxFruit = 500;

struct TreeBuildInfo
{
    int vertices = 0;
    int quads = 0;
    int uvs = 0;
    // Starts recorded per order: branch A, branch B, twig A, twig B.
    std::array<int, 4> starts{};
    // Tubes built per order (branch A skips the branches of empty whorls).
    std::array<int, 4> built{};
    int hangingLeaves = 0, fallenLeaves = 0;
    int hangingFruit = 0, fallenFruit = 0;
    int twigRingsAfterFirst = 0;  // leaf sites: every twig ring after a twig's first
    int heightQueries = 0;
};

// Called once per first-order branch while a build runs on the GUI thread.
struct TreeProgress
{
    virtual ~TreeProgress() = default;
    virtual void begin(int maximum) = 0;
    virtual void step(int value) = 0;
    virtual void end() = 0;
};

// Lays the whole tree into mesh (its previous content is removed): vertices, quads with the
// four materials "Trunk", "Stem", "Leaf", "Fruit" (indices 0..3), the eight UV blocks.
TreeBuildInfo buildTreeCore(const TreeParams& params, VxRandomStream& rng, DzFacetMesh& mesh,
                            const GroundSampler& ground, TreeProgress* progress = nullptr);

// The record of a build for the wind passes that follow it.
TreeBuiltMesh treeBuiltMesh(const TreeParams& params, const TreeBuildInfo& info);

// Re-poses a tree built by buildTreeCore: every vertex set in place, nothing allocated.
// False (the mesh untouched) when the sliders' layout is not the one the mesh was built
// with or the mesh no longer holds the vertices that build left.
bool animateTreeCore(const TreeParams& params, VxRandomStream& rng, const TreeWind& wind, DzFacetMesh& mesh,
                     const GroundSampler& ground, const TreeBuiltMesh& built, TreeBuildInfo* info = nullptr);

// The fruit profile rings (radius and height factors, top to bottom) for "Apple Pear" 0..100.
void treeFruitProfile(int applePear, float radius[8], float height[8]);
