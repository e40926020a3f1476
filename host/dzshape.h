#pragma once
#include <QList>
#include <QPointer>
#include "dzbase.h"

class DzMaterial;
class DzFacetMesh;

class DZHOST_EXPORT DzShape : public DzElement
{
    Q_OBJECT
public:
    explicit DzShape(QObject* parent = nullptr) : DzElement(parent) {}

    // The shape owns its materials; their order gives the facets' material indices.
    void addMaterial(DzMaterial* mat);
    DzMaterial* findMaterial(const QString& name) const;
    int getNumMaterials() const { return m_materials.size(); }
    DzMaterial* getMaterial(int i) const { return m_materials.value(i); }

private:
    QList<DzMaterial*> m_materials;
};

class DZHOST_EXPORT DzFacetShape : public DzShape
{
    Q_OBJECT
public:
    explicit DzFacetShape(QObject* parent = nullptr) : DzShape(parent) {}
    void setFacetMesh(DzFacetMesh* mesh);
    DzFacetMesh* getFacetMesh() const { return m_mesh; }
    DzFacetMesh* getGeometry() const { return m_mesh; }

private:
    DzFacetMesh* m_mesh = nullptr;
};

class DZHOST_EXPORT DzObject : public DzElement
{
    Q_OBJECT
public:
    explicit DzObject(QObject* parent = nullptr) : DzElement(parent) {}
    void addShape(DzShape* shape);
    int getNumShapes() const { return m_shapes.size(); }
    DzShape* getShape(int i) const { return m_shapes.value(i); }
    DzShape* getCurrentShape() const { return m_shapes.value(0); }

private:
    QList<DzShape*> m_shapes;
};
