// The rock box in the pane: creating its rocks, their meshes, the tick, the reset button and
// dropping rocks back onto their landscape.
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <cmath>
#include <dzmaterial.h>
#include "rock/rockmesh.h"
#include "terrainbox.h"

class RockTest : public TerrainBoxTest
{
protected:
    // Cells of 40 / 13 units: the rocks' whole-number starting points never fall on a cell edge.
    TestTerrain terrain = TestTerrain::make(1, 13, 40.f, bumpy);

    void SetUp() override
    {
        BoxTest::SetUp();
        a->mapping().close();
        a->paneSliders()[0]->setValue(6);  // "Gravity"
    }
    void TearDown() override
    {
        a->mapping().close();
        BoxTest::TearDown();
    }
    // A rock box dropped onto landscape L as a script does it; -1 when none was made.
    int rocksOn(int L)
    {
        EXPECT_TRUE(pane->selectBox(L));
        const int i = a->boxes().count();
        return pane->createBoxOfType(TypeRock) ? i : -1;
    }
    DzNode* rock(int i, int k)
    {
        return dzScene->findNodeByLabel(QString("%1 %2").arg(box(i).groupBox->title()).arg(k));
    }
    float ground(float x, float z) { return terrainHeight(terrain.grid(), x, z, nullptr, nullptr, nullptr).height; }
    void flushDeletes()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(RockTest, CreatingRocksNeedsASelectedLandscapeWithItsNode)
{
    landscape(terrain);
    addBox(TypeGrass);  // now the selected box
    const int before = a->boxes().count();
    call("Button_CreateRock");
    EXPECT_EQ(a->status()->text(), "Please select a landscape!");
    EXPECT_EQ(a->boxes().count(), before);
    EXPECT_EQ(a->mapping().count(), 0);

    const int bare = addBox(TypeLandscape, false);
    EXPECT_EQ(rocksOn(bare), -1);
    EXPECT_EQ(a->status()->text(), QString("Error can't find %1").arg(newBoxTitle(TypeLandscape, bare)));
    EXPECT_EQ(a->boxes().count(), before + 1);
    EXPECT_EQ(dzScene->getNumNodes(), 2) << "the landscape's and the grass box's nodes only";
}

TEST_F(RockTest, ARockBoxDropsTwentySpheresOntoItsLandscape)
{
    const int L = landscape(terrain);
    const int r = rocksOn(L);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(box(r).type, TypeRock);
    EXPECT_EQ(box(r).groupBox->title(), "(0001) RocksV1.0");
    EXPECT_EQ(a->status()->text(), "ControlBox_Selected 0");
    ASSERT_EQ(a->mapping().count(), kRocksPerBox);

    QSet<QPair<int, int>> spots;
    for (int k = 0; k < kRocksPerBox; ++k) {
        DzNode* n = rock(r, k);
        ASSERT_NE(n, nullptr) << k;
        EXPECT_EQ(n->getNodeParent(), nodeOf(L));
        // On whole-number spots of -4..5, lifted 1 to 100 above the ground.
        const DzVec3 p = n->getLocalPos();
        EXPECT_TRUE(p.x() == std::round(p.x()) && p.x() >= -4.f && p.x() <= 5.f) << p.x();
        EXPECT_TRUE(p.z() == std::round(p.z()) && p.z() >= -4.f && p.z() <= 5.f) << p.z();
        spots.insert(qMakePair(int(p.x()), int(p.z())));
        const float lift = p.y() - ground(p.x(), p.z());
        EXPECT_TRUE(lift >= 1.f - 1e-3f && lift <= 100.f + 1e-3f) << k << " " << lift;

        // Its record starts where the node starts.
        const MappedObject& m = a->mapping()[k];
        EXPECT_EQ(m.node.data(), n);
        EXPECT_EQ(m.startPosition, p);
        EXPECT_EQ(m.radius, kRockRadius);

        // One material, red where the ground was found in a cell's first triangle.
        auto* shape = qobject_cast<DzFacetShape*>(n->getObject()->getShape(0));
        ASSERT_EQ(shape->getNumMaterials(), 1);
        auto* mat = qobject_cast<DzDefaultMaterial*>(shape->getMaterial(0));
        EXPECT_EQ(mat->getName(), "Material");
        bool first = false;
        terrain.expected(p.x(), p.z(), &first);
        EXPECT_EQ(mat->getDiffuseColor(), first ? QColor(255, 0, 0) : QColor(0, 255, 0)) << k;
    }
    EXPECT_GT(spots.size(), 5) << "the rocks start at different spots";
}

TEST_F(RockTest, TheRockMeshIsAClosedNoisySphereWithASeam)
{
    const int r = rocksOn(landscape(terrain));
    ASSERT_GE(r, 0);
    DzFacetMesh* mesh = meshOfNode(rock(r, 4));
    ASSERT_EQ(mesh->getNumVertices(), kRockVertices);
    ASSERT_EQ(mesh->getNumFacets(), kRockFacets);
    ASSERT_EQ(mesh->getUVs()->getNumValues(), kRockUVs);
    EXPECT_EQ(mesh->getVertex(0), DzVec3(0, 0, 0));
    EXPECT_EQ(mesh->getVertex(1), DzVec3(0, 10, 0));

    // Ring vertices lie on the sphere of radius 5 around (0, 5, 0), pushed by one noise value
    // of 0.003 to 0.3 in x and z together, drawn afresh for every vertex.
    const float pi = 3.14159265f;
    QSet<int> noises;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 19; ++j) {
            const float th = i * 2 * pi / 40, ph = (j + 1) * pi / 20;
            const DzVec3 v = mesh->getVertex(2 + 19 * i + j);
            const float n = v.x() - 5 * std::sin(ph) * std::sin(th);
            EXPECT_NEAR(v.z() - 5 * std::sin(ph) * std::cos(th), n, 1e-4f);
            EXPECT_NEAR(v.y(), 5 - 5 * std::cos(ph), 1e-4f);
            EXPECT_TRUE(n >= 0.003f - 1e-4f && n <= 0.3f + 1e-4f) << n;
            noises.insert(int(std::lround(n / 0.003f)));
        }
    EXPECT_GT(noises.size(), 50);

    // Closed: every edge is shared by exactly two facets, once in each direction.
    QMap<QPair<int, int>, int> edges;
    const DzMap* uvs = mesh->getUVs();
    int triangles = 0;
    for (int f = 0; f < mesh->getNumFacets(); ++f) {
        const DzFacet& facet = mesh->getFacet(f);
        const int corners = facet.isQuad() ? 4 : 3;
        triangles += corners == 3;
        float uMin = 2.f, uMax = -1.f;
        for (int c = 0; c < corners; ++c) {
            const int v0 = facet.m_vertIdx[c], v1 = facet.m_vertIdx[(c + 1) % corners], t = facet.m_uvwIdx[c];
            ASSERT_TRUE(v0 >= 0 && v0 < kRockVertices && t >= 0 && t < kRockUVs);
            ++edges[qMakePair(v0, v1)];
            uMin = std::min(uMin, uvs->getPnt2Value(t).u);
            uMax = std::max(uMax, uvs->getPnt2Value(t).u);
        }
        // No facet stretches back across the texture: the last segment uses the seam at u = 1.
        EXPECT_LE(uMax - uMin, 1.f / 40 + 0.0125f + 1e-5f) << "facet " << f;
    }
    EXPECT_EQ(triangles, 80) << "a fan at each pole";
    for (auto it = edges.begin(); it != edges.end(); ++it)
        EXPECT_TRUE(it.value() == 1 && edges.value(qMakePair(it.key().second, it.key().first)) == 1)
            << it.key().first << "-" << it.key().second;
}

TEST_F(RockTest, EachRockBoxAdvancesTheRocksOneStepPerTick)
{
    const int L = landscape(terrain);
    ASSERT_GE(rocksOn(L), 0);
    ASSERT_GE(rocksOn(L), 0);
    ASSERT_EQ(a->mapping().count(), 2 * kRocksPerBox);

    // Two rock boxes: two steps of the whole table per tick.
    std::vector<MappedObject> expected = a->mapping().records();
    const GridGround ground(terrain);
    for (int tick = 0; tick < 3; ++tick) {
        call("Animation_Draw");
        for (int s = 0; s < 2; ++s) {
            integrateMapped(expected, 6.f, ground);
            collideMapped(expected);
        }
        for (int k = 0; k < a->mapping().count(); ++k) {
            const MappedObject& m = a->mapping()[k];
            ASSERT_EQ(m.position, expected[size_t(k)].position) << "tick " << tick << " rock " << k;
            ASSERT_EQ(m.node->getLocalPos(), m.position) << "tick " << tick << " rock " << k;
        }
    }
    EXPECT_NE(a->mapping()[0].position, a->mapping()[0].startPosition);
}

TEST_F(RockTest, TheResetButtonPutsOnlyItsOwnBoxBack)
{
    showPane();
    const int L = landscape(terrain);
    const int r1 = rocksOn(L), r2 = rocksOn(L);
    ASSERT_GE(r2, 0);
    for (int s = 0; s < 12; ++s) call("ObjectMapping_Animation");
    ASSERT_NE(box(r2).resetButton, nullptr);
    EXPECT_EQ(box(r2).resetButton->toolTip(), "Refresh to start");
    click(box(r2).resetButton);
    for (int k = 0; k < kRocksPerBox; ++k) {
        const MappedObject& m1 = a->mapping()[k];
        const MappedObject& m2 = a->mapping()[kRocksPerBox + k];
        EXPECT_NE(rock(r1, k)->getLocalPos(), m1.startPosition) << k;
        EXPECT_NE(m1.position, m1.startPosition) << k;
        EXPECT_EQ(rock(r2, k)->getLocalPos(), m2.startPosition) << k;
        EXPECT_EQ(m2.position, m2.startPosition) << k;
        EXPECT_EQ(m2.velocity, DzVec3()) << k;
    }
    // And they fall again from there.
    call("ObjectMapping_Animation");
    call("ObjectMapping_Animation");
    EXPECT_LT(a->mapping()[kRocksPerBox].position.y(), a->mapping()[kRocksPerBox].startPosition.y());
}

TEST_F(RockTest, RocksOnLandScapeDropsTheRocksOfItsBoxesOnly)
{
    const int L0 = landscape(terrain);
    const int L1 = landscape(TestTerrain::make(1, 13, 40.f, [](float, float) { return -30.f; }));
    // Raised by 100: its ground is 100 higher in the world.
    nodeOf(L0)->setLocalPos(DzVec3(30.f, 100.f, -10.f));
    a->selector()->setCurrentIndex(a->selector()->findText(box(L0).groupBox->title()));
    const int r = rocksOn(L0);
    ASSERT_GE(r, 0);
    ASSERT_EQ(box(r).landscapeIndex, L0);

    // Rock 5 is gone; the others are lifted by 50.
    dzScene->removeNode(rock(r, 5));
    flushDeletes();
    QVector<DzVec3> before(kRocksPerBox);
    for (int k = 0; k < kRocksPerBox; ++k)
        if (k != 5) {
            rock(r, k)->setWSPos(rock(r, k)->getWSPos() + DzVec3(0.f, 50.f, 0.f));
            before[k] = rock(r, k)->getWSPos();
        }
    call("RocksOnLandScape", L1);
    for (int k = 0; k < kRocksPerBox; ++k)
        if (k != 5) EXPECT_EQ(rock(r, k)->getWSPos(), before[k]) << "no rock box stands on the other landscape";

    call("RocksOnLandScape", L0);
    for (int k = 0; k < kRocksPerBox; ++k) {
        if (k == 5) continue;
        const DzVec3 p = rock(r, k)->getWSPos();
        EXPECT_TRUE(p.x() == before[k].x() && p.z() == before[k].z()) << k;
        if (k < 5) {
            EXPECT_FLOAT_EQ(p.y(), ground(p.x() - 30.f, p.z() + 10.f) + 100.f) << k;
            EXPECT_EQ(a->mapping()[k].position, rock(r, k)->getLocalPos()) << "the mapping goes on from there";
        } else {
            EXPECT_EQ(p.y(), before[k].y()) << "the missing rock 5 ends the box's rocks";
        }
    }
}

TEST_F(RockTest, ADeletedRockNodeIsNeverWrittenAndTheOthersGoOn)
{
    const int r = rocksOn(landscape(terrain));
    ASSERT_GE(r, 0);
    const DzVec3 start3 = a->mapping()[3].position;
    dzScene->removeNode(rock(r, 3));
    flushDeletes();
    ASSERT_TRUE(a->mapping()[3].nodeGone());

    for (int t = 0; t < 5; ++t) call("Animation_Draw");
    EXPECT_EQ(a->mapping()[3].position, start3);
    for (int k = 0; k < kRocksPerBox; ++k) {
        if (k == 3) continue;
        EXPECT_NE(a->mapping()[k].position, a->mapping()[k].startPosition) << k;
        EXPECT_EQ(rock(r, k)->getLocalPos(), a->mapping()[k].position) << k;
    }

    // Deleting the boxes leaves the rocks in the scene (renumbered with their box while it
    // stood behind the deleted landscape).
    const QPointer<DzNode> kept = rock(r, 0);
    a->deleteControl(true, true);
    EXPECT_EQ(kept->getLabel(), "(0000) RocksV1.0 0");
    a->deleteControl(true, true);
    flushDeletes();
    EXPECT_EQ(a->boxes().count(), 0);
    ASSERT_FALSE(kept.isNull());
    EXPECT_TRUE(dzScene->nodeList().contains(kept.data()));
}

// Deleting a box in front of a rock box renumbers it under its own word, and its rocks with
// it: RocksOnLandScape still finds them, and a new rock box does not repeat their labels.
TEST_F(RockTest, DeletingABoxInFrontRenumbersTheRockBoxAndItsRocks)
{
    const int L = landscape(terrain);
    addBox(TypeGrass, false);
    const int r = rocksOn(L);
    ASSERT_EQ(r, 2);
    QVector<DzNode*> rocks;
    for (int k = 0; k < kRocksPerBox; ++k) rocks << rock(r, k);

    box(1).deleteButton->setDown(true);
    a->deleteControl(false, true);
    flushDeletes();
    EXPECT_EQ(a->status()->text(), "Deleted control box 1");
    ASSERT_EQ(box(1).type, TypeRock);
    EXPECT_EQ(box(1).groupBox->title(), "(0001) RocksV1.0");
    for (int k = 0; k < kRocksPerBox; ++k) EXPECT_EQ(rock(1, k), rocks[k]) << k;

    DzNode* lifted = rock(1, 7);
    lifted->setWSPos(lifted->getWSPos() + DzVec3(0.f, 50.f, 0.f));
    call("RocksOnLandScape", L);
    const DzVec3 p = lifted->getWSPos();
    EXPECT_FLOAT_EQ(p.y(), ground(p.x(), p.z()));

    ASSERT_EQ(rocksOn(L), 2);
    for (int k = 0; k < kRocksPerBox; ++k) {
        const QString label = QString("(0002) RocksV1.0 %1").arg(k);
        int same = 0;
        for (DzNode* n : dzScene->nodeList()) same += n->getLabel() == label ? 1 : 0;
        EXPECT_EQ(same, 1) << qPrintable(label);
    }
}

// Rocks lying on the ground stop: after a few quiet contacts they are no longer moved, and a
// heap of them keeps still while nothing falls onto it.
TEST_F(RockTest, DroppedRocksComeToRest)
{
    const int L = landscape(terrain);
    ASSERT_GE(rocksOn(L), 0);
    int steps = 0;
    const auto resting = [&] {
        for (const MappedObject& m : a->mapping().records())
            if (m.moving()) return false;
        return true;
    };
    for (; steps < 3000 && !resting(); ++steps) call("ObjectMapping_Animation");
    EXPECT_TRUE(resting()) << "still moving after " << steps << " steps";
    std::vector<DzVec3> at;
    for (const MappedObject& m : a->mapping().records()) at.push_back(m.node->getLocalPos());
    for (int s = 0; s < 50; ++s) call("ObjectMapping_Animation");
    for (int k = 0; k < a->mapping().count(); ++k) {
        const MappedObject& m = a->mapping()[k];
        EXPECT_EQ(m.node->getLocalPos(), at[size_t(k)]) << k;
        // On the ground, not hanging above it nor sunk in.
        EXPECT_GE(m.position.y(), ground(m.position.x(), m.position.z()) - 1e-3f) << k;
    }
}
