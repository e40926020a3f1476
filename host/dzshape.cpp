#include "dzshape.h"
#include "dzgeometry.h"
#include "dzmaterial.h"

void DzShape::addMaterial(DzMaterial* mat)
{
    if (!mat || m_materials.contains(mat)) return;
    mat->setParent(this);
    mat->setIndex(m_materials.size());
    m_materials.append(mat);
}

DzMaterial* DzShape::findMaterial(const QString& name) const
{
    for (DzMaterial* m : m_materials)
        if (m->getName() == name || m->getLabel() == name) return m;
    return nullptr;
}

void DzFacetShape::setFacetMesh(DzFacetMesh* mesh)
{
    if (mesh == m_mesh) return;
    if (m_mesh && m_mesh->parent() == this) delete m_mesh;
    m_mesh = mesh;
    if (m_mesh) m_mesh->setParent(this);
}

void DzObject::addShape(DzShape* shape)
{
    if (!shape || m_shapes.contains(shape)) return;
    shape->setParent(this);
    m_shapes.append(shape);
}
