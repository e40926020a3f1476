#pragma once
#include <QJsonObject>
#include <functional>
// The scene: node list, selection, time, playback and scene-data items, plus the
// host's own scene file format (see dzscenefile.cpp).
#include <QList>
#include <QString>
#include "dzbase.h"
#include "dzmath.h"

class DzNode;
class DzRenderer;

class DZHOST_EXPORT DzSceneData : public DzElement
{
    Q_OBJECT
public:
    // Data items are found by name; the flag marks items that belong to the scene
    // (saved with it and removed when it is cleared).
    explicit DzSceneData(const QString& name, bool sceneOwned = true);
    bool isSceneOwned() const { return m_sceneOwned; }

private:
    bool m_sceneOwned;
};

class DZHOST_EXPORT DzRenderer : public DzBase
{
    Q_OBJECT
public:
    explicit DzRenderer(QObject* parent = nullptr) : DzBase(parent) {}
};

class DZHOST_EXPORT DzScene : public DzBase
{
    Q_OBJECT
public:
    explicit DzScene(QObject* parent = nullptr);
    ~DzScene() override;

    // Nodes. The scene owns the nodes added to it.
    void addNode(DzNode* node);
    // Takes the node out of the scene (its children stay, unparented in place) and
    // deletes it later, once every receiver of nodeRemoved has run.
    void removeNode(DzNode* node);
    int getNumNodes() const { return m_nodes.size(); }
    DzNode* getNode(int i) const { return m_nodes.value(i); }
    QList<DzNode*> nodeList() const { return m_nodes; }
    // The first node, in scene order, whose label is exactly label; null when none.
    DzNode* findNodeByLabel(const QString& label) const;
    // The first node whose object name is name.
    DzNode* findNode(const QString& name) const;

    // Selection.
    void selectAllNodes(bool onOff);
    void setPrimarySelection(DzNode* node);
    DzNode* getPrimarySelection() const { return m_primary; }

    // Time.
    DzTime getTime() const { return m_time; }
    void setTime(DzTime t);
    DzTime getTimeStep() const { return m_timeStep; }
    void setTimeStep(DzTime step) { m_timeStep = step; }
    DzTime getAnimEnd() const { return m_animEnd; }
    void setAnimEnd(DzTime end) { m_animEnd = end; }
    bool isPlaying() const { return m_playing; }
    void play();
    void stop();
    // Renders announce themselves so that animated content can stop first.
    void emitAboutToRender(DzRenderer* r) { emit aboutToRender(r); }

    // Scene-data items; the scene owns what is added.
    void addDataItem(DzSceneData* item);
    void removeDataItem(DzSceneData* item);
    DzSceneData* findDataItem(const QString& name) const;
    int getNumDataItems() const { return m_dataItems.size(); }
    DzSceneData* getDataItem(int i) const { return m_dataItems.value(i); }

    // How the host application shows the scene (its camera, its light), kept with the scene
    // file under "view": the provider fills it in when the scene is saved, and a loaded
    // scene hands back what its file held (empty when none, or after clear()).
    void setViewProvider(std::function<QJsonObject()> provider) { m_viewProvider = std::move(provider); }
    QJsonObject getViewSettings() const { return m_view; }

    // The file the scene was last loaded from or saved to; empty for a new scene.
    QString getFilename() const { return m_filename; }

    // Whether the scene changed since it was last saved, loaded or cleared: a node came or
    // went or was renamed, or a data item announced a change (any of its signals whose name
    // ends in "Changed"). Time and selection are no change.
    bool isModified() const { return m_modified; }
    void setModified(bool on);

    // Empties the scene: nodes and scene-owned data items.
    void clear();
    // Host scene files. Loading reads and checks the whole file before the current scene
    // is touched; on failure the scene is unchanged and error says why in one line.
    bool saveScene(const QString& file, QString* error = nullptr);
    bool loadScene(const QString& file, QString* error = nullptr);
    // Merges a scene file's nodes into the current scene without clearing it and without
    // changing the scene's file name (an import).
    bool mergeScene(const QString& file, QString* error = nullptr);

signals:
    void nodeAdded(DzNode* node);
    void nodeRemoved(DzNode* node);
    void sceneLoadStarting();
    void sceneClearStarting();
    void sceneCleared();
    void sceneLoaded();
    void sceneSaved(const QString& file);
    void playbackStarted();
    void playbackFinished();
    void primarySelectionChanged(DzNode* node);
    void nodeSelectionListChanged();
    void timeChanged(DzTime time);
    void aboutToRender(DzRenderer* renderer);
    void modifiedChanged(bool modified);

private slots:
    void noteChange() { setModified(true); }

private:
    friend class DzSceneFile;
    QList<DzNode*> m_nodes;
    QList<DzSceneData*> m_dataItems;
    DzNode* m_primary = nullptr;
    DzTime m_time = 0;
    DzTime m_timeStep = 160;
    DzTime m_animEnd = 30 * 160;
    bool m_playing = false;
    QString m_filename;
    bool m_modified = false;
    QJsonObject m_view;
    std::function<QJsonObject()> m_viewProvider;
};

DZHOST_EXPORT extern DzScene* dzScene;
