#pragma once
// The scene outliner: nodes by label following the hierarchy. Clicking an item makes its
// node the primary selection.
#include <QHash>
#include <QTreeWidget>

class DzNode;

class Outliner : public QTreeWidget
{
    Q_OBJECT
public:
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
    QTreeWidgetItem* add(DzNode* node, QTreeWidgetItem* parent);

    QHash<DzNode*, QTreeWidgetItem*> m_items;
    bool m_pending = false;
    bool m_updatingSelection = false;
};
