// A scene that is one chain of a hundred thousand parent links: it saves, loads, exports and
// shows in the outliner without running out of stack, and every node stays where it was.
#include <QFile>
#include <QTemporaryDir>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <vector>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzscene.h>
#include <dzshape.h>
#include "outliner.h"
#include "sceneexport.h"

namespace {

constexpr int kChain = 100000;

// Node i sits at (1, 0.5, 0) from its parent; the last one carries a triangle.
void buildChain()
{
    dzScene->clear();
    std::vector<DzNode*> nodes;
    for (int i = 0; i < kChain; ++i) {
        nodes.push_back(new DzNode);
        nodes.back()->setLabel(QString("Link %1").arg(i));
        nodes.back()->setLocalPos(DzVec3(1.f, 0.5f, 0.f));
    }
    // From the leaf up, so that no link is made under a long chain of ancestors.
    for (size_t i = kChain - 1; i > 0; --i) nodes[i - 1]->addNodeChild(nodes[i], false);
    auto* mesh = new DzFacetMesh;
    mesh->setNumVertices(3);
    mesh->getVerticesPtr()[1] = DzVec3(0.f, 0.f, 2.f);
    mesh->getVerticesPtr()[2] = DzVec3(2.f, 0.f, 0.f);
    const int tri[4] = {0, 1, 2, -1};
    mesh->addFacet(tri);
    auto* shape = new DzFacetShape;
    shape->setFacetMesh(mesh);
    shape->addMaterial(new DzDefaultMaterial);
    auto* obj = new DzObject;
    obj->addShape(shape);
    nodes.back()->setObject(obj);
    for (DzNode* n : nodes) dzScene->addNode(n);
}

DzNode* leaf() { return dzScene->findNodeByLabel(QString("Link %1").arg(kChain - 1)); }

void expectAtChainEnd(float x, float y, float z)
{
    EXPECT_FLOAT_EQ(x, float(kChain));
    EXPECT_FLOAT_EQ(y, 0.5f * kChain);
    EXPECT_FLOAT_EQ(z, 0.f);
}

}  // namespace

TEST(DeepScene, HundredThousandLinksSaveLoadExportAndShow)
{
    QTemporaryDir tmp;
    buildChain();
    DzVec3 p = leaf()->getWSPos();
    expectAtChainEnd(p.m_x, p.m_y, p.m_z);

    // Through the scene file and back.
    const QString file = tmp.filePath("chain.duf");
    QString error;
    ASSERT_TRUE(dzScene->saveScene(file, &error)) << qPrintable(error);
    dzScene->clear();
    ASSERT_TRUE(dzScene->loadScene(file, &error)) << qPrintable(error);
    ASSERT_EQ(dzScene->getNumNodes(), kChain);
    ASSERT_TRUE(leaf());
    p = leaf()->getWSPos();
    expectAtChainEnd(p.m_x, p.m_y, p.m_z);
    EXPECT_EQ(leaf()->getNodeParent()->getLabel(), QString("Link %1").arg(kChain - 2));

    // OBJ: the leaf's triangle in world space.
    ASSERT_TRUE(exportScene(tmp.filePath("chain.obj"), &error)) << qPrintable(error);
    QFile obj(tmp.filePath("chain.obj"));
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_TRUE(obj.readAll().contains("\nv 100000 50000 0\n"));

    // glTF: nesting is cut at a depth the exporter survives; the leaf keeps its world place.
    ASSERT_TRUE(exportScene(tmp.filePath("chain.glb"), &error)) << qPrintable(error);
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(tmp.filePath("chain.glb").toStdString(), 0);
    ASSERT_TRUE(s) << importer.GetErrorString();
    const aiNode* n = s->mRootNode->FindNode(QString("Link %1").arg(kChain - 1).toStdString().c_str());
    ASSERT_TRUE(n);
    aiMatrix4x4 world;
    int depth = 0;
    for (const aiNode* a = n; a; a = a->mParent, ++depth) world = a->mTransformation * world;
    EXPECT_LE(depth, 1002);
    expectAtChainEnd(world.a4, world.b4, world.c4);

    // The outliner lists every node, nested no deeper than it can lay out.
    Outliner outliner;
    ASSERT_TRUE(outliner.itemFor(leaf()));
    int shown = 0;
    for (QTreeWidgetItem* i = outliner.itemFor(leaf()); i; i = i->parent()) ++shown;
    EXPECT_LE(shown, Outliner::kMaxDepth + 1);
    EXPECT_TRUE(outliner.itemFor(dzScene->findNodeByLabel("Link 50000")));
    dzScene->clear();
}
