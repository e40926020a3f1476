#pragma once
// Billboard field generator core: no widgets, no scene look-ups.
//
// A box scatters N billboards over an area; each billboard is a star of P vertical quads
// whose first plane faces the camera, all showing one cell of a sprite sheet. The mesh is
// billboard-major: facet f = b * P + k, vertices 4f .. 4f + 3 are its corners A, B, C, D.
//
// Inputs: the parameter struct, one int per box slider (its name and range beside the field and
// in the binding table below; lengths in scene units, cm; angles in degrees), and the ground
// as a GroundSampler. Out-of-range values (records and scripts carry them) are clamped by the
// table, never rejected.
// Also read: the frame counter (animated sheets) and the camera position the first plane
// faces, world units.
// Threading: passes for different boxes may run in parallel on any thread; passes for one box
// must not.
// Random draws: from the caller's generator, seeded from "Seed" at the start of every layout;
// no pass touches any other generator.
// Allocation: the topology pass sizes the mesh and the UV set (uvEntries is the caller's
// record of it); an update allocates only to rebuild a stale topology or grow the cache.
#include <QString>
#include <vector>

#include "common/sliderbinding.h"

#include "dzmath.h"
#include "common/groundsampler.h"
#include "common/verdixrandom.h"

class DzFacetMesh;

struct BillboardParams
{
    // Box sliders, by display name.
    int Amount = 100;         // "Amount"            1..10000
    int AreaSizeX = 1000;     // "Area size X"       1..4000
    int FullOffX = 0;         // "Full off X"        0..500
    int AnimateStartRND = 0;  // "Animate Start RND" 0..512
    int SpinLOD = 1;          // "Spin LOD"          1..16
    int AreaSizeZ = 1000;     // "Area size Z"       1..4000
    int FullOffZ = 0;         // "Full off Z"        0..500
    int AnimateEnd = 0;       // "Animate End"       0..512
    int HeightMin = 100;      // "Height Min"        1..2000
    int HeightRND = 1;        // "Height RND"        1..1000
    int MapX = 1;             // "Map X"             1..40
    int MapZ = 1;             // "Map Z"             1..40
    int WidthMin = 100;       // "Width Min"         1..2000
    int WidthRND = 1;         // "Width RND"         1..1000
    int Shape = 100;          // "Shape"             -300..300
    int Ring = 1000;          // "Ring"              0..4000
    int Rotate = 0;           // "Rotate"            0..360
    int Seed = 0;             // "Seed"              0..1000
    int AnimateOffOn = 0;     // "Animate Off On"    0..1
    int SectorSize = 0;       // "Sector Size"       0..359
    int SectorStart = 0;      // "Sector Start"      0..360
    int MoveX = 0;            // "Move X"            -10000..10000
    int MoveZ = 0;            // "Move Z"            -10000..10000

    // Pane-wide inputs.
    bool lowLOD = false;  // at most 100 billboards
    int frame = 0;        // the pane's frame counter
    DzVec3 camera;        // world position of the active viewport's camera

    // Every slider forced into its range: records and scripts may bring anything, and a
    // zero "RND" or sheet size would divide by zero.
    BillboardParams clamped() const;
    int billboards() const;       // N
    int planes() const;           // P
    int cells() const;            // COLS x ROWS
    int verticesNeeded() const;   // N P 4
    int uvEntriesNeeded() const;  // COLS ROWS 4
};

// The box sliders the passes read, in reading order: display name, member, range. clamped()
// forces each member into its range.
const SliderFields<BillboardParams>& billboardSliderFields();

struct BillboardUpdateInfo
{
    bool rebuilt = false;
    bool refilled = false;
    int heightQueries = 0;
    int frameShown = -1;  // the sprite cell written, -1 when the animation is off
};

// Builds the facets, the placeholder vertices and the sheet's UV table; returns the number
// of UV entries it laid down, which the caller keeps for the next update's check.
int addPolyBillboardCore(const BillboardParams& p, VxRandomStream& rng, DzFacetMesh& mesh);

// Lays out, orients and animates every billboard; rebuilds the topology first when the
// vertex count or the stored UV entry count no longer fits the sliders. uvEntries is the
// box's stored count (updated on a rebuild). Returns "" or the status message.
QString updateBillboardCore(const BillboardParams& p, VxRandomStream& rng, DzFacetMesh& mesh,
                            std::vector<float>& groundCache, int& uvEntries, const GroundSampler& ground,
                            bool ResetCache, BillboardUpdateInfo* info = nullptr);
