#pragma once
// What the viewport and the exporters see of the host scene: the nodes that carry a
// facet mesh, their world transforms and the materials of their shape.
#include <QList>
#include <QMap>
#include <vector>
#include <QMatrix4x4>
#include <QVector3D>
#include <dzmath.h>

class DzNode;
class DzFacetShape;
class DzFacetMesh;
class DzDefaultMaterial;
class DzMaterial;

struct MeshNode
{
    DzNode* node = nullptr;
    DzFacetShape* shape = nullptr;
    DzFacetMesh* mesh = nullptr;
};

// The facet shape and mesh of node, or nulls when it carries none.
MeshNode meshNodeOf(DzNode* node);
// Every node of dzScene with a mesh of at least one facet; visibleOnly skips hidden nodes.
QList<MeshNode> sceneMeshNodes(bool visibleOnly);

QMatrix4x4 toMatrix(const DzTransform& t);
inline QVector3D toQt(const DzVec3& v) { return QVector3D(v.m_x, v.m_y, v.m_z); }

// The facets of a mesh node by the material they are drawn with (an index the shape does not
// have counts as its first material); facets with a vertex index outside the mesh are left out.
QMap<int, std::vector<int>> facetsByMaterial(const MeshNode& mn);

// The material a facet with material index idx is drawn with (null when the shape has none there).
DzMaterial* facetMaterial(const MeshNode& mn, int idx);

struct Bounds
{
    QVector3D min{1e30f, 1e30f, 1e30f};
    QVector3D max{-1e30f, -1e30f, -1e30f};
    bool isEmpty() const { return min.x() > max.x(); }
    void add(const QVector3D& p);
    void add(const Bounds& b);
    QVector3D center() const { return (min + max) * 0.5f; }
    float radius() const { return isEmpty() ? 0.f : (max - min).length() * 0.5f; }
};

// World-space bounds of the vertices used by the facets of every visible mesh node.
Bounds sceneBounds();
// World-space bounds of one node's mesh.
Bounds nodeBounds(const MeshNode& mn);
