// Stone boxes in the pane: built by their button with both materials and swayed by the tick.
// (Which vertices a tick rewrites: the core tests.)
#include <dzmaterial.h>
#include <dzshape.h>
#include "fieldfixture.h"
#include "objects/stonesbox.h"

class StonesPane : public FieldTest
{
};

TEST_F(StonesPane, CreateBuildsBothMaterialsAndTheTickSwaysTheBlades)
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
    EXPECT_GT(generatorOf<StonesBox>(box(i))->lastPass.blades, 0);

    const std::vector<DzVec3> before = verts(i);
    for (int t = 0; t < 3; ++t) tick();
    QApplication::processEvents();
    const std::vector<DzVec3> after = verts(i);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_EQ(generatorOf<StonesBox>(box(i))->lastPass.stoneVerticesWritten, 0) << "a tick rebuilt the stones";
    EXPECT_TRUE(status().startsWith("Time:")) << qPrintable(status());
}
