#pragma once
// The land around the scene: a ring of ground from the terrain's rim out to the horizon, so
// a scene stands in a place instead of floating in haze. Its inner edge is the rim's own
// vertices (with a short curtain below, so no crack shows), a short way out it settles to the
// rim's mean height, and its texture coordinates continue the terrain's own mapping, so it
// reads as more of the same land until the air hides it. Plain geometry; no OpenGL.
#include <QMatrix4x4>
#include <QVector3D>
#include <vector>
#include "meshbuffers.h"

class DzFacetMesh;

struct WorldGroundShape
{
    QVector3D centre;                // the middle of the terrain at the ring's far height
    float radius = 0.f;              // of the far edge, from the centre
    float halfX = 0.f, halfZ = 0.f;  // the terrain's footprint around the centre
};

// Builds the ring around terrain (its triangles in world space, as buildMeshBuffers lays
// them out) reaching out to farRadius from the terrain's middle. Where the terrain's rim
// vertices carry normals, the ring's inner edge takes them, so the light does not step
// where the two meet. False, with out empty,
// when the terrain has no rim to start from (no extent on the ground plane).
bool buildWorldGround(const MeshBuffers& terrain, float farRadius, MeshBuffers& out, WorldGroundShape* shape = nullptr);

// The terrain as the ring starts from it: its vertices in the world (model places the mesh)
// with their texture points, and normals at its rim as the terrain is lit with them, read
// straight from the mesh (a large terrain's full buffers cost seconds); a terrain past the
// drawing budget as its sampled grid, which keeps the rim and the texture plane.
void terrainForGround(const DzFacetMesh& mesh, const QMatrix4x4& model, MeshBuffers& terrain);
