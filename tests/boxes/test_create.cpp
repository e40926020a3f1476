#include "boxfixture.h"
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using Creation = BoxTest;

TEST_F(Creation, LimitOf129BoxesAndTheirTitles)
{
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(pane->createBoxOfType(TypeGrass));
    for (int k = 3; k < kMaxControlBoxes - 1; ++k) a->createBush();
    a->createWeed();
    ASSERT_EQ(a->boxes().count(), 129);
    EXPECT_EQ(box(2).groupBox->title(), "(0002) GrassV1.0");
    EXPECT_EQ(box(9).titleLabel->text(), "(0009) BushV1.0");
    EXPECT_EQ(box(128).groupBox->title(), "(0128) WeedV1.0");
    EXPECT_EQ(a->selectedBox(), 128);
    // Reserved boxes have the header only, and no node: the grass boxes built one each.
    EXPECT_TRUE(box(128).sliders.empty());
    EXPECT_NE(box(128).imageButton, nullptr);
    EXPECT_EQ(dzScene->getNumNodes(), 3);

    // The 130th box leaves no trace: no widget, no node, no status, nothing in the tables.
    const auto groups = [&] {
        return a->area()->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly).size();
    };
    const int before = groups();
    a->status()->setText("before");
    a->createWeed();
    EXPECT_FALSE(pane->createBoxOfType(TypeTree));
    a->addControlBox("TreeV1.png", "(0129) TreeV1.0", TypeTree);
    EXPECT_EQ(a->boxes().count(), 129);
    EXPECT_EQ(groups(), before);
    EXPECT_EQ(a->status()->text(), "before");
    EXPECT_EQ(dzScene->getNumNodes(), 3);
}

TEST_F(Creation, WidgetsFollowTheSliderSets)
{
    for (const char* f : {"bark.png", "bark_N.png", "alder.jpg"}) image(QString("Verdix_Texture_Tree_Bark/") + f);
    file("Verdix_Texture_Tree_Bark/notes.txt");
    file("Verdix_Presets_Tree/oak.txt", "TreeV1,;");
    const int t = addBox(TypeTree, false);
    const int f = addBox(TypeFlower, false);
    const int g = addBox(TypeGrass, false);

    // Stored records hold every slider in order: the counts are part of the file format.
    ASSERT_EQ(box(t).sliders.size(), 85u);
    EXPECT_EQ(box(f).sliders.size(), 65u);
    // Sections start folded; the show/hide button unfolds and folds its own box's.
    const auto hidden = [&](int i) {
        int n = 0;
        for (QGroupBox* s : box(i).sections) n += s->isHidden() ? 1 : 0;
        return n;
    };
    ASSERT_FALSE(box(t).sections.empty());
    EXPECT_EQ(hidden(t), int(box(t).sections.size()));
    showPane();
    click(box(t).showHideButton);
    EXPECT_EQ(hidden(t), 0);
    EXPECT_EQ(hidden(f), int(box(f).sections.size()));
    click(box(t).showHideButton);
    EXPECT_EQ(hidden(t), int(box(t).sections.size()));
    a->createBush();
    click(box(3).showHideButton);  // a reserved box has nothing to fold

    // Trunk and bark lists show the bark folder, without companion maps and other files.
    for (char letter : {'E', 'F'}) {
        QComboBox* c = box(t).combo(letter);
        ASSERT_NE(c, nullptr);
        QStringList items;
        for (int n = 1; n < c->count(); ++n) items << c->itemText(n);
        EXPECT_EQ(items, QStringList({"alder.jpg", "bark.png"})) << letter;
    }
    EXPECT_EQ(box(t).combo('A')->itemText(1), "oak.txt");
    // A missing folder leaves the placeholder alone.
    EXPECT_EQ(box(t).combo('C')->count(), 1);

    // Set-up values are clamped into their ranges.
    EXPECT_EQ(slider(g, "Clump Min")->getMin(), 1);
    EXPECT_EQ(slider(g, "Clump Min")->getValue(), 1);
    EXPECT_EQ(slider(g, "Amount")->getValue(), 1000);
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
    window.resize(qMax(600, pane->minimumSizeHint().width() + 20), 900);
    window.show();
    QApplication::processEvents();
    addBox(TypeLandscape);
    addBox(TypeGrass);
    // Every box open, as a user unfolds them.
    for (int i = 0; i < a->boxes().count(); ++i) click(box(i).showHideButton);
    a->status()->setText("Scene load finished.. and a long message that must not push the pane wider");
    for (int k = 0; k < 3; ++k) QApplication::processEvents();

    for (QWidget* w : std::initializer_list<QWidget*>{a->animate(), a->autoOff(), a->merge(), a->lowLod(), a->renew(),
                                                      a->selector()})
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->metaObject()->className();
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
    layout->removeWidget(pane);
    pane->setParent(oldParent);
}
