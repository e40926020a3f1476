#include <gtest/gtest.h>
#include <dzgeometry.h>
#include <QPointer>
#include <cstring>
#include <thread>

TEST(Mesh, WritesStayInRangeAndFacetsTakeTheActiveMaterial)
{
    DzFacetMesh mesh;
    mesh.addVertex(1.f, 2.f, 3.f);
    EXPECT_EQ(mesh.addVertex(DzVec3(4.f, 5.f, 6.f)), 1);
    mesh.setVertex(0, DzVec3(-1.f, -2.f, -3.f));
    mesh.setVertex(-1, DzVec3(9.f, 9.f, 9.f));
    mesh.setVertex(2, DzVec3(9.f, 9.f, 9.f));
    ASSERT_EQ(mesh.getNumVertices(), 2);
    EXPECT_EQ(mesh.getVertex(0), DzVec3(-1.f, -2.f, -3.f));
    EXPECT_EQ(mesh.getVertex(1), DzVec3(4.f, 5.f, 6.f));
    EXPECT_EQ(mesh.getVertex(7), DzVec3());
    mesh.addVertex(0.f, 0.f, 0.f);
    mesh.addVertex(0.f, 1.f, 0.f);

    const int quad[4] = {0, 1, 2, 3}, tri[4] = {0, 1, 2, -1}, uv[4] = {3, 2, 1, 0};
    mesh.addFacet(quad, uv);
    mesh.activateMaterial(2);
    mesh.addFacet(tri);
    mesh.addFacet(quad);
    ASSERT_EQ(mesh.getNumFacets(), 3);
    EXPECT_TRUE(mesh.getFacet(0).isQuad() && !mesh.getFacet(1).isQuad());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(mesh.getFacet(i).m_materialIdx, i == 0 ? 0 : 2) << i;
    EXPECT_EQ(mesh.getFacet(0).m_uvwIdx[0], 3);
    EXPECT_EQ(mesh.getFacet(1).m_uvwIdx[0], -1);
    // Emptied for a refill in place: the facets go, the vertex array stays.
    mesh.removeAllFacets();
    EXPECT_EQ(mesh.getNumFacets(), 0);
    EXPECT_EQ(mesh.getNumVertices(), 4);

    auto* map = new DzUVSet;
    map->appendPnt2Vec(DzPnt2(0.f, 0.f));
    EXPECT_EQ(map->appendPnt2Vec(DzPnt2(1.f, 0.5f)), 1);
    map->setPnt2Value(0, DzPnt2(0.25f, 0.75f));
    map->setPnt2Value(5, DzPnt2(9.f, 9.f));
    mesh.setUVList(map);
    EXPECT_EQ(map->getNumValues(), 2);
    EXPECT_EQ(map->getPnt2Value(0), DzPnt2(0.25f, 0.75f));
    EXPECT_EQ(map->getPnt2Value(1), DzPnt2(1.f, 0.5f));
    // Replacing the list frees the old one; the mesh frees the last.
    QPointer<DzMap> old(map);
    mesh.setUVList(new DzMap);
    EXPECT_TRUE(old.isNull());
}

// Two threads each fill a mesh of their own; the revision moves once per finished edit.
TEST(Mesh, RevisionMovesOncePerFinishedEditAndTwoThreadsWriteTwoMeshes)
{
    constexpr int kVerts = 1 << 20;
    DzFacetMesh a, b;
    a.setNumVertices(kVerts);
    b.setNumVertices(kVerts);
    const quint64 ra = a.revision(), rb = b.revision();
    a.beginEdit();
    a.setVertex(kVerts - 1, DzVec3(7.f, 8.f, 9.f));
    EXPECT_TRUE(a.isEditing() && a.revision() == ra);
    a.finishEdit();
    EXPECT_FALSE(a.isEditing());
    EXPECT_EQ(a.getVerticesPtr()[kVerts - 1], DzVec3(7.f, 8.f, 9.f));
    EXPECT_EQ(a.revision(), ra + 1);

    auto writer = [](DzFacetMesh* m, float sign) {
        for (int pass = 0; pass < 3; ++pass) {
            m->beginEdit();
            for (int i = 0; i < kVerts; ++i) m->setVertex(i, DzVec3(sign * float(i), float(pass), sign));
            m->finishEdit();
        }
    };
    std::thread ta(writer, &a, 1.f), tb(writer, &b, -1.f);
    ta.join();
    tb.join();
    EXPECT_EQ(a.revision(), ra + 4);
    EXPECT_EQ(b.revision(), rb + 3);
    int wrong = 0;
    for (int i = 0; i < kVerts; ++i) {
        wrong += a.getVertex(i) != DzVec3(float(i), 2.f, 1.f);
        wrong += b.getVertex(i) != DzVec3(-float(i), 2.f, -1.f);
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(a.revision(), ra + 4);  // reading moves nothing
}

// A grid held as its rule reads as the list it stands for, however it is read, and turns
// into that list when a facet is added or the array is asked for writing.
TEST(Mesh, AFacetGridReadsAsItsQuadsAndBecomesAListWhenEdited)
{
    DzFacetMesh grid, list;
    grid.setNumVertices(12);  // 4 x 3 vertices: 3 x 2 quads
    grid.setFacetGrid(DzFacetGrid{2, 3, 4, 5});
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            const int q[4] = {r * 4 + c, r * 4 + c + 1, (r + 1) * 4 + c + 1, (r + 1) * 4 + c};
            list.activateMaterial(5);
            list.addFacet(q, q);
        }
    ASSERT_EQ(grid.getNumFacets(), 6);
    const DzFacet* spelt = static_cast<const DzFacetMesh&>(grid).getFacetsPtr();
    for (int i = 0; i < 6; ++i) {
        const DzFacet a = grid.getFacet(i), b = list.getFacet(i);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof(DzFacet)), 0) << i;
        EXPECT_EQ(std::memcmp(&spelt[i], &b, sizeof(DzFacet)), 0) << i;
    }
    EXPECT_GT(grid.facetGrid().rows, 0);  // reading left the rule in place

    DzFacetMesh other;
    other.swapGeometry(grid);
    EXPECT_EQ(grid.getNumFacets(), 0);
    EXPECT_EQ(other.facetGrid().cols, 3);
    const int tri[4] = {0, 1, 4, -1};
    other.activateMaterial(1);
    EXPECT_EQ(other.addFacet(tri), 6);
    EXPECT_EQ(other.facetGrid().rows, 0);
    ASSERT_EQ(other.getNumFacets(), 7);
    const DzFacet last = other.getFacet(6), fifth = other.getFacet(5);
    EXPECT_FALSE(last.isQuad());
    EXPECT_EQ(std::memcmp(&fifth, &list.getFacetsPtr()[5], sizeof(DzFacet)), 0);
    other.getFacetsPtr()[0].m_materialIdx = 9;
    EXPECT_EQ(other.getFacet(0).m_materialIdx, 9);
    other.removeAllFacets();
    EXPECT_EQ(other.getNumFacets(), 0);
}
