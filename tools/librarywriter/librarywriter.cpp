// Writes the hand-made files of the asset library through the pane's own saves, so the library
// holds exactly what the pane writes. Run by hand when a preset or a sample changes:
//   library_writer trees <generated library> <repository library> [--only-presets | --singles DIR]
//   library_writer flowers <generated library> <repository library>
//   library_writer butterflies <generated library> <repository library>
//   library_writer eroded <generated library> <repository library>
//   library_writer valley <generated library> <repository library>
// The generated library (build/VerdixLibrary) gives the textures the combos offer; the files go
// into the repository's library/. "trees" writes the tree presets and the "Grove" sample
// (--singles DIR: one set document per preset instead of the Grove, the tree alone), "flowers"
// the flower presets and the "Flower Meadow", "butterflies" the "Butterflies" sample, "eroded"
// the "Eroded Valley" sample with its User file "Eroded Valley.dat", "valley" the "Valley":
// every generator in one scene (it reads the tree and flower presets already in the repository's
// library).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <cstdio>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzplugin.h>
#include <dzsafefile.h>
#include <dzscene.h>

#include "flowerpresets.h"
#include "materials/materialcore.h"
#include "paneaccess.h"
#include "plugin/assetfolders.h"
#include "treepresets.h"

extern "C" DzPlugin* getPluginDefinition();

namespace {

using Values = std::vector<std::pair<const char*, int>>;

struct Writer
{
    ZPK_VerdixPane* pane;
    VerdixPaneTestAccess a;
    QString generated, repo;
    bool ok = true;

    Writer(ZPK_VerdixPane* p, const QString& gen, const QString& rep) : pane(p), a(p), generated(gen), repo(rep) {}

    void complain(const QString& what)
    {
        fprintf(stderr, "library_writer: %s\n", qPrintable(what));
        ok = false;
    }
    ControlBox& box(int i) { return a.boxes()[i]; }
    DzNode* nodeOf(int i) { return dzScene->findNodeByLabel(box(i).groupBox->title()); }
    int create(int type)
    {
        const int i = a.boxes().count();
        if (!pane->createBoxOfType(type)) complain(QString("no box of type %1").arg(type));
        return i;
    }
    // Sets sliders without their routing, then runs the box's update once.
    void set(int i, const Values& values, bool update = true)
    {
        a.setLoading(true);
        for (const auto& v : values) {
            if (DzIntSlider* s = box(i).slider(QString::fromLatin1(v.first))) s->setValue(v.second);
            else complain(QString("no slider %1").arg(v.first));
        }
        a.setLoading(false);
        if (update) pane->updateBox(i);
    }
    // Chooses an entry of one of the box's combos by name, as the user would; with focus the
    // change goes through the combo's own routing.
    void choose(int i, char letter, const char* name, bool focus = false)
    {
        if (!name) return;
        QComboBox* c = box(i).combo(letter);
        const int at = c ? c->findText(QString::fromLatin1(name)) : -1;
        if (at < 1) {
            if (!focus) complain(QString("no %1 in combo %2").arg(name).arg(letter));
            return;
        }
        if (focus) {
            c->setFocus();
            QApplication::processEvents();
        }
        c->setCurrentIndex(at);
    }
    void empty()
    {
        while (a.boxes().count() > 0) a.deleteControl(true, false);
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        a.selector()->clear();
        dzScene->clear();
    }
    // The pane writes texture paths absolute; the library's files name them from its own root.
    void nameFromRoot(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return complain("cannot read " + path);
        QByteArray text = f.readAll();
        f.close();
        text.replace((generated + "/").toLatin1(), QByteArray());
        if (!DzSafeFile::writeAll(path, text, nullptr)) complain("cannot write " + path);
    }
    static QString readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLatin1(f.readAll()) : QString();
    }

    // ---- Trees ----
    void applyTree(int i, const TreePresetDef& def)
    {
        a.setLoading(true);
        if (def.shape) choose(i, 'B', def.shape);
        for (const TreeSliderValue& v : def.values) {
            if (DzIntSlider* s = box(i).slider(QString::fromLatin1(v.name), v.occurrence)) s->setValue(v.value);
            else complain(QString("no slider %1/%2").arg(v.name).arg(v.occurrence));
        }
        a.setLoading(false);
        // Bark, leaf and fruit textures of each preset.
        struct Choice
        {
            const char* preset;
            const char* bark;
            const char* leaf;
            const char* fruit;
        };
        static const Choice choices[] = {
            {"Broad Oak.txt", "Bark_Oak.png", "Leaf_Oak.png", nullptr},
            {"Tall Poplar.txt", "Bark_Pine.png", "Leaf_Birch.png", nullptr},
            {"Young Sapling.txt", "Bark_Birch.png", "Leaf_Maple.png", nullptr},
            {"Apple Tree.txt", "Bark_Oak.png", "Leaf_Maple.png", "Fruit_Apple.png"},
            {"Winter Birch.txt", "Bark_Birch.png", nullptr, nullptr},
        };
        for (const Choice& c : choices) {
            if (QByteArray(c.preset) != def.file) continue;
            choose(i, 'E', c.bark);
            choose(i, 'F', c.bark);
            choose(i, 'C', c.leaf);
            choose(i, 'D', c.fruit);
        }
        pane->updateBox(i);
    }
    void openTreePreset(int i, const char* file)
    {
        dzApp->dialogs()->queueFileName(generated + "/Verdix_Presets_Tree/" + QString::fromLatin1(file));
        QMetaObject::invokeMethod(pane, "OpenPreset", Qt::DirectConnection, Q_ARG(int, i), Q_ARG(int, TypeTree),
                                  Q_ARG(QString, "Verdix_Presets_Tree"), Q_ARG(QString, "TreeV1"), Q_ARG(bool, false));
    }
    void trees(bool onlyPresets, const QString& singles)
    {
        QDir().mkpath(repo + "/Verdix_Presets_Tree");
        for (const TreePresetDef& def : treePresets()) {
            const QString rel = "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file);
            const int i = create(TypeTree);
            applyTree(i, def);
            dzApp->dialogs()->queueFileName(repo + rel);
            a.savePreset(i, TypeTree, "Verdix_Presets_Tree", "TreeV1");
            nameFromRoot(repo + rel);
            // The library's own copy, so the samples below open what was just written.
            QFile::remove(generated + rel);
            QFile::copy(repo + rel, generated + rel);
        }
        if (!singles.isEmpty()) {
            for (const TreePresetDef& def : treePresets()) {
                empty();
                const int i = create(TypeTree);
                openTreePreset(i, def.file);
                set(i, {{"X", 0}, {"Z", 0}});
                QFile f(singles + "/" + QString::fromLatin1(def.file));
                if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    return complain("cannot write " + f.fileName());
                f.write(pane->setDocumentText().toLatin1());
            }
            return;
        }
        if (onlyPresets) return;

        // The grove: the meadow's hill and grass, trees of several presets on its slopes.
        if (!pane->openSetDocument(generated + "/Verdix_Scene/Meadow.txt")) return complain("cannot open the meadow");
        // A wider, steeper hill than the meadow's, so the trees have room and slopes.
        set(0, {{"Size XZ", 500}, {"Size Y", 160}}, false);
        QMetaObject::invokeMethod(pane, "UpdateLandScape", Qt::DirectConnection, Q_ARG(int, 0), Q_ARG(bool, true));
        for (const GroveTree& g : groveTrees()) {
            const int i = create(TypeTree);
            openTreePreset(i, g.preset);
            set(i, {{"X", g.x}, {"Z", g.z}});
            fprintf(stderr, "%s at (%d, %d): ground %.1f\n", g.preset, g.x, g.z,
                    pane->heightAt(0, float(g.x), float(g.z)));
        }
        QFile out(repo + "/Verdix_Scene/Grove.txt");
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return complain("cannot write the grove");
        out.write(pane->setDocumentText().replace(generated + "/", QString()).toLatin1());
    }

    // ---- Flowers ----
    void flowers()
    {
        QDir().mkpath(repo + "/Verdix_Presets_Flower");
        for (const FlowerPresetDef& p : flowerPresets()) {
            const int i = create(TypeFlower);
            set(i, p.values);
            choose(i, 'B', p.stemTex, true);
            choose(i, 'C', p.leafTex, true);
            choose(i, 'D', p.petalTex, true);
            choose(i, 'E', p.petalTex, true);
            choose(i, 'F', p.pistilTex, true);
            const std::pair<const char*, int> colours[] = {{"Stem", p.stem},
                                                           {"Leaf", p.leaf},
                                                           {"PetalIn", p.petalIn},
                                                           {"PetalOut", p.petalOut},
                                                           {"Pistil", p.pistil}};
            for (const auto& c : colours)
                verdix::setMaterialValue(nodeOf(i), c.first, "Diffuse Color", double(c.second));
            box(i).savePresetButton->setFocus();
            QApplication::processEvents();
            dzApp->dialogs()->queueFileName(repo + "/Verdix_Presets_Flower/" + QString::fromLatin1(p.file));
            a.saveFlowerPreset();
            if (a.status()->text() != "Preset saved!") complain(QString("%1 not saved").arg(p.file));
            nameFromRoot(repo + "/Verdix_Presets_Flower/" + QString::fromLatin1(p.file));
        }
        empty();

        const int L = create(TypeLandscape);
        choose(L, 'C', "Hill_B.png");
        set(L, {{"Land", 30},
                {"Hill", 40},
                {"Smooth", 40},
                {"TILES", 4},
                {"DIVISIONS", 25},
                {"Size XZ", 120},
                {"Size Y", 40}});
        verdix::setMaterialValue(nodeOf(L), "Landscape", "Diffuse Color", double(0x6B8F3E));
        for (const MeadowGrass& g : meadowGrass()) {
            const int i = create(TypeGrass);
            set(i, {{"Shape", g.shape},
                    {"Area size X", g.ax},
                    {"Area size Z", g.az},
                    {"Move X", g.mx},
                    {"Move Z", g.mz},
                    {"Amount", g.amount},
                    {"Seed", g.seed},
                    {"Height Min", 8},
                    {"Height RND", 8},
                    {"Clump Min", 3},
                    {"Clump RND", 6}});
            verdix::setMaterialValue(nodeOf(i), "Grass", "Diffuse Color", double(0x5E9A35));
        }
        for (const MeadowPatch& p : meadowPatches()) {
            const int i = create(TypeFlower);
            QString text =
                readAll(repo + "/Verdix_Presets_Flower/" + QString::fromLatin1(p.preset)).section('\n', 0, 0);
            if (text.isEmpty()) return complain(QString("no preset %1").arg(p.preset));
            a.setLoading(true);
            a.read(i, TypeFlower, "FlowerV1", text, true);
            a.setLoading(false);
            set(i, {{"X", p.x},
                    {"Z", p.z},
                    {"Area X", p.ax},
                    {"Area Y", p.az},
                    {"A Shape", p.shape},
                    {"A Ring", p.ring},
                    {"A Rotate", p.rotate},
                    {"A Sector Size", p.sectorSize},
                    {"A Sector Start", p.sectorStart}});
            if (box(i).landscapeIndex != L) complain(QString("%1 is not on the landscape").arg(p.preset));
        }
        dzApp->dialogs()->queueFileName(repo + "/Verdix_Scene/Flower Meadow.txt");
        a.saveScene();
        nameFromRoot(repo + "/Verdix_Scene/Flower Meadow.txt");
    }

    // ---- Butterflies ----
    void butterflies()
    {
        const int L = create(TypeLandscape);
        choose(L, 'C', "Hill_B.png");
        choose(L, 'G', "Ground_Meadow.png");
        set(L, {{"Land", 30},
                {"Hill", 40},
                {"Smooth", 40},
                {"TILES", 4},
                {"DIVISIONS", 25},
                {"Size XZ", 200},
                {"Size Y", 50}});

        struct Patch
        {
            int shape, ax, az, mx, mz, amount, seed;
        };
        for (const Patch& p : {Patch{100, 110, 110, -190, -170, 7000, 3}, Patch{1, 80, 80, 200, -160, 5000, 7},
                               Patch{40, 120, 70, -200, 200, 6000, 11}}) {
            const int g = create(TypeGrass);
            choose(g, 'C', "Grass_Green.png");
            set(g, {{"Shape", p.shape},
                    {"Area size X", p.ax},
                    {"Area size Z", p.az},
                    {"Move X", p.mx},
                    {"Move Z", p.mz},
                    {"Amount", p.amount},
                    {"Seed", p.seed},
                    {"Height Min", 22},
                    {"Height RND", 12},
                    {"Clump Min", 3},
                    {"Clump RND", 6}});
        }

        const int s = create(TypeStones);
        choose(s, 'C', "Grass_Green.png");
        choose(s, 'D', "Stone_Granite.png");
        set(s, {{"Stone Amount", 70},
                {"Area size X", 90},
                {"Area size Z", 90},
                {"A Shape", 100},
                {"Move X", 170},
                {"Move Z", 170},
                {"Stone Size X", 90},
                {"Stone Size Y", 60},
                {"Stone Size Z", 80},
                {"Stone LOD", 16},
                {"Rough", 30},
                {"Grass", 8},
                {"Height Min", 10},
                {"Height RND", 8},
                {"Clump RND", 4},
                {"Seed", 5}});

        struct Swarm
        {
            const char* sheet;
            int amount, area, mx, mz, seed;
        };
        for (const Swarm& w : {Swarm{"Butterfly_Blue_8X4.png", 45, 300, 0, 0, 1},
                               Swarm{"Butterfly_Orange_8X4.png", 30, 160, 150, 150, 9}}) {
            const int b = create(TypeBillboard);
            choose(b, 'C', w.sheet);
            set(b, {{"Amount", w.amount},
                    {"Area size X", w.area},
                    {"Area size Z", w.area},
                    {"Ring", 0},
                    {"Move X", w.mx},
                    {"Move Z", w.mz},
                    {"Seed", w.seed},
                    {"Width Min", 26},
                    {"Width RND", 10},
                    {"Height Min", 22},
                    {"Height RND", 8},
                    {"Map X", 8},
                    {"Map Z", 4},
                    {"Animate Off On", 1},
                    {"Animate End", 31},
                    {"Animate Start RND", 32}});
        }
        const QString sample = repo + "/Verdix_Scene/Butterflies.txt";
        dzApp->dialogs()->queueFileName(sample);
        a.saveScene();
        nameFromRoot(sample);
    }

    // ---- Eroded Valley ----
    // Hills cut by a river, eroded by rain and sliding ground through the pane's own erosion;
    // grass and stones stand on the eroded ground.
    void eroded()
    {
        const int L = create(TypeLandscape);
        choose(L, 'A', "Ground_B.png");
        choose(L, 'B', "River_A.png");
        choose(L, 'C', "Hill_A.png");
        choose(L, 'G', "Ground_Rock.png");
        set(L, {{"Land", 30},
                {"River", 50},
                {"Hill", 45},
                {"Flat", 0},
                {"Path", 0},
                {"Smooth", 20},
                {"DeNoise", 0},
                {"TILES", 4},
                {"DIVISIONS", 50},
                {"Size XZ", 300},
                {"Size Y", 50}});
        const QVariantMap erosion{{"iterations", 40000},
                                  {"rain", 1},
                                  {"capacity", 4},
                                  {"thermal", 50},
                                  {"thermalPasses", 40},
                                  {"seed", 11},
                                  {"name", "Eroded Valley.dat"}};
        if (!pane->erodeLandscape(L, erosion)) return complain("erosion failed: " + a.status()->text());
        const QString dat = "/Verdix_Landscape_User/Eroded Valley.dat";
        QDir().mkpath(repo + "/Verdix_Landscape_User");
        QFile::remove(repo + dat);
        if (!QFile::copy(generated + dat, repo + dat)) return complain("cannot copy " + dat);

        struct Patch
        {
            int shape, ax, az, mx, mz, amount, seed;
        };
        for (const Patch& p : {Patch{100, 220, 220, -300, 250, 12000, 4}, Patch{40, 200, 120, 300, -200, 9000, 8}}) {
            const int g = create(TypeGrass);
            choose(g, 'C', "Grass_Green.png");
            set(g, {{"Shape", p.shape},
                    {"Area size X", p.ax},
                    {"Area size Z", p.az},
                    {"Move X", p.mx},
                    {"Move Z", p.mz},
                    {"Amount", p.amount},
                    {"Seed", p.seed},
                    {"Height Min", 18},
                    {"Height RND", 10},
                    {"Clump Min", 3},
                    {"Clump RND", 6}});
        }
        const int s = create(TypeStones);
        choose(s, 'D', "Stone_Granite.png");
        set(s, {{"Stone Amount", 60},
                {"Area size X", 250},
                {"Area size Z", 250},
                {"A Shape", 100},
                {"Move X", 0},
                {"Move Z", 0},
                {"Stone Size X", 70},
                {"Stone Size Y", 50},
                {"Stone Size Z", 60},
                {"Stone LOD", 16},
                {"Rough", 30},
                {"Seed", 6}});
        const QString sample = repo + "/Verdix_Scene/Eroded Valley.txt";
        dzApp->dialogs()->queueFileName(sample);
        a.saveScene();
        nameFromRoot(sample);
    }

    // ---- Valley ----
    // A bowl of a valley with a path winding through it, meadow grass on its floor, a grove
    // on its slopes, flowers along the path, stone fields with tufts, butterflies over the
    // flowers.
    void valley()
    {
        const int L = create(TypeLandscape);
        choose(L, 'C', "Hill_B.png");
        choose(L, 'E', "Path_A.jpg");
        choose(L, 'G', "Ground_Meadow.png");
        set(L, {{"Land", 30},
                {"Hill", -45},
                {"Path", -12},
                {"Smooth", 60},
                {"TILES", 6},
                {"DIVISIONS", 40},
                {"Size XZ", 500},
                {"Size Y", 160}});

        struct Patch
        {
            const char* tex;
            int shape, ax, az, mx, mz, amount, seed, height;
        };
        for (const Patch& p : {Patch{"Grass_Green.png", 100, 420, 260, -250, -420, 30000, 3, 26},
                               Patch{"Grass_Lush.png", 100, 380, 300, 300, 380, 30000, 5, 30},
                               Patch{"Grass_Green.png", 1, 300, 300, 420, -330, 18000, 7, 24},
                               Patch{"Grass_Dry.png", 40, 360, 240, -430, 380, 18000, 11, 22}}) {
            const int g = create(TypeGrass);
            choose(g, 'C', p.tex);
            set(g, {{"Shape", p.shape},
                    {"Area size X", p.ax},
                    {"Area size Z", p.az},
                    {"Move X", p.mx},
                    {"Move Z", p.mz},
                    {"Amount", p.amount},
                    {"Seed", p.seed},
                    {"Height Min", p.height},
                    {"Height RND", 14},
                    {"Clump Min", 3},
                    {"Clump RND", 6}});
        }

        struct Tree
        {
            const char* preset;
            int x, z;
        };
        for (const Tree& t :
             {Tree{"Broad Oak.txt", -620, -560}, Tree{"Tall Poplar.txt", 640, -700}, Tree{"Apple Tree.txt", 560, 520},
              Tree{"Winter Birch.txt", -760, 420}, Tree{"Young Sapling.txt", -260, 720},
              Tree{"Tall Poplar.txt", 820, -260}, Tree{"Broad Oak.txt", -150, -820}}) {
            const int i = create(TypeTree);
            openTreePreset(i, t.preset);
            set(i, {{"X", t.x}, {"Z", t.z}});
        }

        struct Flowers
        {
            const char* preset;
            int x, z, ax, az;
        };
        for (const Flowers& f :
             {Flowers{"Daisy.txt", -520, 60, 90, 70}, Flowers{"Poppy_Field.txt", -200, -40, 110, 70},
              Flowers{"Bluebells.txt", 120, 40, 90, 70}, Flowers{"Wildflower_Mix.txt", 420, -60, 100, 70}}) {
            const int i = create(TypeFlower);
            QString text =
                readAll(repo + "/Verdix_Presets_Flower/" + QString::fromLatin1(f.preset)).section('\n', 0, 0);
            if (text.isEmpty()) return complain(QString("no preset %1").arg(f.preset));
            a.setLoading(true);
            a.read(i, TypeFlower, "FlowerV1", text, true);
            a.setLoading(false);
            set(i, {{"X", f.x},
                    {"Z", f.z},
                    {"Area X", f.ax},
                    {"Area Y", f.az},
                    {"A Shape", 100},
                    {"A Ring", 0},
                    {"A Rotate", 0},
                    {"A Sector Size", 0},
                    {"A Sector Start", 0}});
        }

        struct Stones
        {
            const char* tex;
            int amount, area, mx, mz, seed;
        };
        for (const Stones& st :
             {Stones{"Stone_Granite.png", 60, 150, 250, 700, 5}, Stones{"Stone_Mossy.png", 45, 130, -700, -150, 9}}) {
            const int i = create(TypeStones);
            choose(i, 'C', "Grass_Green.png");
            choose(i, 'D', st.tex);
            set(i, {{"Stone Amount", st.amount},
                    {"Area size X", st.area},
                    {"Area size Z", st.area},
                    {"A Shape", 100},
                    {"Move X", st.mx},
                    {"Move Z", st.mz},
                    {"Stone Size X", 90},
                    {"Stone Size Y", 60},
                    {"Stone Size Z", 80},
                    {"Stone LOD", 16},
                    {"Rough", 30},
                    {"Grass", 8},
                    {"Height Min", 14},
                    {"Height RND", 8},
                    {"Clump RND", 4},
                    {"Seed", st.seed}});
        }

        struct Swarm
        {
            const char* sheet;
            int amount, area, mx, mz, seed;
        };
        for (const Swarm& w : {Swarm{"Butterfly_Blue_8X4.png", 30, 300, -360, 20, 1},
                               Swarm{"Butterfly_Orange_8X4.png", 30, 300, 270, -20, 9}}) {
            const int b = create(TypeBillboard);
            choose(b, 'C', w.sheet);
            set(b, {{"Amount", w.amount},
                    {"Area size X", w.area},
                    {"Area size Z", w.area / 2},
                    {"Ring", 0},
                    {"Move X", w.mx},
                    {"Move Z", w.mz},
                    {"Seed", w.seed},
                    {"Width Min", 26},
                    {"Width RND", 10},
                    {"Height Min", 40},
                    {"Height RND", 30},
                    {"Map X", 8},
                    {"Map Z", 4},
                    {"Animate Off On", 1},
                    {"Animate End", 31},
                    {"Animate Start RND", 32}});
        }
        const QString sample = repo + "/Verdix_Scene/Valley.txt";
        dzApp->dialogs()->queueFileName(sample);
        a.saveScene();
        nameFromRoot(sample);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray what = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (argc < 4 ||
        (what != "trees" && what != "flowers" && what != "butterflies" && what != "eroded" && what != "valley")) {
        fprintf(stderr,
                "usage: library_writer trees|flowers|butterflies|eroded|valley <generated library> <repository library>"
                " [--only-presets | --singles DIR]\n");
        return 1;
    }
    // Absolute, as the pane writes texture paths: the root is taken off them again.
    const QString generated = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QString repo = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
    const bool onlyPresets = argc > 4 && QByteArray(argv[4]) == "--only-presets";
    const QString singles =
        argc > 5 && QByteArray(argv[4]) == "--singles" ? QString::fromLocal8Bit(argv[5]) : QString();

    DzHostSession session;
    QString error;
    if (!dzApp->getPluginMgr()->addPlugin(getPluginDefinition(), &error)) {
        fprintf(stderr, "library_writer: cannot register the plug-in: %s\n", qPrintable(error));
        return 2;
    }
    VerdixAssets::setTextureRoot(generated);
    auto* pane = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    if (!pane) return 2;
    pane->show();
    QApplication::setActiveWindow(pane->window());
    QApplication::processEvents();
    if (what == "butterflies" || what == "valley") {
        auto* camera = dzApp->getInterface()->getViewportMgr()->getActiveViewport()->get3DViewport()->getCamera();
        camera->setWSPos(DzVec3(0.f, 0.f, 0.f));
    }

    Writer w(pane, generated, repo);
    if (what == "trees") w.trees(onlyPresets, singles);
    else if (what == "flowers") w.flowers();
    else if (what == "eroded") w.eroded();
    else if (what == "valley") w.valley();
    else w.butterflies();
    return w.ok ? 0 : 3;
}
