#include "boxfixture.h"
#include <QComboBox>
#include <dzmaterial.h>
#include <dzshape.h>
#include "persistence/boxrecord.h"

namespace {

class Records : public BoxTest
{
protected:
    void SetUp() override
    {
        BoxTest::SetUp();
        // Files for every combo a record carries, and a texture for the materials.
        for (const char* f : {"Verdix_Landscape_Ground", "Verdix_Landscape_River", "Verdix_Landscape_Hill",
                              "Verdix_Landscape_Flat", "Verdix_Landscape_Path", "Verdix_Texture_Landscape",
                              "Verdix_Texture_Landscape_Alpha", "Verdix_Shapes_Tree"})
            for (const char* name : {"a_map.png", "b_map.jpg"}) image(QString("%1/%2").arg(f, name));
        file("Verdix_Landscape_User/user.dat");
        image("Verdix_Texture_Tree_Bark/bark.png");
    }

    // Every slider to a random value inside its range, every record combo to a file.
    void scramble(int i, SeededRandom& rng)
    {
        const verdix::TypeLayout& l = verdix::layoutFor(box(i).type);
        for (int k = 0; k < l.sliders.size(); ++k)
            box(i).sliders[size_t(k)]->setValue(rng.range(l.sliders[k].min, l.sliders[k].max));
        for (int c : l.recordCombos) {
            QComboBox* combo = box(i).combo(l.combos[c].letter);
            if (combo->count() > 1) combo->setCurrentIndex(rng.range(1, combo->count() - 1));
        }
        DzNode* node = nodeOf(i);
        ASSERT_NE(node, nullptr);
        DzShape* shape = node->getObject()->getShape(0);
        for (int m = 0; m < shape->getNumMaterials(); ++m) {
            const QString mat = shape->getMaterial(m)->getName();
            verdix::setMaterialValue(node, mat, "Glossiness", rng.range(0, 1000) / 997.0);
            verdix::setMaterialValue(node, mat, "Index of Refraction", 1.0 / 3.0 + m);
        }
        verdix::setMaterialTexture(node, shape->getMaterial(0)->getName(), "Diffuse Color",
                                   root.path() + "/Verdix_Texture_Tree_Bark/bark.png");
        if (box(i).type == TypeLandscape) node->setWSPos(DzVec3(12.5f, -3.25f, 1e-3f));
    }
    QVector<int> values(int i)
    {
        QVector<int> v;
        for (DzIntSlider* s : box(i).sliders) v << s->getValue();
        return v;
    }
};

}  // namespace

TEST_F(Records, EveryTypeRoundTripsThroughThePane)
{
    SeededRandom rng{20190619u};
    for (int type : {TypeLandscape, TypeGrass, TypeTree, TypeFlower, TypeStones, TypeBillboard}) {
        SCOPED_TRACE(verdix::layoutFor(type).name);
        reset();
        // Random sliders can ask a generator for meshes of many millions of vertices, once per
        // slider; what is checked here is the record, so the updates they route to do nothing.
        for (int t = 0; t <= kLastType; ++t) a->setUpdateOverride(t, [](int, bool) {});
        const QString header = verdix::setRecordHeader(type);
        const int src = addBox(type);
        scramble(src, rng);
        QString text;
        a->write(src, type, header, text);
        EXPECT_TRUE(text.startsWith(header + ","));

        const int dst = addBox(type);
        ASSERT_NE(values(dst), values(src));
        a->read(dst, type, header, text, false);
        EXPECT_EQ(values(dst), values(src));
        // The combos a record carries (landscape: all, tree: the shape).
        const verdix::TypeLayout& l = verdix::layoutFor(type);
        for (int c : l.recordCombos)
            EXPECT_EQ(box(dst).combo(l.combos[c].letter)->currentText(),
                      box(src).combo(l.combos[c].letter)->currentText());
        // Materials come back value for value, texture for texture.
        const QVector<verdix::MaterialRecord> want = verdix::collectMaterials(nodeOf(src));
        ASSERT_FALSE(want.isEmpty());
        EXPECT_EQ(verdix::collectMaterials(nodeOf(dst)), want);
        if (type == TypeLandscape) EXPECT_EQ(nodeOf(dst)->getWSPos(), DzVec3(12.5f, -3.25f, 1e-3f));
        // And writing the read box gives the same record, but for the header's box.
        QString again;
        a->write(dst, type, header, again);
        EXPECT_EQ(again, text);
    }
}

TEST_F(Records, PresetsWrongHeadersAndWrongBoxes)
{
    SeededRandom rng{7u};
    const int t = addBox(TypeTree);
    scramble(t, rng);
    QString preset;
    a->write(t, TypeTree, "TreeV1", preset);
    const int u = addBox(TypeTree);
    slider(u, "X")->setValue(-77);
    slider(u, "Z")->setValue(55);
    a->read(u, TypeTree, "TreeV1", preset, true);
    EXPECT_EQ(slider(u, "X")->getValue(), -77);
    EXPECT_EQ(slider(u, "Z")->getValue(), 55);
    EXPECT_EQ(slider(u, "Seed")->getValue(), slider(t, "Seed")->getValue());
    EXPECT_EQ(slider(u, "Up Down")->getValue(), slider(t, "Up Down")->getValue());

    // A flower record given to a tree changes nothing and says why.
    const QVector<int> before = values(u);
    QString flower = "FlowerV1,1,2,3,;,Materials,;";
    a->read(u, TypeTree, "TreeV1", flower, true);
    EXPECT_EQ(values(u), before);
    EXPECT_EQ(a->status()->text(), "Error: Header reads FlowerV1 not TreeV1");

    // A box of another type or a missing box is left alone.
    QString grass = "GrassV1.0,5,;", none;
    const QVector<int> tree = values(t);
    a->read(t, TypeGrass, "GrassV1.0", grass, false);
    EXPECT_EQ(values(t), tree);
    a->read(99, TypeGrass, "GrassV1.0", grass, false);
    a->write(99, TypeGrass, "GrassV1.0", none);
    EXPECT_TRUE(none.isEmpty());
}
