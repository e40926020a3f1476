// The window as a user meets it: the pane docked beside the viewport, the outliner picking
// nodes for the pane, the timeline's slider moving the scene's time, and the screenshot
// showing the scene's meshes in their colours.
#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dznode.h>
#include <dzscene.h>
#include "mainwindow.h"
#include "outliner.h"
#include "framing.h"
#include "renderer.h"
#include "timeline.h"
#include "testscene.h"

namespace {

void click(QWidget* w, const QPoint& at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
    QApplication::processEvents();
}

}  // namespace

TEST(Window, PaneDocksAndAnOutlinerClickSelectsTheNodeForThePane)
{
    registerStandInPlugin();
    QTemporaryDir dir;
    const TestScene ts = buildTestScene(dir.path());
    MainWindow w;
    w.createPane();
    w.resize(1280, 800);
    w.show();
    QApplication::processEvents();

    QDockWidget* dock = w.findChild<QDockWidget*>("Dock_ZPK_VerdixPane");
    ASSERT_TRUE(dock && dock->isVisible());
    EXPECT_NE(dock->findChild<QLabel*>("VerdixStatusLabel"), nullptr);

    Outliner* out = w.outliner();
    out->rebuild();
    out->expandAll();
    QApplication::processEvents();
    // The rock hangs under the ground in the tree, as in the scene.
    QTreeWidgetItem* rockItem = out->itemFor(ts.rock);
    ASSERT_NE(rockItem, nullptr);
    EXPECT_EQ(rockItem->parent(), out->itemFor(ts.ground));
    EXPECT_EQ(rockItem->text(0), "Rock (0001)");

    // The scene's own tests show each selection change is announced once.
    const QRect r = out->visualItemRect(rockItem);
    ASSERT_FALSE(r.isEmpty());
    click(out->viewport(), r.center());
    EXPECT_EQ(dzScene->getPrimarySelection(), ts.rock);
    EXPECT_TRUE(ts.rock->isSelected());

    click(out->viewport(), out->visualItemRect(out->itemFor(ts.ground)).center());
    EXPECT_EQ(dzScene->getPrimarySelection(), ts.ground);
    EXPECT_FALSE(ts.rock->isSelected());
    dzScene->clear();
}

// Its play button is checked with the grass pane's window test, which needs the ticks it drives.
TEST(Window, TimelineSliderMovesTheSceneTime)
{
    dzScene->clear();
    MainWindow w;
    w.show();
    QList<DzTime> times;
    QObject::connect(dzScene, &DzScene::timeChanged, &w, [&](DzTime t) { times << t; });
    w.timeline()->slider()->setValue(12);
    ASSERT_FALSE(times.isEmpty());
    EXPECT_EQ(dzScene->getTime(), times.last());
    EXPECT_EQ(dzScene->getTime(), 12 * dzScene->getTimeStep());
}

TEST(Screenshot, ShowsTheMeshesInTheirColoursOverTheBackground)
{
    QTemporaryDir dir;
    buildTestScene(dir.path());
    // Screenshots look from the host camera; a headless run places it on the scene first.
    namedViewCamera(NamedView::Perspective, 640.f / 360.f, 170.f).writeTo(hostCamera());
    QString error;
    const QImage img = renderSceneImage(QSize(640, 360), &error);
    ASSERT_FALSE(img.isNull()) << qPrintable(error);
    EXPECT_EQ(img.size(), QSize(640, 360));
    // Not blank: the picture varies, and the ground's red and the rock's grey-blue appear.
    double sum = 0, sum2 = 0;
    int red = 0, stone = 0, moss = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            const double l = c.red() + c.green() + c.blue();
            sum += l;
            sum2 += l * l;
            red += c.red() > 2 * c.green() && c.red() > 2 * c.blue() && c.red() > 60;
            moss += c.green() > c.red() * 1.5 && c.green() > c.blue() * 1.5 && c.green() > 40;
            stone += c.blue() > c.red() && c.blue() >= c.green() && std::abs(c.red() - c.green()) < 20 && c.blue() > 40;
        }
    const double n = double(img.width()) * img.height();
    const double variance = sum2 / n - (sum / n) * (sum / n);
    EXPECT_GT(variance, 100.0);
    EXPECT_GT(red, int(n * 0.05)) << "the textured red ground covers a good part of the view";
    EXPECT_GT(moss + stone, 50) << "the rock's materials show";
    dzScene->clear();
}

namespace {

int timesAsked()
{
    int n = 0;
    for (const DzMessageRecord& m : dzApp->dialogs()->messages()) n += m.text == "Save changes?";
    return n;
}

DzNode* addRock()
{
    auto* n = new DzNode;
    n->setLabel("Rock");
    dzScene->addNode(n);
    return n;
}

}  // namespace

TEST(Window, UnsavedChangesAreOfferedForSavingBeforeNewOpenQuitAndClose)
{
    dzScene->clear();
    dzApp->dialogs()->clearLog();
    QTemporaryDir dir;
    MainWindow w;
    w.show();
    QApplication::processEvents();
    QAction* quit = nullptr;
    for (QAction* act : w.findChildren<QAction*>())
        if (act->text() == "&Quit") quit = act;
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence("Ctrl+Q"));
    DzDialogService* dialogs = dzApp->dialogs();

    // Nothing changed: nothing to ask.
    w.newScene();
    EXPECT_EQ(timesAsked(), 0);

    // Cancel keeps the scene, and no file dialog follows.
    addRock();
    dialogs->queueButton(QMessageBox::Cancel);
    w.newScene();
    dialogs->queueButton(QMessageBox::Cancel);
    w.openScene();
    dialogs->queueButton(QMessageBox::Cancel);
    quit->trigger();
    EXPECT_EQ(timesAsked(), 3);
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(dialogs->fileDialogCaptions().contains("Open scene"));

    // Save writes the scene first; a save the user cancels in its file dialog keeps the scene.
    const QString kept = dir.filePath("kept.duf");
    dialogs->queueButton(QMessageBox::Save);
    dialogs->queueFileName(kept);
    w.newScene();
    EXPECT_TRUE(QFileInfo(kept).isFile());
    EXPECT_EQ(dzScene->getNumNodes(), 0);
    EXPECT_FALSE(dzScene->isModified());
    addRock();
    dialogs->queueButton(QMessageBox::Save);
    w.newScene();
    EXPECT_EQ(dzScene->getNumNodes(), 1);

    // A scene just opened is unchanged; renaming a node changes it, and Discard lets it go.
    dialogs->queueButton(QMessageBox::Discard);
    dialogs->queueFileName(kept);
    w.openScene();
    EXPECT_EQ(dzScene->getFilename(), QFileInfo(kept).absoluteFilePath());
    const int before = timesAsked();
    EXPECT_FALSE(dzScene->isModified());
    dzScene->findNodeByLabel("Rock")->setLabel("Stone");
    dialogs->queueButton(QMessageBox::Discard);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(timesAsked(), before + 1);
    dzScene->clear();
    dialogs->clearLog();
}
