#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <dznode.h>
#include <dzscene.h>

namespace {

class Scene : public ::testing::Test
{
protected:
    void SetUp() override { dzScene->clear(); }
    void TearDown() override
    {
        dzScene->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static DzNode* node(const QString& label, const DzVec3& pos = DzVec3())
    {
        auto* n = new DzNode;
        n->setLabel(label);
        n->setLocalPos(pos);
        dzScene->addNode(n);
        return n;
    }
};

void expectNear(const DzVec3& a, const DzVec3& b)
{
    EXPECT_LT(std::abs(a.x() - b.x()) + std::abs(a.y() - b.y()) + std::abs(a.z() - b.z()), 3e-4f)
        << a.x() << "," << a.y() << "," << a.z();
}

}  // namespace

TEST_F(Scene, FindNodeByLabelWantsTheFirstExactMatch)
{
    node("(0001) Grass 2");
    DzNode* first = node("(0001) Grass");
    node("(0001) Grass");
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) Grass"), first);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) Gras"), nullptr);
    EXPECT_EQ(dzScene->findNodeByLabel("(0001) grass"), nullptr);
    EXPECT_EQ(dzScene->findNodeByLabel(""), nullptr);
    // Relabelled nodes are found by their new label only.
    first->setLabel("(0002) Tree");
    EXPECT_EQ(dzScene->findNodeByLabel("(0002) Tree"), first);
    EXPECT_NE(dzScene->findNodeByLabel("(0001) Grass"), first);
}

TEST_F(Scene, RemoveNodeUnparentsChildrenInPlaceAndDeletesLater)
{
    DzNode* parent = node("parent", DzVec3(10.f, 0.f, 0.f));
    parent->setLocalRot(DzQuat::fromAxisAngle(DzVec3(0.f, 1.f, 0.f), 1.5707963f));
    DzNode* child = node("child");
    parent->addNodeChild(child, false);
    child->setLocalPos(DzVec3(1.f, 2.f, 3.f));
    const DzVec3 world = child->getWSPos();

    int removed = 0;
    auto c = QObject::connect(dzScene, &DzScene::nodeRemoved, [&](DzNode* n) { removed += (n == parent); });
    QPointer<DzNode> guard(parent);
    dzScene->removeNode(parent);
    dzScene->removeNode(parent);  // a second removal is a no-op
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(child->getNodeParent(), nullptr);
    expectNear(child->getWSPos(), world);
    EXPECT_FALSE(guard.isNull());  // receivers of nodeRemoved may still look at it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    QObject::disconnect(c);
}

TEST_F(Scene, SelectionAndTimeSignalOncePerChange)
{
    DzNode* a = node("a");
    DzNode* b = node("b");
    QList<DzNode*> seen;
    auto c = QObject::connect(dzScene, &DzScene::primarySelectionChanged, [&](DzNode* n) { seen << n; });
    dzScene->setPrimarySelection(a);
    dzScene->setPrimarySelection(a);
    dzScene->setPrimarySelection(b);
    DzNode outsider;
    dzScene->setPrimarySelection(&outsider);
    EXPECT_EQ(dzScene->getPrimarySelection(), b);
    EXPECT_TRUE(a->isSelected());
    EXPECT_FALSE(outsider.isSelected());
    dzScene->removeNode(b);
    EXPECT_EQ(dzScene->getPrimarySelection(), nullptr);
    EXPECT_EQ(seen, (QList<DzNode*>{a, b, nullptr}));
    QObject::disconnect(c);

    QList<DzTime> times;
    c = QObject::connect(dzScene, &DzScene::timeChanged, [&](DzTime t) { times << t; });
    dzScene->setTime(160);
    dzScene->setTime(160);
    dzScene->setTime(320);
    EXPECT_EQ(times, (QList<DzTime>{160, 320}));
    QObject::disconnect(c);
}

TEST_F(Scene, ChildrenFollowTheirParentOrKeepTheirPlaceAndCyclesAreRefused)
{
    DzNode* parent = node("parent", DzVec3(100.f, 0.f, 0.f));
    DzNode* child = node("child", DzVec3(1.f, 2.f, 3.f));
    parent->addNodeChild(child, false);
    expectNear(child->getWSPos(), DzVec3(101.f, 2.f, 3.f));
    expectNear(child->getLocalPos(), DzVec3(1.f, 2.f, 3.f));
    parent->setLocalPos(DzVec3(0.f, 50.f, 0.f));
    expectNear(child->getWSPos(), DzVec3(1.f, 52.f, 3.f));

    // Scaled and turned parent: the child rides along.
    parent->setLocalScale(DzVec3(2.f, 2.f, 2.f));
    parent->setLocalRot(DzQuat::fromAxisAngle(DzVec3(0.f, 0.f, 1.f), 3.14159265f));
    expectNear(child->getWSPos(), DzVec3(-2.f, 46.f, 6.f));

    // setWSPos places it in the world whatever the parent does.
    child->setWSPos(DzVec3(5.f, 5.f, 5.f));
    expectNear(child->getWSPos(), DzVec3(5.f, 5.f, 5.f));

    // Added in place, a child keeps its world position; a cycle is refused.
    DzNode* other = node("other", DzVec3(1.f, 2.f, 3.f));
    child->addNodeChild(other, true);
    EXPECT_EQ(other->getNodeParent(), child);
    expectNear(other->getWSPos(), DzVec3(1.f, 2.f, 3.f));
    other->addNodeChild(parent, false);
    EXPECT_EQ(parent->getNodeParent(), nullptr);
    EXPECT_EQ(other->getNumNodeChildren(), 0);
}

namespace {

// Scene data of a plug-in, with a change signal the host knows nothing about by name.
class NoteData : public DzSceneData
{
    Q_OBJECT
public:
    NoteData() : DzSceneData("NoteData") {}
    void setText(const QString& t) { emit textChanged(t); }
    void ping() { emit pinged(); }
signals:
    void textChanged(QString text);
    void pinged();
};

}  // namespace

TEST_F(Scene, ModifiedFollowsWhatASaveKeepsNotTimeOrSelection)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.duf");
    EXPECT_FALSE(dzScene->isModified());
    int announced = 0;
    // The connection ends with the test: the fixture's clean-up changes the mark again.
    QObject listener;
    QObject::connect(dzScene, &DzScene::modifiedChanged, &listener, [&]() { ++announced; });

    DzNode* a = node("A");
    EXPECT_TRUE(dzScene->isModified());
    ASSERT_TRUE(dzScene->saveScene(file));
    EXPECT_FALSE(dzScene->isModified());
    EXPECT_EQ(announced, 2);

    // Time and selection are no change a save would keep differently.
    dzScene->setTime(dzScene->getTimeStep() * 3);
    dzScene->setPrimarySelection(a);
    EXPECT_FALSE(dzScene->isModified());

    a->setLabel("B");
    EXPECT_TRUE(dzScene->isModified());
    ASSERT_TRUE(dzScene->loadScene(file));
    EXPECT_FALSE(dzScene->isModified());
    dzScene->removeNode(dzScene->findNodeByLabel("A"));
    EXPECT_TRUE(dzScene->isModified());

    // A plug-in's data item changes through its own "...Changed" signals only.
    dzScene->clear();
    EXPECT_FALSE(dzScene->isModified());
    auto* data = new NoteData;
    dzScene->addDataItem(data);
    EXPECT_FALSE(dzScene->isModified());
    data->ping();
    EXPECT_FALSE(dzScene->isModified());
    data->setText("boxes");
    EXPECT_TRUE(dzScene->isModified());

    // A failed save keeps the mark.
    EXPECT_FALSE(dzScene->saveScene(dir.filePath("no/such/folder/a.duf")));
    EXPECT_TRUE(dzScene->isModified());
}

#include "scene_test.moc"
