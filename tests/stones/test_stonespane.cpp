// Stone boxes in the pane: built by their button with both materials, swayed by the tick
// blade by blade.
#include <dzmaterial.h>
#include <dzshape.h>
#include "fieldfixture.h"

namespace {

class StonesPane : public FieldTest
{
protected:
    int stoneVertices(int i) { return slider(i, "Stone Amount")->value() * 8 * slider(i, "Stone LOD")->value(); }
};

}  // namespace

TEST_F(StonesPane, CreateBuildsStonesAndGrassMaterialsAndTheTickSwaysOnlyBlades)
{
    const int i = create(TypeStones);
    DzNode* node = nodeOf(i);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->getAssetId(), "stones");
    EXPECT_EQ(status(), "Added stones");
    auto* shape = qobject_cast<DzFacetShape*>(node->getObject()->getShape(0));
    ASSERT_EQ(shape->getNumMaterials(), 2);
    EXPECT_EQ(shape->getMaterial(0)->getName(), "Stones");
    EXPECT_EQ(shape->getMaterial(1)->getName(), "Grass");
    EXPECT_GT(box(i).stonesLastPass.blades, 0);
    ASSERT_EQ(mesh(i)->getNumVertices(), stoneVertices(i) + box(i).stonesLastPass.blades * 14);

    const std::vector<DzVec3> before = verts(i);
    for (int t = 0; t < 3; ++t) tick();
    QApplication::processEvents();
    const std::vector<DzVec3> after = verts(i);
    ASSERT_EQ(after.size(), before.size());
    const int n = stoneVertices(i);
    for (int k = 0; k < n; ++k) ASSERT_EQ(after[size_t(k)], before[size_t(k)]) << k;
    int moved = 0;
    for (size_t k = size_t(n); k < after.size(); ++k) moved += after[k] != before[k] ? 1 : 0;
    EXPECT_GT(moved, 0);
    EXPECT_TRUE(status().startsWith("Time:")) << qPrintable(status());
}
