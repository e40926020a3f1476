#include "outliner.h"
#include "selection.h"
#include <QGuiApplication>
#include <QHeaderView>
#include <QTimer>
#include <dznode.h>
#include <dzscene.h>

Outliner::Outliner(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName("SceneOutliner");
    setHeaderLabel("Scene");
    header()->setVisible(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemClicked, this, &Outliner::onItemClicked);
    if (dzScene) {
        connect(dzScene, &DzScene::nodeAdded, this, [this](DzNode* n) {
            connect(n, &DzElement::labelChanged, this, &Outliner::scheduleRebuild, Qt::UniqueConnection);
            scheduleRebuild();
        });
        // At once: the removed node is deleted soon after, and no item may outlive it.
        connect(dzScene, &DzScene::nodeRemoved, this, &Outliner::rebuild);
        connect(dzScene, &DzScene::sceneCleared, this, &Outliner::rebuild);
        connect(dzScene, &DzScene::primarySelectionChanged, this, &Outliner::onPrimarySelectionChanged);
        for (DzNode* n : dzScene->nodeList()) connect(n, &DzElement::labelChanged, this, &Outliner::scheduleRebuild);
    }
    rebuild();
}

void Outliner::scheduleRebuild()
{
    // Pane operations add many nodes at once; one rebuild after them is enough.
    if (m_pending) return;
    m_pending = true;
    QTimer::singleShot(0, this, &Outliner::rebuild);
}

QTreeWidgetItem* Outliner::add(DzNode* node, QTreeWidgetItem* parent)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, node->getLabel());
    m_items.insert(node, item);
    for (int i = 0; i < node->getNumNodeChildren(); ++i) {
        DzNode* c = node->getNodeChild(i);
        if (dzScene->nodeList().contains(c)) add(c, item);
    }
    return item;
}

void Outliner::rebuild()
{
    m_pending = false;
    m_updatingSelection = true;
    clear();
    m_items.clear();
    if (dzScene) {
        const QList<DzNode*> nodes = dzScene->nodeList();
        for (DzNode* n : nodes)
            if (!n->getNodeParent() || !nodes.contains(n->getNodeParent())) add(n, nullptr);
        expandAll();
        if (QTreeWidgetItem* sel = m_items.value(dzScene->getPrimarySelection())) setCurrentItem(sel);
    }
    m_updatingSelection = false;
}

DzNode* Outliner::nodeFor(QTreeWidgetItem* item) const
{
    return m_items.key(item, nullptr);
}

void Outliner::onItemClicked(QTreeWidgetItem* item)
{
    if (m_updatingSelection || !dzScene) return;
    if (DzNode* n = nodeFor(item)) clickSelect(n, QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
}

void Outliner::onPrimarySelectionChanged(DzNode* node)
{
    m_updatingSelection = true;
    if (QTreeWidgetItem* item = m_items.value(node)) setCurrentItem(item);
    else clearSelection();
    m_updatingSelection = false;
}
