#pragma once
// The one way from a box's node to the mesh a generator writes: node -> object -> its
// current shape (else its first) -> the facet shape's geometry.
#include <QString>

class DzFacetMesh;
class DzNode;

struct NodeMesh
{
    enum Miss {
        None,
        Node,
        Object,
        Shape,
        Geometry
    };
    DzFacetMesh* mesh = nullptr;
    Miss miss = Node;
};

// The facet mesh of node; node may be null.
NodeMesh nodeFacetMesh(DzNode* node);
// The facet mesh of the scene node labelled title.
NodeMesh objectNodeMesh(const QString& title);
// The status line's text for what was missing: "Error: Mesh <title> missing!", "No shapes in
// object!" (also for a node without an object) or "No geometry in object!"; empty for None.
QString nodeMeshMessage(NodeMesh::Miss miss, const QString& title);

// The facet mesh of the node labelled title; null with the status message in *message.
DzFacetMesh* objectNodeMesh(const QString& title, QString* message);
