#pragma once
// GPU-ready arrays built from one facet mesh: interleaved vertices with smooth normals,
// and triangle indices grouped by material so each material is one draw call.
#include <cstddef>
#include <cstdint>
#include <vector>

class DzFacetMesh;
class DzVec3;
struct DzFacet;

struct GpuVertex
{
    float px, py, pz;
    float nx, ny, nz;
    float u, v;
};

struct MaterialRange
{
    int material = 0;
    uint32_t first = 0;  // first index
    uint32_t count = 0;  // number of indices
};

struct MeshBuffers
{
    std::vector<GpuVertex> vertices;
    std::vector<uint32_t> indices;
    std::vector<MaterialRange> ranges;
};

// Smooth per-vertex normals, area-weighted over the facets that use each vertex. A vertex
// used with two different UV points is split so both keep their UVs; quads become two
// triangles; facets with indices outside the mesh are skipped.
void buildMeshBuffers(const DzFacetMesh& mesh, MeshBuffers& out);

// The most vertices a grid mesh (a terrain) is drawn with: 2049 x 2049. Past it the full
// buffers of the largest terrains (10001^2 vertices: 3.2 GB of vertices, 2.4 GB of indices,
// and the driver's copies of both) would not fit beside the terrain itself.
constexpr size_t kMaxDrawnGridVertices = size_t(2049) * 2049;
// For a mesh whose facets are a grid (DzFacetGrid) of more than maxVertices vertices: the
// grid drawn through every k-th row and column of its vertices, its last row and column
// always among them so the rim stays where it is, with smooth normals of the sampled grid and
// the vertices' own UV points, as one material range. False (out untouched) for any other
// mesh; the caller then builds the full buffers.
bool buildGridPreview(const DzFacetMesh& mesh, size_t maxVertices, MeshBuffers& out);
// The smooth normal of each mesh vertex (xyz per vertex), as buildMeshBuffers gives them.
void smoothNormals(const DzFacetMesh& mesh, std::vector<float>& out);
// The same from copies of a mesh's vertices and facets (for work off the thread that edits it).
void smoothNormals(const DzVec3* pos, int nv, const DzFacet* facets, int nf, std::vector<float>& out);
