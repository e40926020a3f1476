#pragma once
// Grass patch generator core: no widgets, no scene look-ups.
//
// Inputs: the parameter struct, one int per box slider (its name and range beside the field and
// in the binding table below; lengths in scene units, cm; angles in degrees), and the ground
// as a GroundSampler. Out-of-range values (records and scripts carry them) are clamped by the
// table, never rejected.
// Threading: passes for different boxes may run in parallel on any thread; passes for one box
// must not. Nothing here reads widgets or the scene.
// Random draws: from the caller's generator, seeded from "Seed" + boxIndex at the start of
// every layout, so a pass draws the same on any thread, whatever ran before it.
// Allocation: addPolyGrassCore grows the mesh to 2 (L + 1) N vertices; updateGrassCore
// allocates only when it rebuilds the topology or grows the ground-height cache (one float
// per clump, owned by the caller); a wind pass over an unchanged patch allocates nothing.
#include <QString>
#include <vector>

#include "common/sliderbinding.h"

#include "common/groundsampler.h"
#include "common/verdixrandom.h"

class DzFacetMesh;
class DzVec3;

struct GrassParams
{
    // Box sliders, by display name.
    int Amount = 1000;    // "Amount"        1..200000
    int AreaSizeX = 100;  // "Area size X"   1..4000
    int AreaSizeZ = 100;  // "Area size Z"   1..4000
    int FullOffX = 0;     // "Full off X"    0..200
    int FullOffZ = 0;     // "Full off Z"    0..200
    int ClumpMin = 1;     // "Clump Min"     1..100 (its nominal default 0 clamps to 1)
    int ClumpRND = 3;     // "Clump RND"     1..100
    int GrassLOD = 6;     // "Grass LOD"     1..32
    int HeightMin = 20;   // "Height Min"    1..500
    int HeightRND = 5;    // "Height RND"    1..500
    int BendMin = 500;    // "Bend Min"      1..1000
    int BendRND = 300;    // "Bend RND"      1..1000
    int ThickMin = 200;   // "Thick Min"     100..500
    int ThickRND = 100;   // "Thick RND"     100..500
    int Shape = 0;        // "Shape"         -300..300
    int Ring = 1;         // "Ring"          0..4000
    int Rotate = 0;       // "Rotate"        0..360
    int Seed = 0;         // "Seed"          0..1000
    int Wind = 100;       // "Wind"          0..200
    int SectorSize = 0;   // "Sector Size"   0..359
    int SectorStart = 0;  // "Sector Start"  0..360
    int MoveX = 0;        // "Move X"        -10000..10000
    int MoveZ = 0;        // "Move Z"        -10000..10000

    // Pane-wide inputs.
    int WindStrength1 = 100;  // "Wind Strength 1" 0..200
    int WindSpeed = 100;      // "Wind Speed"      0..200
    int WindSpeed2 = 0;       // "Wind Speed2"     0..200
    float phase = 1.0f;       // the pane's phase counter
    bool lowLOD = false;      // the low level-of-detail flag
    int boxIndex = 0;         // added to "Seed" so equal boxes differ

    // Every slider value forced into its range; values from records or scripts may be out of
    // range, and a zero "RND" would otherwise divide by zero.
    GrassParams clamped() const;
    int blades() const;          // "Amount", at most 100 in low level of detail
    int lod() const;             // "Grass LOD" clamped
    int verticesNeeded() const;  // 2 (L+1) N
};

// The box sliders the passes read, in reading order: display name, member, range. clamped()
// forces each member into its range.
const SliderFields<GrassParams>& grassSliderFields();

struct GrassUpdateInfo
{
    bool rebuilt = false;   // topology was laid down again in this call
    bool refilled = false;  // ground heights were queried and stored
    int clumps = 0;
    int heightQueries = 0;
};

// True when the mesh does not hold exactly this patch's blades: a different vertex, facet or
// UV count. Changes of "Amount" or "Grass LOD" (or the low level-of-detail flag) make it true.
bool grassTopologyStale(const GrassParams& p, const DzFacetMesh& mesh);

// Recomputes every vertex of the patch; rebuilds the topology first when it is stale.
// Returns "" on success, else the status message (the mesh is then left as it was).
QString updateGrassCore(const GrassParams& p, VxRandomStream& rng, DzFacetMesh& mesh, std::vector<float>& groundCache,
                        const GroundSampler& ground, bool ResetCache, GrassUpdateInfo* info = nullptr);

// Lays down the topology (vertices, quads, shared UV strip) for the current "Amount" and
// "Grass LOD"; positions are placeholders on flat ground until the next update.
void addPolyGrassCore(const GrassParams& p, VxRandomStream& rng, DzFacetMesh& mesh);

// One blade standing at (x, y, z), turned by phi, bent forward by bend and swayed sideways by
// sway over its lod segments; halfWidth is its half width at the root, width its width.
// Writes the 2 (lod + 1) vertices level by level in the zig-zag order of the patch's quads.
// Stones grow the same blades round their waists.
struct GrassBlade
{
    float x = 0.f, y = 0.f, z = 0.f;
    float phi = 0.f;
    float height = 1.f;
    float width = 0.1f;
    float halfWidth = 0.11f;
    float bend = 0.f;
    float sway = 0.f;
    int lod = 1;
};
void grassBladeVertices(const GrassBlade& blade, DzVec3* out);

// Status messages of the adapter's checks.
namespace GrassMessages {
inline QString notGrass() { return QStringLiteral("Not a grass object!"); }
inline QString cacheMemory() { return QStringLiteral("Error: Catch memory"); }
}  // namespace GrassMessages
