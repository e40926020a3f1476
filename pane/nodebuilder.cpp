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
#include "pane/propnode.h"
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
    const BoxTypeEntry* info = typeInfo(Type);
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
        DzDefaultMaterial* mat = newPlainMaterial(name, spec->diffuse);
        if (spec->specular >= 0) SetSpecularCol(mat, spec->specular);
        if (spec->glossiness >= 0) SetGlossiness(mat, spec->glossiness);
        made.insert(name, mat);
    }
    QList<DzMaterial*> materials;
    for (const VerdixMaterialSpec& spec : specs)
        if (DzDefaultMaterial* mat = made.value(QString::fromLatin1(spec.name))) materials.append(mat);

    auto* mesh = new DzFacetMesh;
    if (fill) fill(i, mesh);
    DzNode* node = newPropNode(Title, info->assetId, mesh, materials);

    dzScene->addNode(node);
    if (landscapeNode) {
        landscapeNode->addNodeChild(node, false);
        if (info->addedTo) setStatus(QString::fromLatin1(info->addedTo).arg(landscapeTitle));
    } else if (info->added) {
        setStatus(QString::fromLatin1(info->added));
    }
    return node;
}

int ZPK_VerdixPane::AddGeneratedBox(int Type, const MeshFill& fill)
{
    const BoxTypeEntry* info = typeInfo(Type);
    if (!info || !info->iconFile) return -1;
    const int i = m_boxes.count();
    const QString title = newBoxTitle(Type, i);
    Network_AddControlBox(QString::fromLatin1(info->iconFile), title, Type);
    if (m_boxes.count() != i + 1) return -1;

    // An existing node of that title stays as it is unless "Renew" asks for a new one.
    const bool keepExisting =
        dzScene && dzScene->findNodeByLabel(title) && !(m_renewCheck && m_renewCheck->isChecked());
    if (keepExisting) {
        m_boxes[i].landscapeIndex =
            FindLandScapeIndex(m_landscapeSelector ? m_landscapeSelector->currentText() : QString());
        return -1;
    }
    BuildObjectNode(Type, i, title, fill);
    return i;
}

DzDefaultMaterial* newPlainMaterial(const QString& name, const QColor& diffuse)
{
    auto* mat = new DzDefaultMaterial;
    mat->setName(name);
    mat->setLabel(name);
    mat->setDiffuseColor(diffuse);
    mat->setSmoothingOn(true);
    mat->setBaseOpacity(1.0);
    return mat;
}

DzNode* newPropNode(const QString& label, const char* assetId, DzFacetMesh* mesh, const QList<DzMaterial*>& materials,
                    bool named)
{
    auto* node = new DzNode;
    node->beginEdit();
    node->setLabel(label);
    if (named) node->setName(label);
    node->setAssetId(QString::fromLatin1(assetId));
    node->setVisible(true);
    node->setSelectable(true);
    node->setVisibleInRender(true);
    node->setRenderPriority(1);

    auto* shape = new DzFacetShape;
    shape->setFacetMesh(mesh);
    for (DzMaterial* mat : materials) shape->addMaterial(mat);
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
    return node;
}
