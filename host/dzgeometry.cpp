#include "dzgeometry.h"
#include <sys/mman.h>
#include <cstdint>

DzVertexMesh::DzVertexMesh(QObject* parent) : DzBase(parent) {}

DzVertexMesh::~DzVertexMesh() { delete m_uvs; }

void DzVertexMesh::setUVList(DzMap* map)
{
    if (map == m_uvs) return;
    delete m_uvs;
    m_uvs = map;
    if (m_uvs) m_uvs->setParent(nullptr);
}

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
// Below this the heap is as quick and wastes nothing.
constexpr size_t kBulkFrom = size_t(4) << 20;
size_t bulkSpan(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
}  // namespace

void* dzBulkAllocate(size_t bytes)
{
    if (bytes < kBulkFrom) return ::operator new(bytes == 0 ? 1 : bytes);
    const size_t span = bulkSpan(bytes);
    // Mapped one huge page larger so the start can be put on a huge-page boundary.
    void* raw = mmap(nullptr, span + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = (uintptr_t(raw) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    const size_t before = start - uintptr_t(raw);
    if (before) munmap(raw, before);
    const size_t after = kHugePage - before;
    if (after) munmap(reinterpret_cast<void*>(start + span), after);
    return reinterpret_cast<void*>(start);
}

void dzBulkFree(void* p, size_t bytes)
{
    if (!p) return;
    if (bytes < kBulkFrom) {
        ::operator delete(p);
        return;
    }
    munmap(p, bulkSpan(bytes));
}

const DzFacet* DzFacetMesh::getFacetsPtr() const
{
    if (m_grid.rows <= 0) return m_facets.data();
    std::lock_guard<std::mutex> lock(m_spellLock);
    if (!m_gridSpelt) {
        m_facets.resize(size_t(m_grid.count()));
        for (int i = 0, n = int(m_grid.count()); i < n; ++i) m_facets[size_t(i)] = m_grid.at(i);
        m_gridSpelt = true;
    }
    return m_facets.data();
}

void DzFacetMesh::spellOutGrid()
{
    if (m_grid.rows <= 0) return;
    static_cast<const DzFacetMesh*>(this)->getFacetsPtr();
    m_grid = DzFacetGrid();
    m_gridSpelt = false;
}
