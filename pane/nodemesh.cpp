#include "pane/nodemesh.h"
#include <dzgeometry.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>

NodeMesh nodeFacetMesh(DzNode* node)
{
    NodeMesh r;
    if (!node) return r;
    DzObject* object = node->getObject();
    if (!object) {
        r.miss = NodeMesh::Object;
        return r;
    }
    DzShape* shape = object->getCurrentShape();
    if (!shape) shape = object->getShape(0);
    if (!shape) {
        r.miss = NodeMesh::Shape;
        return r;
    }
    auto* facetShape = qobject_cast<DzFacetShape*>(shape);
    r.mesh = facetShape ? facetShape->getGeometry() : nullptr;
    r.miss = r.mesh ? NodeMesh::None : NodeMesh::Geometry;
    return r;
}

NodeMesh objectNodeMesh(const QString& title)
{
    return nodeFacetMesh(dzScene ? dzScene->findNodeByLabel(title) : nullptr);
}

QString nodeMeshMessage(NodeMesh::Miss miss, const QString& title)
{
    switch (miss) {
    case NodeMesh::None:
        break;
    case NodeMesh::Node:
        return QStringLiteral("Error: Mesh %1 missing!").arg(title);
    case NodeMesh::Object:
    case NodeMesh::Shape:
        return QStringLiteral("No shapes in object!");
    case NodeMesh::Geometry:
        return QStringLiteral("No geometry in object!");
    }
    return QString();
}

DzFacetMesh* objectNodeMesh(const QString& title, QString* message)
{
    const NodeMesh r = objectNodeMesh(title);
    if (!r.mesh) *message = nodeMeshMessage(r.miss, title);
    return r.mesh;
}
