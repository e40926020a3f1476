// Objects and landscapes: re-evaluation, swapping, dropping a scene object, the selector.
#include <dzmaterial.h>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include "terrainbox.h"

class PlacementTest : public TerrainBoxTest
{
protected:
    using Seen = std::vector<std::pair<int, bool>>;
    std::mutex lock;
    Seen seen;

    static TestTerrain flatAt(float y, int tiles = 2, float size = 5.f)
    {
        return TestTerrain::make(tiles, 2, size, [y](float, float) { return y; });
    }
    void select(DzNode* node)
    {
        dzScene->selectAllNodes(false);
        node->setSelected(true);
        a->refreshSelected(node);
    }
    // Every update of the generator types is recorded with its flag; taken() hands them
    // over in box order and starts afresh.
    void recordUpdates()
    {
        for (int t : {TypeLandscape, TypeGrass, TypeStones, TypeTree, TypeFlower, TypeBillboard, TypeRock})
            a->setUpdateOverride(t, [this](int i, bool full) {
                std::lock_guard<std::mutex> g(lock);
                seen.emplace_back(i, full);
            });
    }
    Seen taken()
    {
        std::lock_guard<std::mutex> g(lock);
        Seen v;
        v.swap(seen);
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(PlacementTest, ObjectsOnALandscapeAreReevaluatedAndTheSelectorListsLandscapesOnly)
{
    const int l0 = landscape(flatAt(0));
    const int grass0 = addBox(TypeGrass);
    const int l1 = landscape(flatAt(1));
    const int tree1 = addBox(TypeTree), stones1 = addBox(TypeStones), flower1 = addBox(TypeFlower);
    const int bb1 = addBox(TypeBillboard);
    addBox(TypeRock);
    EXPECT_EQ(box(grass0).landscapeIndex, l0);
    EXPECT_EQ(box(tree1).landscapeIndex, l1);
    recordUpdates();
    VerdixFlags::progress = false;
    call("AllObjectsOnLandScape", l1);
    EXPECT_EQ(taken(), (Seen{{tree1, true}, {stones1, true}, {flower1, true}, {bb1, true}}));
    EXPECT_TRUE(VerdixFlags::progress);
    call("AllObjectsOnLandScapeShow", l0);
    EXPECT_EQ(taken(), (Seen{{grass0, true}}));
    call("AllObjectsWithNoLandScape");
    EXPECT_EQ(taken(), (Seen{{grass0, true}, {tree1, true}, {stones1, true}, {flower1, true}, {bb1, true}}));

    // More objects than the ring has slots: every one still runs once.
    for (int k = 0; k < 70; ++k) a->boxes()[addBox(TypeGrass, false)].landscapeIndex = l1;
    call("AllObjectsOnLandScape", l1);
    EXPECT_EQ(taken().size(), 4u + 70u);

    // The selector is rebuilt from the landscapes alone.
    a->selector()->addItem("stale entry");
    call("RedoComboSwapBox");
    QStringList items;
    for (int k = 0; k < a->selector()->count(); ++k) items << a->selector()->itemText(k);
    EXPECT_EQ(items, (QStringList{"(0000) LandscapeV1.0", "(0002) LandscapeV1.0"}));
}

TEST_F(PlacementTest, SwapPutsTheSelectedObjectOnTheSelectorsLandscape)
{
    // Without boxes nothing happens; without a landscape in the selector nothing moves.
    call("SwapLandscape");
    EXPECT_TRUE(a->status()->text().isEmpty());
    addBox(TypeGrass);
    call("SwapLandscape");
    EXPECT_EQ(a->status()->text(), "Landscape can't swap, Press Object Icon!");
    EXPECT_EQ(box(0).landscapeIndex, 0);
    a->deleteControl(true, false);

    const int l0 = landscape(flatAt(0));
    const int l1 = landscape(flatAt(1));
    const int grass = addBox(TypeGrass);  // made while the selector names l1
    ASSERT_EQ(box(grass).landscapeIndex, l1);
    ASSERT_EQ(nodeOf(grass)->getNodeParent(), nodeOf(l1));
    recordUpdates();
    select(nodeOf(grass));
    a->selector()->setCurrentIndex(a->selector()->findText(box(l0).titleLabel->text()));
    call("SwapLandscape");
    EXPECT_EQ(box(grass).landscapeIndex, l0);
    EXPECT_EQ(nodeOf(grass)->getNodeParent(), nodeOf(l0));
    EXPECT_EQ(a->status()->text(), QString("Object Swap to landscape %1").arg(l0));
    EXPECT_EQ(taken(), (Seen{{grass, true}}));

    // A landscape sits on another landscape: no parenting, no update.
    select(nodeOf(l1));
    call("SwapLandscape");
    EXPECT_EQ(a->status()->text(), QString("Landscape %1 sitting on %2").arg(l1).arg(l0));
    EXPECT_EQ(box(l1).landscapeIndex, l0);
    EXPECT_EQ(nodeOf(l1)->getNodeParent(), nullptr);
    EXPECT_EQ(nodeOf(l0)->getNumNodeChildren(), 1);
    EXPECT_TRUE(taken().empty());

    // An object whose node is gone, selected by its title though no node of the scene carries it.
    const int lost = addBox(TypeStones, false);
    a->boxes()[lost].landscapeIndex = l1;
    dzScene->selectAllNodes(false);
    DzNode stray;
    stray.setLabel(box(lost).groupBox->title());
    stray.setSelected(true);
    a->refreshSelected(&stray);
    ASSERT_EQ(a->selectedBox(), lost);
    call("SwapLandscape");
    EXPECT_EQ(box(lost).landscapeIndex, l0);
    EXPECT_EQ(a->status()->text(), "ERROR: Swap");
}

TEST_F(PlacementTest, SwapAllReattachesAndRefreshUpdatesEveryLandscape)
{
    const int l0 = landscape(flatAt(0));
    const int l1 = landscape(flatAt(1));
    const int grass = addBox(TypeGrass), tree = addBox(TypeTree);
    recordUpdates();
    // Records restored from a file name the landscapes; the nodes still hang elsewhere.
    box(grass).landscapeIndex = l0;
    call("SwapAllLandscape");
    EXPECT_EQ(nodeOf(grass)->getNodeParent(), nodeOf(l0));
    EXPECT_EQ(nodeOf(tree)->getNodeParent(), nodeOf(l1));
    EXPECT_EQ(taken(), (Seen{{grass, true}, {tree, true}}));
    EXPECT_TRUE(VerdixFlags::progress);

    // The refresh runs with auto-off cleared and puts it back.
    a->autoOff()->setChecked(true);
    bool autoOffDuring = true;
    a->setUpdateOverride(TypeLandscape, [&](int i, bool full) {
        std::lock_guard<std::mutex> g(lock);
        autoOffDuring = a->autoOff()->isChecked();
        seen.emplace_back(i, full);
    });
    call("RefreshAllLandscape");
    EXPECT_EQ(taken(), (Seen{{l0, true}, {l1, true}}));
    EXPECT_FALSE(autoOffDuring);
    EXPECT_TRUE(a->autoOff()->isChecked());
    EXPECT_EQ(a->status()->text(), "Landscape refreshed.");
}

TEST_F(PlacementTest, PutOnLandscapePrefersBoxZeroThenTheHighest)
{
    DzNode* rock = new DzNode;
    rock->setLabel("Boulder");
    dzScene->addNode(rock);
    call("PutOnLandscape");
    EXPECT_EQ(a->status()->text(), "Don't use this for Ver-dix objects!");

    // No landscapes at all: the ground is 0.
    addBox(TypeGrass, false);
    select(rock);
    rock->setWSPos(DzVec3(1, 8, 2));
    call("PutOnLandscape");
    EXPECT_EQ(rock->getWSPos(), DzVec3(1, 0, 2));
    a->deleteControl(true, false);

    // Box 0 spans -5..5 at height 2; box 1 spans 10..30 (its node at x = 20) at height 6,
    // box 2 the same at height 4.
    ASSERT_EQ(landscape(flatAt(2.f)), 0);
    const int l1 = landscape(flatAt(6.f, 2, 10.f));
    const int l2 = landscape(flatAt(4.f, 2, 10.f));
    nodeOf(l1)->setWSPos(DzVec3(20, 0, 0));
    nodeOf(l2)->setWSPos(DzVec3(20, 0, 0));
    select(rock);
    const struct
    {
        float x, l1x, want;
    } drops[] = {
        {3, 20, 2.f},           // over box 0 only
        {3, 0, 2.f},            // box 1 over box 0 and higher: box 0 still
        {18, 20, 6.f},          // off box 0, over boxes 1 and 2
        {100, 20, kHeightMiss}  // over nothing: the miss value
    };
    for (const auto& d : drops) {
        nodeOf(l1)->setWSPos(DzVec3(d.l1x, 0, 0));
        rock->setWSPos(DzVec3(d.x, 50, 1));
        call("PutOnLandscape");
        EXPECT_EQ(rock->getWSPos(), DzVec3(d.x, d.want, 1)) << d.x << " " << d.l1x;
    }
    // A raised landscape node raises its ground: the terrain answers in its node's frame.
    nodeOf(0)->setWSPos(DzVec3(0, 100, 0));
    nodeOf(l2)->setWSPos(DzVec3(20, 5, 0));
    for (const auto& d : {std::make_pair(3.f, 102.f), std::make_pair(18.f, 9.f)}) {
        rock->setWSPos(DzVec3(d.first, 50, 1));
        call("PutOnLandscape");
        EXPECT_EQ(rock->getWSPos(), DzVec3(d.first, d.second, 1)) << d.first;
    }
    // Deselected since: left alone.
    rock->setSelected(false);
    rock->setWSPos(DzVec3(0, 50, 0));
    call("PutOnLandscape");
    EXPECT_EQ(rock->getWSPos().y(), 50.f);
}

TEST_F(PlacementTest, HeightMarkerStandsOnLandscapeZero)
{
    ASSERT_EQ(landscape(TestTerrain::make(10, 2, 10.f, [](float x, float z) { return 0.1f * x - 0.2f * z; })), 0);
    call("Button_CreateGroundHeightPointer");
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(box(1).type, TypeRock);
    DzNode* marker = dzScene->findNodeByLabel("(0001) RocksV1.0");
    ASSERT_NE(marker, nullptr);
    DzFacetMesh* mesh = meshOfNode(marker);
    ASSERT_EQ(mesh->getNumVertices(), 4);
    ASSERT_EQ(mesh->getNumFacets(), 1);
    const float h = 0.1f * -19.f - 0.2f * -28.f;
    EXPECT_NEAR(mesh->getVertex(0).y(), h, 1e-3);
    EXPECT_NEAR(mesh->getVertex(3).y(), h + 10.f, 1e-3);
    EXPECT_EQ(mesh->getVertex(2), DzVec3(-20.f, mesh->getVertex(2).y(), -28.f));
    auto* shape = qobject_cast<DzFacetShape*>(marker->getObject()->getShape(0));
    auto* mat = qobject_cast<DzDefaultMaterial*>(shape->getMaterial(0));
    ASSERT_NE(mat, nullptr);
    // (-19, -28) lies in cell (r, c) with u = 0.2, v = 0.6 below its corner A: the second triangle.
    EXPECT_EQ(mat->getDiffuseColor(), QColor(0, 255, 0));
}

// Re-placing with the view kept alive handles events while its tasks run; an animation tick
// arriving then must not start tasks of its own on boxes that are still being rebuilt.
TEST_F(PlacementTest, TickArrivingWhileObjectsAreReplacedWaits)
{
    const int l0 = landscape(flatAt(0));
    for (int k = 0; k < 12; ++k) addBox(TypeGrass);
    std::atomic<int> running{0}, overlapped{0};
    a->setUpdateOverride(TypeGrass, [&](int, bool) {
        if (running.fetch_add(1) >= QThreadPool::globalInstance()->maxThreadCount()) ++overlapped;
        QThread::msleep(15);
        --running;
    });
    a->status()->setText("before");
    QTimer::singleShot(0, pane, [this] { call("Animation_Draw"); });
    call("AllObjectsOnLandScapeShow", l0);
    EXPECT_FALSE(a->status()->text().startsWith("Time:")) << qPrintable(a->status()->text());
    EXPECT_EQ(overlapped, 0);
    // Once the objects stand, ticks run again.
    call("Animation_Draw");
    QApplication::processEvents();
    EXPECT_TRUE(a->status()->text().startsWith("Time:")) << qPrintable(a->status()->text());
}
