// Writes the tree presets and the "Grove" sample through the pane's own preset save and set
// document, so the library holds exactly what the pane writes.
//   tree_library_writer <generated library> <repository library> [--only-presets]
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzintslider.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzscene.h>

#include "pane/verdixpane.h"
#include "plugin/assetfolders.h"
#include "tests/trees/treepresets.h"

extern "C" DzPlugin* getPluginDefinition();

class VerdixPaneTestAccess
{
public:
    explicit VerdixPaneTestAccess(ZPK_VerdixPane* p) : pane(p) {}
    ZPK_VerdixPane* pane;

    int createTree()
    {
        const int i = pane->m_boxes.count();
        pane->Button_CreateTree();
        return pane->m_boxes.count() == i + 1 ? i : -1;
    }
    void apply(int i, const TreePresetDef& def)
    {
        pane->m_loading = true;
        if (def.shape) {
            QComboBox* shapes = pane->m_boxes[i].combo('B');
            const int k = shapes ? shapes->findText(QString::fromLatin1(def.shape)) : -1;
            if (k > 0) shapes->setCurrentIndex(k);
            else fprintf(stderr, "no shape %s\n", def.shape);
        }
        for (const TreeSliderValue& v : def.values) {
            DzIntSlider* s = pane->m_boxes[i].slider(QString::fromLatin1(v.name), v.occurrence);
            if (s) s->setValue(v.value);
            else fprintf(stderr, "no slider %s/%d\n", v.name, v.occurrence);
        }
        pane->m_loading = false;
        textures(i, def.file);
        pane->UpdateTree(i, true);
    }
    // Bark, leaf and fruit textures of each preset, chosen in the combos as a user would.
    void textures(int i, const char* file)
    {
        struct Choice { const char* preset; const char* bark; const char* leaf; const char* fruit; };
        static const Choice choices[] = {
            {"Broad Oak.txt", "Bark_Oak.png", "Leaf_Oak.png", nullptr},
            {"Tall Poplar.txt", "Bark_Pine.png", "Leaf_Birch.png", nullptr},
            {"Young Sapling.txt", "Bark_Birch.png", "Leaf_Maple.png", nullptr},
            {"Apple Tree.txt", "Bark_Oak.png", "Leaf_Maple.png", "Fruit_Apple.png"},
            {"Winter Birch.txt", "Bark_Birch.png", nullptr, nullptr},
        };
        for (const Choice& c : choices) {
            if (QByteArray(c.preset) != file) continue;
            choose(i, 'E', c.bark);
            choose(i, 'F', c.bark);
            choose(i, 'C', c.leaf);
            choose(i, 'D', c.fruit);
        }
    }
    void choose(int i, char letter, const char* name)
    {
        QComboBox* combo = name ? pane->m_boxes[i].combo(letter) : nullptr;
        const int k = combo ? combo->findText(QString::fromLatin1(name)) : -1;
        if (k > 0) combo->setCurrentIndex(k);
        else if (name) fprintf(stderr, "no texture %s\n", name);
    }
    void savePreset(int i) { pane->SavePreset(i, TypeTree, "Verdix_Presets_Tree", "TreeV1"); }
    void openPreset(int i) { pane->OpenPreset(i, TypeTree, "Verdix_Presets_Tree", "TreeV1", false); }
    void setXZ(int i, int x, int z)
    {
        pane->m_loading = true;
        pane->m_boxes[i].slider("X")->setValue(x);
        pane->m_boxes[i].slider("Z")->setValue(z);
        pane->m_loading = false;
        pane->UpdateTree(i, true);
    }
    float height(int land, float x, float z) { return pane->heightAt(land, x, z); }
    int count() const { return pane->m_boxes.count(); }
    void deleteLast() { pane->ControlBox_DeleteControl(true, false); }
    void setLandscape(int i, const char* name, int v)
    {
        pane->m_loading = true;
        pane->m_boxes[i].slider(QString::fromLatin1(name))->setValue(v);
        pane->m_loading = false;
    }
    void updateLandscape(int i) { pane->UpdateLandScape(i, true); }
};

// The pane writes texture paths absolute; the library's files name them from its own root.
static void nameFromRoot(const QString& path, const QString& root)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return;
    QByteArray text = f.readAll();
    f.close();
    text.replace((root + "/").toLatin1(), QByteArray());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: tree_library_writer <generated library> <repository library> [--only-presets]\n");
        return 1;
    }
    const QString generated = QString::fromLocal8Bit(argv[1]);
    const QString repo = QString::fromLocal8Bit(argv[2]);
    const bool onlyPresets = argc > 3 && QByteArray(argv[3]) == "--only-presets";
    // --singles DIR: also one set document per preset, the tree alone, for looking at it.
    const QString singles = argc > 4 && QByteArray(argv[3]) == "--singles" ? QString::fromLocal8Bit(argv[4]) : QString();
    DzHostSession session;
    QString error;
    if (!dzApp->getPluginMgr()->addPlugin(getPluginDefinition(), &error)) {
        fprintf(stderr, "cannot register the plug-in: %s\n", qPrintable(error));
        return 2;
    }
    VerdixAssets::setTextureRoot(generated);
    auto* pane = qobject_cast<ZPK_VerdixPane*>(dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"));
    if (!pane) return 2;
    pane->show();
    VerdixPaneTestAccess a(pane);

    QDir().mkpath(repo + "/Verdix_Presets_Tree");
    for (const TreePresetDef& def : treePresets()) {
        const int i = a.createTree();
        if (i < 0) return 3;
        a.apply(i, def);
        dzApp->dialogs()->queueFileName(repo + "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file));
        a.savePreset(i);
        nameFromRoot(repo + "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file), generated);
        // The library's own copy, so the sample below opens what was just written.
        QFile::remove(generated + "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file));
        QFile::copy(repo + "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file),
                    generated + "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file));
    }
    if (!singles.isEmpty()) {
        for (const TreePresetDef& def : treePresets()) {
            while (a.count() > 0) a.deleteLast();
            const int i = a.createTree();
            dzApp->dialogs()->queueFileName(generated + "/Verdix_Presets_Tree/" + QString::fromLatin1(def.file));
            a.openPreset(i);
            a.setXZ(i, 0, 0);
            QFile f(singles + "/" + QString::fromLatin1(def.file));
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(pane->setDocumentText().toLatin1());
        }
        return 0;
    }
    if (onlyPresets) return 0;

    // The grove: the meadow's hill and grass, trees of several presets on its slopes.
    if (!pane->openSetDocument(generated + "/Verdix_Scene/Meadow.txt")) {
        fprintf(stderr, "cannot open the meadow\n");
        return 4;
    }
    // A wider, steeper hill than the meadow's, so the trees have room and slopes.
    a.setLandscape(0, "Size XZ", 500);
    a.setLandscape(0, "Size Y", 160);
    a.updateLandscape(0);
    for (const GroveTree& g : groveTrees()) {
        const int i = a.createTree();
        dzApp->dialogs()->queueFileName(generated + "/Verdix_Presets_Tree/" + QString::fromLatin1(g.preset));
        a.openPreset(i);
        a.setXZ(i, g.x, g.z);
        fprintf(stderr, "%s at (%d, %d): ground %.1f\n", g.preset, g.x, g.z, a.height(0, float(g.x), float(g.z)));
    }
    QFile out(repo + "/Verdix_Scene/Grove.txt");
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 5;
    out.write(pane->setDocumentText().replace(generated + "/", QString()).toLatin1());
    return 0;
}
