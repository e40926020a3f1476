#pragma once
// Stone field generator core: no widgets, no scene look-ups.
//
// A box scatters S dome-shaped stones over an area, each tilted to the ground under it, and
// grows tufts of grass blades round their waists. Mesh layout, in vertex order: stone s has
// 8 rings of K vertices (index s 8K + ring K + j), material 0; then the blades, 2 + 2L
// vertices each, material 1. UV points: the blade strip (2 (L + 1)), then the stone atlas
// (MX x MY tiles of 8 rings of K + 1 points).
//
// Inputs: the parameter struct, one int per box slider (its name and range beside the field and
// in the binding table below; lengths in scene units, cm; angles in degrees), and the ground
// as a GroundSampler. Out-of-range values (records and scripts carry them) are clamped by the
// table, never rejected.
// Threading: passes for different boxes may run in parallel on any thread; passes for one box
// must not. ResetCache false (the wind tick) rewrites the blades only, every ground height
// from the caller's cache.
// Random draws: from the caller's generator, seeded from "Seed" at the start of every layout;
// no pass touches any other generator.
// Allocation: the topology pass sizes the mesh; the update allocates only to rebuild a stale
// topology or grow the cache (one float per stone, owned by the caller).
#include <QString>
#include <vector>

#include "common/sliderbinding.h"

#include "grass/grasscore.h"

class DzFacetMesh;

struct StonesParams
{
    // Box sliders, by display name.
    int Grass = 10;        // "Grass"           0..100, upper bound of blades per stone
    int AreaSizeX = 100;   // "Area size X"     1..4000
    int FullOffX = 0;      // "Full off X"      0..200
    int ClumpMin = 1;      // "Clump Min"       1..100
    int GrassLOD = 6;      // "Grass LOD"       1..32
    int AreaSizeZ = 100;   // "Area size Z"     1..4000
    int FullOffZ = 0;      // "Full off Z"      0..200
    int ClumpRND = 3;      // "Clump RND"       1..100
    int HeightMin = 10;    // "Height Min"      1..500
    int HeightRND = 5;     // "Height RND"      1..500
    int BendMin = 200;     // "Bend Min"        1..1000
    int BendRND = 300;     // "Bend RND"        1..1000
    int WidthMin = 150;    // "Width Min"       100..500
    int WidthRND = 100;    // "Width RND"       100..500
    int AShape = 0;        // "A Shape"         -300..300
    int ARing = 0;         // "A Ring"          0..4000
    int ARotate = 0;       // "A Rotate"        0..360
    int Seed = 0;          // "Seed"            0..1000
    int Wind = 100;        // "Wind"            0..200
    int ASectorSize = 0;   // "A Sector Size"   0..359
    int ASectorStart = 0;  // "A Sector Start"  0..360
    int StoneMapX = 1;     // "Stone Map X"     1..9
    int StoneMapY = 1;     // "Stone Map Y"     1..9
    int MoveX = 0;         // "Move X"          -10000..10000
    int MoveZ = 0;         // "Move Z"          -10000..10000
    int StoneAmount = 50;  // "Stone Amount"    1..1000
    int StoneLOD = 12;     // "Stone LOD"       3..50
    int StoneSizeX = 50;   // "Stone Size X"    1..400
    int StoneSizeY = 40;   // "Stone Size Y"    1..400
    int StoneSizeZ = 50;   // "Stone Size Z"    1..400
    int StoneOffsetY = 0;  // "Stone Offset Y"  -100..100
    int StandOffX = 10;    // "StandOff X"      1..100
    int StandOffZ = 10;    // "StandOff Z"      1..100
    int Rough = 0;         // "Rough"           -100..100

    // Pane-wide inputs.
    int WindStrength1 = 100;  // "Wind Strength 1"
    int WindSpeed = 100;      // "Wind Speed"
    int WindSpeed2 = 0;       // "Wind Speed2"
    float phase = 1.0f;       // the pane's phase counter
    bool lowLOD = false;      // at most 20 stones

    StonesParams clamped() const;
    int stones() const;         // S
    int ringVertices() const;   // K
    int bladeLod() const;       // L
    int stoneVertices() const;  // S 8 K
};

// The box sliders the passes read, in reading order: display name, member, range. clamped()
// forces each member into its range.
const SliderFields<StonesParams>& stonesSliderFields();

struct StonesUpdateInfo
{
    bool rebuilt = false;   // topology laid down in this call
    bool refilled = false;  // ground heights queried and stored
    bool steep = false;     // some stone leans by more than 0.1 rad: blades ask the ground
    int blades = 0;
    int stoneVerticesWritten = 0;
    int bladeVerticesWritten = 0;
    int heightQueries = 0;
};

// Most blades one box grows.
constexpr int kMaxStoneBlades = 10000;

// Lays down the whole topology (vertices, UV points, facets); the stones stand on flat
// ground until the next update.
void addPolyStonesCore(const StonesParams& p, VxRandomStream& rng, DzFacetMesh& mesh, StonesUpdateInfo* info = nullptr);

// With ResetCache the field is rebuilt on the ground, whose heights go into the cache;
// without it only the blades are rewritten, with the heights from the cache. Returns ""
// or the status message.
QString updateStonesCore(const StonesParams& p, VxRandomStream& rng, DzFacetMesh& mesh, std::vector<float>& groundCache,
                         const GroundSampler& ground, bool ResetCache, StonesUpdateInfo* info = nullptr);
