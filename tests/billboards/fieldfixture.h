#pragma once
// Billboard and stone boxes built by their own create slots, on terrains drawn for the case,
// with the active viewport's camera and the animation tick within reach.
#include <QMetaObject>
#include <cmath>
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
    // Largest misalignment of a billboard's first plane with the line from the camera to it.
    static float worstFacing(const std::vector<DzVec3>& v, const DzVec3& cam, int planes = 1)
    {
        float worst = 0.f;
        for (size_t f = 0; f + 3 < v.size(); f += size_t(4 * planes)) {
            DzVec3 edge = v[f + 1] - v[f], to = (v[f] + v[f + 1]) * 0.5f - cam;
            edge.setY(0.f);
            to.setY(0.f);
            worst = std::max(worst, std::fabs(edge.normalized().dot(to.normalized())));
        }
        return worst;
    }
    // Every slider of box i away from its default, without routing or updates.
    void scramble(int i)
    {
        a->setLoading(true);
        int k = 0;
        for (DzIntSlider* s : box(i).sliders)
            s->setValue(s->getMin() + (k++ * 7 + 3) % std::min(s->getMax() - s->getMin() + 1, 12));
        a->setLoading(false);
    }
    std::vector<int> values(int i)
    {
        std::vector<int> v;
        for (DzIntSlider* s : box(i).sliders) v.push_back(s ? s->value() : -99999);
        return v;
    }
    std::vector<DzVec3> verts(int i)
    {
        std::vector<DzVec3> out;
        if (DzFacetMesh* m = mesh(i)) out.assign(m->getVerticesPtr(), m->getVerticesPtr() + m->getNumVertices());
        return out;
    }
};
