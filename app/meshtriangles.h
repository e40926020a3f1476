#pragma once
// The triangles of a facet mesh as the viewport, the framing and picking walk them.
#include <dzgeometry.h>

// Whether every corner of a facet names a vertex of a mesh of nv vertices.
inline bool facetInMesh(const DzFacet& f, int nv)
{
    const int corners = f.isQuad() ? 4 : 3;
    for (int k = 0; k < corners; ++k)
        if (f.m_vertIdx[k] < 0 || f.m_vertIdx[k] >= nv) return false;
    return true;
}

// Calls f(i0, i1, i2) with the vertex indices of every triangle of mesh: quads as two,
// fanned from their first corner; facets with an index outside the mesh are skipped.
template <class F>
void forEachTriangle(const DzFacetMesh& mesh, F&& f)
{
    const int nv = mesh.getNumVertices();
    const DzFacet* facets = mesh.getFacetsPtr();
    for (int i = 0, n = mesh.getNumFacets(); i < n; ++i) {
        const DzFacet& fc = facets[i];
        if (!facetInMesh(fc, nv)) continue;
        for (int t = 0; t + 2 < (fc.isQuad() ? 4 : 3); ++t)
            f(fc.m_vertIdx[0], fc.m_vertIdx[t + 1], fc.m_vertIdx[t + 2]);
    }
}
