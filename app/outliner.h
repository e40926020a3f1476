#pragma once
// The scene outliner: nodes by label following the hierarchy. Clicking an item makes its
// node the primary selection.
#include <QHash>
#include <QSet>
#include <QTreeWidget>

class DzNode;

class Outliner : public QTreeWidget
{
    Q_OBJECT
public:
    // Deepest nesting shown as such; deeper nodes are listed one level under their ancestor
    // at this depth.
    static constexpr int kMaxDepth = 64;

    explicit Outliner(QWidget* parent = nullptr);
    QTreeWidgetItem* itemFor(DzNode* node) const { return m_items.value(node); }
    DzNode* nodeFor(QTreeWidgetItem* item) const;

public slots:
    // Rebuilds the tree from the scene; cheap enough for the scenes the pane makes, and
    // the only way to follow re-parenting, which the scene does not announce.
    void rebuild();

private slots:
    void onItemClicked(QTreeWidgetItem* item);
    void onPrimarySelectionChanged(DzNode* node);

private:
    void scheduleRebuild();
    void rebuildWhenIdle();
    void dropItems();
    // The item tree of root, not yet in the view.
    QTreeWidgetItem* add(DzNode* root, const QSet<DzNode*>& inScene);

    QHash<DzNode*, QTreeWidgetItem*> m_items;
    bool m_pending = false;
    bool m_updatingSelection = false;
};
