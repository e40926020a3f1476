#pragma once
// Billboard and stone boxes built by their own create slots, on terrains drawn for the case,
// with the active viewport's camera and the animation tick within reach.
#include <QMetaObject>
#include <dzapp.h>
#include <dzgeometry.h>
#include <dznode.h>
#include <vector>
#include "landscapefixture.h"

class FieldTest : public LandscapeTest
{
protected:
    void SetUp() override
    {
        LandscapeTest::SetUp();
        defaultMaps();
        camera()->setWSPos(DzVec3(0.f, 0.f, 0.f));
    }

    int create(int type)
    {
        const int i = a->boxes().count();
        EXPECT_TRUE(pane->createBoxOfType(type));
        return i;
    }
    static DzCameraNode* camera()
    {
        return dzApp->getInterface()->getViewportMgr()->getActiveViewport()->get3DViewport()->getCamera();
    }
    void tick() { ASSERT_TRUE(QMetaObject::invokeMethod(pane, "Animation_Draw", Qt::DirectConnection)); }
    void update(const char* slot, int i, bool reset)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(pane, slot, Qt::DirectConnection, Q_ARG(int, i), Q_ARG(bool, reset)));
    }
    std::vector<DzVec3> verts(int i)
    {
        std::vector<DzVec3> out;
        if (DzFacetMesh* m = mesh(i)) out.assign(m->getVerticesPtr(), m->getVerticesPtr() + m->getNumVertices());
        return out;
    }
};
