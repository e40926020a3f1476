#pragma once
// Grounds and mesh helpers shared by the generators' core tests.
#include <atomic>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "dzgeometry.h"
#include "grass/grasscore.h"

// A terrain whose height differs at nearly every point, counting its queries.
struct CountingGround : GroundSampler
{
    mutable std::atomic<int> queries{0};
    float height(float x, float z) const override
    {
        ++queries;
        return 3.f + 0.01f * x + 0.0173f * z + 0.5f * std::sin(x * 0.37f + z * 0.11f);
    }
};

// Remembers where it was asked: the clump roots.
struct RecordingGround : GroundSampler
{
    mutable std::mutex lock;
    mutable std::vector<std::pair<float, float>> roots;
    float height(float x, float z) const override
    {
        std::lock_guard<std::mutex> g(lock);
        roots.emplace_back(x, z);
        return 0.f;
    }
};

inline std::vector<DzVec3> vertices(const DzFacetMesh& m)
{
    return std::vector<DzVec3>(m.getVerticesPtr(), m.getVerticesPtr() + m.getNumVertices());
}

inline int facetsOfMaterial(const DzFacetMesh& m, int material)
{
    int n = 0;
    for (int f = 0; f < m.getNumFacets(); ++f) n += m.getFacet(f).m_materialIdx == material;
    return n;
}
