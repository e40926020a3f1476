#include "outliner.h"
#include "selection.h"
#include <QGuiApplication>
#include <QHeaderView>
#include <QTimer>
#include <vector>
#include <dznode.h>
#include <dzprogress.h>
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
        connect(dzScene, &DzScene::nodeRemoved, this, &Outliner::dropItems);
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
    QTimer::singleShot(0, this, &Outliner::rebuildWhenIdle);
}

void Outliner::rebuildWhenIdle()
{
    // Long work lets events through many times a second; rebuilding the whole tree each time
    // would cost it more than the work itself.
    if (DzProgress::isRunning()) {
        QTimer::singleShot(250, this, &Outliner::rebuildWhenIdle);
        return;
    }
    rebuild();
}

void Outliner::dropItems()
{
    // Emptied once, the tree costs nothing for the next removals of a batch; it comes back
    // whole with the next rebuild.
    if (!m_items.isEmpty()) {
        m_updatingSelection = true;
        clear();
        m_items.clear();
        m_updatingSelection = false;
    }
    scheduleRebuild();
}

QTreeWidgetItem* Outliner::add(DzNode* root, const QSet<DzNode*>& inScene)
{
    // Walked with a stack of its own, the items built before they join the view: a scene may
    // be one chain of a hundred thousand nodes. Qt lays out and deletes item trees
    // recursively, so nodes nested deeper than kMaxDepth are listed one level under their
    // ancestor at that depth, which says so in its tooltip.
    struct Item
    {
        DzNode* node;
        QTreeWidgetItem* parent;
        int depth;
    };
    QHash<QTreeWidgetItem*, QList<QTreeWidgetItem*>> kids;
    QTreeWidgetItem* top = nullptr;
    std::vector<Item> stack{{root, nullptr, 0}};
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        auto* item = new QTreeWidgetItem(QStringList(it.node->getLabel()));
        m_items.insert(it.node, item);
        if (it.parent) kids[it.parent].append(item);
        else top = item;
        const bool flatten = it.depth >= kMaxDepth;
        if (flatten && it.node->getNumNodeChildren() > 0 && it.parent)
            it.parent->setToolTip(
                0, QString("Nodes nested deeper than %1 levels are listed here, one level down").arg(kMaxDepth));
        for (int i = it.node->getNumNodeChildren() - 1; i >= 0; --i) {
            DzNode* c = it.node->getNodeChild(i);
            if (!inScene.contains(c)) continue;
            if (flatten) stack.push_back({c, it.parent, it.depth});
            else stack.push_back({c, item, it.depth + 1});
        }
    }
    for (auto k = kids.begin(); k != kids.end(); ++k) k.key()->addChildren(k.value());
    return top;
}

void Outliner::rebuild()
{
    m_pending = false;
    m_updatingSelection = true;
    clear();
    m_items.clear();
    if (dzScene) {
        const QList<DzNode*> nodes = dzScene->nodeList();
        const QSet<DzNode*> inScene(nodes.begin(), nodes.end());
        QList<QTreeWidgetItem*> tops;
        for (DzNode* n : nodes)
            if (!n->getNodeParent() || !inScene.contains(n->getNodeParent())) tops.append(add(n, inScene));
        addTopLevelItems(tops);
        expandAll();
        if (QTreeWidgetItem* sel = m_items.value(dzScene->getPrimarySelection())) setCurrentItem(sel);
    }
    m_updatingSelection = false;
}

DzNode* Outliner::nodeFor(QTreeWidgetItem* item) const { return m_items.key(item, nullptr); }

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
