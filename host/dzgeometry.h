#pragma once
// Meshes: contiguous vertex, facet and UV arrays. Writers on different threads may edit
// different meshes at once; one mesh is edited by one thread at a time. Every finished
// edit bumps the mesh's revision so the viewport re-uploads only what changed.
#include <QObject>
#include <QString>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>
#include "dzbase.h"
#include "dzmath.h"

// Large arrays (a big terrain's vertices run to gigabytes) come straight from the kernel,
// aligned to 2 MB, and are given back to it whole when freed; small ones go through the heap.
// Huge pages are not asked for: on this kind of machine the kernel takes five times longer
// to hand over 2 GB in huge pages than in small ones.
DZHOST_EXPORT void* dzBulkAllocate(size_t bytes);
DZHOST_EXPORT void dzBulkFree(void* p, size_t bytes);

// The allocator of the mesh arrays. A resize without a value leaves new plain records
// unwritten: the callers that want zeros say so (setNumVertices, setNumValues); the bulk
// writers fill every element themselves, on as many threads as they like, without a
// serial pass over the pages first.
template <class T>
struct DzBulkAllocator
{
    using value_type = T;
    DzBulkAllocator() = default;
    template <class U>
    DzBulkAllocator(const DzBulkAllocator<U>&) noexcept
    {
    }
    T* allocate(size_t n)
    {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(dzBulkAllocate(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept { dzBulkFree(p, n * sizeof(T)); }
    // Plain records (vertices, UV points, facets) are left as the memory holds them.
    template <class U>
    void construct(U* p) noexcept
    {
        if (!std::is_trivially_copyable<U>::value) ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const DzBulkAllocator<U>&) const noexcept
    {
        return true;
    }
    template <class U>
    bool operator!=(const DzBulkAllocator<U>&) const noexcept
    {
        return false;
    }
};
template <class T>
using DzBulkVector = std::vector<T, DzBulkAllocator<T>>;

class DZHOST_EXPORT DzMap : public DzBase
{
    Q_OBJECT
public:
    explicit DzMap(QObject* parent = nullptr) : DzBase(parent) {}

    int getNumValues() const { return int(m_values.size()); }
    void preSizeArray(int n) { m_values.reserve(size_t(n < 0 ? 0 : n)); }
    void setNumValues(int n)
    {
        const size_t had = m_values.size();
        m_values.resize(size_t(n < 0 ? 0 : n));
        if (m_values.size() > had) std::fill(m_values.begin() + long(had), m_values.end(), DzPnt2());
    }
    // As setNumValues, but the new values are undefined until the caller writes each one.
    void setNumValuesForWrite(int n) { m_values.resize(size_t(n < 0 ? 0 : n)); }
    int appendPnt2Vec(const DzPnt2& p)
    {
        m_values.push_back(p);
        return int(m_values.size()) - 1;
    }
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
    DzBulkVector<DzPnt2> m_values;
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

// A regular grid of quads over a row-major block of vertices, rows x cols quads with stride
// vertices per row: quad (r, c) has the corners r*stride+c, +1, (r+1)*stride+c+1, (r+1)*stride+c
// as vertex and as UV indices, and one material. A terrain's quads are this; holding them as
// the rule instead of 36 bytes each saves most of a large terrain's memory.
struct DzFacetGrid
{
    int rows = 0, cols = 0, stride = 0, material = 0;
    long long count() const { return (long long)rows * cols; }
    DzFacet at(int i) const
    {
        DzFacet f;
        const int r = i / cols, c = i - r * cols;
        const int a = r * stride + c, b = a + stride;
        f.m_vertIdx[0] = f.m_uvwIdx[0] = a;
        f.m_vertIdx[1] = f.m_uvwIdx[1] = a + 1;
        f.m_vertIdx[2] = f.m_uvwIdx[2] = b + 1;
        f.m_vertIdx[3] = f.m_uvwIdx[3] = b;
        f.m_materialIdx = material;
        return f;
    }
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
    void setNumVertices(int n)
    {
        const size_t had = m_verts.size();
        m_verts.resize(size_t(n < 0 ? 0 : n));
        if (m_verts.size() > had) std::fill(m_verts.begin() + long(had), m_verts.end(), DzVec3());
    }
    // As setNumVertices, but the new vertices are undefined until the caller writes each one.
    void setNumVerticesForWrite(int n) { m_verts.resize(size_t(n < 0 ? 0 : n)); }
    int addVertex(const DzVec3& v)
    {
        m_verts.push_back(v);
        return int(m_verts.size()) - 1;
    }
    int addVertex(float x, float y, float z) { return addVertex(DzVec3(x, y, z)); }
    // The hot path of every animation tick: a bounds-checked inline store.
    void setVertex(int index, const DzVec3& v)
    {
        if (unsigned(index) < m_verts.size()) m_verts[size_t(index)] = v;
    }
    DzVec3 getVertex(int index) const { return unsigned(index) < m_verts.size() ? m_verts[size_t(index)] : DzVec3(); }
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
    DzBulkVector<DzVec3> m_verts;
    DzMap* m_uvs = nullptr;
    std::atomic<quint64> m_revision{1};
    int m_editDepth = 0;
};

class DZHOST_EXPORT DzFacetMesh : public DzVertexMesh
{
    Q_OBJECT
public:
    explicit DzFacetMesh(QObject* parent = nullptr) : DzVertexMesh(parent) {}

    int getNumFacets() const { return m_grid.rows > 0 ? int(m_grid.count()) : int(m_facets.size()); }
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
        return addFacet(f);
    }
    int addFacet(const DzFacet& f)
    {
        spellOutGrid();
        m_facets.push_back(f);
        return int(m_facets.size()) - 1;
    }
    DzFacet getFacet(int i) const { return m_grid.rows > 0 ? m_grid.at(i) : m_facets[size_t(i)]; }
    // Replaces the facets with a grid held as its rule (see DzFacetGrid).
    void setFacetGrid(const DzFacetGrid& grid)
    {
        clearFacetStore();
        m_grid = grid;
    }
    // The grid the facets are, or one of no rows when they are a list.
    const DzFacetGrid& facetGrid() const { return m_grid; }
    // The facets as one array. A grid is written out on the first call (the readers that
    // walk facets through getFacet never pay for it); the writable one makes the list the
    // facets' only form, as its caller may change them.
    const DzFacet* getFacetsPtr() const;
    DzFacet* getFacetsPtr()
    {
        spellOutGrid();
        return m_facets.data();
    }
    void removeAllFacets() { clearFacetStore(); }
    // Exchanges vertices, facets and UV points with other, so a new grid can be laid down
    // aside and put in place at once (or dropped) while this mesh stays whole. Meshes
    // without a UV list get one.
    void swapGeometry(DzFacetMesh& other)
    {
        swapVertices(other);
        m_facets.swap(other.m_facets);
        std::swap(m_grid, other.m_grid);
        std::swap(m_gridSpelt, other.m_gridSpelt);
        if (!getUVs()) setUVList(new DzUVSet);
        if (!other.getUVs()) other.setUVList(new DzUVSet);
        getUVs()->swapValues(*other.getUVs());
    }

private:
    void spellOutGrid();
    void clearFacetStore()
    {
        m_facets.clear();
        m_grid = DzFacetGrid();
        m_gridSpelt = false;
    }

    // A list of facets, or (m_grid.rows > 0) the grid's rule; m_facets then holds the grid
    // written out once some reader asked for the array (m_gridSpelt).
    mutable DzBulkVector<DzFacet> m_facets;
    DzFacetGrid m_grid;
    mutable bool m_gridSpelt = false;
    mutable std::mutex m_spellLock;
    int m_activeMaterial = 0;
};
