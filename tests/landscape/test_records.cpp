// Landscapes in saved work: set documents and host scenes bring back the combos, the 15
// sliders, the node positions and so the same terrain, resting included; the samples of
// the asset library open and stand on their terrain.
#include "landscapefixture.h"

namespace {

class Records : public LandscapeTest
{
protected:
    // Two landscapes, the second resting on the first, both off their defaults.
    void build()
    {
        defaultMaps(0, 0, 0, 0, 0);
        greyMap(kGround, 16, 16, [](int x, int y) { return 20 + x * 9 + y * 4; });
        greyMap("Verdix_Landscape_Hill/Hill_B.png", 8, 8, [](int x, int y) { return (x * y * 13) % 200; });
        greyMap("Verdix_Landscape_Path/Path_B.jpg", 8, 8, [](int x, int) { return x == 3 ? 255 : 0; });
        writeFile(at("Verdix_Landscape_User/bump.dat"), floats({0, 5, 0, 5, 20, 5, 0, 5, 0}));
        const int A = createLandscape();
        choose(A, 'C', "Hill_B.png");
        choose(A, 'E', "Path_B.jpg");
        choose(A, 'F', "bump.dat");
        set(A, {{"Land", 80},
                {"Hill", 35},
                {"Path", 60},
                {"User", -40},
                {"Smooth", 30},
                {"DeNoise", 20},
                {"TILES", 3},
                {"DIVISIONS", 8},
                {"Size XZ", 12},
                {"Size Y", 150}});
        const int B = createLandscape();
        box(B).landscapeIndex = A;
        nodeOf(B)->setWSPos(DzVec3(20.f, 2.f, -9.f));
        set(B, {{"Land", 40},
                {"River", 25},
                {"Flat", -30},
                {"TILES", 2},
                {"DIVISIONS", 9},
                {"Size XZ", 14},
                {"Rest", 90},
                {"Rest Y Offset", 40},
                {"Rest Blend", 4},
                {"Size Y", 80}});
    }
    void choose(int i, char letter, const QString& name)
    {
        QComboBox* c = box(i).combo(letter);
        ASSERT_GE(c->findText(name), 1) << qPrintable(name);
        c->setCurrentIndex(c->findText(name));
    }
    // What a reload must bring back: the document the boxes would write (combos, sliders,
    // positions, which landscape each stands on) and every terrain.
    using Snapshot = std::pair<QString, std::vector<std::vector<float>>>;
    Snapshot snapshot()
    {
        Snapshot s{pane->setDocumentText(), {}};
        for (int i = 0; i < a->boxes().count(); ++i) s.second.push_back(heights(i));
        return s;
    }
    void expectSame(const Snapshot& want)
    {
        const Snapshot got = snapshot();
        EXPECT_EQ(got.first, want.first);
        ASSERT_EQ(got.second.size(), want.second.size());
        for (size_t i = 0; i < got.second.size(); ++i) {
            ASSERT_EQ(got.second[i].size(), want.second[i].size()) << i;
            for (size_t k = 0; k < got.second[i].size(); ++k)
                ASSERT_NEAR(got.second[i][k], want.second[i][k], 1e-4) << i << " vertex " << k;
        }
    }
};

}  // namespace

TEST_F(Records, SetDocumentAndHostSceneBringBackTheSameTerrains)
{
    build();
    const Snapshot before = snapshot();
    ASSERT_EQ(before.second.size(), 2u);
    ASSERT_NE(before.second[1], std::vector<float>(before.second[1].size(), before.second[1][0]));
    ASSERT_TRUE(before.first.contains(",20,2,-9,;")) << qPrintable(before.first);  // B's position
    const QString path = at("Verdix_Scene/two.txt");
    QDir().mkpath(at("Verdix_Scene"));
    dzApp->dialogs()->queueFileName(path);
    a->saveScene();
    QString error;
    const QString scene = at("two.duf");
    ASSERT_TRUE(dzScene->saveScene(scene, &error)) << qPrintable(error);

    // Another pane state entirely, then the set file.
    a->deleteAll();
    a->deleteAll();
    dzScene->clear();
    ASSERT_EQ(a->boxes().count(), 0);
    ASSERT_TRUE(pane->openSetDocument(path)) << qPrintable(status());
    EXPECT_EQ(status(), "Scene load finished..");
    expectSame(before);

    // The boxes change after the save; the host scene's own come back.
    set(0, {{"Land", -100}});
    ASSERT_TRUE(dzScene->loadScene(scene, &error)) << qPrintable(error);
    EXPECT_EQ(status(), "Scene load finished..");
    expectSame(before);
}

namespace {

// The sample set of the asset library, opened over the library the build generates.
class Sample : public LandscapeTest
{
protected:
    const QString sample = QStringLiteral(VERDIX_SAMPLE_DIR "/Verdix_Scene/Landscape_Sample.txt");
    void SetUp() override
    {
        LandscapeTest::SetUp();
        VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    }
    float relief(int i)
    {
        const std::vector<float> h = heights(i);
        const auto r = std::minmax_element(h.begin(), h.end());
        return h.empty() ? 0.f : *r.second - *r.first;
    }
};

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLatin1(f.readAll()) : QString();
}

}  // namespace

TEST_F(Sample, OpensAndSavesBackUnchanged)
{
    const QString text = readAll(sample);
    ASSERT_TRUE(text.startsWith("VerdixV1.0,6,2018\nLandscapeV1.0,")) << qPrintable(sample);
    ASSERT_TRUE(pane->openSetDocument(sample)) << qPrintable(status());
    EXPECT_EQ(status(), "Scene load finished..");
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(box(1).landscapeIndex, 0);
    EXPECT_EQ(box(0).storedTiles * box(0).storedDivisions + 1, 121);
    EXPECT_EQ(mesh(1)->getNumVertices(), 81 * 81);
    EXPECT_GT(relief(0), 50.f) << "every map the sample names is in the library";
    // Texture paths are written as the host knows them (absolute); the sample names them
    // under the library, where the reader finds them.
    EXPECT_EQ(pane->setDocumentText().replace(QStringLiteral(VERDIX_LIBRARY_DIR "/"), QString()), text);
    // The asset library offers the same set in its scene folder.
    EXPECT_EQ(readAll(QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Landscape_Sample.txt")), text);
}

TEST_F(Sample, MeadowGrassStandsOnItsTerrain)
{
    const QString meadow = QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Meadow.txt");
    ASSERT_EQ(readAll(meadow), readAll(VERDIX_SAMPLE_DIR "/Verdix_Scene/Meadow.txt"));
    ASSERT_TRUE(pane->openSetDocument(meadow)) << qPrintable(status());
    ASSERT_EQ(a->boxes().count(), 6);
    ASSERT_GT(relief(0), 10.f);
    for (int g = 1; g < 6; ++g) {
        ASSERT_EQ(box(g).type, TypeGrass);
        const DzFacetMesh* m = mesh(g);
        ASSERT_TRUE(m && m->getNumVertices() > 1000) << g;
        // The first blade's first vertex is at its root, on the ground under it.
        const DzVec3 root = m->getVertex(0);
        EXPECT_NEAR(root.y(), pane->heightAt(0, root.x(), root.z()), 1.0f) << g;
    }
}
