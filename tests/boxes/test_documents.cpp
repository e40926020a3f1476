#include "boxfixture.h"
#include <QComboBox>
#include <QProgressBar>
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
        addBox(TypeLandscape);
        addBox(TypeGrass);
        addBox(TypeTree);
        a->createBush();
        addBox(TypeLandscape);
        addBox(TypeFlower);
        addBox(TypeStones);
        addBox(TypeBillboard);
        int v = 1;
        for (int i = 0; i < a->boxes().count(); ++i)
            for (DzIntSlider* s : box(i).sliders) s->setValue(s->getMin() + (v++ % (s->getMax() - s->getMin() + 1)));
    }
    struct Shape
    {
        QVector<int> types, lands;
        QVector<QVector<int>> sliders;
        QStringList titles;
        bool operator==(const Shape& o) const
        {
            return types == o.types && lands == o.lands && sliders == o.sliders && titles == o.titles;
        }
    };
    Shape shape()
    {
        Shape s;
        for (int i = 0; i < a->boxes().count(); ++i) {
            s.types << box(i).type;
            s.lands << box(i).landscapeIndex;
            s.titles << box(i).groupBox->title();
            QVector<int> v;
            for (DzIntSlider* sl : box(i).sliders) v << sl->getValue();
            s.sliders << v;
        }
        return s;
    }
    QString scenePath(const QString& name) { return root.path() + "/Verdix_Scene/" + name; }
    QString readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
};

}  // namespace

TEST_F(Documents, SaveClearOpenGivesTheSameBoxes)
{
    buildMixedPane();
    QDir().mkpath(root.path() + "/Verdix_Scene");
    const Shape before = shape();
    ASSERT_EQ(before.lands, QVector<int>({0, 0, 0, 0, 0, 4, 4, 4}));

    dzApp->dialogs()->queueFileName(scenePath("set.txt"));
    a->saveScene();
    EXPECT_EQ(a->status()->text(), "Preset saved!");
    const QString saved = readFile(scenePath("set.txt"));
    ASSERT_TRUE(saved.startsWith("VerdixV1.0,6,2018\nLandscapeV1.0,"));
    EXPECT_TRUE(saved.endsWith("OnLandScapeList,0,0,0,0,0,4,4,4,;\n;"));
    EXPECT_EQ(saved, a->model()->coolText());
    EXPECT_EQ(saved.count('\n'), 9);  // header, seven records (no bush), landscape list

    a->deleteAll();
    a->deleteAll();
    ASSERT_EQ(a->boxes().count(), 0);
    dzScene->clear();

    dzApp->dialogs()->queueFileName(scenePath("set.txt"));
    a->openScene();
    EXPECT_EQ(a->status()->text(), "Scene load finished..");
    Shape after = shape();
    // The bush has no record, so the boxes after it move up; everything else comes back.
    Shape expected = before;
    expected.types.remove(3);
    expected.sliders.remove(3);
    expected.titles = QStringList({"(0000) LandscapeV1.0", "(0001) GrassV1.0", "(0002) TreeV1.0",
                                   "(0003) LandscapeV1.0", "(0004) FlowerV1.0", "(0005) StonesV1.0",
                                   "(0006) BillboardV1.0"});
    // The list is taken in order: the bush's entry goes to the box that took its place, and
    // the indices still count the bush.
    expected.lands = QVector<int>({0, 0, 0, 0, 0, 4, 4});
    EXPECT_EQ(after.types, expected.types);
    EXPECT_EQ(after.sliders, expected.sliders);
    EXPECT_EQ(after.titles, expected.titles);
    EXPECT_EQ(after.lands, expected.lands);
    EXPECT_EQ(a->selector()->count(), 2);
    EXPECT_FALSE(a->merge()->isChecked());
    EXPECT_EQ(a->model()->coolText().count("\n"), 9);
}

TEST_F(Documents, MergeOffsetsIndicesAndTargetsTheSelectedLandscape)
{
    // A two-box document: a landscape (entry 0) and grass on it (entry 0).
    addBox(TypeLandscape);
    addBox(TypeGrass);
    slider(1, "Amount")->setValue(4321);
    a->saveModelData();
    const QString doc = a->model()->coolText();
    reset();

    addBox(TypeGrass);
    addBox(TypeLandscape);
    addBox(TypeTree);
    ASSERT_EQ(a->selector()->currentText(), "(0001) LandscapeV1.0");
    const Shape before = shape();

    // Cancel leaves everything as it was, the stored document included.
    a->saveModelData();
    const QString stored = a->model()->coolText();
    dzApp->dialogs()->queueButton(QMessageBox::Cancel);
    EXPECT_FALSE(a->openDocument(doc, true, true));
    EXPECT_TRUE(shape() == before);
    EXPECT_EQ(a->model()->coolText(), stored);
    EXPECT_EQ(messages().filter("Merge with"),
              QStringList({"Verdix: Merge with 3 controls, attach to (0001) LandscapeV1.0 landscape"}));

    dzApp->dialogs()->queueButton(QMessageBox::Yes);
    ASSERT_TRUE(a->openDocument(doc, true, true));
    ASSERT_EQ(a->boxes().count(), 5);
    EXPECT_TRUE(a->merge()->isChecked());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(box(i).groupBox->title(), before.titles[i]);
    EXPECT_EQ(box(3).type, TypeLandscape);
    EXPECT_EQ(box(4).type, TypeGrass);
    EXPECT_EQ(slider(4, "Amount")->getValue(), 4321);
    // The landscape's own 0 takes the target; the grass keeps its landscape, offset by 3.
    EXPECT_EQ(box(3).landscapeIndex, 1);
    EXPECT_EQ(box(4).landscapeIndex, 3);
    EXPECT_EQ(box(0).landscapeIndex, before.lands[0]);
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
    addBox(TypeLandscape);
    addBox(TypeGrass);
    addBox(TypeTree);
    a->saveModelData();
    const QString doc = a->model()->coolText();
    reset();

    // Boxes that have records: those without (rocks, bushes) come back as a saved set does.
    addBox(TypeLandscape);
    addBox(TypeFlower);
    addBox(TypeLandscape);
    addBox(TypeStones);
    slider(1, "Seed")->setValue(77);
    box(3).landscapeIndex = 2;
    a->saveModelData();
    const Shape before = shape();
    const QString stored = a->model()->coolText();
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
        // The opening was under way.
        EXPECT_EQ(boxesAtCancel, wanted);
        EXPECT_EQ(a->status()->text(), "Cancelled: opening set.txt; the boxes are as they were");
        EXPECT_TRUE(shape() == before) << merge;
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

    // A scene file that cannot be read changes neither the pane nor the stored document.
    dzApp->dialogs()->queueFileName(root.path() + "/missing.txt");
    a->openScene();
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_EQ(a->model()->coolText(), stored);
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    EXPECT_EQ(dzApp->dialogs()->messages()[0].title, "error");

    // Text that is no set document does not cost the pane its boxes.
    file("Verdix_Scene/notes.txt", "just some notes, nothing more\n");
    dzApp->dialogs()->queueFileName(root.path() + "/Verdix_Scene/notes.txt");
    a->openScene();
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_EQ(a->model()->coolText(), stored);

    // "Preset saved!" only once the file is written.
    a->status()->clear();
    dzApp->dialogs()->clearLog();
    dzApp->dialogs()->queueFileName(root.path() + "/no/such/folder/set.txt");
    a->saveScene();
    EXPECT_NE(a->status()->text(), "Preset saved!");
    ASSERT_EQ(dzApp->dialogs()->messages().size(), 1);
    EXPECT_EQ(dzApp->dialogs()->messages()[0].title, "error");
    const int t = addBox(TypeTree);
    a->status()->clear();
    dzApp->dialogs()->queueFileName(root.path() + "/no/such/folder/oak.txt");
    a->savePreset(t, TypeTree, "Verdix_Presets_Tree", "TreeV1");
    EXPECT_NE(a->status()->text(), "Preset saved!");

    // Nothing to save.
    reset();
    a->saveScene();
    EXPECT_EQ(a->status()->text(), "Error: Nothing to save!");
    EXPECT_TRUE(dzApp->dialogs()->fileDialogCaptions().isEmpty());

    // The command line's opening: no dialog, false with a message for a missing file.
    addBox(TypeGrass);
    EXPECT_FALSE(pane->openSetDocument(root.path() + "/missing.txt"));
    EXPECT_EQ(a->boxes().count(), 1);
    EXPECT_TRUE(a->status()->text().startsWith("Error: Cannot open missing.txt"));
    file("set.txt", "VerdixV1.0,6,2018\nTreeV1.0,;,Materials,;\nFlowerV1.0,;\nOnLandScapeList,0,0,;\n;");
    // The application reaches it by name.
    bool ok = false;
    ASSERT_TRUE(QMetaObject::invokeMethod(pane, "openSetDocument", Q_RETURN_ARG(bool, ok),
                                          Q_ARG(QString, root.path() + "/set.txt")));
    EXPECT_TRUE(ok);
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(box(0).type, TypeTree);
    EXPECT_EQ(box(1).type, TypeFlower);
    for (const QString& m : messages()) EXPECT_FALSE(m.contains("Merge with")) << qPrintable(m);
}

TEST_F(Documents, UnknownLinesAndTheEndOfADocument)
{
    const QString doc = "VerdixV1.0,6,2018\nGrassV1.0,5,;\nTreeV1,1,2,;\nBillboardV1.0,7,;\n\nGrassV1.0,9,;\n;";
    ASSERT_TRUE(a->openDocument(doc, true));
    // The empty line ends the document; the preset line is reported and skipped.
    ASSERT_EQ(a->boxes().count(), 2);
    EXPECT_EQ(slider(0, "Amount")->getValue(), 5);
    EXPECT_EQ(slider(1, "Amount")->getValue(), 7);
    EXPECT_TRUE(a->status()->text().startsWith("Scene load finished.. ")) << qPrintable(a->status()->text());
    EXPECT_TRUE(a->status()->text().contains("1 of 4 lines skipped (line 3 (\"TreeV1\") is not a box record)"))
        << qPrintable(a->status()->text());
    EXPECT_TRUE(VerdixFlags::progress);
}

TEST_F(Documents, DocumentsThatDoNotParseLeaveEverythingAsItWasAndSaySo)
{
    buildMixedPane();
    a->saveModelData();
    const Shape before = shape();
    const QString stored = a->model()->coolText();
    const struct
    {
        QString doc, says;
    } cases[] = {
        {QString("VerdixV1.0,6,2018\n\x01\x7f garbage without fields\nGrassV1.0,1,;\n"), "has no box records: line 2 (\"?? garbage"},
        {QString("VerdixV1.0,6,2018\nTreeV1,1,2,;\nNothing,;\n;"), "line 2 (\"TreeV1\") is not a box record"},
        {QString(), "is empty"},
        {QString("V,x"), "holds only 3 characters"},
        {QString("GrassV1.0,1,2,3,;\n;"), "does not start with \"VerdixV1.0,6,2018\""},
    };
    for (const auto& c : cases) {
        a->status()->setText("Scene load finished..");
        const int errors = dzApp->dialogs()->errorCount();
        EXPECT_FALSE(a->openDocument(c.doc, true, "bad.txt")) << qPrintable(c.doc);
        EXPECT_TRUE(shape() == before) << qPrintable(c.doc);
        EXPECT_EQ(a->model()->coolText(), stored);
        const QString status = a->status()->text();
        EXPECT_TRUE(status.startsWith("Error: bad.txt ") && status.contains(c.says) &&
                    status.endsWith("nothing was loaded"))
            << qPrintable(status);
        EXPECT_EQ(dzApp->dialogs()->errorCount(), errors + 1);
    }
    // Saving afterwards still writes every box.
    EXPECT_EQ(pane->setDocumentText(), stored);
}

TEST_F(Documents, RecordsPastThePaneCapacityAreCountedNotDropped)
{
    QString doc = "VerdixV1.0,6,2018\n";
    for (int n = 0; n < 140; ++n) doc += QString("GrassV1.0,%1,;\n").arg(n % 50);
    doc += ";";
    const int errors = dzApp->dialogs()->errorCount();
    ASSERT_TRUE(a->openDocument(doc, true, "many.txt"));
    EXPECT_EQ(a->boxes().count(), kMaxControlBoxes);
    EXPECT_EQ(a->status()->text(),
              "Scene load finished.. many.txt: 11 of 140 box records not loaded: the pane holds at most 129 boxes");
    EXPECT_EQ(dzApp->dialogs()->errorCount(), errors + 1);
}

TEST_F(Documents, PresetButtonsFindTheirBoxByFocus)
{
    showPane();
    QDir().mkpath(root.path() + "/Verdix_Presets_Tree");
    const int t0 = addBox(TypeTree);
    const int t1 = addBox(TypeTree);
    slider(t1, "Trunk Sides")->setValue(77);
    slider(t1, "X")->setValue(300);

    // Without a focused button nothing happens.
    dzApp->dialogs()->queueFileName(root.path() + "/Verdix_Presets_Tree/tall.txt");
    a->selector()->setFocus();
    a->saveTreePreset();
    EXPECT_FALSE(QFile::exists(root.path() + "/Verdix_Presets_Tree/tall.txt"));

    box(t1).savePresetButton->setFocus();
    QApplication::processEvents();
    a->saveTreePreset();
    EXPECT_EQ(a->status()->text(), "Preset saved!");
    const QString preset = [&] {
        QFile f(root.path() + "/Verdix_Presets_Tree/tall.txt");
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }();
    EXPECT_TRUE(preset.startsWith("TreeV1,"));
    // The box's list is filled again.
    ASSERT_EQ(box(t1).combo('A')->count(), 2);
    EXPECT_EQ(box(t1).combo('A')->itemText(1), "tall.txt");

    // Choosing the preset in the other tree's list shapes it but keeps it where it stands.
    slider(t0, "X")->setValue(-40);
    file("Verdix_Presets_Tree/tall.txt", preset.toLatin1());
    box(t0).combo('A')->addItem("tall.txt");
    box(t0).combo('A')->setFocus();
    QApplication::processEvents();
    box(t0).combo('A')->setCurrentIndex(1);  // the list's own signal opens it
    EXPECT_EQ(slider(t0, "Trunk Sides")->getValue(), 77);
    EXPECT_EQ(slider(t0, "X")->getValue(), -40);

    // The open-file button asks for the file; a file that cannot be read says so.
    slider(t0, "Trunk Sides")->setValue(5);
    box(t0).openFileButton->setFocus();
    QApplication::processEvents();
    dzApp->dialogs()->clearLog();
    dzApp->dialogs()->queueFileName(root.path() + "/Verdix_Presets_Tree/gone.txt");
    QMetaObject::invokeMethod(pane, "Button_OpenTreeFile");
    EXPECT_EQ(messages().filter("error: ").size(), 1);
    EXPECT_EQ(slider(t0, "Trunk Sides")->getValue(), 5);
    dzApp->dialogs()->queueFileName(root.path() + "/Verdix_Presets_Tree/tall.txt");
    QMetaObject::invokeMethod(pane, "Button_OpenTreeFile");
    EXPECT_EQ(slider(t0, "Trunk Sides")->getValue(), 77);
    EXPECT_EQ(slider(t0, "X")->getValue(), -40);
    // The stored document follows.
    const verdix::SetDocument doc = verdix::splitSetDocument(a->model()->coolText());
    ASSERT_GE(doc.lines.size(), 2);
    EXPECT_TRUE(doc.lines[1].text.startsWith("TreeV1.0,Shapes,77,")) << qPrintable(doc.lines[1].text.left(40));
}
