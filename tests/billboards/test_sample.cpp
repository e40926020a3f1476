// The "Butterflies" set of the asset library: a meadow with a stone field and two swarms of
// animated butterflies, opened over the library the build generates.
#include <dzsafefile.h>
#include <QFile>
#include <set>
#include "fieldfixture.h"

namespace {

class Butterflies : public FieldTest
{
protected:
    const QString sample = QStringLiteral(VERDIX_SAMPLE_DIR "/Verdix_Scene/Butterflies.txt");
    void SetUp() override
    {
        FieldTest::SetUp();
        VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    }
    static QString readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLatin1(f.readAll()) : QString();
    }
    // Chooses a texture by name when the library has it, as the user would in the combo.
    void texture(int i, char letter, const char* name)
    {
        QComboBox* c = box(i).combo(letter);
        ASSERT_NE(c, nullptr);
        const int at = c->findText(QString::fromLatin1(name));
        if (at > 0) c->setCurrentIndex(at);
    }
};

}  // namespace

// Writes the sample through the pane's own save; run by hand when the sample changes:
//   billboard_tests --gtest_also_run_disabled_tests --gtest_filter=Butterflies.DISABLED_Write
TEST_F(Butterflies, DISABLED_Write)
{
    const int L = createLandscape();
    QComboBox* hill = box(L).combo('C');
    ASSERT_GE(hill->findText("Hill_B.png"), 1);
    hill->setCurrentIndex(hill->findText("Hill_B.png"));
    texture(L, 'G', "Ground_Meadow.png");
    set(L, {{"Land", 30}, {"Hill", 40}, {"Smooth", 40}, {"TILES", 4}, {"DIVISIONS", 25}, {"Size XZ", 200},
            {"Size Y", 50}});

    struct Patch { int shape, ax, az, mx, mz, amount, seed; };
    for (const Patch& p : {Patch{100, 110, 110, -190, -170, 7000, 3}, Patch{1, 80, 80, 200, -160, 5000, 7},
                           Patch{40, 120, 70, -200, 200, 6000, 11}}) {
        const int g = create(TypeGrass);
        texture(g, 'C', "Grass_Green.png");
        set(g, {{"Shape", p.shape}, {"Area size X", p.ax}, {"Area size Z", p.az}, {"Move X", p.mx},
                {"Move Z", p.mz}, {"Amount", p.amount}, {"Seed", p.seed}, {"Height Min", 22}, {"Height RND", 12},
                {"Clump Min", 3}, {"Clump RND", 6}});
    }

    const int s = create(TypeStones);
    texture(s, 'C', "Grass_Green.png");
    texture(s, 'D', "Stone_Granite.png");
    set(s, {{"Stone Amount", 70}, {"Area size X", 90}, {"Area size Z", 90}, {"A Shape", 100}, {"Move X", 170},
            {"Move Z", 170}, {"Stone Size X", 90}, {"Stone Size Y", 60}, {"Stone Size Z", 80}, {"Stone LOD", 16},
            {"Rough", 30}, {"Grass", 8}, {"Height Min", 10}, {"Height RND", 8}, {"Clump RND", 4}, {"Seed", 5}});

    struct Swarm { const char* sheet; int amount, area, mx, mz, seed; };
    for (const Swarm& w : {Swarm{"Butterfly_Blue_8X4.png", 45, 300, 0, 0, 1},
                           Swarm{"Butterfly_Orange_8X4.png", 30, 160, 150, 150, 9}}) {
        const int b = create(TypeBillboard);
        texture(b, 'C', w.sheet);
        set(b, {{"Amount", w.amount}, {"Area size X", w.area}, {"Area size Z", w.area}, {"Ring", 0},
                {"Move X", w.mx}, {"Move Z", w.mz}, {"Seed", w.seed}, {"Width Min", 26}, {"Width RND", 10},
                {"Height Min", 22}, {"Height RND", 8}, {"Map X", 8}, {"Map Z", 4}, {"Animate Off On", 1},
                {"Animate End", 31}, {"Animate Start RND", 32}});
    }
    dzApp->dialogs()->queueFileName(sample);
    a->saveScene();
    // The pane writes texture paths absolute; the library's copy names them from its root.
    const QString text = readAll(sample).replace(QStringLiteral(VERDIX_LIBRARY_DIR "/"), QString());
    ASSERT_FALSE(text.isEmpty());
    ASSERT_TRUE(DzSafeFile::writeAll(sample, text.toUtf8(), nullptr));
}

TEST_F(Butterflies, OpensWithItsMeadowStonesAndAnimatedSwarms)
{
    const QString inLibrary = QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Butterflies.txt");
    ASSERT_EQ(readAll(inLibrary), readAll(sample));
    ASSERT_TRUE(pane->openSetDocument(inLibrary)) << qPrintable(status());
    const int types[] = {TypeLandscape, TypeGrass, TypeGrass, TypeGrass, TypeStones, TypeBillboard, TypeBillboard};
    ASSERT_EQ(a->boxes().count(), 7);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(box(i).type, types[i]) << i;
    // Everything stands on the terrain, stones included.
    const DzVec3 stoneGround = (verts(4)[6 * 16] + verts(4)[6 * 16 + 8]) * 0.5f;
    EXPECT_NEAR(stoneGround.y(), pane->heightAt(0, stoneGround.x(), stoneGround.z()), 2.f);
    EXPECT_GT(box(4).stonesLastPass.blades, 70);

    // The swarms play their sheets with the frame counter and face the camera.
    camera()->setWSPos(DzVec3(600.f, 400.f, 700.f));
    std::set<int> frames;
    for (int t = 0; t < 6; ++t) {
        tick();
        frames.insert(box(5).billboardLastPass.frameShown);
    }
    EXPECT_EQ(frames.size(), 6u);
    const std::vector<DzVec3> v = verts(5);
    DzVec3 edge = v[1] - v[0], to = (v[0] + v[1]) * 0.5f - camera()->getWSPos();
    edge.setY(0.f);
    to.setY(0.f);
    EXPECT_NEAR(edge.normalized().dot(to.normalized()), 0.f, 2e-3f);
    // Texture paths are written absolute; the library names them from its own root.
    EXPECT_EQ(pane->setDocumentText().replace(QStringLiteral(VERDIX_LIBRARY_DIR "/"), QString()), readAll(sample));
}
