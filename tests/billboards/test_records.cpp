// A box's record carries the whole box, for every generator: with every slider and material
// away from its default, a set document and a host scene bring back the same sliders, the
// same materials and the very same mesh, one node per box.
#include <QTemporaryDir>
#include <dzmaterial.h>
#include <dzshape.h>
#include "fieldfixture.h"
#include "persistence/boxrecord.h"

namespace {

class Records : public FieldTest
{
protected:
    // Every material of the box off its defaults, one texture among them.
    void scrambleMaterials(int i)
    {
        DzNode* node = nodeOf(i);
        DzShape* shape = node->getObject()->getShape(0);
        for (int m = 0; m < shape->getNumMaterials(); ++m) {
            const QString mat = shape->getMaterial(m)->getName();
            verdix::setMaterialValue(node, mat, "Glossiness", 0.1 + m / 997.0);
            verdix::setMaterialValue(node, mat, "Index of Refraction", 1.0 / 3.0 + m);
        }
        verdix::setMaterialTexture(node, shape->getMaterial(0)->getName(), "Diffuse Color", texture);
    }
    QString texture;
};

}  // namespace

TEST_F(Records, SetDocumentAndHostSceneBringBackEveryGeneratorsBoxes)
{
    using Values = std::initializer_list<std::pair<const char*, int>>;
    const struct
    {
        int type;
        Values sizes;  // kept small enough to build fast
    } cases[] = {
        {TypeGrass, {{"Amount", 1500}, {"Grass LOD", 4}, {"Shape", 40}}},
        {TypeStones, {{"Stone Amount", 120}, {"Stone LOD", 10}, {"Grass", 6}, {"Rough", -35}}},
        {TypeTree, {}},
        {TypeFlower, {{"Amount", 6}}},
        {TypeBillboard, {{"Amount", 300}}},
    };
    QTemporaryDir textures;
    texture = textures.filePath("bark.png");
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    ASSERT_TRUE(img.save(texture));
    for (const auto& c : cases) {
        SCOPED_TRACE(typeInfo(c.type)->titleWord);
        reset();
        create(c.type);
        const int j = create(c.type);
        scramble(j);
        set(j, c.sizes);
        scrambleMaterials(j);
        const std::vector<int> sliders0 = values(0), slidersJ = values(j);
        const std::vector<DzVec3> mesh0 = verts(0), meshJ = verts(j);
        const QVector<verdix::MaterialRecord> mats = verdix::collectMaterials(nodeOf(j));
        ASSERT_FALSE(meshJ.empty());

        // The same two boxes, with one node each, found again by its title rather than duplicated.
        auto expectBack = [&] {
            ASSERT_EQ(a->boxes().count(), 2);
            EXPECT_EQ(box(j).type, c.type);
            EXPECT_EQ(values(0), sliders0);
            EXPECT_EQ(values(j), slidersJ);
            EXPECT_EQ(dzScene->getNumNodes(), 2);
            EXPECT_EQ(verdix::collectMaterials(nodeOf(j)), mats);
            EXPECT_TRUE(verts(0) == mesh0);
            EXPECT_TRUE(verts(j) == meshJ);
        };
        // Beside its texture: a document's textures stay in the library or its own folder.
        QTemporaryDir& dir = textures;
        writeFile(dir.path() + "/set.txt", pane->setDocumentText().toLatin1());
        reset();
        ASSERT_TRUE(pane->openSetDocument(dir.path() + "/set.txt")) << qPrintable(status());
        expectBack();

        a->saveModelData();
        QString error;
        ASSERT_TRUE(dzScene->saveScene(dir.path() + QString("/scene-%1.duf").arg(c.type), &error)) << qPrintable(error);
        reset();
        ASSERT_TRUE(dzScene->loadScene(dir.path() + QString("/scene-%1.duf").arg(c.type), &error)) << qPrintable(error);
        QApplication::processEvents();
        expectBack();
        if (c.type == TypeGrass) {
            // The first tick passes at the phase the boxes were built at; the next one moves on.
            a->draw();
            EXPECT_TRUE(verts(j) == meshJ);
            a->draw();
            EXPECT_FALSE(verts(j) == meshJ);
        }
    }
}
