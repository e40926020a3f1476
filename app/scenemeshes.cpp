#include "scenemeshes.h"
#include <QQuaternion>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "meshtriangles.h"

MeshNode meshNodeOf(DzNode* node)
{
    MeshNode mn;
    mn.node = node;
    DzObject* obj = node ? node->getObject() : nullptr;
    if (!obj) return mn;
    for (int i = 0; i < obj->getNumShapes(); ++i) {
        if (auto* fs = qobject_cast<DzFacetShape*>(obj->getShape(i))) {
            if (fs->getFacetMesh()) {
                mn.shape = fs;
                mn.mesh = fs->getFacetMesh();
                break;
            }
        }
    }
    return mn;
}

QList<MeshNode> sceneMeshNodes(bool visibleOnly)
{
    QList<MeshNode> out;
    if (!dzScene) return out;
    for (DzNode* n : dzScene->nodeList()) {
        if (visibleOnly && !n->isVisible()) continue;
        const MeshNode mn = meshNodeOf(n);
        if (mn.mesh && mn.mesh->getNumFacets() > 0) out.append(mn);
    }
    return out;
}

QMatrix4x4 toMatrix(const DzTransform& t)
{
    QMatrix4x4 m;
    m.translate(toQt(t.pos));
    m.rotate(QQuaternion(t.rot.m_w, t.rot.m_x, t.rot.m_y, t.rot.m_z));
    m.scale(toQt(t.scale));
    return m;
}

DzMaterial* facetMaterial(const MeshNode& mn, int idx)
{
    if (!mn.shape || mn.shape->getNumMaterials() == 0) return nullptr;
    if (idx < 0 || idx >= mn.shape->getNumMaterials()) idx = 0;
    return mn.shape->getMaterial(idx);
}

void Bounds::add(const QVector3D& p)
{
    min = QVector3D(std::min(min.x(), p.x()), std::min(min.y(), p.y()), std::min(min.z(), p.z()));
    max = QVector3D(std::max(max.x(), p.x()), std::max(max.y(), p.y()), std::max(max.z(), p.z()));
}

void Bounds::add(const Bounds& b)
{
    if (b.isEmpty()) return;
    add(b.min);
    add(b.max);
}

Bounds nodeBounds(const MeshNode& mn)
{
    Bounds b;
    if (!mn.mesh) return b;
    const DzTransform ws = mn.node->getWSTransform();
    const int nv = mn.mesh->getNumVertices();
    const DzVec3* v = mn.mesh->getVerticesPtr();
    // Only vertices that facets use: meshes keep spare vertices parked anywhere. Read one by
    // one, so a terrain's grid of quads is not written out as a list for it.
    std::vector<char> used(size_t(nv), 0);
    for (int i = 0, n = mn.mesh->getNumFacets(); i < n; ++i) {
        const DzFacet f = mn.mesh->getFacet(i);
        for (int k = 0; k < 4; ++k) {
            const int vi = f.m_vertIdx[k];
            if (vi >= 0 && vi < nv) used[size_t(vi)] = 1;
        }
    }
    for (int i = 0; i < nv; ++i)
        if (used[size_t(i)]) b.add(toQt(ws.apply(v[i])));
    return b;
}

Bounds sceneBounds()
{
    Bounds b;
    for (const MeshNode& mn : sceneMeshNodes(true)) b.add(nodeBounds(mn));
    return b;
}

QMap<int, std::vector<int>> facetsByMaterial(const MeshNode& mn)
{
    QMap<int, std::vector<int>> out;
    const DzFacetMesh& mesh = *mn.mesh;
    const int nv = mesh.getNumVertices(), nmat = mn.shape ? mn.shape->getNumMaterials() : 0;
    const DzFacet* f = mesh.getFacetsPtr();
    for (int i = 0, nf = mesh.getNumFacets(); i < nf; ++i) {
        if (!facetInMesh(f[i], nv)) continue;
        int m = f[i].m_materialIdx;
        if (m < 0 || m >= nmat) m = 0;
        out[m].push_back(i);
    }
    return out;
}
