#include <gtest/gtest.h>
#include <memory>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "paneaccess.h"

namespace {

struct Expected
{
    const char* name;
    QColor diffuse;
    double specular;
    double glossiness;
};

const QColor kWhite(255, 255, 255);
const QColor kGrass(250, 255, 240);
const double kDefaultSpecular = double(0x333333);  // the host's own default
const double kDefaultGloss = 0.0;

class NodeBuilder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pane = thePane();
        a.reset(new VerdixPaneTestAccess(pane));
        dzScene->clear();
        a->boxes().clear();
        a->selector()->clear();
        a->renew()->setChecked(false);
        a->status()->clear();
    }
    void TearDown() override
    {
        a->boxes().clear();
        a->selector()->clear();
        a->status()->clear();
        dzScene->clear();
    }
    // A landscape box with its node, named in the selector.
    DzNode* addLandscape()
    {
        const int i = a->boxes().append(TypeLandscape);
        landLabel.reset(new QLabel(newBoxTitle(TypeLandscape, i)));
        a->boxes()[i].titleLabel = landLabel.get();
        DzNode* n = pane->BuildObjectNode(TypeLandscape, i, landLabel->text(), nullptr);
        a->selector()->addItem(landLabel->text());
        a->selector()->setCurrentIndex(a->selector()->findText(landLabel->text(), Qt::MatchExactly));
        return n;
    }
    DzNode* build(int type, int* index = nullptr)
    {
        const int i = a->boxes().append(type);
        if (index) *index = i;
        return pane->BuildObjectNode(type, i, newBoxTitle(type, i), [&](int box, DzFacetMesh* mesh) {
            filledBox = box;
            mesh->addVertex(1.f, 2.f, 3.f);
        });
    }
    void expectMaterials(DzNode* node, const std::vector<Expected>& expected)
    {
        ASSERT_NE(node, nullptr);
        ASSERT_NE(node->getObject(), nullptr);
        ASSERT_EQ(node->getObject()->getNumShapes(), 1);
        DzShape* shape = node->getObject()->getShape(0);
        ASSERT_NE(qobject_cast<DzFacetShape*>(shape), nullptr);
        ASSERT_EQ(shape->getNumMaterials(), int(expected.size()));
        for (size_t k = 0; k < expected.size(); ++k) {
            auto* m = qobject_cast<DzDefaultMaterial*>(shape->getMaterial(int(k)));
            ASSERT_NE(m, nullptr);
            SCOPED_TRACE(expected[k].name);
            EXPECT_EQ(m->getName(), expected[k].name);
            EXPECT_EQ(shape->findMaterial(expected[k].name), shape->getMaterial(int(k)));
            EXPECT_EQ(m->getDiffuseColor().rgba(), expected[k].diffuse.rgba());
            auto* spec = qobject_cast<DzNumericProperty*>(m->findProperty("Specular Color"));
            auto* gloss = qobject_cast<DzNumericProperty*>(m->findProperty("Glossiness"));
            ASSERT_TRUE(spec && gloss);
            EXPECT_DOUBLE_EQ(spec->getDoubleValue(), expected[k].specular);
            EXPECT_DOUBLE_EQ(gloss->getDoubleValue(), expected[k].glossiness);
            EXPECT_TRUE(m->isSmoothingOn());
            EXPECT_DOUBLE_EQ(m->getBaseOpacity(), 1.0);
        }
    }

    ZPK_VerdixPane* pane = nullptr;
    std::unique_ptr<VerdixPaneTestAccess> a;
    std::unique_ptr<QLabel> landLabel;
    int filledBox = -1;
};

}  // namespace

TEST_F(NodeBuilder, GrassOnALandscape)
{
    DzNode* land = addLandscape();
    ASSERT_NE(land, nullptr);
    EXPECT_EQ(a->status()->text(), "Added landscape");
    EXPECT_EQ(land->getAssetId(), "land");
    expectMaterials(land, {{"Landscape", kWhite, double(0x151515), kDefaultGloss}});

    int i = -1;
    DzNode* grass = build(TypeGrass, &i);
    ASSERT_NE(grass, nullptr);
    EXPECT_EQ(grass->getLabel(), "(0001) GrassV1.0");
    EXPECT_EQ(grass->getAssetId(), "grass");
    EXPECT_TRUE(grass->isVisible() && grass->isSelectable() && grass->isVisibleInRender());
    EXPECT_EQ(grass->getRenderPriority(), 1);
    ASSERT_NE(grass->getPresentation(), nullptr);
    EXPECT_EQ(grass->getPresentation()->getType(), "Prop");
    EXPECT_FALSE(grass->isEditing());
    EXPECT_EQ(grass->getNodeParent(), land);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) GrassV1.0"), grass);
    EXPECT_EQ(a->boxes()[i].landscapeIndex, 0);
    EXPECT_EQ(a->status()->text(), "Added grass to (0000) LandscapeV1.0 ");
    EXPECT_EQ(filledBox, i);
    auto* shape = qobject_cast<DzFacetShape*>(grass->getObject()->getShape(0));
    ASSERT_NE(shape->getFacetMesh(), nullptr);
    EXPECT_EQ(shape->getFacetMesh()->getNumVertices(), 1);
    expectMaterials(grass, {{"Grass", kGrass, double(0x202020), 0.3}});
}

TEST_F(NodeBuilder, MaterialsOfEveryGeneratedType)
{
    expectMaterials(build(TypeStones), {{"Stones", kWhite, kDefaultSpecular, kDefaultGloss},
                                        {"Grass", kGrass, kDefaultSpecular, kDefaultGloss}});
    EXPECT_EQ(a->status()->text(), "Added stones");
    DzNode* tree = build(TypeTree);
    expectMaterials(tree, {{"Trunk", kWhite, double(0x151515), kDefaultGloss},
                           {"Stem", kWhite, double(0x151515), kDefaultGloss},
                           {"Leaf", kWhite, double(0x151515), 0.4},
                           {"Fruit", kWhite, double(0xA0A0A0), kDefaultGloss}});
    EXPECT_EQ(tree->getAssetId(), "tree");
    DzNode* flower = build(TypeFlower);
    expectMaterials(flower, {{"Stem", kWhite, double(0x151515), kDefaultGloss},
                             {"PetalIn", kWhite, double(0x151515), kDefaultGloss},
                             {"PetalOut", kWhite, double(0x151515), kDefaultGloss},
                             {"Leaf", kWhite, double(0x151515), kDefaultGloss},
                             {"Pistil", kWhite, double(0x151515), kDefaultGloss}});
    EXPECT_EQ(flower->getAssetId(), "tree");
    EXPECT_EQ(a->status()->text(), "Added flowers");
    DzNode* bb = build(TypeBillboard);
    expectMaterials(bb, {{"Billboard", kWhite, 0.0, 1.0}});
    EXPECT_EQ(bb->getAssetId(), "billboard");
    EXPECT_EQ(bb->getNodeParent(), nullptr);
    // Types without a node build none.
    EXPECT_EQ(build(TypeBush), nullptr);
    EXPECT_EQ(dzScene->getNumNodes(), 4);
}

TEST_F(NodeBuilder, RenewRule)
{
    int i = -1;
    DzNode* first = build(TypeGrass, &i);
    ASSERT_NE(first, nullptr);
    a->boxes().removeAt(i);
    filledBox = -1;

    // A box rebuilt with the same title takes the node over unchanged.
    DzNode* again = build(TypeGrass, &i);
    EXPECT_EQ(again, first);
    EXPECT_EQ(filledBox, -1);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    a->boxes().removeAt(i);

    // With "Renew" ticked the old node goes and a fresh one is built.
    a->renew()->setChecked(true);
    DzNode* fresh = build(TypeGrass, &i);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(filledBox, i);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(dzScene->findNodeByLabel("(0000) GrassV1.0"), fresh);
}

TEST_F(NodeBuilder, MaterialPropertySetters)
{
    DzDefaultMaterial mat;
    QMetaObject::invokeMethod(pane, "SetSpecularCol", Q_ARG(DzMaterial*, &mat), Q_ARG(double, double(0x102030)));
    QMetaObject::invokeMethod(pane, "SetGlossiness", Q_ARG(DzMaterial*, &mat), Q_ARG(double, 0.7));
    EXPECT_DOUBLE_EQ(qobject_cast<DzNumericProperty*>(mat.findProperty("Specular Color"))->getDoubleValue(),
                     double(0x102030));
    EXPECT_DOUBLE_EQ(qobject_cast<DzNumericProperty*>(mat.findProperty("Glossiness"))->getDoubleValue(), 0.7);
    // A null material is ignored.
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "SetGlossiness", Q_ARG(DzMaterial*, nullptr), Q_ARG(double, 0.7)));
}
