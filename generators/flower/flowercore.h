#pragma once
// Flower patch generator core: no widgets, no scene look-ups.
//
// A patch is "Amount" plants; each plant has several stems, rows of leaves along each
// stem and a head (petal layers around a pistil) on top of each stem. Two passes share one
// walk over the plants, so they make the same draws in the same order:
//   addPolyFlowerCore   lays the topology down (vertices at provisional positions on flat
//                       ground, quads with their five materials, the UV set with its atlases);
//   animateFlowerCore   writes every vertex position, wind included, reading the ground
//                       heights from the box's cache (refilled when asked).
// Vertex order: every stem of every plant (foot ring and "Stem LOD" rings), then the leaves
// of every recorded leaf point, then the petals of every head, then the pistils.
//
// Inputs: the parameter struct, one int per box slider (its name and range beside the field and
// in the binding table below; lengths in scene units, cm; angles in degrees), and the ground
// as a GroundSampler. Out-of-range values (records and scripts carry them) are clamped by the
// table, never rejected.
// Threading: passes for different boxes may run in parallel on any thread; passes for one box
// must not.
// Random draws: from the caller's generator, seeded from "Seed" at the start of every walk,
// which both passes replay.
// Allocation: addPolyFlowerCore lays the mesh out (refused, with the mesh left as it was, when
// it would not fit in memory); animateFlowerCore writes positions in place and allocates only
// to grow the ground-height cache (owned by the caller).
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include <dzgeometry.h>

#include "common/groundsampler.h"
#include "common/verdixrandom.h"
#include "common/sliderbinding.h"

class DzFacetMesh;
class DzVertexMesh;

struct FlowerParams
{
    // Box sliders, by display name (ranges in flowerSliderFields()).
    int Seed = 0, X = 0, Z = 0;
    int StemSides = 9, StemLOD = 8, StemCount = 1, StemCountRND = 1;
    int StemHeight = 20, StemHeightRND = 10, StemSpray = 2, StemSprayRND = 5;
    int StemChaos = 10, StemChaosRND = 5, StemBend = 10, StemBendRND = 5;
    int Amount = 25, PistilSize = 100, FlowerOpen = 1, FlowerOpenRND = 1;
    int LeafMapX = 1, LeafMapY = 1, PetalInnerMapX = 1, PetalInnerMapY = 1;
    int PetalOuterMapX = 1, PetalOuterMapY = 1, PistilOuterMapX = 1, PistilOuterMapY = 1;
    int PetalLOD = 6, PetalLayers = 3, PetalWidthInner = 10, PetalWidthOuter = 10;
    int PetalLengthInner = 50, PetalLengthOuter = 50, PetalSpinInner = 4, PetalSpinOuter = 3;
    int PetalCurl = 40, PetalCurlRND = 1;
    int LeafLOD = 6, LeafRowCount = 1, LeafWidthTop = 15, LeafWidthBottom = 20;
    int LeafLengthTop = 30, LeafLengthBottom = 50, LeafSpinTop = 2, LeafSpinBottom = 2;
    int LeafCurl = 40, LeafCurlRND = 1, LeafAngleTop = 0, LeafAngleBottom = 0;
    int LeafRotAngle = 0, LeafRotAngleRND = 0;
    int StemSizeTop = 10, StemSizeBottom = 20, PetalSharper = 1, PetalTaper = 0;
    int AShape = 1, ARing = 0, ARotate = 0, AreaX = 100, AreaY = 100;
    int ASectorSize = 0, ASectorStart = 0;
    int WindStem = 100, WindLeaf = 100, WindPetal = 100;

    // Pane-wide inputs.
    int WindStrength1 = 100;  // "Wind Strength 1" 0..200
    int WindSpeed = 100;      // "Wind Speed"      0..200
    int WindSpeed2 = 0;       // "Wind Speed2"     0..200
    float phase = 1.0f;       // the pane's phase counter
    bool lowLOD = false;      // the low level-of-detail flag

    // Every slider forced into its range: records and scripts may carry anything, and a
    // zero "RND" or map size would otherwise divide by zero.
    FlowerParams clamped() const;
    // "Amount", at most 3 in low level of detail.
    int plants() const;
};

// The sliders of a flower box the passes read: display name, member, range.
using FlowerSliderField = SliderField<FlowerParams>;
const SliderFields<FlowerParams>& flowerSliderFields();

// The wind terms of one pass; every plant of a box sways in phase.
struct FlowerWind
{
    float stemA = 0.f, stemB = 0.f;
    float leafA = 0.f, leafB = 0.f;
    float petalA = 0.f, petalB = 0.f;
};
FlowerWind flowerWindTerms(const FlowerParams& p);

// A point on a stem where a leaf row sits, or the head on top of it.
struct FlowerStemPoint
{
    float x, y, z;
    float turn;  // the stem's turn about the vertical, degrees
    float tilt;  // the plant's head tilt, degrees
    float lean;  // a head's sideways lean, radians (drawn with its petals)
    bool head;
};
constexpr int kMaxStemPoints = 30000;

// What one pass produced and used.
struct FlowerPassInfo
{
    int vertices = 0;
    int stems = 0;
    int leafPoints = 0;
    int heads = 0;
    bool pointsCapped = false;  // more stem points than can be recorded: their parts are left out
    bool refilled = false;
    int heightQueries = 0;
    bool topologyMismatch = false;  // the mesh held another vertex count than the walk wrote
    bool outOfMemory = false;       // the topology did not fit in memory; the mesh is empty
};

// The vertex count of the mesh the topology pass builds for these sliders (one walk).
int flowerVertexCount(const FlowerParams& p);

// Memory one vertex of a flower mesh takes at most: the vertex, its UV point and a facet.
constexpr long long kFlowerBytesPerVertex = static_cast<long long>(sizeof(DzVec3) + sizeof(DzPnt2) + sizeof(DzFacet));
// The most vertices a flower mesh may have (its indices are ints, and a facet takes four).
constexpr long long kMaxFlowerVertices = 1LL << 26;
// What to say before laying the topology down, given the memory free (negative: unknown),
// as terrains do: empty when it fits, else the refusal naming the limit. The vertices are
// counted without building anything, and only up to the limit.
QString checkFlowerBuild(const FlowerParams& p, long long freeBytes);

// Lays the topology down. presize is the vertex count of the last build (0 when unknown).
// Returns the vertex count.
int addPolyFlowerCore(const FlowerParams& p, VxRandomStream& rng, DzFacetMesh& mesh, int presize = 0,
                      FlowerPassInfo* info = nullptr);

// Writes every vertex position into a mesh built by addPolyFlowerCore for the same sliders.
// Returns "" on success, else the status message (the mesh is then left as it was). A mesh
// whose vertex count differs from the walk's is written only as far as it reaches, and
// info->topologyMismatch tells the caller to rebuild.
QString animateFlowerCore(const FlowerParams& p, VxRandomStream& rng, DzVertexMesh& mesh,
                          std::vector<float>& groundCache, const GroundSampler& ground, bool ResetCache,
                          FlowerPassInfo* info = nullptr);

// Status messages of the adapter's checks.
namespace FlowerMessages {
inline QString cacheMemory() { return QStringLiteral("Error: Catch memory"); }
inline QString meshMemory() { return QStringLiteral("Error: Flower mesh too large for memory"); }
}  // namespace FlowerMessages
