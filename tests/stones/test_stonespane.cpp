// Stone boxes in the pane: built by their button with both materials, swayed by the tick
// blade by blade, and brought back whole by set documents and host scenes.
#include <QFile>
#include <QTemporaryDir>
#include <dzmaterial.h>
#include <dzshape.h>
#include "fieldfixture.h"

namespace {

class StonesPane : public FieldTest
{
protected:
    std::vector<int> values(int i)
    {
        std::vector<int> v;
        for (DzIntSlider* s : box(i).sliders) v.push_back(s ? s->value() : -99999);
        return v;
    }
    void removeBoxes()
    {
        while (a->boxes().count() > 0) a->deleteControl(true, false);
        QApplication::processEvents();
        dzScene->clear();
    }
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

TEST_F(StonesPane, SetDocumentAndHostSceneBringBackTheSameField)
{
    create(TypeStones);
    const int j = create(TypeStones);
    // Every slider of box j away from its default, within its range.
    a->setLoading(true);
    int k = 0;
    for (DzIntSlider* s : box(j).sliders) {
        const int span = s->getMax() - s->getMin() + 1;
        s->setValue(s->getMin() + (k++ * 37 + 11) % span);
    }
    slider(j, "Stone Amount")->setValue(120);
    slider(j, "Stone LOD")->setValue(10);
    slider(j, "Grass")->setValue(6);
    slider(j, "Rough")->setValue(-35);
    a->setLoading(false);
    update("UpdateStones", j, true);
    const std::vector<int> sliders0 = values(0), slidersJ = values(j);
    const std::vector<DzVec3> field0 = verts(0), fieldJ = verts(j);
    ASSERT_GE(fieldJ.size(), size_t(120 * 80));

    QTemporaryDir dir;
    const QString doc = dir.path() + "/stones.txt";
    {
        QFile f(doc);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(pane->setDocumentText().toLatin1());
    }
    removeBoxes();
    ASSERT_TRUE(pane->openSetDocument(doc)) << qPrintable(status());
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(box(j).type, TypeStones);
    EXPECT_EQ(values(0), sliders0);
    EXPECT_EQ(values(j), slidersJ);
    EXPECT_EQ(verts(0), field0);
    EXPECT_EQ(verts(j), fieldJ);

    QMetaObject::invokeMethod(pane, "saveModelData", Qt::DirectConnection);
    const QString scene = dir.path() + "/stones.duf";
    QString error;
    ASSERT_TRUE(dzScene->saveScene(scene, &error)) << qPrintable(error);
    removeBoxes();
    ASSERT_TRUE(dzScene->loadScene(scene, &error)) << qPrintable(error);
    QApplication::processEvents();
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(values(0), sliders0);
    EXPECT_EQ(values(j), slidersJ);
    EXPECT_EQ(dzScene->getNumNodes(), 2);
    EXPECT_EQ(verts(0), field0);
    EXPECT_EQ(verts(j), fieldJ);
    // Both materials come back in their order, so the blades keep material 1.
    auto* shape = qobject_cast<DzFacetShape*>(nodeOf(j)->getObject()->getShape(0));
    ASSERT_EQ(shape->getNumMaterials(), 2);
    EXPECT_EQ(shape->getMaterial(1)->getName(), "Grass");
}
