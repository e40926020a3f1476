// Objects and landscapes: re-evaluation, swapping, dropping a scene object, the selector.
#include "boxfixture.h"
#include <dzmaterial.h>
#include "terrainfixture.h"
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <atomic>

class PlacementTest : public BoxTest
{
protected:
    int landscape(const TestTerrain& t)
    {
        const int i = addBox(TypeLandscape);
        EXPECT_GE(i, 0);
        t.fill(meshOfNode(nodeOf(i)));
        box(i).storedTiles = t.tiles;
        box(i).storedDivisions = t.divisions;
        box(i).storedTileSize = t.tileSize;
        return i;
    }
    static TestTerrain flatAt(float y, int tiles = 2, float size = 5.f)
    {
        return TestTerrain::make(tiles, 2, size, [y](float, float) { return y; });
    }
    void call(const char* slot) { ASSERT_TRUE(QMetaObject::invokeMethod(pane, slot, Qt::DirectConnection)); }
    void call(const char* slot, int v)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(pane, slot, Qt::DirectConnection, Q_ARG(int, v)));
    }
    void select(DzNode* node)
    {
        dzScene->selectAllNodes(false);
        node->setSelected(true);
        a->refreshSelected(node);
    }
    // Every update of the generator types, with the flag they were given.
    struct Calls
    {
        std::mutex lock;
        std::vector<std::pair<int, bool>> seen;
        std::vector<std::pair<int, bool>> sorted()
        {
            std::lock_guard<std::mutex> g(lock);
            auto v = seen;
            std::sort(v.begin(), v.end());
            return v;
        }
    } calls;
    void recordUpdates()
    {
        for (int t : {TypeLandscape, TypeGrass, TypeStones, TypeTree, TypeFlower, TypeBillboard, TypeRock})
            a->setUpdateOverride(t, [this](int i, bool full) {
                std::lock_guard<std::mutex> g(calls.lock);
                calls.seen.emplace_back(i, full);
            });
    }
    using Seen = std::vector<std::pair<int, bool>>;
};

TEST_F(PlacementTest, ObjectsOnALandscapeAreReevaluatedAndNothingElse)
{
    const int l0 = landscape(flatAt(0));
    const int grass0 = addBox(TypeGrass);
    const int l1 = landscape(flatAt(1));
    const int tree1 = addBox(TypeTree);
    const int stones1 = addBox(TypeStones);
    const int flower1 = addBox(TypeFlower);
    const int bb1 = addBox(TypeBillboard);
    addBox(TypeRock);
    EXPECT_EQ(box(grass0).landscapeIndex, l0);
    EXPECT_EQ(box(tree1).landscapeIndex, l1);
    recordUpdates();
    VerdixFlags::progress = false;
    call("AllObjectsOnLandScape", l1);
    EXPECT_EQ(calls.sorted(), (Seen{{tree1, true}, {stones1, true}, {flower1, true}, {bb1, true}}));
    EXPECT_TRUE(VerdixFlags::progress);

    calls.seen.clear();
    call("AllObjectsOnLandScapeShow", l0);
    EXPECT_EQ(calls.sorted(), (Seen{{grass0, true}}));

    calls.seen.clear();
    call("AllObjectsWithNoLandScape");
    EXPECT_EQ(calls.sorted(), (Seen{{grass0, true}, {tree1, true}, {stones1, true}, {flower1, true}, {bb1, true}}));

    // More objects than the ring has slots: every one still runs once.
    calls.seen.clear();
    for (int k = 0; k < 70; ++k) a->boxes()[addBox(TypeGrass, false)].landscapeIndex = l1;
    call("AllObjectsOnLandScape", l1);
    EXPECT_EQ(calls.sorted().size(), 4u + 70u);
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
    EXPECT_EQ(calls.sorted(), (Seen{{grass, true}}));

    // A landscape sits on another landscape: no parenting, no update.
    calls.seen.clear();
    select(nodeOf(l1));
    call("SwapLandscape");
    EXPECT_EQ(a->status()->text(), QString("Landscape %1 sitting on %2").arg(l1).arg(l0));
    EXPECT_EQ(box(l1).landscapeIndex, l0);
    EXPECT_EQ(nodeOf(l1)->getNodeParent(), nullptr);
    EXPECT_EQ(nodeOf(l0)->getNumNodeChildren(), 1);
    EXPECT_TRUE(calls.sorted().empty());

    // An object whose node is gone.
    const int lost = addBox(TypeStones, false);
    a->boxes()[lost].landscapeIndex = l1;
    // Selected by its title, though no node of the scene carries it.
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

TEST_F(PlacementTest, SwapAllReattachesEveryObject)
{
    const int l0 = landscape(flatAt(0));
    const int l1 = landscape(flatAt(1));
    const int grass = addBox(TypeGrass);
    const int tree = addBox(TypeTree);
    recordUpdates();
    // Records restored from a file name the landscapes; the nodes still hang elsewhere.
    box(grass).landscapeIndex = l0;
    call("SwapAllLandscape");
    EXPECT_EQ(nodeOf(grass)->getNodeParent(), nodeOf(l0));
    EXPECT_EQ(nodeOf(tree)->getNodeParent(), nodeOf(l1));
    EXPECT_EQ(calls.sorted(), (Seen{{grass, true}, {tree, true}}));
    EXPECT_TRUE(VerdixFlags::progress);
}

TEST_F(PlacementTest, RefreshUpdatesEveryLandscapeAndRestoresAutoOff)
{
    const int l0 = landscape(flatAt(0));
    addBox(TypeGrass);
    const int l1 = landscape(flatAt(1));
    a->autoOff()->setChecked(true);
    bool autoOffDuring = true;
    a->setUpdateOverride(TypeLandscape, [&](int i, bool full) {
        autoOffDuring = a->autoOff()->isChecked();
        std::lock_guard<std::mutex> g(calls.lock);
        calls.seen.emplace_back(i, full);
    });
    call("RefreshAllLandscape");
    EXPECT_EQ(calls.sorted(), (Seen{{l0, true}, {l1, true}}));
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
    const int l0 = landscape(flatAt(2.f));
    const int l1 = landscape(flatAt(6.f, 2, 10.f));
    const int l2 = landscape(flatAt(4.f, 2, 10.f));
    nodeOf(l1)->setWSPos(DzVec3(20, 0, 0));
    nodeOf(l2)->setWSPos(DzVec3(20, 0, 0));
    ASSERT_EQ(l0, 0);
    select(rock);

    rock->setWSPos(DzVec3(3, 50, 1));  // over box 0 only
    call("PutOnLandscape");
    EXPECT_FLOAT_EQ(rock->getWSPos().y(), 2.f);

    nodeOf(l1)->setWSPos(DzVec3(0, 0, 0));  // box 1 now over box 0 and higher
    call("PutOnLandscape");
    EXPECT_FLOAT_EQ(rock->getWSPos().y(), 2.f);
    nodeOf(l1)->setWSPos(DzVec3(20, 0, 0));

    rock->setWSPos(DzVec3(18, 50, 1));  // off box 0, over boxes 1 and 2
    call("PutOnLandscape");
    EXPECT_EQ(rock->getWSPos(), DzVec3(18.f, 6.f, 1.f));

    rock->setWSPos(DzVec3(100, 50, 1));  // over nothing: the miss value
    call("PutOnLandscape");
    EXPECT_EQ(rock->getWSPos().y(), kHeightMiss);

    // Deselected since: left alone.
    rock->setSelected(false);
    rock->setWSPos(DzVec3(0, 50, 0));
    call("PutOnLandscape");
    EXPECT_EQ(rock->getWSPos().y(), 50.f);
}

TEST_F(PlacementTest, SelectorIsRebuiltFromTheLandscapes)
{
    landscape(flatAt(0));
    addBox(TypeGrass);
    landscape(flatAt(1));
    a->selector()->addItem("stale entry");
    call("RedoComboSwapBox");
    QStringList items;
    for (int k = 0; k < a->selector()->count(); ++k) items << a->selector()->itemText(k);
    EXPECT_EQ(items, (QStringList{"(0000) LandscapeV1.0", "(0002) LandscapeV1.0"}));
}

TEST_F(PlacementTest, HeightMarkerStandsOnLandscapeZero)
{
    const int l = landscape(TestTerrain::make(10, 2, 10.f, [](float x, float z) { return 0.1f * x - 0.2f * z; }));
    ASSERT_EQ(l, 0);
    call("Button_CreateGroundHeightPointer");
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(box(1).type, TypeRock);
    DzNode* marker = dzScene->findNodeByLabel("(0001) RocksV1.0");
    ASSERT_NE(marker, nullptr);
    DzFacetMesh* mesh = meshOfNode(marker);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getNumVertices(), 4);
    const float h = 0.1f * -19.f - 0.2f * -28.f;
    EXPECT_NEAR(mesh->getVertex(0).y(), h, 1e-3);
    EXPECT_NEAR(mesh->getVertex(3).y(), h + 10.f, 1e-3);
    EXPECT_EQ(mesh->getVertex(2), DzVec3(-20.f, mesh->getVertex(2).y(), -28.f));
    ASSERT_EQ(mesh->getNumFacets(), 1);
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
    QTimer::singleShot(0, pane, [this] { QMetaObject::invokeMethod(pane, "Animation_Draw", Qt::DirectConnection); });
    call("AllObjectsOnLandScapeShow", l0);
    EXPECT_FALSE(a->status()->text().startsWith("Time:")) << qPrintable(a->status()->text());
    EXPECT_EQ(overlapped, 0);
    // Once the objects stand, ticks run again.
    QMetaObject::invokeMethod(pane, "Animation_Draw", Qt::DirectConnection);
    QApplication::processEvents();
    EXPECT_TRUE(a->status()->text().startsWith("Time:")) << qPrintable(a->status()->text());
}
