#pragma once
// The terrain height query: which triangle of a landscape's grid holds a point, and the
// height (and optionally the downward normal) there. Pure: works on a contiguous vertex
// array laid out row by row (row 0 at +Z, column 0 at -X), so background tasks can call
// it with their own caches and their own result without touching shared state.
#include "dzmath.h"

// The value returned for a point outside the terrain; callers compare against it to learn
// that a point is not over this landscape.
constexpr float kHeightMiss = 1e-9f;

struct TerrainGrid
{
    const DzVec3* vertices = nullptr;
    int vertexCount = 0;  // what the array really holds; cells needing more are never read
    int cells = 0;        // N = tiles x divisions; the grid has (N + 1)^2 vertices
    float half = 0.f;     // extent / 2
    float extent = 0.f;   // tiles x tile size

    // From the stored tile count, division count and tile size.
    static TerrainGrid fromLayout(const DzVec3* vertices, int vertexCount, int tiles, int divisions, float tileSize);
};

enum class HeightHit {
    Found,        // height is the interpolated y
    OutOfBounds,  // height is kHeightMiss
    NotFound,     // inside the bounds but in no triangle; height is 0
};

struct HeightAnswer
{
    float height = 0.f;
    HeightHit hit = HeightHit::NotFound;
    bool firstTriangle = false;  // meaningful only when found
    int column = 0, row = 0;     // the cell, meaningful only when found
};

// iCache holds a column and jCache a row; either may be null. When given they pick the
// start cell and receive the answer's cell. normal, when given, receives minus the found
// triangle's unit normal, or zero on a miss. Concurrent callers must not share caches.
HeightAnswer terrainHeight(const TerrainGrid& grid, float PosX, float PosZ, DzVec3* normal, int* iCache, int* jCache);

// pV1 x pV2.
DzVec3 crossProduct(const DzVec3& v1, const DzVec3& v2);
