#include "meshbuffers.h"
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <dzgeometry.h>

namespace {

bool validFacet(const DzFacet& f, int nv)
{
    const int corners = f.isQuad() ? 4 : 3;
    for (int k = 0; k < corners; ++k)
        if (f.m_vertIdx[k] < 0 || f.m_vertIdx[k] >= nv) return false;
    return true;
}

}  // namespace

void smoothNormals(const DzVec3* pos, int nv, const DzFacet* facets, int nf, std::vector<float>& out)
{
    std::vector<DzVec3> normals(static_cast<size_t>(nv));
    for (int i = 0; i < nf; ++i) {
        const DzFacet& f = facets[i];
        if (!validFacet(f, nv)) continue;
        const DzVec3& a = pos[f.m_vertIdx[0]];
        const DzVec3& b = pos[f.m_vertIdx[1]];
        const DzVec3& c = pos[f.m_vertIdx[2]];
        DzVec3 n;
        if (f.isQuad()) n = (c - a).cross(pos[f.m_vertIdx[3]] - b) * 0.5f;
        else n = (b - a).cross(c - a) * 0.5f;
        const int corners = f.isQuad() ? 4 : 3;
        for (int k = 0; k < corners; ++k) normals[size_t(f.m_vertIdx[k])] += n;
    }
    out.resize(size_t(nv) * 3);
    for (int i = 0; i < nv; ++i) {
        DzVec3 n = normals[size_t(i)];
        const float len = n.length();
        n = len > 0.f ? n / len : DzVec3(0.f, 1.f, 0.f);
        out[3 * size_t(i)] = n.m_x, out[3 * size_t(i) + 1] = n.m_y, out[3 * size_t(i) + 2] = n.m_z;
    }
}

void smoothNormals(const DzFacetMesh& mesh, std::vector<float>& out)
{
    smoothNormals(mesh.getVerticesPtr(), mesh.getNumVertices(), mesh.getFacetsPtr(), mesh.getNumFacets(), out);
}

void buildMeshBuffers(const DzFacetMesh& mesh, MeshBuffers& out)
{
    const int nv = mesh.getNumVertices();
    const int nf = mesh.getNumFacets();
    const DzVec3* pos = mesh.getVerticesPtr();
    const DzFacet* facets = mesh.getFacetsPtr();
    const DzMap* uvMap = mesh.getUVs();
    const int nuv = uvMap ? uvMap->getNumValues() : 0;
    const DzPnt2* uvs = uvMap ? uvMap->getPnt2ArrayPtr() : nullptr;

    std::vector<float> normals;
    smoothNormals(mesh, normals);
    out.vertices.resize(size_t(nv));
    for (int i = 0; i < nv; ++i) {
        const float* n = &normals[3 * size_t(i)];
        out.vertices[size_t(i)] = {pos[i].m_x, pos[i].m_y, pos[i].m_z, n[0], n[1], n[2], 0.f, 0.f};
    }

    // A vertex takes the UV of the first corner that uses it; a corner with another UV
    // gets a copy of the vertex.
    std::vector<int> vertUv(size_t(nv), -2);
    std::unordered_map<uint64_t, uint32_t> splits;
    auto cornerIndex = [&](int vi, int ui) -> uint32_t {
        if (ui < 0 || ui >= nuv) ui = -1;
        int& owner = vertUv[size_t(vi)];
        if (owner == -2) {
            owner = ui;
            if (ui >= 0) {
                out.vertices[size_t(vi)].u = uvs[ui].u;
                out.vertices[size_t(vi)].v = uvs[ui].v;
            }
            return uint32_t(vi);
        }
        if (owner == ui) return uint32_t(vi);
        const DzPnt2 want = ui >= 0 ? uvs[ui] : DzPnt2();
        const DzPnt2 have = owner >= 0 ? uvs[owner] : DzPnt2();
        if (want == have) return uint32_t(vi);
        const uint64_t key = (uint64_t(uint32_t(vi)) << 32) | uint32_t(ui);
        auto it = splits.find(key);
        if (it != splits.end()) return it->second;
        GpuVertex copy = out.vertices[size_t(vi)];
        copy.u = want.u;
        copy.v = want.v;
        out.vertices.push_back(copy);
        const uint32_t idx = uint32_t(out.vertices.size() - 1);
        splits.emplace(key, idx);
        return idx;
    };

    // Counting sort of the triangles by material.
    int maxMat = 0;
    for (int i = 0; i < nf; ++i) maxMat = std::max(maxMat, facets[i].m_materialIdx);
    std::vector<uint32_t> counts(size_t(maxMat) + 1, 0);
    for (int i = 0; i < nf; ++i) {
        const DzFacet& f = facets[i];
        if (!validFacet(f, nv)) continue;
        counts[size_t(std::max(0, f.m_materialIdx))] += f.isQuad() ? 6 : 3;
    }
    std::vector<uint32_t> cursor(counts.size(), 0);
    uint32_t total = 0;
    out.ranges.clear();
    for (size_t m = 0; m < counts.size(); ++m) {
        cursor[m] = total;
        if (counts[m]) out.ranges.push_back({int(m), total, counts[m]});
        total += counts[m];
    }
    out.indices.resize(total);
    for (int i = 0; i < nf; ++i) {
        const DzFacet& f = facets[i];
        if (!validFacet(f, nv)) continue;
        uint32_t c[4];
        const int corners = f.isQuad() ? 4 : 3;
        for (int k = 0; k < corners; ++k) c[k] = cornerIndex(f.m_vertIdx[k], f.m_uvwIdx[k]);
        uint32_t& w = cursor[size_t(std::max(0, f.m_materialIdx))];
        out.indices[w++] = c[0];
        out.indices[w++] = c[1];
        out.indices[w++] = c[2];
        if (corners == 4) {
            out.indices[w++] = c[0];
            out.indices[w++] = c[2];
            out.indices[w++] = c[3];
        }
    }
}

bool buildGridPreview(const DzFacetMesh& mesh, size_t maxVertices, MeshBuffers& out)
{
    const DzFacetGrid& grid = mesh.facetGrid();
    const int nv = mesh.getNumVertices();
    if (grid.rows <= 0 || grid.cols <= 0 || maxVertices < 4) return false;
    const size_t full = size_t(grid.rows + 1) * size_t(grid.cols + 1);
    if (full <= maxVertices) return false;
    // The grid's last vertex must be in the mesh for every sampled corner to be.
    if ((long long)grid.rows * grid.stride + grid.cols >= nv) return false;
    const int k = int(std::ceil(std::sqrt(double(full) / double(maxVertices))));
    auto samples = [k](int n) {
        std::vector<int> at;
        for (int i = 0; i < n; i += k) at.push_back(i);
        at.push_back(n);
        return at;
    };
    const std::vector<int> rows = samples(grid.rows), cols = samples(grid.cols);
    const size_t nr = rows.size(), nc = cols.size();
    const DzVec3* pos = mesh.getVerticesPtr();
    const DzMap* uvMap = mesh.getUVs();
    const int nuv = uvMap ? uvMap->getNumValues() : 0;
    const DzPnt2* uvs = uvMap ? uvMap->getPnt2ArrayPtr() : nullptr;

    out.vertices.assign(nr * nc, GpuVertex{0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f});
    for (size_t r = 0; r < nr; ++r)
        for (size_t c = 0; c < nc; ++c) {
            const int vi = rows[r] * grid.stride + cols[c];
            GpuVertex& v = out.vertices[r * nc + c];
            v.px = pos[vi].m_x, v.py = pos[vi].m_y, v.pz = pos[vi].m_z;
            if (vi < nuv) v.u = uvs[vi].u, v.v = uvs[vi].v;
        }
    // Quads as the grid winds them (a, a+1, b+1, b), area-weighted normals as buildMeshBuffers.
    out.indices.clear();
    out.indices.reserve((nr - 1) * (nc - 1) * 6);
    std::vector<DzVec3> normals(nr * nc);
    for (size_t r = 0; r + 1 < nr; ++r)
        for (size_t c = 0; c + 1 < nc; ++c) {
            const uint32_t a = uint32_t(r * nc + c), b = a + 1, d = uint32_t((r + 1) * nc + c), e = d + 1;
            auto p = [&](uint32_t i) { return DzVec3(out.vertices[i].px, out.vertices[i].py, out.vertices[i].pz); };
            const DzVec3 n = (p(e) - p(a)).cross(p(d) - p(b)) * 0.5f;
            for (uint32_t i : {a, b, e, d}) normals[i] += n;
            out.indices.insert(out.indices.end(), {a, b, e, a, e, d});
        }
    for (size_t i = 0; i < normals.size(); ++i) {
        const float len = normals[i].length();
        const DzVec3 n = len > 0.f ? normals[i] / len : DzVec3(0.f, 1.f, 0.f);
        out.vertices[i].nx = n.m_x, out.vertices[i].ny = n.m_y, out.vertices[i].nz = n.m_z;
    }
    out.ranges.assign(1, MaterialRange{grid.material, 0u, uint32_t(out.indices.size())});
    return true;
}
