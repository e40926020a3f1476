// The landscape box's terrain in the scene: creation, updates, the grid rebuilt when its
// size changes, the failures the update reports, the objects standing on it and resting
// one terrain on another.
#include <QKeyEvent>
#include <QTimer>
#include <dzprogress.h>
#include "persistence/verdixscenemodel.h"
#include "landscapefixture.h"

namespace {

class Terrain : public LandscapeTest
{
protected:
    const DzVec3& vertex(int i, int r, int c)
    {
        const int V = box(i).storedTiles * box(i).storedDivisions + 1;
        return mesh(i)->getVerticesPtr()[r * V + c];
    }
};

}  // namespace

TEST_F(Terrain, CreationBuildsAFlatGridNamedByTheBoxDownToOneQuad)
{
    defaultMaps(255);
    const int i = createLandscape();
    EXPECT_EQ(status(), "Added landscape");
    DzNode* node = nodeOf(i);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->getLabel(), "(0000) LandscapeV1.0");
    EXPECT_EQ(node->getNodeParent(), nullptr);
    EXPECT_EQ(a->selector()->currentText(), "(0000) LandscapeV1.0");
    // The default grid: 20 tiles of 20 divisions over 4000 units, flat.
    EXPECT_EQ(mesh(i)->getNumFacets(), 400 * 400);
    EXPECT_EQ(heights(i), std::vector<float>(401 * 401, 0.f));
    EXPECT_EQ(vertex(i, 400, 400), DzVec3(2000.f, 0.f, -2000.f));

    // The smallest grid is one quad, every pass run on it.
    set(i, {{"TILES", 1}, {"DIVISIONS", 1}, {"Land", 100}, {"Smooth", 400}, {"DeNoise", 100}, {"Size XZ", 8}});
    ASSERT_EQ(mesh(i)->getNumFacets(), 1);
    EXPECT_EQ(heights(i), std::vector<float>(4, 255.f));
    EXPECT_EQ(vertex(i, 1, 1), DzVec3(4.f, 255.f, -4.f));
    EXPECT_EQ(box(i).heightFieldLength, 4);
}

TEST_F(Terrain, NewTileCountRebuildsTheGridAndTheHeightQueryFollows)
{
    defaultMaps();
    greyMap(kGround, 64, 64, [](int x, int y) { return (x * 3 + y) % 256; });
    const int i = createLandscape();
    set(i, {{"Land", 100}, {"DIVISIONS", 4}});
    ASSERT_EQ(mesh(i)->getNumVertices(), 81 * 81);
    const quint64 revision = mesh(i)->revision();
    // A point past the new, smaller extent is still over the old one.
    EXPECT_NE(pane->heightAt(i, 1500.f, 0.f), kHeightMiss);

    showPane();
    slider(i, "TILES")->setValue(10);  // as a script would: the routing updates the box
    EXPECT_EQ(status(), "Mesh (0000) LandscapeV1.0 Updated its size!");
    ASSERT_EQ(mesh(i)->getNumVertices(), 41 * 41);
    EXPECT_EQ(mesh(i)->getNumFacets(), 40 * 40);
    EXPECT_GT(mesh(i)->revision(), revision);
    EXPECT_FALSE(mesh(i)->isEditing());
    EXPECT_EQ(box(i).storedTiles, 10);
    EXPECT_EQ(box(i).heightFieldLength, 41 * 41);

    EXPECT_EQ(pane->heightAt(i, 1500.f, 0.f), kHeightMiss);
    // The terrain is the map sampled on the new grid, and the query reads it.
    auto grey = [](int r, int c) { return float(((c * 64 / 41) * 3 + r * 64 / 41) % 256); };
    for (int r : {0, 21, 40})
        for (int c : {1, 9, 40}) {
            const DzVec3 v = vertex(i, r, c);
            EXPECT_EQ(v.y(), grey(r, c)) << r << "," << c;
            EXPECT_NEAR(pane->heightAt(i, v.x(), v.z()), v.y(), 1e-3) << r << "," << c;
        }
}

TEST_F(Terrain, CancelledUpdateLeavesTheMeshTheHeightsAndTheRecordAsBefore)
{
    defaultMaps();
    greyMap(kGround, 64, 64, [](int x, int y) { return (x * 5 + y * 3) % 256; });
    const int i = createLandscape();
    set(i, {{"Land", 100}, {"DIVISIONS", 4}, {"Smooth", 100}});
    ASSERT_EQ(mesh(i)->getNumVertices(), 81 * 81);
    showPane();
    ASSERT_NE(a->model(), nullptr);
    const QString record = a->model()->coolText();
    // Everything the update could have touched, and the query over it.
    auto state = [&] {
        DzFacetMesh* m = mesh(i);
        const ControlBox& b = box(i);
        return std::make_tuple(m->getNumVertices(), m->getNumFacets(), m->getUVs()->getNumValues(),
                               m->getUVs()->getPnt2Value(81 * 81 - 1), m->isEditing(), heights(i), b.storedTiles,
                               std::vector<float>(b.heightField.begin(), b.heightField.begin() + b.heightFieldLength),
                               slider(i, "TILES")->value(), slider(i, "Land")->value(), a->model()->coolText(),
                               pane->heightAt(i, 1900.f, 0.f));
    };
    const auto before = state();

    // Every row batch lets events through, so the request lands inside the work.
    DzProgress::setTimings(0, 0);
    struct Case
    {
        const char* slider;
        int value;
        bool escape;  // Escape on the pane, else the Cancel button's request
    };
    for (const Case& c : {Case{"TILES", 10, true}, Case{"TILES", 30, false}, Case{"Land", -40, false}}) {
        QWidget* target = slider(i, c.slider);
        QTimer::singleShot(0, pane, [target, c]() {
            if (c.escape)
                QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            else DzProgress::requestCancel();
        });
        slider(i, c.slider)->setValue(c.value);
        EXPECT_EQ(status(), "Cancelled: (0000) LandscapeV1.0 left as it was") << c.slider << c.value;
        EXPECT_FALSE(DzProgress::isRunning());
        EXPECT_TRUE(state() == before) << c.slider << c.value;
    }

    // Not cancelled, the same change goes through.
    slider(i, "TILES")->setValue(10);
    DzProgress::setTimings(40, 300);
    EXPECT_EQ(mesh(i)->getNumVertices(), 41 * 41);
    EXPECT_NE(a->model()->coolText(), record);
}

TEST_F(Terrain, FailuresStopTheUpdateAndLeaveTheMeshAlone)
{
    defaultMaps(255);
    QFile::remove(at(kPath));
    const int i = createLandscape();
    // A missing Path image stops every update after the grid was rebuilt: the new grid,
    // still flat, until an image is chosen.
    for (int k = 0; k < 2; ++k) {
        set(i, {{"Land", 100}, {"TILES", 1}, {"DIVISIONS", 2}});
        EXPECT_EQ(status(), "Error MapE!");
    }
    EXPECT_EQ(heights(i), std::vector<float>(9, 0.f));
    flatMap("Verdix_Landscape_Path/Path_B.jpg", 128);
    QComboBox* path = box(i).combo('E');
    path->addItem("Path_B.jpg");
    path->setCurrentIndex(path->count() - 1);
    EXPECT_EQ(heights(i), std::vector<float>(9, 255.f));

    // The node under another label: its mesh is not the box's.
    DzNode* node = nodeOf(i);
    DzFacetMesh* m = mesh(i);
    node->setLabel("renamed");
    set(i, {{"Land", 50}});
    EXPECT_EQ(status(), "Error: Mesh (0000) LandscapeV1.0 missing!");
    for (int k = 0; k < m->getNumVertices(); ++k) ASSERT_EQ(m->getVertex(k).y(), 255.f);
    node->setLabel("(0000) LandscapeV1.0");

    // An object without shapes, then a shape without geometry.
    node->setObject(new DzObject);
    set(i, {});
    EXPECT_EQ(status(), "No shapes in object!");
    auto* object = new DzObject;
    object->addShape(new DzFacetShape);
    node->setObject(object);
    set(i, {});
    EXPECT_EQ(status(), "No geometry in object!");
}

TEST_F(Terrain, GridsThatDoNotFitAreRefusedAndLargeOnesAnnounced)
{
    // The largest grid: 10001 x 10001 vertices (points, UVs and heights; the quads are a
    // rule), about 2.2 GB.
    const TerrainLayout largest{100, 100, 200.f};
    TerrainBuildCheck c = checkTerrainBuild(largest, 2LL << 30);
    EXPECT_TRUE(c.refuse);
    EXPECT_EQ(c.text,
              "Error: a 10001 x 10001 terrain (TILES 100, DIVISIONS 100) needs about 2.2 GB, more than the "
              "2.0 GB free; choose fewer tiles or divisions");
    c = checkTerrainBuild(largest, 64LL << 30);
    EXPECT_FALSE(c.refuse);
    EXPECT_EQ(c.text, "Building a 10001 x 10001 terrain: about 2.2 GB of memory");
    // Unknown free memory refuses nothing; a small grid says nothing.
    EXPECT_FALSE(checkTerrainBuild(largest, -1).refuse);
    EXPECT_EQ(checkTerrainBuild(TerrainLayout{20, 20, 200.f}, 64LL << 30).text, "");

    // In the pane: a refused grid keeps the old one and is reported.
    defaultMaps(255);
    const int i = createLandscape();
    set(i, {{"Land", 100}, {"TILES", 2}, {"DIVISIONS", 2}});
    ASSERT_EQ(mesh(i)->getNumVertices(), 25);
    a->setFreeMemory([] { return 1LL << 20; });
    const int errors = dzApp->dialogs()->errorCount();
    set(i, {{"TILES", 100}, {"DIVISIONS", 20}});
    EXPECT_EQ(mesh(i)->getNumVertices(), 25);
    EXPECT_TRUE(status().startsWith(
        "Error: a 2001 x 2001 terrain (TILES 100, DIVISIONS 20) needs about 92 MB, more than the 1 MB free"))
        << qPrintable(status());
    EXPECT_EQ(dzApp->dialogs()->errorCount(), errors + 1);
    a->setFreeMemory(nullptr);
}

TEST_F(Terrain, ObjectsOnTheLandscapeFollowUnlessAutoOff)
{
    defaultMaps(255);
    const int l = createLandscape();
    set(l, {{"TILES", 1}, {"DIVISIONS", 2}});
    UpdateLog log;
    a->setUpdateOverride(TypeGrass, log.hook());
    const int g = addBox(TypeGrass);
    ASSERT_EQ(box(g).landscapeIndex, l);
    const int other = addBox(TypeGrass);
    box(other).landscapeIndex = 57;  // stands elsewhere

    slider(l, "Land")->setValue(50);  // routed: the update re-places its objects
    EXPECT_EQ(log.sorted(), std::vector<int>({g}));
    log.clear();
    pane->updateBox(l);  // the opening's update re-places nothing
    EXPECT_TRUE(log.sorted().empty());
    a->autoOff()->setChecked(true);
    slider(l, "Land")->setValue(60);
    EXPECT_TRUE(log.sorted().empty());
    EXPECT_EQ(heights(l).front(), 255.f * 0.6f);
}

TEST_F(Terrain, RestJoinsTwoTerrainsWithoutAStepAtTheSeam)
{
    defaultMaps();
    greyMap(kGround, 21, 21, [](int x, int y) { return 40 + x * 6 + y * 3; });
    const int A = createLandscape();
    set(A, {{"TILES", 2}, {"DIVISIONS", 10}, {"Size XZ", 10}, {"Land", 100}});  // x, z in -10..10
    flatMap("Verdix_Landscape_Ground/Level.png", 30);
    const int B = createLandscape();
    QComboBox* land = box(B).combo('A');
    land->setCurrentIndex(land->findText("Level.png"));
    box(B).landscapeIndex = A;
    const DzVec3 P(10.f, 1.5f, 5.f);
    nodeOf(B)->setWSPos(P);
    set(B, {{"TILES", 2}, {"DIVISIONS", 10}, {"Size XZ", 10}, {"Land", 100}, {"Rest Blend", 5}});
    const std::vector<float> alone = heights(B);
    ASSERT_EQ(alone.front(), 30.f);
    set(B, {{"Rest", 100}});

    // B's rows 5..20 and columns 0..10 lie over A: there B stands on A's surface.
    const DzVec3 Q = nodeOf(A)->getWSPos();
    for (int r = 5; r <= 20; ++r)
        for (int c = 0; c <= 10; ++c) {
            const DzVec3 v = vertex(B, r, c) + P;
            ASSERT_NEAR(v.y(), pane->heightAt(A, v.x() - Q.x(), v.z() - Q.z()) + Q.y(), 1e-3) << r << "," << c;
        }
    // At A's +X edge and at its +Z edge the first vertex past it carries on at the height
    // of the last one on it; further out B eases back to its own level.
    for (int r = 6; r <= 20; ++r) EXPECT_EQ(vertex(B, r, 11).y(), vertex(B, r, 10).y()) << r;
    for (int c = 0; c <= 10; ++c) EXPECT_EQ(vertex(B, 4, c).y(), vertex(B, 5, c).y()) << c;
    EXPECT_EQ(vertex(B, 10, 20).y(), 30.f);
    EXPECT_EQ(vertex(B, 0, 20).y(), alone[20]);  // away from A nothing moved

    // Standing on itself is no rest at all.
    box(B).landscapeIndex = B;
    set(B, {});
    EXPECT_EQ(heights(B), alone);
}
