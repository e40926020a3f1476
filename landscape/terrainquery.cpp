// The pane's side of the height query: finding a landscape box's terrain mesh in the scene
// and keeping it per box.
#include <QLabel>
#include <QThread>
#include <dzgeometry.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "pane/nodemesh.h"
#include "pane/verdixpane.h"

DzVertexMesh* ZPK_VerdixPane::terrainMeshOf(int i)
{
    ControlBox* box = m_boxes.at(i);
    if (!box) return nullptr;
    if (DzVertexMesh* mesh = box->terrainMesh.mesh.load()) return mesh;
    // The scene is changed only on the GUI thread and never while background queries run.
    if (!dzScene || !box->titleLabel) return nullptr;
    DzVertexMesh* mesh = nodeFacetMesh(dzScene->findNodeByLabel(box->titleLabel->text())).mesh;
    if (!mesh) return nullptr;
    // A mesh deleted with its node must not be read again through the cache.
    // The pointer is compared, never used: by the time destroyed() is emitted the object is
    // no longer a DzVertexMesh, so it is not cast back to one.
    connect(
        mesh, &QObject::destroyed, this,
        [this, mesh]() {
            for (int k = 0; k < m_boxes.count(); ++k) {
                DzVertexMesh* expected = mesh;
                m_boxes[k].terrainMesh.mesh.compare_exchange_strong(expected, nullptr);
            }
        },
        Qt::DirectConnection);
    box->terrainMesh.mesh.store(mesh);
    return mesh;
}

void ZPK_VerdixPane::clearTerrainMeshCache(int i)
{
    if (ControlBox* box = m_boxes.at(i)) box->terrainMesh.mesh.store(nullptr);
}

void ZPK_VerdixPane::clearAllTerrainMeshCaches()
{
    for (int k = 0; k < kMaxControlBoxes; ++k) m_boxes[k].terrainMesh.mesh.store(nullptr);
}

HeightAnswer ZPK_VerdixPane::heightAnswer(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache,
                                          int* jCache)
{
    HeightAnswer none;
    none.hit = HeightHit::NotFound;
    const ControlBox* box = m_boxes.at(ControlBoxIndex);
    if (!box || box->type != TypeLandscape) return none;
    const DzVertexMesh* mesh = terrainMeshOf(ControlBoxIndex);
    if (!mesh) return none;
    const TerrainGrid grid = TerrainGrid::fromLayout(mesh->getVerticesPtr(), mesh->getNumVertices(), box->storedTiles,
                                                     box->storedDivisions, box->storedTileSize);
    return terrainHeight(grid, PosX, PosZ, TNormal, iCache, jCache);
}

float ZPK_VerdixPane::fHeight(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache, int* jCache)
{
    return heightAt(ControlBoxIndex, PosX, PosZ, TNormal, iCache, jCache);
}

float ZPK_VerdixPane::heightAt(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache, int* jCache)
{
    const HeightAnswer a = heightAnswer(ControlBoxIndex, PosX, PosZ, TNormal, iCache, jCache);
    // Only the GUI thread reads the pane-wide flag; background tasks keep their own answer.
    if (a.hit == HeightHit::Found && QThread::currentThread() == thread()) m_heightFirstTriangle = a.firstTriangle;
    return a.height;
}

DzVec3 ZPK_VerdixPane::Vec3Cross(const DzVec3* pV1, const DzVec3* pV2)
{
    if (!pV1 || !pV2) return DzVec3();
    return crossProduct(*pV1, *pV2);
}
