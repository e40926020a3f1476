#pragma once
// The terrain under a box's items through the pane's height query, callable from any thread:
// the query takes no lock and terrains are not written while passes run.
#include "pane/verdixpane.h"
#include "vegetation/grasscore.h"

struct PaneGroundSampler : GroundSampler
{
    ZPK_VerdixPane* pane;
    int landscape;

    PaneGroundSampler(ZPK_VerdixPane* p, int land) : pane(p), landscape(land) {}
    float height(float x, float z) const override
    {
        return pane->heightAt(landscape, x, z);
    }
};

#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>

// The facet mesh of the object node labelled title; null with the status message that
// names what is missing, or null with an empty message for geometry of another kind.
inline DzFacetMesh* objectNodeMesh(const QString& title, QString* message)
{
    DzNode* node = dzScene ? dzScene->findNodeByLabel(title) : nullptr;
    if (!node) {
        *message = QStringLiteral("Error: Mesh %1 missing!").arg(title);
        return nullptr;
    }
    DzObject* object = node->getObject();
    DzShape* shape = object ? object->getCurrentShape() : nullptr;
    if (object && !shape) shape = object->getShape(0);
    if (!shape) {
        *message = QStringLiteral("No shapes in object!");
        return nullptr;
    }
    auto* facetShape = qobject_cast<DzFacetShape*>(shape);
    DzFacetMesh* mesh = facetShape ? facetShape->getGeometry() : nullptr;
    if (!mesh) *message = QStringLiteral("No geometry in object!");
    return mesh;
}
