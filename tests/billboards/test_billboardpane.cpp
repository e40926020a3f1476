// Billboard boxes in the pane: created by their button, turned to the viewport's camera by
// the animation tick, and re-placed when their terrain changes.
#include "fieldfixture.h"
#include "animation/billboardbox.h"

namespace {
class BillboardPane : public FieldTest
{
protected:
    float worstFacing(int i, const DzVec3& cam)
    {
        return FieldTest::worstFacing(verts(i), cam, slider(i, "Spin LOD")->value());
    }
};
}  // namespace

TEST_F(BillboardPane, CreateBuildsTheNodeAndTheTickTurnsItToTheCamera)
{
    const int i = create(TypeBillboard);
    DzNode* node = nodeOf(i);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->getAssetId(), "billboard");
    EXPECT_EQ(status(), "Added Billboard");
    ASSERT_EQ(mesh(i)->getNumVertices(), 100 * 4);
    set(i, {{"Spin LOD", 3}, {"Amount", 250}});
    ASSERT_EQ(mesh(i)->getNumVertices(), 250 * 3 * 4);

    // The camera is orbited: the next ticks, on the ring's workers, turn every billboard
    // where it stands.
    const std::vector<DzVec3> start = verts(i);
    for (const DzVec3& cam : {DzVec3(3000.f, 500.f, 200.f), DzVec3(-800.f, 200.f, -2600.f)}) {
        camera()->setWSPos(cam);
        EXPECT_GT(worstFacing(i, cam), 0.05f);
        tick();
        EXPECT_LT(worstFacing(i, cam), 2e-3f);
        const std::vector<DzVec3> now = verts(i);
        for (size_t f = 0; f < now.size(); f += 12)
            ASSERT_NEAR(((now[f] + now[f + 1]) * 0.5f - (start[f] + start[f + 1]) * 0.5f).length(), 0.f, 1e-3f);
    }
    EXPECT_EQ(generatorOf<BillboardBox>(box(i))->params.frame, 1) << "the second tick read the frame counter";
}

// From the tick's workers: the message reaches the label through the GUI thread.
TEST_F(BillboardPane, DeletedNodeReportsTheMissingMesh)
{
    const int i = create(TypeBillboard);
    dzScene->removeNode(nodeOf(i));
    a->status()->clear();
    tick();
    QApplication::processEvents();
    EXPECT_EQ(status(), "Error: Mesh (0000) BillboardV1.0 missing!");
}

TEST_F(BillboardPane, BillboardsAndStonesFollowTheirTerrain)
{
    defaultMaps(200);
    const int L = createLandscape();
    set(L, {{"Land", 0}});
    const int b = create(TypeBillboard);
    const int s = create(TypeStones);
    ASSERT_EQ(box(b).landscapeIndex, L);
    ASSERT_EQ(box(s).landscapeIndex, L);
    set(b, {{"Area size X", 60}, {"Area size Z", 60}, {"Ring", 0}, {"Amount", 50}});
    const float before = verts(b)[0].y();
    const float stoneBefore = verts(s)[6 * 12].y();
    // The terrain is raised: its update re-places both boxes, through the ring, on the new heights.
    set(L, {{"Land", 100}}, false);
    update("UpdateLandScape", L, true);
    const DzVec3 foot = (verts(b)[0] + verts(b)[1]) * 0.5f;
    EXPECT_GT(foot.y(), before + 10.f);
    EXPECT_NEAR(foot.y(), pane->heightAt(L, foot.x(), foot.z()), 0.01f);
    EXPECT_GT(verts(s)[6 * 12].y(), stoneBefore + 10.f);
}
