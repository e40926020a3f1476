#pragma once
// The scene objects the pane makes: a prop node holding one object with one facet shape.
#include <QColor>
#include <QList>
#include <QString>

class DzFacetMesh;
class DzMaterial;
class DzDefaultMaterial;
class DzNode;

// A new prop node labelled label (and so named, when named) with asset id assetId, visible,
// selectable and rendered, whose object's one shape holds mesh with materials in that order.
// The node is not yet in the scene; it owns mesh and materials.
DzNode* newPropNode(const QString& label, const char* assetId, DzFacetMesh* mesh, const QList<DzMaterial*>& materials,
                    bool named = false);

// A smooth, opaque material of one diffuse colour and the host's defaults otherwise.
DzDefaultMaterial* newPlainMaterial(const QString& name, const QColor& diffuse);
