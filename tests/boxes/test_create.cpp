#include "boxfixture.h"
#include <QComboBox>
#include <QMetaMethod>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using Creation = BoxTest;

TEST_F(Creation, LimitOf129BoxesAndTheirTitles)
{
    const int nodes = dzScene->getNumNodes();
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(pane->createBoxOfType(TypeGrass));
    for (int k = 3; k < kMaxControlBoxes; ++k) a->createBush();
    ASSERT_EQ(a->boxes().count(), 129);
    EXPECT_EQ(box(2).groupBox->title(), "(0002) GrassV1.0");
    EXPECT_EQ(box(9).groupBox->title(), "(0009) BushV1.0");
    EXPECT_EQ(box(9).titleLabel->text(), "(0009) BushV1.0");
    EXPECT_EQ(box(128).groupBox->title(), "(0128) BushV1.0");
    EXPECT_EQ(a->selectedBox(), 128);

    // The 130th box leaves no trace: no widget, no node, no status, nothing in the tables.
    const int nodesBefore = dzScene->getNumNodes();
    const int groups = a->area()->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly).size();
    a->status()->setText("before");
    a->createWeed();
    EXPECT_FALSE(pane->createBoxOfType(TypeTree));
    a->addControlBox("TreeV1.png", "(0129) TreeV1.0", TypeTree);
    EXPECT_EQ(a->boxes().count(), 129);
    EXPECT_EQ(a->area()->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly).size(), groups);
    EXPECT_EQ(a->status()->text(), "before");
    EXPECT_EQ(dzScene->getNumNodes(), nodesBefore);
    // Reserved types build no node; the grass boxes built one each.
    EXPECT_EQ(nodesBefore, nodes + 3);
}

TEST_F(Creation, ReservedBoxesHaveTheHeaderOnly)
{
    for (int k = 0; k < 5; ++k) a->createBush();
    a->createWeed();
    EXPECT_EQ(box(5).groupBox->title(), "(0005) WeedV1.0");
    EXPECT_EQ(box(5).type, TypeWeed);
    EXPECT_TRUE(box(5).sliders.empty());
    EXPECT_TRUE(box(5).sections.empty());
    EXPECT_NE(box(5).imageButton, nullptr);
    EXPECT_EQ(box(5).landscapeIndex, 0);
    EXPECT_EQ(dzScene->getNumNodes(), 0);
    // Its document entry is the landscape list only.
    a->saveModelData();
    EXPECT_EQ(a->model()->coolText(), "VerdixV1.0,6,2018\nOnLandScapeList,0,0,0,0,0,0,;\n;");
}

TEST_F(Creation, WidgetsFollowTheSliderSets)
{
    image("Verdix_Texture_Tree_Bark/bark.png");
    image("Verdix_Texture_Tree_Bark/bark_N.png");
    image("Verdix_Texture_Tree_Bark/alder.jpg");
    file("Verdix_Texture_Tree_Bark/notes.txt");
    file("Verdix_Presets_Tree/oak.txt", "TreeV1,;");
    const int t = addBox(TypeTree, false);
    const int f = addBox(TypeFlower, false);
    const int g = addBox(TypeGrass, false);
    const int r = addBox(TypeRock, false);

    ASSERT_EQ(box(t).sliders.size(), 85u);
    EXPECT_EQ(box(t).sliders[83]->getLabel(), "X");
    EXPECT_EQ(box(t).sliders[84]->getLabel(), "Z");
    EXPECT_EQ(box(f).sliders.size(), 65u);
    EXPECT_EQ(box(t).sections.size(), 6u);
    for (QGroupBox* s : box(t).sections) EXPECT_TRUE(s->isHidden());
    EXPECT_EQ(box(t).sections[4]->title(), "FRUIT SETTINGS");

    // Trunk and bark lists show the bark folder, without companion maps and other files.
    const QStringList bark = {"alder.jpg", "bark.png"};
    for (char letter : {'E', 'F'}) {
        QComboBox* c = box(t).combo(letter);
        ASSERT_NE(c, nullptr);
        QStringList items;
        for (int n = 1; n < c->count(); ++n) items << c->itemText(n);
        EXPECT_EQ(items, bark) << letter;
    }
    EXPECT_EQ(box(t).combo('F')->itemText(0), "Trunk Textures");
    EXPECT_EQ(box(t).combo('E')->itemText(0), "Bark Textures");
    EXPECT_EQ(box(t).combo('A')->itemText(0), "Tree Presets");
    EXPECT_EQ(box(t).combo('A')->itemText(1), "oak.txt");
    // A missing folder leaves the placeholder alone.
    EXPECT_EQ(box(t).combo('C')->count(), 1);
    EXPECT_EQ(box(f).combo('D')->itemText(0), "Petal Textures In");
    EXPECT_EQ(box(t).savePresetButton->toolTip(), "Save tree preset");
    EXPECT_EQ(box(f).openFileButton->toolTip(), "Open flower preset");

    // Ranges, defaults, percent display and clamping of the set-up.
    DzIntSlider* clump = slider(g, "Clump Min");
    EXPECT_EQ(clump->getMin(), 1);
    EXPECT_EQ(clump->getValue(), 1);
    EXPECT_EQ(slider(g, "Amount")->getMax(), 200000);
    EXPECT_EQ(slider(g, "Amount")->getValue(), 1000);
    EXPECT_TRUE(slider(g, "Shape")->getDisplayAsPercent());
    EXPECT_FALSE(slider(g, "Ring")->getDisplayAsPercent());
    EXPECT_TRUE(slider(g, "Amount")->getTextEditable());
    EXPECT_TRUE(slider(g, "Amount")->isLabelVisible());
    EXPECT_EQ(slider(g, "Seed")->getLabel(), "Seed");

    const QStringList rockCombos = {"Rock A", "Rock B", "Rock C", "Rock B"};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(box(r).combo(char('A' + k))->itemText(0), rockCombos[k]);
    EXPECT_EQ(box(r).sliders.size(), 4u);

    const int l = addBox(TypeLandscape, false);
    EXPECT_EQ(slider(l, "DeNoise")->toolTip(), "De noise the mesh");
    EXPECT_TRUE(slider(l, "Land")->getDisplayAsPercent());
    EXPECT_TRUE(box(l).combo('F')->isEditable());
    EXPECT_FALSE(box(l).saveMapButton->isHidden());
    EXPECT_TRUE(box(g).saveMapButton->isHidden());
    EXPECT_EQ(box(l).sections.size(), 3u);
    // The default height maps were asked for (the empty root reports them missing).
    EXPECT_FALSE(dzApp->dialogs()->messages().isEmpty());
}

// Generators arrive with their own work; until a type's create and update slots exist
// its boxes are built without a node and its sliders rebuild nothing.
TEST_F(Creation, WhichGeneratorsAreWired)
{
    const QList<int> wired = pane->wiredGeneratorTypes();
    EXPECT_TRUE(wired.contains(TypeGrass));
    EXPECT_TRUE(wired.contains(TypeTree));
    // A generated type still waiting for its generator, while there is one.
    int unwired = 0;
    for (int t : {TypeFlower, TypeStones, TypeBillboard})
        if (!wired.contains(t)) unwired = t;
    if (unwired == 0) GTEST_SKIP() << "every generated type is wired";
    ASSERT_TRUE(pane->createBoxOfType(TypeLandscape));
    const int nodes = dzScene->getNumNodes();
    ASSERT_TRUE(pane->createBoxOfType(unwired));
    EXPECT_EQ(dzScene->getNumNodes(), nodes);
    EXPECT_FALSE(pane->updateBox(1));
    // The landscape is offered to the objects created after it.
    EXPECT_EQ(a->selector()->currentText(), "(0000) LandscapeV1.0");
    EXPECT_EQ(box(1).landscapeIndex, 0);
    ASSERT_TRUE(pane->createBoxOfType(TypeGrass));
    EXPECT_EQ(dzScene->getNumNodes(), nodes + 1);
    EXPECT_TRUE(pane->updateBox(2));
    // Sliders connect only to slots the pane has.
    const QMetaObject* mo = pane->metaObject();
    EXPECT_GE(mo->indexOfSlot("SliderUpdateTree(int)"), 0);
    EXPECT_GE(mo->indexOfSlot("SliderUpdateGrass(int)"), 0);
    EXPECT_GE(mo->indexOfSlot("ControlBox_DeleteButtonPress()"), 0);
    const int open = mo->indexOfMethod("openSetDocument(QString)");
    ASSERT_GE(open, 0);
    EXPECT_EQ(mo->method(open).methodType(), QMetaMethod::Method);
    EXPECT_EQ(pane->findChild<QLabel*>("VerdixStatusLabel"), a->status());
}

// What a user sees at a common dock width: no text cut off, nothing overlapping, no box
// wider than the pane, each title once, and buttons of generators not built disabled.
TEST_F(Creation, PaneLayoutShowsWholeTextsWithinItsWidth)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    QWidget* oldParent = pane->parentWidget();
    layout->addWidget(pane);
    // As narrow as the pane's own rows allow, the width a dock gives it in the window.
    const int width = qMax(600, pane->minimumSizeHint().width() + 20);
    window.resize(width, 900);
    window.show();
    QApplication::processEvents();
    addBox(TypeLandscape);
    addBox(TypeGrass);
    // Every box open, as a user unfolds them.
    for (int i = 0; i < a->boxes().count(); ++i) press(box(i).showHideButton);
    a->status()->setText("Scene load finished.. and a long message that must not push the pane wider");
    for (int k = 0; k < 3; ++k) QApplication::processEvents();

    for (QCheckBox* c : {a->animate(), a->autoOff(), a->merge(), a->lowLod(), a->renew()})
        EXPECT_GE(c->width(), c->sizeHint().width()) << qPrintable(c->text());
    QComboBox* selector = a->selector();
    EXPECT_GE(selector->width(), selector->sizeHint().width()) << qPrintable(selector->currentText());
    auto inPane = [&](QWidget* w) { return QRect(w->mapTo(pane, QPoint(0, 0)), w->size()); };
    EXPECT_FALSE(inPane(a->renew()).intersects(inPane(a->status())));
    QScrollArea* scroll = pane->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << "a box is wider than the pane";
    for (int i = 0; i < a->boxes().count(); ++i) {
        EXPECT_LE(box(i).groupBox->width(), scroll->viewport()->width()) << i;
        EXPECT_GE(box(i).groupBox->height(), qMin(box(i).groupBox->minimumSizeHint().height(), 800)) << i;
        EXPECT_FALSE(box(i).titleLabel->isVisible()) << "the group box shows the title";
        EXPECT_EQ(box(i).titleLabel->text(), box(i).groupBox->title());
    }
    const int types[] = {TypeLandscape, TypeStones, TypeGrass, TypeTree, TypeFlower, TypeBillboard};
    const QList<QPushButton*> buttons = a->shownCreateButtons();
    for (int k = 0; k < buttons.size(); ++k) {
        EXPECT_EQ(buttons[k]->isEnabled(), pane->generatorWired(types[k])) << qPrintable(buttons[k]->toolTip());
        EXPECT_EQ(buttons[k]->toolTip().contains("not available yet"), !pane->generatorWired(types[k]));
    }
    const QByteArray out = qgetenv("VERDIX_PANE_SCREENSHOT");
    if (!out.isEmpty()) window.grab().save(QString::fromLocal8Bit(out));
    layout->removeWidget(pane);
    pane->setParent(oldParent);
}
