#pragma once
// The scene as the renderer traces it: triangle meshes in world space, one Embree geometry
// each, and a flat table of materials they index. Cut-outs are decided inside Embree's
// traversal by intersection filters, so a ray (from the camera or towards a light) goes on
// through the clear part of a card as if nothing were there.
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>
#include "materials.h"
#include "vec.h"

struct RenderMesh
{
    std::vector<float> positions;     // x, y, z per vertex, world space
    std::vector<float> normals;       // x, y, z per vertex (smooth shading); empty: flat facets
    std::vector<float> uvs;           // u, v per vertex; empty: none
    std::vector<uint32_t> triangles;  // three vertex indices per triangle
    std::vector<uint32_t> materials;  // per triangle, an index into the scene's materials
};

struct RenderSceneInput
{
    std::vector<RenderMesh> meshes;
    std::vector<RenderMaterial> materials;
};

// What a ray hit, and what the surface there is like.
struct SurfaceHit
{
    float t = 0.f;
    Vec3 p;   // the point
    Vec3 ng;  // geometric normal, unit length, as the triangle winds
    Vec3 ns;  // interpolated shading normal (before relief), same side as ng
    // Where rays leaving the front (the side ng points to) or the back start from: the point
    // lifted onto the smooth surface the vertex normals describe. Leaving from the flat
    // triangle itself, a coarse mesh would shadow itself in saw teeth near the terminator.
    Vec3 frontOrigin, backOrigin;
    float u = 0.f, v = 0.f;  // texture coordinates
    Vec3 dpdu, dpdv;         // how the point moves with them (zero when the mesh has no UVs)
    float texelScale = 0.f;  // sqrt(uv area / world area) of the triangle
    const RenderMaterial* material = nullptr;
};

struct RayCounts
{
    uint64_t primary = 0, shadow = 0, bounce = 0;
    uint64_t total() const { return primary + shadow + bounce; }
    RayCounts& operator+=(const RayCounts& o)
    {
        primary += o.primary;
        shadow += o.shadow;
        bounce += o.bounce;
        return *this;
    }
};

class RenderScene
{
public:
    RenderScene();
    ~RenderScene();
    RenderScene(const RenderScene&) = delete;
    RenderScene& operator=(const RenderScene&) = delete;

    // Builds the acceleration structure; false with error set when Embree refuses (no
    // device, out of memory). Meshes with no triangle and triangles that index past their
    // mesh or a material that is not there are left out.
    bool build(RenderSceneInput input, QString* error);

    // The nearest surface along o + t d for t in (tnear, tfar); salt varies the choice of
    // partly see-through surfaces from ray to ray.
    bool intersect(const Vec3& o, const Vec3& d, float tnear, float tfar, uint32_t salt, SurfaceHit* hit) const;
    // Whether anything blocks o + t d for t in (tnear, tfar).
    bool occluded(const Vec3& o, const Vec3& d, float tnear, float tfar, uint32_t salt) const;

    size_t triangleCount() const { return m_triangles; }
    // Bounds of every vertex: the radius of the scene sets the fog's depth.
    Vec3 boundsMin() const { return m_min; }
    Vec3 boundsMax() const { return m_max; }
    // Memory the scene holds (geometry, materials' images and Embree's structure), roughly.
    size_t bytes() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
    size_t m_triangles = 0;
    Vec3 m_min{1e30f, 1e30f, 1e30f}, m_max{-1e30f, -1e30f, -1e30f};
};
