#include "dzscene.h"
#include "dzundostack.h"
#include "dznode.h"
#include <QMetaMethod>

DzScene* dzScene = nullptr;

DzSceneData::DzSceneData(const QString& name, bool sceneOwned) : DzElement(nullptr), m_sceneOwned(sceneOwned)
{
    setName(name);
    setLabel(name);
}

DzScene::DzScene(QObject* parent) : DzBase(parent) {}

DzScene::~DzScene()
{
    const QList<DzNode*> nodes = m_nodes;
    m_nodes.clear();
    for (DzNode* n : nodes) n->setParent(nullptr);
    qDeleteAll(nodes);
    qDeleteAll(m_dataItems);
}

void DzScene::addNode(DzNode* node)
{
    if (!node || m_nodes.contains(node)) return;
    node->setParent(this);
    m_nodes.append(node);
    connect(node, &DzElement::labelChanged, this, &DzScene::noteChange, Qt::UniqueConnection);
    emit nodeAdded(node);
    setModified(true);
}

void DzScene::removeNode(DzNode* node)
{
    if (!node || !m_nodes.contains(node)) return;
    while (node->getNumNodeChildren() > 0) node->removeNodeChild(node->getNodeChild(0), true);
    if (DzNode* p = node->getNodeParent()) p->removeNodeChild(node, true);
    m_nodes.removeAll(node);
    if (m_primary == node) {
        m_primary = nullptr;
        emit primarySelectionChanged(nullptr);
    }
    emit nodeRemoved(node);
    node->deleteLater();
    setModified(true);
}

void DzScene::setModified(bool on)
{
    if (m_modified == on) return;
    m_modified = on;
    emit modifiedChanged(on);
}

DzNode* DzScene::findNodeByLabel(const QString& label) const
{
    for (DzNode* n : m_nodes)
        if (n->getLabel() == label) return n;
    return nullptr;
}

DzNode* DzScene::findNode(const QString& name) const
{
    for (DzNode* n : m_nodes)
        if (n->getName() == name) return n;
    return nullptr;
}

void DzScene::selectAllNodes(bool onOff)
{
    for (DzNode* n : m_nodes) n->setSelected(onOff);
    if (!onOff && m_primary) {
        m_primary = nullptr;
        emit primarySelectionChanged(nullptr);
    }
    emit nodeSelectionListChanged();
}

void DzScene::setPrimarySelection(DzNode* node)
{
    if (node && !m_nodes.contains(node)) return;
    if (node) node->setSelected(true);
    if (node == m_primary) return;
    m_primary = node;
    emit primarySelectionChanged(node);
    emit nodeSelectionListChanged();
}

void DzScene::setTime(DzTime t)
{
    if (t == m_time) return;
    m_time = t;
    emit timeChanged(t);
}

void DzScene::play()
{
    if (m_playing) return;
    m_playing = true;
    emit playbackStarted();
}

void DzScene::stop()
{
    if (!m_playing) return;
    m_playing = false;
    emit playbackFinished();
}

void DzScene::addDataItem(DzSceneData* item)
{
    if (!item || m_dataItems.contains(item)) return;
    item->setParent(this);
    m_dataItems.append(item);
    // What a plug-in keeps in the scene is its own; its change signals are all the host sees.
    const QMetaObject* mo = item->metaObject();
    const QMetaMethod note = metaObject()->method(metaObject()->indexOfSlot("noteChange()"));
    for (int i = 0; i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() == QMetaMethod::Signal && m.name().endsWith("Changed"))
            connect(item, m, this, note, Qt::UniqueConnection);
    }
}

void DzScene::removeDataItem(DzSceneData* item)
{
    if (m_dataItems.removeAll(item) > 0) item->deleteLater();
}

DzSceneData* DzScene::findDataItem(const QString& name) const
{
    for (DzSceneData* d : m_dataItems)
        if (d->getName() == name) return d;
    return nullptr;
}

void DzScene::clear()
{
    emit sceneClearStarting();
    m_view = QJsonObject();
    stop();
    if (m_primary) {
        m_primary = nullptr;
        emit primarySelectionChanged(nullptr);
    }
    const QList<DzNode*> nodes = m_nodes;
    m_nodes.clear();
    for (DzNode* n : nodes) emit nodeRemoved(n);
    for (DzNode* n : nodes) n->setParent(nullptr);
    qDeleteAll(nodes);
    // Data items are deleted at once so that guarded pointers to them clear before
    // sceneCleared reaches the listeners that make fresh ones.
    QList<DzSceneData*> keep;
    for (DzSceneData* d : m_dataItems) {
        if (d->isSceneOwned()) delete d;
        else keep.append(d);
    }
    m_dataItems = keep;
    m_filename.clear();
    m_time = 0;
    emit sceneCleared();
    setModified(false);
    // Steps of the scene that went cannot be taken back into another.
    if (dzUndoStack) dzUndoStack->clear();
}
