#include "dzapp.h"
#include <QCoreApplication>
#include "dzdialogs.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzpane.h"
#include "dzplugin.h"
#include "dzscene.h"
#include "dzundostack.h"

DzApp* dzApp = nullptr;

Dz3DViewport::Dz3DViewport(QObject* parent) : QObject(parent), m_camera(new DzCameraNode(this))
{
    m_camera->setLabel("Perspective View");
    // A default view from above at an angle, looking at the origin.
    m_camera->setLocalPos(DzVec3(0.f, 800.f, 1400.f));
}

DzMainWindow::DzMainWindow(QObject* parent) : QObject(parent), m_viewportMgr(new DzViewportMgr(this))
{
    setObjectName("MainWindow");
}

QObject* DzMainWindow::getPaneMgr() const { return dzApp ? dzApp->getPaneMgr() : nullptr; }

bool DzMainWindow::undo() { return dzUndoStack && dzUndoStack->undoStep(); }
bool DzMainWindow::redo() { return dzUndoStack && dzUndoStack->redoStep(); }

QString DzMainWindow::undoText() const
{
    if (!dzUndoStack) return QString();
    dzUndoStack->flush();
    return dzUndoStack->undoText();
}

QString DzMainWindow::redoText() const
{
    if (!dzUndoStack) return QString();
    dzUndoStack->flush();
    return dzUndoStack->redoText();
}

bool DzMainWindow::moveNode(const QString& label, double x, double y, double z)
{
    DzNode* node = dzScene ? dzScene->findNodeByLabel(label) : nullptr;
    if (!node) return false;
    const DzTransform before = node->getLocalTransform();
    node->setWSPos(DzVec3(float(x), float(y), float(z)));
    dzScene->setModified(true);
    if (dzUndoStack) dzUndoStack->pushNodeMove(node, before);
    return true;
}

DzApp::DzApp(QObject* parent)
    : QObject(parent), m_imageMgr(new DzImageMgr(this)), m_mainWindow(new DzMainWindow(this)),
      m_paneMgr(new DzPaneMgr(this)), m_pluginMgr(new DzPluginMgr(this)), m_dialogs(new DzDialogService)
{
}

DzApp::~DzApp() { delete m_dialogs; }

void DzApp::statusLine(const QString& text, bool)
{
    m_status = text;
    emit statusLineChanged(text);
}

QString DzApp::getApplicationDir() const
{
    if (!m_appDirOverride.isEmpty()) return m_appDirOverride;
    return QCoreApplication::applicationDirPath();
}

DzHostSession::DzHostSession()
{
    if (!dzApp) dzApp = new DzApp;
    if (!dzScene) dzScene = new DzScene;
    if (!dzUndoStack) dzUndoStack = new DzUndoStack;
}

DzHostSession::~DzHostSession()
{
    // Panes first: they may still talk to the scene while they close.
    if (dzApp) {
        const QList<DzPane*> panes = dzApp->getPaneMgr()->panes();
        qDeleteAll(panes);
    }
    delete dzUndoStack;
    dzUndoStack = nullptr;
    delete dzScene;
    dzScene = nullptr;
    delete dzApp;
    dzApp = nullptr;
}
