// The pane's slots of the object mapping; the simulation itself is objectmapping.cpp.
#include "animation/objectmapping.h"
#include "pane/verdixpane.h"

namespace {

// The mapped objects fall onto the first landscape, in its own coordinates. Callable from
// the tick's worker: the height query takes no lock and terrains do not change during a tick.
struct FirstLandscape : MappingGround
{
    ZPK_VerdixPane* pane;
    explicit FirstLandscape(ZPK_VerdixPane* p) : pane(p) {}
    HeightAnswer height(float x, float z, DzVec3* normal, int* iCache, int* jCache) const override
    {
        return pane->heightAnswer(0, x, z, normal, iCache, jCache);
    }
};

}  // namespace

bool ZPK_VerdixPane::ObjectMapping_Open() { return m_mapping.open(); }

void ZPK_VerdixPane::ObjectMapping_Close() { m_mapping.close(); }

void ZPK_VerdixPane::ObjectMapping_Add(DzNode* Node, DzVec3 XYZ, float Rad, float BoundMax)
{
    addMapped(Node, XYZ, Rad, BoundMax, nullptr);
}

bool ZPK_VerdixPane::addMapped(DzNode* node, const DzVec3& xyz, float rad, float boundMax, QObject* owner)
{
    return m_mapping.add(node, xyz, rad, boundMax, owner);
}

void ZPK_VerdixPane::ObjectMapping_Animation()
{
    if (!m_mapping.exists()) return;
    m_mapping.step(m_gravity, FirstLandscape(this));
    m_mapping.writeNodes();
}
