// The default terrain's layout (TILES = DIVISIONS = 20, tile size 50: 401 x 401 vertices over
// 1000 x 1000 units, centred on the origin), its heights from a function of x and z, and the
// height-query grid over it.
#pragma once
#include <vector>
#include "dzmath.h"
#include "terrain/heightquery.h"

struct BenchTerrain
{
    static constexpr int T = 20, D = 20;
    static constexpr float S = 50.f;
    std::vector<DzVec3> verts;
    TerrainGrid grid;
    float half = T * S * 0.5f;

    template <class Height>
    explicit BenchTerrain(Height height)
    {
        const int N = T * D;
        const float extent = T * S;
        verts.reserve(size_t(N + 1) * (N + 1));
        for (int r = 0; r <= N; ++r)
            for (int c = 0; c <= N; ++c) {
                const float x = (float(c) / N) * extent - half;
                const float z = half - (float(r) / N) * extent;
                verts.emplace_back(x, height(x, z), z);
            }
        grid = TerrainGrid::fromLayout(verts.data(), int(verts.size()), T, D, S);
    }
};
