// Flower boxes in the pane: creation, slider routing, the animation tick, the library's
// presets and its flower meadow.
#include <QLineEdit>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dzshape.h>
#include <set>
#include "fieldfixture.h"
#include "vegetation/flowerbox.h"

namespace {

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLatin1(f.readAll()) : QString();
}

class Flowers : public FieldTest
{
protected:
    int flower(int amount = 6)
    {
        const int i = create(TypeFlower);
        if (amount != 25) set(i, {{"Amount", amount}});
        return i;
    }
    DzIntSlider* windStrength() { return a->paneSliders()[2]; }
    void focus(QWidget* w)
    {
        w->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(w->hasFocus());
    }
    // A preset chosen from box i's list, as the user picks it.
    void choosePreset(int i, const QString& name)
    {
        QComboBox* list = box(i).combo('A');
        list->addItem(name);
        focus(list);
        list->setCurrentIndex(list->count() - 1);
    }
    void savePreset(int i, const QString& file)
    {
        focus(box(i).savePresetButton);
        dzApp->dialogs()->queueFileName(file);
        a->saveFlowerPreset();
    }
};

}  // namespace

TEST_F(Flowers, CreateBuildsThePatchWithItsFiveMaterials)
{
    const int i = flower(25);
    EXPECT_EQ(status(), "Added flowers");
    ASSERT_NE(nodeOf(i), nullptr);
    DzShape* shape = nodeOf(i)->getObject()->getShape(0);
    QStringList names;
    for (int m = 0; m < shape->getNumMaterials(); ++m) names << shape->getMaterial(m)->getName();
    EXPECT_EQ(names, (QStringList{"Stem", "PetalIn", "PetalOut", "Leaf", "Pistil"}));
    const DzFacetMesh* m = mesh(i);
    EXPECT_GT(m->getNumVertices(), 25 * 9 * 9);
    EXPECT_EQ(box(i).builderCount, m->getNumVertices());
}

TEST_F(Flowers, PistilAtlasSlidersRebuildEveryFlowerBox)
{
    showPane();
    const int f0 = flower(3), f1 = flower(3);
    // A focused slider rebuilds its own box only (the tree tests); the pistil sheet's sliders
    // are never asked for focus: every flower box is rebuilt.
    const quint64 r0 = mesh(f0)->revision(), r1 = mesh(f1)->revision();
    const int uvs = mesh(f1)->getUVs()->getNumValues();
    focus(slider(f1, "Pistil outer Map X")->lineEdit());
    slider(f1, "Pistil outer Map X")->setValue(3);
    EXPECT_GT(mesh(f0)->revision(), r0);
    EXPECT_GT(mesh(f1)->revision(), r1);
    EXPECT_EQ(mesh(f1)->getUVs()->getNumValues(), uvs + 2 * 8 * (9 + 1));
    EXPECT_EQ(box(f1).builderCount, mesh(f1)->getNumVertices());
}

TEST_F(Flowers, TicksSwayOnlyWithWindStrength)
{
    windStrength()->setValue(0);
    const int i = flower(8);
    ASSERT_TRUE(pane->updateBox(i));
    const std::vector<DzVec3> still = verts(i);
    a->draw();
    a->draw();
    EXPECT_EQ(verts(i), still);
    windStrength()->setValue(100);
    a->phase() = 40.f;
    a->draw();
    const std::vector<DzVec3> moved = verts(i);
    ASSERT_EQ(moved.size(), still.size());
    EXPECT_NE(moved, still);
    // Feet stay where they stand; only what is above them sways.
    EXPECT_EQ(moved[0], still[0]);

    // Low detail: three plants at most, back to the patch when it is switched off.
    set(i, {{"Stem Count", 1}, {"Stem Count RND", 1}});
    for (bool low : {true, false}) {
        a->lowLod()->setChecked(low);
        a->lowLODMode();
        EXPECT_EQ(generatorOf<FlowerBox>(box(i))->lastPass.stems, low ? 3 : 8);
    }
}

// The library's presets, written by the pane itself; each opens through a box's preset list
// and saves back to the same text.
TEST_F(Flowers, LibraryPresetsOpenAndSaveBackUnchanged)
{
    showPane();
    // The presets choose the library's stem, petal and leaf textures; they resolve there.
    VerdixAssets::setTextureRoot(VERDIX_LIBRARY_DIR);
    std::set<int> counts;
    std::set<QString> petalColours;
    for (const char* name :
         {"Daisy.txt", "Tulip.txt", "Poppy_Field.txt", "Bluebells.txt", "Sunflower.txt", "Wildflower_Mix.txt"}) {
        SCOPED_TRACE(name);
        const QString text = readAll(QString(VERDIX_SAMPLE_DIR "/Verdix_Presets_Flower/") + name);
        ASSERT_TRUE(text.startsWith("FlowerV1,0,0,")) << "missing or not a flower preset";
        ASSERT_EQ(readAll(QString(VERDIX_LIBRARY_DIR "/Verdix_Presets_Flower/") + name), text);
        file(QString("Verdix_Presets_Flower/") + name, text.toLatin1());
        const int i = flower(3);
        choosePreset(i, name);
        counts.insert(mesh(i)->getNumVertices());
        savePreset(i, root.path() + "/again.txt");
        // The pane writes the texture paths in full; the library names them from its root.
        const QString again = readAll(root.path() + "/again.txt").replace(QString(VERDIX_LIBRARY_DIR "/"), QString());
        EXPECT_EQ(again.toStdString(), text.toStdString());
        const QStringList f = text.split(',');
        ASSERT_GT(f.indexOf("PetalOut"), 0);
        EXPECT_EQ(f.value(f.indexOf("PetalOut") + 1), "Path") << "the petals have no texture";
        petalColours.insert(text.section("PetalOut", 1).section("Diffuse Color,", 2, 2).section(',', 0, 0));
    }
    // Six plants that look different: in size and in colour.
    EXPECT_EQ(counts.size(), 6u);
    EXPECT_GE(petalColours.size(), 5u);
}

TEST_F(Flowers, MeadowFlowersStandOnTheirTerrain)
{
    const QString sample = QStringLiteral(VERDIX_LIBRARY_DIR "/Verdix_Scene/Flower Meadow.txt");
    ASSERT_EQ(readAll(sample), readAll(VERDIX_SAMPLE_DIR "/Verdix_Scene/Flower Meadow.txt"));
    VerdixAssets::setTextureRoot(VERDIX_LIBRARY_DIR);
    ASSERT_TRUE(pane->openSetDocument(sample)) << qPrintable(status());
    int flowers = 0, grass = 0;
    for (int i = 0; i < a->boxes().count(); ++i) {
        grass += box(i).type == TypeGrass;
        if (box(i).type != TypeFlower) continue;
        ++flowers;
        const DzVec3 foot = mesh(i)->getVertex(0);
        EXPECT_NEAR(foot.y(), pane->heightAt(box(i).landscapeIndex, foot.x(), foot.z()), 0.5f) << i;
    }
    EXPECT_GE(flowers, 5);
    EXPECT_GE(grass, 1);
}

// Flowers whose sliders ask for more than memory holds are refused before anything is let
// go, as terrains are, and the refusal is an error (a batch run fails), not only a status.
TEST_F(Flowers, FlowersPastTheFreeMemoryAreRefusedAndKeepTheirMesh)
{
    const int i = flower(6);
    const std::vector<DzVec3> before = verts(i);
    ASSERT_FALSE(before.empty());
    a->setFreeMemory([] { return 64LL << 20; });
    a->setLoading(true);
    for (DzIntSlider* s : box(i).sliders) s->setValue(s->getMax());
    a->setLoading(false);
    const int errors = dzApp->dialogs()->errorCount();
    update("UpdateFlower", i, true);
    a->setFreeMemory(nullptr);
    EXPECT_EQ(dzApp->dialogs()->errorCount(), errors + 1);
    EXPECT_TRUE(status().startsWith("Error: these flowers need more than the 0.1 GB free")) << qPrintable(status());
    EXPECT_EQ(verts(i), before);
    // Nor do the ticks walk the sliders it refused.
    tick();
    EXPECT_EQ(verts(i), before);
}
