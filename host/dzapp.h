#pragma once
// The application object (dzApp) and the main-window facade through which the
// plug-in reaches panes, viewports and the camera.
#include <QObject>
#include <QPointer>
#include <QString>
#include "dzbase.h"

class DzImageMgr;
class DzPaneMgr;
class DzPluginMgr;
class DzCameraNode;
class DzDialogService;

class DZHOST_EXPORT Dz3DViewport : public QObject
{
    Q_OBJECT
public:
    explicit Dz3DViewport(QObject* parent = nullptr);
    DzCameraNode* getCamera() const { return m_camera; }
    void setCamera(DzCameraNode* cam) { m_camera = cam; }

private:
    DzCameraNode* m_camera;
};

class DZHOST_EXPORT DzViewport : public QObject
{
    Q_OBJECT
public:
    explicit DzViewport(QObject* parent = nullptr) : QObject(parent), m_3d(new Dz3DViewport(this)) {}
    Dz3DViewport* get3DViewport() const { return m_3d; }

private:
    Dz3DViewport* m_3d;
};

class DZHOST_EXPORT DzViewportMgr : public QObject
{
    Q_OBJECT
public:
    explicit DzViewportMgr(QObject* parent = nullptr) : QObject(parent), m_active(new DzViewport(this)) {}
    DzViewport* getActiveViewport() const { return m_active; }

private:
    DzViewport* m_active;
};

// Not a widget: the host application's real window registers itself with it. Scripts
// see it as the global MainWindow.
class DZHOST_EXPORT DzMainWindow : public QObject
{
    Q_OBJECT
public:
    explicit DzMainWindow(QObject* parent = nullptr);
    DzViewportMgr* getViewportMgr() const { return m_viewportMgr; }
    Q_INVOKABLE QObject* getPaneMgr() const;
    // The Edit menu's Undo and Redo for scripts; false when there was nothing to do.
    Q_INVOKABLE bool undo();
    Q_INVOKABLE bool redo();
    // The text the Edit menu shows for the next undo and redo ("" when there is none).
    Q_INVOKABLE QString undoText() const;
    Q_INVOKABLE QString redoText() const;
    // Moves the node labelled label to the world position (x, y, z) as one undoable step;
    // false when there is no such node.
    Q_INVOKABLE bool moveNode(const QString& label, double x, double y, double z);

private:
    DzViewportMgr* m_viewportMgr;
};

class DZHOST_EXPORT DzApp : public QObject
{
    Q_OBJECT
public:
    explicit DzApp(QObject* parent = nullptr);
    ~DzApp() override;

    void statusLine(const QString& text, bool addToLog = true);
    QString getStatusLine() const { return m_status; }

    DzImageMgr* getImageMgr() const { return m_imageMgr; }
    DzMainWindow* getInterface() const { return m_mainWindow; }
    DzPaneMgr* getPaneMgr() const { return m_paneMgr; }
    DzPluginMgr* getPluginMgr() const { return m_pluginMgr; }
    DzDialogService* dialogs() const { return m_dialogs; }

    bool isMultiThreadingEnabled() const { return m_multiThreading; }
    void enableMultiThreading(bool on) { m_multiThreading = on; }

    // The folder the host executable lives in; tests may point it elsewhere.
    QString getApplicationDir() const;
    void setApplicationDirOverride(const QString& dir) { m_appDirOverride = dir; }

    // A texture root chosen by the application (verdix-host --assets); when set, the pane
    // uses it instead of the root named in its configuration file.
    void setTextureRootOverride(const QString& dir) { m_textureRootOverride = dir; }
    QString getTextureRootOverride() const { return m_textureRootOverride; }

    // Announces that the application is about to close.
    void emitClosing() { emit closing(); }

signals:
    void closing();
    void statusLineChanged(const QString& text);
    // Long operations report progress here; the window shows it.
    void progressChanged(const QString& label, int value, int maximum);

public:
    void reportProgress(const QString& label, int value, int maximum) { emit progressChanged(label, value, maximum); }

private:
    QString m_status;
    QString m_appDirOverride;
    QString m_textureRootOverride;
    DzImageMgr* m_imageMgr;
    DzMainWindow* m_mainWindow;
    DzPaneMgr* m_paneMgr;
    DzPluginMgr* m_pluginMgr;
    DzDialogService* m_dialogs;
    bool m_multiThreading = false;
};

DZHOST_EXPORT extern DzApp* dzApp;

// Creates dzApp and dzScene (after the QApplication); destroys them in the right order.
class DZHOST_EXPORT DzHostSession
{
public:
    DzHostSession();
    ~DzHostSession();
};
