#pragma once
// Landscape boxes whose node holds a test terrain, and the pane's slots called directly.
#include "boxfixture.h"
#include "terrainfixture.h"

class TerrainBoxTest : public BoxTest
{
protected:
    // A landscape box whose node's mesh holds terrain t, laid out as the terrain build lays it.
    int landscape(const TestTerrain& t)
    {
        const int i = addBox(TypeLandscape);
        EXPECT_GE(i, 0);
        store(i, t);
        return i;
    }
    void store(int i, const TestTerrain& t)
    {
        DzFacetMesh* mesh = meshOfNode(nodeOf(i));
        ASSERT_NE(mesh, nullptr);
        t.fill(mesh);
        box(i).storedTiles = t.tiles;
        box(i).storedDivisions = t.divisions;
        box(i).storedTileSize = t.tileSize;
    }
    void call(const char* slot) { ASSERT_TRUE(QMetaObject::invokeMethod(pane, slot, Qt::DirectConnection)); }
    void call(const char* slot, int v)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(pane, slot, Qt::DirectConnection, Q_ARG(int, v)));
    }
};
