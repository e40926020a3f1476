// The object node that every box of a generated type owns in the host scene.
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzgeometry.h>
#include <dzshape.h>
#include "pane/verdixpane.h"

void ZPK_VerdixPane::SetSpecularCol(DzMaterial* mat, double val)
{
    if (!mat) return;
    if (auto* p = qobject_cast<DzNumericProperty*>(mat->findProperty("Specular Color"))) p->setDoubleValue(val);
}

void ZPK_VerdixPane::SetGlossiness(DzMaterial* mat, double val)
{
    if (!mat) return;
    if (auto* p = qobject_cast<DzNumericProperty*>(mat->findProperty("Glossiness"))) p->setDoubleValue(val);
}

DzNode* ZPK_VerdixPane::BuildObjectNode(int Type, int i, const QString& Title, const MeshFill& fill)
{
    const VerdixTypeInfo* info = typeInfo(Type);
    if (!info || !info->assetId || !dzScene) return nullptr;
    ControlBox* box = m_boxes.at(i);
    if (!box) return nullptr;

    // Objects stand on the landscape the selector names.
    const bool isLandscape = Type == TypeLandscape;
    const QString landscapeTitle = m_landscapeSelector ? m_landscapeSelector->currentText() : QString();
    DzNode* landscapeNode = nullptr;
    if (!isLandscape && !landscapeTitle.isEmpty()) landscapeNode = dzScene->findNodeByLabel(landscapeTitle);

    // A node with this title already in the scene: boxes rebuilt from a stored scene take
    // it over unless "Renew" asks for a fresh one.
    if (DzNode* existing = dzScene->findNodeByLabel(Title)) {
        if (!m_renewCheck || !m_renewCheck->isChecked()) return existing;
        dzScene->removeNode(existing);
    }

    if (!isLandscape) box->landscapeIndex = FindLandScapeIndex(landscapeTitle);

    auto* node = new DzNode;
    node->beginEdit();
    node->setLabel(Title);
    node->setAssetId(QString::fromLatin1(info->assetId));
    node->setVisible(true);
    node->setSelectable(true);
    node->setVisibleInRender(true);
    node->setRenderPriority(1);

    // Created in the type's creation order, added to the shape in the shape's order.
    const std::vector<VerdixMaterialSpec> specs = typeMaterials(Type);
    QStringList creation = typeMaterialCreationOrder(Type);
    if (creation.isEmpty())
        for (const VerdixMaterialSpec& spec : specs) creation << QString::fromLatin1(spec.name);
    QHash<QString, DzDefaultMaterial*> made;
    for (const QString& name : creation) {
        const VerdixMaterialSpec* spec = nullptr;
        for (const VerdixMaterialSpec& s : specs)
            if (name == QLatin1String(s.name)) spec = &s;
        if (!spec) continue;
        auto* mat = new DzDefaultMaterial;
        mat->setName(name);
        mat->setLabel(name);
        mat->setDiffuseColor(spec->diffuse);
        if (spec->specular >= 0) SetSpecularCol(mat, spec->specular);
        if (spec->glossiness >= 0) SetGlossiness(mat, spec->glossiness);
        mat->setSmoothingOn(true);
        mat->setBaseOpacity(1.0);
        made.insert(name, mat);
    }
    QList<DzDefaultMaterial*> materials;
    for (const VerdixMaterialSpec& spec : specs)
        if (DzDefaultMaterial* mat = made.value(QString::fromLatin1(spec.name))) materials.append(mat);

    auto* shape = new DzFacetShape;
    auto* mesh = new DzFacetMesh;
    if (fill) fill(i, mesh);
    shape->setFacetMesh(mesh);
    for (DzDefaultMaterial* mat : materials) shape->addMaterial(mat);

    auto* object = new DzObject;
    object->addShape(shape);
    node->setObject(object);
    node->finishEdit();

    DzPresentation* presentation = node->getPresentation();
    if (!presentation) {
        presentation = new DzPresentation;
        node->setPresentation(presentation);
    }
    presentation->setType("Prop");

    dzScene->addNode(node);
    if (landscapeNode) {
        landscapeNode->addNodeChild(node, false);
        if (info->addedTo) setStatus(QString::fromLatin1(info->addedTo).arg(landscapeTitle));
    } else if (info->added) {
        setStatus(QString::fromLatin1(info->added));
    }
    return node;
}
