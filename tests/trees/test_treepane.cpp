// Tree boxes in the pane: creation, the wind tick, the "Wind On" sliders, the focus rule,
// records and presets, and a mesh the sliders no longer describe.
#include <QComboBox>
#include <QTemporaryDir>
#include <dzmaterial.h>
#include <dzshape.h>
#include <set>
#include "fieldfixture.h"
#include "vegetation/treebox.h"

namespace {

class TreePaneTest : public FieldTest
{
protected:
    void SetUp() override
    {
        FieldTest::SetUp();
        VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
        a->phase() = 1.f;
    }
    int tree() { return create(TypeTree); }
    void call(const char* slot, int i)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(pane, slot, Qt::DirectConnection, Q_ARG(int, i)));
    }
    void openPreset(int i, const QString& file)
    {
        dzApp->dialogs()->queueFileName(file);
        QMetaObject::invokeMethod(pane, "OpenPreset", Qt::DirectConnection, Q_ARG(int, i), Q_ARG(int, TypeTree),
                                  Q_ARG(QString, "Verdix_Presets_Tree"), Q_ARG(QString, "TreeV1"), Q_ARG(bool, false));
    }
};

}  // namespace

TEST_F(TreePaneTest, CreateBuildsTheWholeTreeWithItsFourMaterials)
{
    const int i = tree();
    EXPECT_EQ(status(), "Added tree");
    DzShape* shape = nodeOf(i)->getObject()->getShape(0);
    ASSERT_EQ(shape->getNumMaterials(), 4);
    const char* names[4] = {"Trunk", "Stem", "Leaf", "Fruit"};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(shape->getMaterial(k)->getName(), names[k]);
    EXPECT_EQ(box(i).builderCount, mesh(i)->getNumVertices());
}

TEST_F(TreePaneTest, WindOnSlidersAtZeroStopOneTreeWhileAnotherSways)
{
    const int calm = tree(), windy = tree();
    set(windy, {{"X", 400}});
    set(calm,
        {{"Wind On Stem", 0}, {"Wind On Branch", 0}, {"Wind On Twigs", 0}, {"Wind On Leaves", 0}, {"Wind On Fruit", 0}},
        false);
    call("SliderUpdateTree", 0);  // as a script or the controller would: every tree is rebuilt
    const std::vector<DzVec3> calmStill = verts(calm), windyStill = verts(windy);
    ASSERT_FALSE(calmStill.empty());
    for (int t = 0; t < 3; ++t) {
        a->phase() = 10.f + 7.f * float(t);
        a->draw();
        EXPECT_TRUE(generatorOf<TreeBox>(box(calm))->lastWind);
        EXPECT_TRUE(verts(calm) == calmStill) << "tick " << t;
        EXPECT_FALSE(verts(windy) == windyStill) << "tick " << t;
    }
}

TEST_F(TreePaneTest, WindOnSliderRebuildsEveryTreeOtherSlidersOnlyTheirOwn)
{
    const int t0 = tree(), t1 = tree();
    UpdateLog log;
    a->setUpdateOverride(TypeTree, log.hook());
    showPane();
    auto focusAndSet = [](DzIntSlider* s, int v) {
        s->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(s->hasFocus());
        s->setValue(v);
    };
    focusAndSet(slider(t0, "Trunk LOD"), 12);
    EXPECT_EQ(log.sorted(), std::vector<int>{t0});
    log.clear();
    focusAndSet(slider(t1, "Wind On Twigs"), 30);
    EXPECT_EQ(log.sorted(), (std::vector<int>{t0, t1}));
}

TEST_F(TreePaneTest, StaleMeshIsLeftAloneUntilTheNextUpdate)
{
    const int i = tree();
    const std::vector<DzVec3> before = verts(i);
    set(i, {{"Branch LOD", 9}}, false);
    a->phase() = 40.f;
    call("Button_AnimatePolyTree", i);
    EXPECT_FALSE(generatorOf<TreeBox>(box(i))->lastWind);
    EXPECT_TRUE(verts(i) == before);
    pane->updateBox(i);
    call("Button_AnimatePolyTree", i);
    EXPECT_TRUE(generatorOf<TreeBox>(box(i))->lastWind);
    EXPECT_NE(verts(i).size(), before.size());
}

// A preset carries the trunk shape of the list and the tree, but not where it stands.
TEST_F(TreePaneTest, PresetsCarryTheTreeAndItsTrunkShapeButNotThePlace)
{
    const int j = tree();
    scramble(j);
    set(j, {{"Image Shape", 60}, {"X", -90}, {"Z", -250}});
    const std::vector<DzVec3> plain = verts(j);
    QComboBox* shapes = box(j).combo('B');
    ASSERT_GT(shapes->findText("Fluted.png"), 0);
    shapes->setCurrentIndex(shapes->findText("Fluted.png"));  // no focus: as a record selects it
    pane->updateBox(j);
    ASSERT_EQ(verts(j).size(), plain.size());
    EXPECT_FALSE(verts(j) == plain) << "the shape shapes the trunk";

    QTemporaryDir dir;
    dzApp->dialogs()->queueFileName(dir.filePath("Test Tree.txt"));
    a->savePreset(j, TypeTree, "Verdix_Presets_Tree", "TreeV1");
    const int p = tree();
    set(p, {{"X", 500}});
    openPreset(p, dir.filePath("Test Tree.txt"));
    pane->updateBox(p);
    EXPECT_EQ(box(p).combo('B')->currentText(), "Fluted.png");
    // The same tree (every slider but the place: the record tests), only moved by the
    // difference of the places.
    const std::vector<DzVec3> moved = verts(p), at = verts(j);
    ASSERT_EQ(moved.size(), at.size());
    EXPECT_NEAR((moved[7] - at[7] - DzVec3(590.f, 0.f, 250.f)).length(), 0.f, 1e-2f);
}

TEST_F(TreePaneTest, ShippedPresetsAreDifferentTrees)
{
    const QDir dir(QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Presets_Tree"));
    const QStringList files = dir.entryList({"*.txt"}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 5);
    std::set<int> counts;
    for (const QString& name : files) {
        const int i = tree();
        openPreset(i, dir.filePath(name));
        pane->updateBox(i);
        EXPECT_GT(mesh(i)->getNumVertices(), 1000) << name.toStdString();
        counts.insert(mesh(i)->getNumVertices());
    }
    EXPECT_EQ(int(counts.size()), files.size());
}

// The "Grove" sample as a user opens it: trees of several presets over grass, all swaying.
// (Run and exported headless: the grass host-run test.)
TEST_F(TreePaneTest, GroveHasTreesOfSeveralPresetsThatSway)
{
    ASSERT_TRUE(pane->openSetDocument(QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Grove.txt")))
        << qPrintable(status());
    std::vector<int> trees;
    int grass = 0;
    for (int i = 0; i < a->boxes().count(); ++i) {
        grass += box(i).type == TypeGrass;
        if (box(i).type == TypeTree) trees.push_back(i);
    }
    ASSERT_EQ(trees.size(), 6u);
    EXPECT_GE(grass, 1);
    std::vector<std::vector<DzVec3>> still;
    std::set<size_t> sizes;
    for (int i : trees) {
        still.push_back(verts(i));
        sizes.insert(still.back().size());
    }
    EXPECT_GE(sizes.size(), 4u);  // several presets
    for (int t = 0; t < 3; ++t) a->draw();
    for (size_t k = 0; k < trees.size(); ++k) {
        const std::vector<DzVec3> now = verts(trees[k]);
        ASSERT_EQ(now.size(), still[k].size());
        int moved = 0;
        for (size_t v = 0; v < now.size(); ++v) moved += !(now[v] == still[k][v]);
        EXPECT_GT(moved, int(now.size()) / 4) << "box " << trees[k];
    }
}
