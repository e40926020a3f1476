#include "dzgeometry.h"

DzVertexMesh::DzVertexMesh(QObject* parent) : DzBase(parent) {}

DzVertexMesh::~DzVertexMesh()
{
    delete m_uvs;
}

void DzVertexMesh::setUVList(DzMap* map)
{
    if (map == m_uvs) return;
    delete m_uvs;
    m_uvs = map;
    if (m_uvs) m_uvs->setParent(nullptr);
}
