#pragma once
// The rock: a small noisy sphere of radius 5 standing on y = 0, one per rock node. Pure:
// the mesh is laid out into the given facet mesh, no scene look-ups.
//
// Random draws: from the caller's generator, which is not reseeded, so every rock
// differs. Allocation: the sphere's vertices and facets, into the given mesh.
class DzFacetMesh;
struct VxRandomStream;

constexpr int kRocksPerBox = 20;
constexpr int kRockSegments = 40;                                                      // around the vertical axis
constexpr int kRockRings = 19;                                                         // between the poles
constexpr int kRockVertices = 2 + kRockSegments * kRockRings;                          // 762
constexpr int kRockFacets = kRockSegments * (kRockRings + 1);                          // 800
constexpr int kRockUVs = 2 * kRockSegments + kRockSegments * kRockRings + kRockRings;  // 859
constexpr float kRockRadius = 5.f;
constexpr float kRockBound = 10.f;

// Where a new rock starts over its landscape: whole x and z from -4 to 5, and its lift of
// 1 to 100 above the ground there.
struct RockSpot
{
    float x = 0.f, z = 0.f;
    float lift = 1.f;
};
RockSpot drawRockSpot(VxRandomStream& rng);

// Appends the sphere's vertices, UV points and facets (within one edit) to an empty mesh;
// every ring vertex is pushed sideways by its own noise of 0.003 to 0.3 in x and z.
void buildRockMesh(DzFacetMesh& mesh, VxRandomStream& rng);
