#include "boxfixture.h"
#include <QComboBox>
#include <QTimer>
#include <dzprogress.h>
#include <dzscene.h>
#include "persistence/boxrecord.h"

namespace {

class Documents : public BoxTest
{
protected:
    // 0 land, 1 grass on 0, 2 tree on 0, 3 bush, 4 land, 5 flower on 4, 6 stones on 4, 7 billboard on 4.
    // Documents are what is checked here: the meshes these values ask for are not built.
    void buildMixedPane()
    {
        for (int t = 0; t <= kLastType; ++t) a->setUpdateOverride(t, [](int, bool) {});
        for (int t :
             {TypeLandscape, TypeGrass, TypeTree, TypeBush, TypeLandscape, TypeFlower, TypeStones, TypeBillboard})
            t == TypeBush ? a->createBush() : void(addBox(t));
        int v = 1;
        for (int i = 0; i < a->boxes().count(); ++i)
            for (DzIntSlider* s : box(i).sliders) s->setValue(s->getMin() + (v++ % (s->getMax() - s->getMin() + 1)));
    }
    // Every box's title, and its record and landscape as a set document holds them.
    QString state() { return titles().join('|') + "\n" + pane->setDocumentText(); }
    // The set document of boxes of these types, as the pane stores it.
    QString documentOf(std::initializer_list<int> types, int amount = 0)
    {
        for (int t : types) addBox(t);
        if (amount) slider(1, "Amount")->setValue(amount);
        a->saveModelData();
        const QString doc = a->model()->coolText();
        reset();
        return doc;
    }
    QVector<int> boxTypes()
    {
        QVector<int> out;
        for (int i = 0; i < a->boxes().count(); ++i) out << box(i).type;
        return out;
    }
    static QString readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
};

}  // namespace

TEST_F(Documents, SaveClearOpenGivesTheSameBoxes)
{
    buildMixedPane();
    const QString set = root.path() + "/Verdix_Scene/set.txt";
    QDir().mkpath(root.path() + "/Verdix_Scene");
    dzApp->dialogs()->queueFileName(set);
    a->saveScene();
    EXPECT_EQ(a->status()->text(), "Preset saved!");
    const QString saved = readFile(set);
    ASSERT_TRUE(saved.startsWith("VerdixV1.0,6,2018\nLandscapeV1.0,"));
    EXPECT_TRUE(saved.endsWith("OnLandScapeList,0,0,0,0,0,4,4,4,;\n;"));
    EXPECT_EQ(saved, a->model()->coolText());
    EXPECT_EQ(saved.count('\n'), 9);  // header, seven records (no bush), landscape list

    a->deleteAll();
    a->deleteAll();
    ASSERT_EQ(a->boxes().count(), 0);
    dzScene->clear();
    dzApp->dialogs()->queueFileName(set);
    a->openScene();
    EXPECT_EQ(a->status()->text(), "Scene load finished..");
    // The bush has no record, so the boxes after it move up; everything else comes back. The
    // list is taken in order: the bush's entry goes to the box that took its place, and the
    // indices still count the bush.
    EXPECT_EQ(titles(),
              QStringList({"(0000) LandscapeV1.0", "(0001) GrassV1.0", "(0002) TreeV1.0", "(0003) LandscapeV1.0",
                           "(0004) FlowerV1.0", "(0005) StonesV1.0", "(0006) BillboardV1.0"}));
    const QString expected = QString(saved).replace("List,0,0,0,0,0,4,4,4,;", "List,0,0,0,0,0,4,4,;");
    EXPECT_EQ(pane->setDocumentText(), expected);
    EXPECT_EQ(a->model()->coolText(), expected);
    EXPECT_EQ(a->selector()->count(), 2);
    EXPECT_FALSE(a->merge()->isChecked());
}

TEST_F(Documents, MergeOffsetsIndicesAndTargetsTheSelectedLandscape)
{
    // A two-box document: a landscape (entry 0) and grass on it (entry 0).
    const QString doc = documentOf({TypeLandscape, TypeGrass}, 4321);
    for (int t : {TypeGrass, TypeLandscape, TypeTree}) addBox(t);
    ASSERT_EQ(a->selector()->currentText(), "(0001) LandscapeV1.0");
    const QStringList kept = titles();
    const QString before = state();

    // Cancel leaves everything as it was, the stored document included.
    a->saveModelData();
    const QString stored = a->model()->coolText();
    dzApp->dialogs()->queueButton(QMessageBox::Cancel);
    EXPECT_FALSE(a->openDocument(doc, true, true));
    EXPECT_EQ(state(), before);
    EXPECT_EQ(a->model()->coolText(), stored);
    EXPECT_EQ(messages().filter("Merge with"),
              QStringList({"Verdix: Merge with 3 controls, attach to (0001) LandscapeV1.0 landscape"}));

    const int lands[] = {box(0).landscapeIndex, box(1).landscapeIndex, box(2).landscapeIndex};
    dzApp->dialogs()->queueButton(QMessageBox::Yes);
    ASSERT_TRUE(a->openDocument(doc, true, true));
    ASSERT_EQ(a->boxes().count(), 5);
    EXPECT_TRUE(a->merge()->isChecked());
    EXPECT_EQ(titles(), kept + QStringList({"(0003) LandscapeV1.0", "(0004) GrassV1.0"}));
    EXPECT_EQ(slider(4, "Amount")->getValue(), 4321);
    // The landscape's own 0 takes the target; the grass keeps its landscape, offset by 3.
    const int want[] = {lands[0], lands[1], lands[2], 1, 3};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(box(i).landscapeIndex, want[i]) << i;
    EXPECT_EQ(a->selector()->currentText(), "(0001) LandscapeV1.0");

    // No: the pane's boxes are replaced.
    a->merge()->setChecked(false);
    dzApp->dialogs()->queueButton(QMessageBox::No);
    ASSERT_TRUE(a->openDocument(doc, true, true));
    EXPECT_EQ(a->boxes().count(), 2);
    EXPECT_FALSE(a->merge()->isChecked());
}

TEST_F(Documents, CancelledOpeningPutsBackTheBoxesTheNodesAndTheStoredDocument)
{
    const QString doc = documentOf({TypeLandscape, TypeGrass, TypeTree});
    // Boxes that have records: those without (rocks, bushes) come back as a saved set does.
    for (int t : {TypeLandscape, TypeFlower, TypeLandscape, TypeStones}) addBox(t);
    slider(1, "Seed")->setValue(77);
    box(3).landscapeIndex = 2;
    a->saveModelData();
    const QString before = state(), stored = a->model()->coolText();
    auto labels = []() {
        QStringList out;
        for (DzNode* n : dzScene->nodeList()) out << n->getLabel();
        return out;
    };
    const QStringList nodes = labels();

    DzProgress::setTimings(0, 0);
    for (bool merge : {false, true}) {
        a->merge()->setChecked(merge);
        const int wanted = merge ? 6 : 2;  // two of the document's boxes stand
        int boxesAtCancel = -1;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&]() {
            if (DzProgress::isRunning() && boxesAtCancel < 0 && a->boxes().count() == wanted) {
                boxesAtCancel = a->boxes().count();
                DzProgress::requestCancel();
            }
        });
        timer.start();
        EXPECT_FALSE(a->openDocument(doc, true, "set.txt")) << merge;
        timer.stop();
        EXPECT_EQ(boxesAtCancel, wanted) << "the opening was under way";
        EXPECT_EQ(a->status()->text(), "Cancelled: opening set.txt; the boxes are as they were");
        EXPECT_EQ(state(), before) << merge;
        EXPECT_EQ(a->model()->coolText(), stored);
        EXPECT_EQ(labels(), nodes);
        EXPECT_EQ(a->merge()->isChecked(), merge);
        EXPECT_EQ(a->selector()->count(), 2);
    }
    DzProgress::setTimings(40, 300);
    ASSERT_TRUE(a->openDocument(doc, true, "set.txt"));
    EXPECT_EQ(a->boxes().count(), 7);
}

TEST_F(Documents, FileFaultsKeepWhatIsThere)
{
    addBox(TypeGrass);
    a->saveModelData();
    const QString stored = a->model()->coolText();
    const auto failsWithError = [&](const QString& rel, void (VerdixPaneTestAccess::*step)()) {
        a->status()->clear();
        dzApp->dialogs()->clearLog();
        dzApp->dialogs()->queueFileName(root.path() + rel);
        ((*a).*step)();
        EXPECT_NE(a->status()->text(), "Preset saved!");
        EXPECT_EQ(messages().filter(QRegExp("^error: ")).size(), 1) << qPrintable(rel);
        EXPECT_EQ(a->boxes().count(), 1);
        EXPECT_EQ(a->model()->coolText(), stored);
    };
    // A scene file that cannot be read changes neither the pane nor the stored document (text
    // that is no set document: see below); "Preset saved!" only once the file is written.
    failsWithError("/missing.txt", &VerdixPaneTestAccess::openScene);
    failsWithError("/no/such/folder/set.txt", &VerdixPaneTestAccess::saveScene);
    dzApp->dialogs()->queueFileName(root.path() + "/no/such/folder/oak.txt");
    a->savePreset(addBox(TypeTree), TypeTree, "Verdix_Presets_Tree", "TreeV1");
    EXPECT_NE(a->status()->text(), "Preset saved!");

    // Nothing to save.
    reset();
    a->saveScene();
    EXPECT_EQ(a->status()->text(), "Error: Nothing to save!");
    EXPECT_TRUE(dzApp->dialogs()->fileDialogCaptions().isEmpty());

    // The command line's opening, reached by name: no dialog, false with a message for a
    // missing file.
    addBox(TypeGrass);
    bool ok = true;
    const auto open = [&](const QString& path) {
        EXPECT_TRUE(QMetaObject::invokeMethod(pane, "openSetDocument", Q_RETURN_ARG(bool, ok), Q_ARG(QString, path)));
        return ok;
    };
    EXPECT_FALSE(open(root.path() + "/missing.txt"));
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_TRUE(a->status()->text().startsWith("Error: Cannot open missing.txt"));
    file("set.txt", "VerdixV1.0,6,2018\nTreeV1.0,;,Materials,;\nFlowerV1.0,;\nOnLandScapeList,0,0,;\n;");
    EXPECT_TRUE(open(root.path() + "/set.txt"));
    EXPECT_EQ(titles(), QStringList({"(0000) TreeV1.0", "(0001) FlowerV1.0"}));
    EXPECT_TRUE(messages().filter("Merge with").isEmpty());
}

// Whatever is not loaded is said: a refused document leaves everything as it was and names
// the fault; an opened one counts the lines it skipped and the records past the capacity.
TEST_F(Documents, OpeningSaysWhatWasNotLoaded)
{
    buildMixedPane();
    a->saveModelData();
    const QString before = state(), stored = a->model()->coolText();
    QString many = "VerdixV1.0,6,2018\n";
    for (int n = 0; n < 140; ++n) many += QString("GrassV1.0,%1,;\n").arg(n % 50);
    const struct
    {
        QString doc, says;
        int boxes;  // -1: refused
        QVector<int> amounts;
    } cases[] = {
        {QString("VerdixV1.0,6,2018\n\x01\x7f garbage without fields\nGrassV1.0,1,;\n"),
         "has no box records: line 2 (\"?? garbage",
         -1,
         {}},
        {"VerdixV1.0,6,2018\nTreeV1,1,2,;\nNothing,;\n;", "line 2 (\"TreeV1\") is not a box record", -1, {}},
        {QString(), "is empty", -1, {}},
        {"\n\n\n\n\n\n\n\n\n\n\n", "", -1, {}},
        {"V,x", "holds only 3 characters", -1, {}},
        {"VerdixV1.", "", -1, {}},
        {";;;;;;;;;;;;", "", -1, {}},
        {QString(1000, QChar(',')), "", -1, {}},
        {"GrassV1.0,1,2,3,;\n;", "does not start with \"VerdixV1.0,6,2018\"", -1, {}},
        // A header alone, whatever it counts, would only clear the pane.
        {"VerdixV1.0,99,2018\n", "has no box records after its header", -1, {}},
        {"VerdixV1.0,6,2018\nOnLandScapeList,0,;\n;", "has no box records after its header", -1, {}},
        // Records the reader would complete with defaults: cut off in the values or in the
        // materials, and values that are not numbers.
        {"VerdixV1.0,6,2018\nGrassV1.0,5,;\nGrassV1.0,6000,120,0,3",
         "line 3 (GrassV1.0): the record is cut off",
         -1,
         {}},
        {"VerdixV1.0,6,2018\nGrassV1.0,5,;,Materials,+,Grass,Path,Diffuse Color,Verdix_Tex",
         "line 2 (GrassV1.0): the record is cut off",
         -1,
         {}},
        {"VerdixV1.0,6,2018\nGrassV1.0,5,;\nGrassV1.0,abc,def,;\n;",
         "line 3 (GrassV1.0): field 2 (slider \"Amount\") reads \"abc\", not a number",
         -1,
         {}},
        {"VerdixV1.0,6,2018\nGrassV1.0,5,;,Materials,+,Grass,Double,Diffuse Strength,nan,;\n;",
         "field 9 (material value \"Diffuse Strength\") reads \"nan\"",
         -1,
         {}},
        // The empty line ends the document; the preset line is reported and skipped.
        {"VerdixV1.0,6,2018\nGrassV1.0,5,;\nTreeV1,1,2,;\nBillboardV1.0,7,;\n\nGrassV1.0,9,;\n;",
         "bad.txt: 1 of 4 lines skipped (line 3 (\"TreeV1\") is not a box record)",
         2,
         {5, 7}},
        {many + ";",
         "bad.txt: 11 of 140 box records not loaded: the pane holds at most 129 boxes",
         kMaxControlBoxes,
         {1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.doc.left(40).toStdString());
        a->status()->setText("Scene load finished..");
        const int errors = dzApp->dialogs()->errorCount();
        const bool opened = a->openDocument(c.doc, true, "bad.txt");
        const QString status = a->status()->text();
        EXPECT_EQ(dzApp->dialogs()->errorCount(), errors + 1);
        EXPECT_EQ(opened, c.boxes >= 0);
        if (c.boxes < 0) {
            EXPECT_EQ(state(), before);
            EXPECT_EQ(a->model()->coolText(), stored);
            EXPECT_TRUE(status.startsWith("Error: bad.txt ") && status.contains(c.says) &&
                        status.endsWith("nothing was loaded"))
                << qPrintable(status);
            EXPECT_FALSE(VerdixFlags::refreshBlocked);
            continue;
        }
        EXPECT_EQ(status, "Scene load finished.. " + c.says);
        ASSERT_EQ(a->boxes().count(), c.boxes);
        for (int i = 0; i < c.amounts.size(); ++i) EXPECT_EQ(slider(i, "Amount")->getValue(), c.amounts[i]);
        // The boxes are the document's, in its order, and the stored document describes them.
        EXPECT_EQ(verdix::splitSetDocument(c.doc).boxTypes().mid(0, c.boxes), boxTypes());
        EXPECT_EQ(verdix::splitSetDocument(a->model()->coolText()).boxTypes(), boxTypes());
        EXPECT_FALSE(VerdixFlags::refreshBlocked);
    }
}

TEST_F(Documents, PresetButtonsFindTheirBoxByFocus)
{
    showPane();
    const QString tall = root.path() + "/Verdix_Presets_Tree/tall.txt";
    QDir().mkpath(root.path() + "/Verdix_Presets_Tree");
    const int t0 = addBox(TypeTree), t1 = addBox(TypeTree);
    slider(t1, "Trunk Sides")->setValue(77);
    slider(t1, "X")->setValue(300);
    slider(t0, "X")->setValue(-40);
    const auto focus = [](QWidget* w) {
        w->setFocus();
        QApplication::processEvents();
    };
    // Without a focused button nothing happens.
    dzApp->dialogs()->queueFileName(tall);
    focus(a->selector());
    a->saveTreePreset();
    EXPECT_FALSE(QFile::exists(tall));
    focus(box(t1).savePresetButton);
    a->saveTreePreset();
    EXPECT_EQ(a->status()->text(), "Preset saved!");
    EXPECT_TRUE(readFile(tall).startsWith("TreeV1,"));
    // The box's list is filled again.
    ASSERT_EQ(box(t1).combo('A')->count(), 2);
    EXPECT_EQ(box(t1).combo('A')->itemText(1), "tall.txt");

    // Choosing the preset in the other tree's list shapes it but keeps it where it stands.
    box(t0).combo('A')->addItem("tall.txt");
    focus(box(t0).combo('A'));
    box(t0).combo('A')->setCurrentIndex(1);  // the list's own signal opens it
    EXPECT_EQ(slider(t0, "Trunk Sides")->getValue(), 77);
    EXPECT_EQ(slider(t0, "X")->getValue(), -40);

    // The open-file button asks for the file; a file that cannot be read says so.
    slider(t0, "Trunk Sides")->setValue(5);
    focus(box(t0).openFileButton);
    dzApp->dialogs()->clearLog();
    for (const char* name : {"gone.txt", "tall.txt"}) {
        dzApp->dialogs()->queueFileName(root.path() + "/Verdix_Presets_Tree/" + name);
        QMetaObject::invokeMethod(pane, "Button_OpenTreeFile");
        EXPECT_EQ(messages().filter("error: ").size(), 1);
        EXPECT_EQ(slider(t0, "Trunk Sides")->getValue(), QString(name) == "tall.txt" ? 77 : 5);
    }
    EXPECT_EQ(slider(t0, "X")->getValue(), -40);
    // The stored document follows.
    const verdix::SetDocument doc = verdix::splitSetDocument(a->model()->coolText());
    ASSERT_GE(doc.lines.size(), 2);
    EXPECT_TRUE(doc.lines[1].text.startsWith("TreeV1.0,Shapes,77,")) << qPrintable(doc.lines[1].text.left(40));
}
