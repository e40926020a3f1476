#pragma once
// Meshes: contiguous vertex, facet and UV arrays. Writers on different threads may edit
// different meshes at once; one mesh is edited by one thread at a time. Every finished
// edit bumps the mesh's revision so the viewport re-uploads only what changed.
#include <QObject>
#include <QString>
#include <atomic>
#include <vector>
#include "dzbase.h"
#include "dzmath.h"

class DZHOST_EXPORT DzMap : public DzBase
{
    Q_OBJECT
public:
    explicit DzMap(QObject* parent = nullptr) : DzBase(parent) {}

    int getNumValues() const { return int(m_values.size()); }
    void preSizeArray(int n) { m_values.reserve(size_t(n < 0 ? 0 : n)); }
    void setNumValues(int n) { m_values.resize(size_t(n < 0 ? 0 : n)); }
    int appendPnt2Vec(const DzPnt2& p) { m_values.push_back(p); return int(m_values.size()) - 1; }
    // Out-of-range indices are ignored rather than growing the map behind the caller's back.
    void setPnt2Value(int index, const DzPnt2& p)
    {
        if (index >= 0 && size_t(index) < m_values.size()) m_values[size_t(index)] = p;
    }
    DzPnt2 getPnt2Value(int index) const
    {
        return (index >= 0 && size_t(index) < m_values.size()) ? m_values[size_t(index)] : DzPnt2();
    }
    const DzPnt2* getPnt2ArrayPtr() const { return m_values.data(); }
    DzPnt2* getPnt2ArrayPtr() { return m_values.data(); }
    void clearAllData() { m_values.clear(); }
    void swapValues(DzMap& other) { m_values.swap(other.m_values); }

private:
    std::vector<DzPnt2> m_values;
};

class DZHOST_EXPORT DzUVSet : public DzMap
{
    Q_OBJECT
public:
    explicit DzUVSet(QObject* parent = nullptr) : DzMap(parent) {}
};

// One polygon: four vertex indices and four UV indices; a triangle has -1 as its fourth.
struct DzFacet
{
    int m_vertIdx[4] = {-1, -1, -1, -1};
    int m_uvwIdx[4] = {-1, -1, -1, -1};
    int m_materialIdx = 0;
    bool isQuad() const { return m_vertIdx[3] >= 0; }
};

class DZHOST_EXPORT DzVertexMesh : public DzBase
{
    Q_OBJECT
public:
    explicit DzVertexMesh(QObject* parent = nullptr);
    ~DzVertexMesh() override;

    void beginEdit() { ++m_editDepth; }
    void finishEdit()
    {
        if (m_editDepth > 0) --m_editDepth;
        bumpRevision();
    }
    bool isEditing() const { return m_editDepth > 0; }

    int getNumVertices() const { return int(m_verts.size()); }
    void preSizeVertexArray(int n) { m_verts.reserve(size_t(n < 0 ? 0 : n)); }
    void setNumVertices(int n) { m_verts.resize(size_t(n < 0 ? 0 : n)); }
    int addVertex(const DzVec3& v) { m_verts.push_back(v); return int(m_verts.size()) - 1; }
    int addVertex(float x, float y, float z) { return addVertex(DzVec3(x, y, z)); }
    // The hot path of every animation tick: a bounds-checked inline store.
    void setVertex(int index, const DzVec3& v)
    {
        if (unsigned(index) < m_verts.size()) m_verts[size_t(index)] = v;
    }
    DzVec3 getVertex(int index) const
    {
        return unsigned(index) < m_verts.size() ? m_verts[size_t(index)] : DzVec3();
    }
    const DzVec3* getVerticesPtr() const { return m_verts.data(); }
    DzVec3* getVerticesPtr() { return m_verts.data(); }
    void clearAllVertices() { m_verts.clear(); }
    void swapVertices(DzVertexMesh& other) { m_verts.swap(other.m_verts); }

    // The mesh's UV list; the mesh owns the map it was given.
    DzMap* getUVs() const { return m_uvs; }
    void setUVList(DzMap* map);

    quint64 revision() const { return m_revision.load(std::memory_order_acquire); }
    void bumpRevision() { m_revision.fetch_add(1, std::memory_order_acq_rel); }

private:
    std::vector<DzVec3> m_verts;
    DzMap* m_uvs = nullptr;
    std::atomic<quint64> m_revision{1};
    int m_editDepth = 0;
};

class DZHOST_EXPORT DzFacetMesh : public DzVertexMesh
{
    Q_OBJECT
public:
    explicit DzFacetMesh(QObject* parent = nullptr) : DzVertexMesh(parent) {}

    int getNumFacets() const { return int(m_facets.size()); }
    void preSizeFacets(int n) { m_facets.reserve(size_t(n < 0 ? 0 : n)); }
    // New facets take the material index last activated.
    void activateMaterial(int materialIdx) { m_activeMaterial = materialIdx; }
    int getActiveMaterial() const { return m_activeMaterial; }
    int addFacet(const int* vertIdx, const int* uvIdx = nullptr)
    {
        DzFacet f;
        for (int k = 0; k < 4; ++k) {
            f.m_vertIdx[k] = vertIdx[k];
            f.m_uvwIdx[k] = uvIdx ? uvIdx[k] : -1;
        }
        f.m_materialIdx = m_activeMaterial;
        m_facets.push_back(f);
        return int(m_facets.size()) - 1;
    }
    int addFacet(const DzFacet& f) { m_facets.push_back(f); return int(m_facets.size()) - 1; }
    const DzFacet& getFacet(int i) const { return m_facets[size_t(i)]; }
    const DzFacet* getFacetsPtr() const { return m_facets.data(); }
    DzFacet* getFacetsPtr() { return m_facets.data(); }
    void removeAllFacets() { m_facets.clear(); }
    // Exchanges vertices, facets and UV points with other, so a new grid can be laid down
    // aside and put in place at once (or dropped) while this mesh stays whole. Meshes
    // without a UV list get one.
    void swapGeometry(DzFacetMesh& other)
    {
        swapVertices(other);
        m_facets.swap(other.m_facets);
        if (!getUVs()) setUVList(new DzUVSet);
        if (!other.getUVs()) other.setUVList(new DzUVSet);
        getUVs()->swapValues(*other.getUVs());
    }

private:
    std::vector<DzFacet> m_facets;
    int m_activeMaterial = 0;
};
