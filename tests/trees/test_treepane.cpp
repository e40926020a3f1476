// Tree boxes in the pane: creation, the wind tick, the "Wind On" sliders, the focus rule,
// records and presets, and a mesh the sliders no longer describe.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>
#include <dzdialogs.h>
#include <dzmaterial.h>
#include <set>

#include "tests/trees/treeaccess.h"

TEST_F(TreePaneTest, CreateBuildsTheWholeTreeWithItsFourMaterials)
{
    const int i = tree();
    EXPECT_EQ(a->boxes()[i].sliders.size(), 85u);
    EXPECT_EQ(a->status(), "Added tree");
    DzNode* node = dzScene->findNodeByLabel(newBoxTitle(TypeTree, i));
    ASSERT_NE(node, nullptr);
    DzShape* shape = node->getObject()->getShape(0);
    ASSERT_EQ(shape->getNumMaterials(), 4);
    const char* names[4] = {"Trunk", "Stem", "Leaf", "Fruit"};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(shape->getMaterial(k)->getName(), names[k]);

    set(i, "Fruit LOD", 100);
    set(i, "Leaf LOD", 50);
    DzFacetMesh* m = mesh(i);
    ASSERT_NE(m, nullptr);
    std::set<int> used;
    for (int f = 0; f < m->getNumFacets(); ++f) used.insert(m->getFacet(f).m_materialIdx);
    EXPECT_EQ(used, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(a->boxes()[i].builderCount, m->getNumVertices());
    EXPECT_EQ(a->progress()->value(), 0);  // reset after the build
}

TEST_F(TreePaneTest, WindOnSlidersAtZeroStopOneTreeWhileAnotherSways)
{
    const int calm = tree(), windy = tree();
    set(windy, "X", 400);
    a->loading() = true;
    for (const char* n : {"Wind On Stem", "Wind On Branch", "Wind On Twigs", "Wind On Leaves", "Wind On Fruit"})
        slider(calm, n)->setValue(0);
    a->loading() = false;
    a->sliderUpdate();  // as a script or the controller would: every tree is rebuilt
    const std::vector<DzVec3> calmStill = verts(calm), windyStill = verts(windy);
    ASSERT_FALSE(calmStill.empty());

    for (int t = 0; t < 3; ++t) {
        a->phase() = 10.f + 7.f * float(t);
        a->draw();
        EXPECT_TRUE(a->boxes()[calm].treeLastWind);
        EXPECT_EQ(verts(calm), calmStill) << "tick " << t;
        EXPECT_NE(verts(windy), windyStill) << "tick " << t;
    }
}

TEST_F(TreePaneTest, WindOnSliderRebuildsEveryTreeOtherSlidersOnlyTheirOwn)
{
    const int t0 = tree(), t1 = tree();
    std::vector<int> updated;
    a->overrideUpdate([&](int i, bool) { updated.push_back(i); });

    slider(t0, "Trunk LOD")->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(slider(t0, "Trunk LOD")->hasFocus());
    slider(t0, "Trunk LOD")->setValue(12);
    EXPECT_EQ(updated, std::vector<int>{t0});

    updated.clear();
    slider(t1, "Wind On Twigs")->setFocus();
    QApplication::processEvents();
    slider(t1, "Wind On Twigs")->setValue(30);
    std::sort(updated.begin(), updated.end());
    EXPECT_EQ(updated, (std::vector<int>{t0, t1}));
}

TEST_F(TreePaneTest, StaleMeshIsLeftAloneUntilTheNextUpdate)
{
    const int i = tree();
    const std::vector<DzVec3> before = verts(i);
    a->loading() = true;
    slider(i, "Branch LOD")->setValue(9);  // no update runs while loading
    a->loading() = false;
    a->phase() = 40.f;
    a->animate(i);
    EXPECT_FALSE(a->boxes()[i].treeLastWind);
    EXPECT_EQ(verts(i), before);
    a->updateTree(i);
    a->animate(i);
    EXPECT_TRUE(a->boxes()[i].treeLastWind);
    EXPECT_NE(verts(i).size(), before.size());
}

TEST_F(TreePaneTest, UpdateInATaskBuildsWhatTheMainThreadBuilds)
{
    const int i = tree();
    set(i, "Seed", 321);
    const std::vector<DzVec3> main = verts(i);
    QtConcurrent::run([&] { a->updateTree(i); }).waitForFinished();
    EXPECT_EQ(verts(i), main);
}

TEST_F(TreePaneTest, RecordsAndPresetsGiveTheTreeBack)
{
    const int i = tree();
    set(i, "Seed", 77);
    set(i, "Up Down", 33);
    set(i, "START3", 55, 1);  // the twig group's
    set(i, "Floor LOD", 40, 1);  // the fruit group's
    set(i, "Z", -250);
    QString text;
    a->write(i, text);
    EXPECT_TRUE(text.startsWith("TreeV1.0,Shapes,"));

    const int j = tree();
    a->loading() = true;
    a->read(j, text, false);
    a->loading() = false;
    a->updateTree(j);
    EXPECT_EQ(slider(j, "START3", 1)->value(), 55);
    EXPECT_EQ(slider(j, "START3", 0)->value(), 10);
    EXPECT_EQ(slider(j, "Floor LOD", 1)->value(), 40);
    EXPECT_EQ(verts(j), verts(i));

    // A preset carries the shape but not the place.
    QTemporaryDir dir;
    const QString file = dir.filePath("Test Tree.txt");
    dzApp->dialogs()->queueFileName(file);
    a->savePreset(i);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("TreeV1,"));
    const int k = tree();
    set(k, "X", 500);
    dzApp->dialogs()->queueFileName(file);
    a->openPreset(k);
    EXPECT_EQ(slider(k, "Seed")->value(), 77);
    EXPECT_EQ(slider(k, "Up Down")->value(), 33);
    EXPECT_EQ(slider(k, "X")->value(), 500);
    EXPECT_EQ(slider(k, "Z")->value(), 0);
}

TEST_F(TreePaneTest, ShippedPresetsAreDifferentTrees)
{
    const QDir dir(QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Presets_Tree"));
    const QStringList files = dir.entryList({"*.txt"}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 5);
    std::set<int> counts;
    for (const QString& name : files) {
        const int i = tree();
        dzApp->dialogs()->queueFileName(dir.filePath(name));
        a->openPreset(i);
        a->updateTree(i);
        DzFacetMesh* m = mesh(i);
        ASSERT_NE(m, nullptr);
        EXPECT_GT(m->getNumVertices(), 1000) << name.toStdString();
        counts.insert(m->getNumVertices());
    }
    EXPECT_EQ(int(counts.size()), files.size());
}

TEST_F(TreePaneTest, TrunkShapeChosenByARecordShapesTheTrunk)
{
    const int i = tree();
    set(i, "Image Shape", 60);
    const std::vector<DzVec3> plain = verts(i);
    QComboBox* shapes = a->boxes()[i].combo('B');
    const int fluted = shapes->findText("Fluted.png");
    ASSERT_GT(fluted, 0);
    a->loading() = true;
    shapes->setCurrentIndex(fluted);  // no focus: as a record or a preset selects it
    a->loading() = false;
    a->updateTree(i);
    const std::vector<DzVec3> shaped = verts(i);
    ASSERT_EQ(shaped.size(), plain.size());
    EXPECT_NE(shaped, plain);

    QString text;
    a->write(i, text);
    const int j = tree();
    a->loading() = true;
    a->read(j, text, false);
    a->loading() = false;
    a->updateTree(j);
    EXPECT_EQ(a->boxes()[j].combo('B')->currentText(), "Fluted.png");
    // The same trunk, only moved by the box's own place (both stand at X = Z = 0).
    EXPECT_EQ(verts(j), shaped);
}

TEST_F(TreePaneTest, SetDocumentAndHostSceneBringBackTheSameTree)
{
    tree();
    const int j = tree();
    // Every slider of box j away from its default, within its range, kept small enough to build fast.
    a->loading() = true;
    int k = 0;
    for (DzIntSlider* s : a->boxes()[j].sliders) {
        const int span = std::min(s->getMax() - s->getMin() + 1, 12);
        s->setValue(s->getMin() + (k++ * 7 + 3) % span);
    }
    a->loading() = false;
    a->updateTree(j);
    auto values = [this](int i) {
        std::vector<int> v;
        for (DzIntSlider* s : a->boxes()[i].sliders) v.push_back(s->value());
        return v;
    };
    const std::vector<int> sliders0 = values(0), slidersJ = values(j);
    const std::vector<DzVec3> tree0 = verts(0), treeJ = verts(j);
    ASSERT_FALSE(treeJ.empty());

    QTemporaryDir dir;
    const QString doc = dir.filePath("trees.txt");
    {
        QFile f(doc);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(pane->setDocumentText().toLatin1());
    }
    reset();
    ASSERT_TRUE(pane->openSetDocument(doc)) << qPrintable(a->status());
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(values(0), sliders0);
    EXPECT_EQ(values(j), slidersJ);
    EXPECT_EQ(verts(0), tree0);
    EXPECT_EQ(verts(j), treeJ);

    QMetaObject::invokeMethod(pane, "saveModelData", Qt::DirectConnection);
    const QString scene = dir.filePath("trees.duf");
    QString error;
    ASSERT_TRUE(dzScene->saveScene(scene, &error)) << qPrintable(error);
    reset();
    ASSERT_TRUE(dzScene->loadScene(scene, &error)) << qPrintable(error);
    QApplication::processEvents();
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(values(j), slidersJ);
    EXPECT_EQ(dzScene->getNumNodes(), 2);
    EXPECT_EQ(verts(0), tree0);
    EXPECT_EQ(verts(j), treeJ);
}
