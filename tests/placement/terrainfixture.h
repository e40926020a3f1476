#pragma once
// Terrain grids laid out as the landscape builds them (row 0 at +Z, column 0 at -X), and an
// independent reading of a cell's two triangles to check interpolated heights against.
#include <cmath>
#include <functional>
#include <utility>
#include <vector>
#include <dzgeometry.h>
#include <dzmath.h>
#include <dznode.h>
#include <dzshape.h>
#include "animation/objectmapping.h"
#include "terrain/heightquery.h"

struct TestTerrain
{
    int tiles = 1, divisions = 1;
    float tileSize = 1.f;
    std::vector<DzVec3> verts;

    int N() const { return tiles * divisions; }
    int V() const { return N() + 1; }
    float extent() const { return tiles * tileSize; }
    float half() const { return extent() * 0.5f; }
    const DzVec3& at(int r, int c) const { return verts[size_t(r * V() + c)]; }
    TerrainGrid grid() const
    {
        return TerrainGrid::fromLayout(verts.data(), int(verts.size()), tiles, divisions, tileSize);
    }

    static TestTerrain make(int T, int D, float S, const std::function<float(float, float)>& height)
    {
        TestTerrain t;
        t.tiles = T;
        t.divisions = D;
        t.tileSize = S;
        const int N = T * D;
        const float extent = T * S, half = extent * 0.5f;
        for (int r = 0; r <= N; ++r)
            for (int c = 0; c <= N; ++c) {
                const float x = (float(c) / N) * extent - half;
                const float z = half - (float(r) / N) * extent;
                t.verts.emplace_back(x, height(x, z), z);
            }
        return t;
    }

    // The height of the plane of the triangle holding (x, z): local coordinates u to the
    // right and v downwards in the cell; the diagonal A-C is u = v.
    double expected(float x, float z, bool* first = nullptr) const
    {
        const double dx = extent() / N(), dz = extent() / N();
        const double fu = (x + half()) / dx, fv = (half() - z) / dz;
        int c = std::min(int(std::floor(fu)), N() - 1), r = std::min(int(std::floor(fv)), N() - 1);
        const double u = fu - c, v = fv - r;
        const double A = at(r, c).y(), B = at(r, c + 1).y(), C = at(r + 1, c + 1).y(), D = at(r + 1, c).y();
        if (first) *first = u >= v;
        if (u >= v) return A + u * (B - A) + v * (C - B);
        return A + v * (D - A) + u * (C - D);
    }

    // Replaces a mesh's vertices with this grid's.
    void fill(DzVertexMesh* mesh) const
    {
        mesh->beginEdit();
        mesh->clearAllVertices();
        for (const DzVec3& v : verts) mesh->addVertex(v);
        mesh->finishEdit();
    }
};

inline float bumpy(float x, float z) { return 3.f * std::sin(x * 0.7f) + 2.f * std::cos(z * 0.45f) + 0.1f * x * z; }

inline DzFacetMesh* meshOfNode(DzNode* node)
{
    if (!node || !node->getObject()) return nullptr;
    auto* shape = qobject_cast<DzFacetShape*>(node->getObject()->getShape(0));
    return shape ? shape->getFacetMesh() : nullptr;
}

// A terrain grid as the object mapping's ground, through the real height query.
struct GridGround : MappingGround
{
    TestTerrain t;
    explicit GridGround(TestTerrain terrain) : t(std::move(terrain)) {}
    HeightAnswer height(float x, float z, DzVec3* normal, int* i, int* j) const override
    {
        return terrainHeight(t.grid(), x, z, normal, i, j);
    }
};
