#include <gtest/gtest.h>
#include <memory>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "paneaccess.h"

namespace {

// The generators' own tests hold the materials and meshes of their types; here the rules
// every node follows.
class NodeBuilder : public ::testing::Test
{
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    void clear()
    {
        a.boxes().clear();
        a.selector()->clear();
        a.renew()->setChecked(false);
        a.status()->clear();
        dzScene->clear();
    }
    DzNode* build(int type, int* index = nullptr)
    {
        const int i = a.boxes().append(type);
        if (index) *index = i;
        return pane->BuildObjectNode(type, i, newBoxTitle(type, i), [&](int box, DzFacetMesh* mesh) {
            filledBox = box;
            mesh->addVertex(1.f, 2.f, 3.f);
        });
    }

    ZPK_VerdixPane* pane = thePane();
    VerdixPaneTestAccess a{pane};
    QLabel landLabel;
    int filledBox = -1;
};

}  // namespace

TEST_F(NodeBuilder, GrassOnALandscape)
{
    const int l = a.boxes().append(TypeLandscape);
    landLabel.setText(newBoxTitle(TypeLandscape, l));
    a.boxes()[l].titleLabel = &landLabel;
    DzNode* land = pane->BuildObjectNode(TypeLandscape, l, landLabel.text(), nullptr);
    ASSERT_NE(land, nullptr);
    a.selector()->addItem(landLabel.text());
    EXPECT_EQ(land->getAssetId(), "land");
    ASSERT_EQ(land->getObject()->getShape(0)->getNumMaterials(), 1);
    EXPECT_EQ(land->getObject()->getShape(0)->getMaterial(0)->getName(), "Landscape");

    int i = -1;
    DzNode* grass = build(TypeGrass, &i);
    ASSERT_NE(grass, nullptr);
    EXPECT_EQ(grass->getLabel(), "(0001) GrassV1.0");
    EXPECT_EQ(grass->getNodeParent(), land);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) GrassV1.0"), grass);
    EXPECT_FALSE(grass->isEditing());
    EXPECT_EQ(a.boxes()[i].landscapeIndex, 0);
    EXPECT_EQ(a.status()->text(), "Added grass to (0000) LandscapeV1.0 ");
    EXPECT_EQ(filledBox, i);
    DzShape* shape = grass->getObject()->getShape(0);
    ASSERT_NE(qobject_cast<DzFacetShape*>(shape), nullptr);
    EXPECT_EQ(qobject_cast<DzFacetShape*>(shape)->getFacetMesh()->getNumVertices(), 1);
    ASSERT_EQ(shape->getNumMaterials(), 1);
    auto* grassMat = qobject_cast<DzDefaultMaterial*>(shape->getMaterial(0));
    ASSERT_NE(grassMat, nullptr);
    EXPECT_EQ(grassMat->getName(), "Grass");
    EXPECT_EQ(grassMat->getDiffuseColor(), QColor(250, 255, 240));
    // Types without a node build none.
    EXPECT_EQ(build(TypeBush), nullptr);
    EXPECT_EQ(dzScene->getNumNodes(), 2);
    // The material setters called by name ignore a missing material.
    EXPECT_TRUE(QMetaObject::invokeMethod(pane, "SetGlossiness", Q_ARG(DzMaterial*, nullptr), Q_ARG(double, 0.7)));
}

TEST_F(NodeBuilder, RenewRule)
{
    int i = -1;
    DzNode* first = build(TypeGrass, &i);
    ASSERT_NE(first, nullptr);
    a.boxes().removeAt(i);
    filledBox = -1;

    // A box rebuilt with the same title takes the node over unchanged.
    EXPECT_EQ(build(TypeGrass, &i), first);
    EXPECT_EQ(filledBox, -1);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    a.boxes().removeAt(i);

    // With "Renew" ticked the old node goes and a fresh one is built.
    a.renew()->setChecked(true);
    DzNode* fresh = build(TypeGrass, &i);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(filledBox, i);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(dzScene->findNodeByLabel("(0000) GrassV1.0"), fresh);
}
