#pragma once
// The terrain of a landscape box without widgets or scene: the grid layout, the blend of
// the six map slots into vertex heights, the path, smoothing and de-noising passes, the
// resting of one terrain's edge on another, and the grid topology. Heights live in one
// float per vertex, row by row (row 0 at +Z, column 0 at -X), so tests and benchmarks
// drive it with plain arrays.
#include <QString>
#include <cstdint>
#include <QStringList>
#include <functional>

class DzFacetMesh;
class DzVec3;

struct TerrainLayout
{
    int tiles = 20;
    int divisions = 20;
    float tileSize = 200.f;

    int cells() const { return tiles * divisions; }  // N
    int side() const { return cells() + 1; }         // V
    long long vertexCount() const { return (long long)side() * side(); }
    float extent() const { return float(tiles) * tileSize; }
    float half() const { return extent() * 0.5f; }
    float x(int c) const { return (float(c) / float(cells())) * extent() - half(); }
    float z(int r) const { return half() - (float(r) / float(cells())) * extent(); }
};

// The map slots in the order the messages and the combos use them.
enum TerrainSlot {
    SlotLand = 0,
    SlotRiver,
    SlotHill,
    SlotFlat,
    SlotPath,
    SlotUser,
    kTerrainSlots
};
constexpr int kImageSlots = 5;

// The box's slider values as integers; the divisors turn them into the factors.
struct TerrainParams
{
    TerrainLayout layout;
    int Land = 0, River = 0, Hill = 0, Flat = 0, Path = 0, User = 0;
    int Smooth = 0, DeNoise = 0;
    int Rest = 0, RestYOffset = 0, RestBlend = 10;
    int SizeY = 100;

    float land() const { return float(Land) / 100.f; }
    float river() const { return float(River) / 100.f; }
    float hill() const { return float(Hill) / 50.f; }
    float flat() const { return float(Flat) / 100.f; }
    float path() const { return float(Path) / 60.f; }
    float user() const { return float(User) / 100.f; }
    float smooth() const { return float(Smooth) / 200.f; }
    float denoise() const { return float(DeNoise) / 100.f; }
    float rest() const { return float(Rest) / 100.f; }
    float restY() const { return float(RestYOffset) / 100.f; }
    float sy() const { return float(SizeY) * 0.01f; }
    // The weight slider of a slot, in slot order.
    int weight(int slot) const;
};

// One image slot's byte grid: width x height bytes, row 0 = the image's top row.
struct HeightMapView
{
    const unsigned char* bytes = nullptr;
    int width = 0, height = 0;
    // Set for 16-bit sources: the same grid at full precision, which the height blend reads
    // (value / 257 is on the byte scale); the path mask reads the bytes.
    const uint16_t* words = nullptr;
};

struct TerrainSources
{
    HeightMapView maps[kImageSlots];
    bool active[kImageSlots] = {false, false, false, false, false};
    // The User slot: at least userSize x userSize floats, row-major.
    const float* user = nullptr;
    int userSize = 0;
    bool userActive = false;
};

// What the slots look like before an update: each image slot's map image loaded or not,
// its byte grid held or not, and the User file.
struct TerrainSlotState
{
    bool imageLoaded[kImageSlots] = {false, false, false, false, false};
    bool mapPresent[kImageSlots] = {false, false, false, false, false};
    int mapSize = 0;
    long long userFloats = 0;  // floats the User map holds
};

struct TerrainJudgement
{
    // Status texts in the order they are shown; each replaces the one before.
    QStringList messages;
    // Non-empty when the update must stop ("Error MapA!" ...).
    QString stop;
    bool active[kImageSlots] = {false, false, false, false, false};
    bool userActive = false;
};

TerrainJudgement judgeTerrainSlots(const TerrainSlotState& state, const TerrainParams& p);

// Blend, path relaxation, smoothing and de-noising: writes the V x V heights into y.
void computeTerrainHeights(const TerrainParams& p, const TerrainSources& s, float* y);

// Asked every few dozen grid rows with the rows walked so far; false stops the work, whose
// output is then incomplete and must be dropped.
using TerrainProgress = std::function<bool(long long rows)>;
// The rows computeTerrainHeights walks for p and s.
long long terrainHeightRows(const TerrainParams& p, const TerrainSources& s);
// As above; false when progress stopped it.
bool computeTerrainHeights(const TerrainParams& p, const TerrainSources& s, float* y, const TerrainProgress& progress);

// The single steps, exposed for tests and benchmarks.
void blendTerrain(const TerrainParams& p, const TerrainSources& s, float* y);
void relaxTerrainPath(const TerrainParams& p, const TerrainSources& s, float* y);
void smoothTerrain(const TerrainLayout& l, float smooth, float* y);
void denoiseTerrain(const TerrainLayout& l, float denoise, float* y);

// Resting this terrain on another one. other(x, z) is the other terrain's height at a
// point of its own mesh, kHeightMiss when the point is not over it.
struct TerrainRest
{
    float rest = 0.f;
    float restY = 0.f;
    int blend = 10;            // vertices over which the edge is eased back to the own heights
    bool flagX = false;        // this node's x >= the other's: the -X edge faces it
    bool flagZ = false;        // this node's z >= the other's: the -Z edge (row N) faces it
    float dx = 0.f, dz = 0.f;  // this node's position minus the other's, in x and z
    float dy = 0.f;            // the same in y
};
struct TerrainRestInfo
{
    int maxMiss = 0;
    int firstMiss = 0;
    long long blendCount = 0;
    int columns = 0;   // columns the column pass walked
    int startRow = 0;  // its start row, counted from the facing side
};
using OtherTerrainHeight = std::function<float(float x, float z)>;
TerrainRestInfo restTerrain(const TerrainLayout& l, const TerrainRest& r, float* y, const OtherTerrainHeight& other);

// Memory a new grid of layout l takes: vertices, UV points and the height field (the quads
// are a rule, see DzFacetGrid).
long long terrainBuildBytes(const TerrainLayout& l);

// What to say before laying a new grid down, given the memory the machine has free
// (negative when unknown). refuse: the build would not fit, text names the estimate;
// otherwise text is non-empty for builds past 1 GB.
struct TerrainBuildCheck
{
    bool refuse = false;
    QString text;
};
TerrainBuildCheck checkTerrainBuild(const TerrainLayout& l, long long freeBytes);

// Replaces what mesh holds with the grid's vertices (y = 0), UV points and quads; the mesh
// must hold a UV map. Vertex, UV and facet order as the height query and the exporters
// expect; the quads are held as a DzFacetGrid.
void addTerrainTopology(const TerrainLayout& l, DzFacetMesh& mesh);
// As above, asking progress once per few rows of vertices (V in all); false when it
// stopped the work, which leaves the mesh partly built.
bool addTerrainTopology(const TerrainLayout& l, DzFacetMesh& mesh, const TerrainProgress& progress);
// Writes (x, y[k], z) into the mesh's V x V vertices.
void writeTerrainVertices(const TerrainLayout& l, const float* y, DzVec3* vertices);
