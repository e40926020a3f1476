#include "mainwindow.h"
#include "viewmenu.h"
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzpane.h>
#include <dzprogress.h>
#include <dzplugin.h>
#include <dzscene.h>
#include "commandline.h"
#include "editmenu.h"
#include "korgpane.h"
#include "outliner.h"
#include "sceneexport.h"
#include "statusline.h"
#include "renderwindow.h"
#include "terrainmenu.h"
#include "timeline.h"
#include "trekkopane.h"
#include "viewport.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("VerdixHostWindow");
    setWindowTitle("Verdix Host");
    resize(1500, 920);
    m_viewport = new Viewport(this);
    setCentralWidget(m_viewport);

    auto* outlinerDock = new QDockWidget("Scene", this);
    outlinerDock->setObjectName("OutlinerDock");
    m_outliner = new Outliner(outlinerDock);
    outlinerDock->setWidget(m_outliner);
    addDockWidget(Qt::LeftDockWidgetArea, outlinerDock);

    auto* timelineDock = new QDockWidget("Timeline", this);
    timelineDock->setObjectName("TimelineDock");
    m_timeline = new Timeline(timelineDock);
    timelineDock->setWidget(m_timeline);
    addDockWidget(Qt::BottomDockWidgetArea, timelineDock);

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&New scene", this, &MainWindow::newScene, QKeySequence::New);
    file->addAction("&Open scene...", this, &MainWindow::openScene, QKeySequence::Open);
    file->addAction(
        "&Save scene...", this, [this]() { saveScene(); }, QKeySequence::Save);
    file->addAction("&Export...", this, &MainWindow::exportScene);
    file->addSeparator();
    // Spelled out: platforms without a standard quit key (offscreen, some desktops) have none.
    file->addAction("&Quit", this, &QWidget::close, QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* view = menuBar()->addMenu("&View");
    buildViewMenu(view, m_viewport);
    addTerrainMenu(this);
    addRenderMenu(this);
    m_windowMenu = menuBar()->addMenu("&Window");
    m_windowMenu->addAction(outlinerDock->toggleViewAction());
    m_windowMenu->addAction(timelineDock->toggleViewAction());
    addEditMenu(this, m_windowMenu);
    m_windowMenu->addSeparator();

    m_statusText = new StatusLine(this);
    // What runs is named beside the bar, which keeps to a fixed width and only shows the share.
    m_progressLabel = new QLabel(this);
    m_progressLabel->setVisible(false);
    m_progress = new QProgressBar(this);
    m_progress->setFixedWidth(160);
    m_progress->setVisible(false);
    statusBar()->addWidget(m_statusText, 1);
    // Escape does the same while an operation runs.
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setObjectName("ProgressCancelButton");
    m_cancel->setToolTip("Stop the running operation and leave the scene as it was before it (Escape)");
    m_cancel->setVisible(false);
    connect(m_cancel, &QPushButton::clicked, this, []() { DzProgress::requestCancel(); });
    DzProgress::setCancelButton(m_cancel);
    statusBar()->addPermanentWidget(m_progressLabel);
    statusBar()->addPermanentWidget(m_progress);
    statusBar()->addPermanentWidget(m_cancel);
    if (dzApp) {
        m_statusText->setFullText(dzApp->getStatusLine());
        connect(dzApp, &DzApp::statusLineChanged, m_statusText, &StatusLine::setFullText);
        connect(dzApp, &DzApp::progressChanged, this, [this](const QString& label, int value, int maximum) {
            // Done when the value reaches a positive maximum; a zero maximum means busy.
            const bool running = maximum <= 0 || value < maximum;
            // A bar that goes away needs no last value: setting one repaints the window at
            // once, and the first frame of what the work made would be drawn inside the work.
            if (running) {
                m_progressLabel->setText(label);
                m_progress->setRange(0, std::max(0, maximum));
                m_progress->setValue(value);
            }
            m_progress->setVisible(running);
            m_progressLabel->setVisible(running && !label.isEmpty());
            m_cancel->setVisible(running && DzProgress::isRunning());
            m_cancel->setEnabled(DzProgress::isCancellable());
            m_cancel->setToolTip(
                DzProgress::isCancellable()
                    ? QString("Stop the running operation and leave the scene as it was before it (Escape)")
                    : QString("This step cannot be undone once begun; it cannot be cancelled"));
        });
        connect(dzApp->getPaneMgr(), &DzPaneMgr::paneCreated, this, &MainWindow::dockPane);
        connect(dzApp->getPaneMgr(), &DzPaneMgr::paneShowRequested, this, &MainWindow::dockPane);
        for (DzPane* p : dzApp->getPaneMgr()->panes()) dockPane(p);
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::createPane()
{
    if (!dzApp) return;
    QObject* made = dzApp->getPluginMgr()->createInstance(kPaneActionClass);
    QAction* action = qobject_cast<QAction*>(made);
    if (!action) {
        delete made;
        action = new QAction(this);
        connect(action, &QAction::triggered, this, []() { dzApp->getPaneMgr()->showPane(kPaneClass); });
    }
    action->setParent(this);
    if (action->text().isEmpty()) action->setText("Verdix");
    action->setObjectName("VerdixPaneAction");
    m_windowMenu->addAction(action);
    dzApp->getPaneMgr()->showPane(kPaneClass);
}

void MainWindow::createBridgePanes()
{
    if (!dzApp) return;
    DzPaneMgr* panes = dzApp->getPaneMgr();
    korgPane();
    auto* walk = qobject_cast<ZPK_TrekkoPane*>(panes->findPaneByClass("ZPK_TrekkoPane"));
    if (!walk) {
        walk = new ZPK_TrekkoPane;
        panes->addPane(walk);
    }
    connect(walk, &ZPK_TrekkoPane::cameraMoved, m_viewport, &Viewport::followHostCamera, Qt::UniqueConnection);
    for (const char* name : {"Dock_ZPK_KorgPane", "Dock_ZPK_TrekkoPane"})
        if (QDockWidget* dock = findChild<QDockWidget*>(name)) addDockWidget(Qt::LeftDockWidgetArea, dock);
}

void MainWindow::dockPane(DzPane* pane)
{
    if (!pane) return;
    const QString name = QString("Dock_%1").arg(pane->metaObject()->className());
    QDockWidget* dock = findChild<QDockWidget*>(name);
    if (!dock) {
        dock = new QDockWidget(pane->getTitle().isEmpty() ? QString(pane->metaObject()->className()) : pane->getTitle(),
                               this);
        dock->setObjectName(name);
        dock->setWidget(pane);
        addDockWidget(Qt::RightDockWidgetArea, dock);
        m_windowMenu->addAction(dock->toggleViewAction());
    }
    dock->show();
    dock->raise();
}

void MainWindow::report(const QString& text)
{
    if (dzApp) dzApp->statusLine(text);
}

// ---- File menu and closing -------------------------------------------------------------

QString MainWindow::dialogFolder() const
{
    // Where the user last went, else beside the scene, else home: never the folder the
    // process happens to run in (the asset library, when started from there).
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir()) return m_lastFolder;
    const QString scene = dzScene ? dzScene->getFilename() : QString();
    if (!scene.isEmpty() && QFileInfo(scene).absoluteDir().exists()) return QFileInfo(scene).absolutePath();
    return QDir::homePath();
}

QString MainWindow::suggestedPath(const QString& suffix) const
{
    const QString scene = dzScene ? dzScene->getFilename() : QString();
    const QString base = scene.isEmpty() ? QString("Untitled") : QFileInfo(scene).completeBaseName();
    return QDir(dialogFolder()).filePath(base + suffix);
}

void MainWindow::rememberFolder(const QString& file) { m_lastFolder = QFileInfo(file).absolutePath(); }

bool MainWindow::maybeSave()
{
    if (!dzScene || !dzScene->isModified()) return true;
    const QMessageBox::StandardButton answer = dzApp->dialogs()->messageBox(
        QMessageBox::Question, "Verdix Host", "Save changes?",
        "The scene changed since it was last saved; unsaved changes are lost otherwise.",
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save, this);
    if (answer == QMessageBox::Discard) return true;
    if (answer != QMessageBox::Save) return false;
    return saveScene();
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    if (maybeSave()) e->accept();
    else e->ignore();
}

void MainWindow::newScene()
{
    if (!maybeSave()) return;
    if (dzScene) dzScene->clear();
    report("New scene");
}

void MainWindow::openScene()
{
    if (!maybeSave()) return;
    const QString file =
        dzApp->dialogs()->getOpenFileName(this, "Open scene", dialogFolder(), "Scenes (*.duf *.json);;All files (*)");
    if (file.isEmpty()) return;
    rememberFolder(file);
    QString error;
    if (!dzScene->loadScene(file, &error)) {
        if (DzProgress::wasCancelled()) return report(error);
        dzApp->dialogs()->messageBox(QMessageBox::Warning, "Open scene", error, QString(), QMessageBox::Ok,
                                     QMessageBox::Ok, this);
        return;
    }
    report("Opened " + file);
    m_viewport->frameAll();
}

bool MainWindow::saveScene()
{
    const QString file =
        dzApp->dialogs()->getSaveFileName(this, "Save scene", suggestedPath(".duf"), "Scenes (*.duf *.json)");
    if (file.isEmpty()) return false;
    rememberFolder(file);
    QString error;
    if (!dzScene->saveScene(file, &error)) {
        dzApp->dialogs()->messageBox(QMessageBox::Warning, "Save scene", error, QString(), QMessageBox::Ok,
                                     QMessageBox::Ok, this);
        return false;
    }
    report("Saved " + file);
    return true;
}

void MainWindow::exportScene()
{
    const QString file = dzApp->dialogs()->getSaveFileName(this, "Export", suggestedPath(".glb"),
                                                           "glTF binary (*.glb);;glTF (*.gltf);;Wavefront OBJ (*.obj)");
    if (file.isEmpty()) return;
    rememberFolder(file);
    QString error;
    if (!::exportScene(file, &error)) {
        if (DzProgress::wasCancelled()) return report(error);
        dzApp->dialogs()->messageBox(QMessageBox::Warning, "Export", error, QString(), QMessageBox::Ok, QMessageBox::Ok,
                                     this);
        return;
    }
    report("Exported " + file);
}
