// The "Butterflies" set of the asset library: a meadow with a stone field and two swarms of
// animated butterflies, opened over the library the build generates.
#include <QFile>
#include <set>
#include "fieldfixture.h"
#include "objects/stonesbox.h"
#include "animation/billboardbox.h"

namespace {
QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLatin1(f.readAll()) : QString();
}
using Butterflies = FieldTest;
}  // namespace

TEST_F(Butterflies, OpensWithItsMeadowStonesAndAnimatedSwarms)
{
    VerdixAssets::setTextureRoot(QStringLiteral(VERDIX_LIBRARY_DIR));
    const QString sample = QStringLiteral(VERDIX_SAMPLE_DIR "/Verdix_Scene/Butterflies.txt");
    const QString inLibrary = QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Butterflies.txt");
    ASSERT_EQ(readAll(inLibrary), readAll(sample));
    ASSERT_TRUE(pane->openSetDocument(inLibrary)) << qPrintable(status());
    const int types[] = {TypeLandscape, TypeGrass, TypeGrass, TypeGrass, TypeStones, TypeBillboard, TypeBillboard};
    ASSERT_EQ(a->boxes().count(), 7);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(box(i).type, types[i]) << i;
    // Everything stands on the terrain, stones included.
    const DzVec3 stoneGround = (verts(4)[6 * 16] + verts(4)[6 * 16 + 8]) * 0.5f;
    EXPECT_NEAR(stoneGround.y(), pane->heightAt(0, stoneGround.x(), stoneGround.z()), 2.f);
    EXPECT_GT(generatorOf<StonesBox>(box(4))->lastPass.blades, 70);

    // The swarms play their sheets with the frame counter.
    std::set<int> frames;
    for (int t = 0; t < 6; ++t) {
        tick();
        frames.insert(generatorOf<BillboardBox>(box(5))->lastPass.frameShown);
    }
    EXPECT_EQ(frames.size(), 6u);
    // Texture paths are written absolute; the library names them from its own root.
    EXPECT_EQ(pane->setDocumentText().replace(QStringLiteral(VERDIX_LIBRARY_DIR "/"), QString()), readAll(sample));
}
