#pragma once
// The pane's side of undo and redo. Changes are not pushed one by one as widgets report
// them: the history keeps the state of the last step and, at the end of each user gesture
// (a mouse button let go, a wheel turn, a typed value) or when changes from elsewhere (a
// preset, a script, the controller) have settled, compares the pane with it and pushes the
// difference as one step. So a slider dragged through fifty values is one step, and every
// way into the pane, known or added later, is undoable without hooks of its own.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include "undo/panestate.h"

class ZPK_VerdixPane;
class QWidget;

class VerdixHistory : public QObject
{
    Q_OBJECT
public:
    explicit VerdixHistory(ZPK_VerdixPane* pane);
    ~VerdixHistory() override;

    // Something in the pane changed; it becomes a step once the gesture ends or the changes
    // settle (kSettleMs without another).
    void noteChange();
    // Names the step the next commit pushes when its change spans many boxes ("Open all").
    void hint(const QString& text) { m_hint = text; }
    // Pushes what changed since the last step as one step; nothing when nothing changed.
    // Without force only after a change was noted (comparing costs a record per box).
    void commit(bool force = false);
    // Takes the pane as it stands as the last step's state, pushing nothing (a loaded scene).
    void rebaseline();

    // Makes the pane what state describes: changed boxes are read from their records and
    // updated; a change of the boxes themselves builds them again from the set document.
    void restore(const PaneState& state);
    PaneState capture() const;
    const PaneState& baseline() const { return *m_baseline; }
    bool restoring() const { return m_restoring; }

    static constexpr int kSettleMs = 400;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inPane(QObject* o) const;
    void scheduleCommit();
    // Deletes every box and builds target's boxes again from its set document, their
    // nodes taken over by label.
    void rebuild(const PaneState& target);
    // current's boxes start with target's, unchanged.
    static bool keepsAsPrefix(const PaneState& current, const PaneState& target);
    // Removes the pane's nodes target does not hold and gives the others their labels.
    void matchNodes(const PaneState& target);
    void adoptNodes(const PaneState& target);

    ZPK_VerdixPane* m_pane;
    std::shared_ptr<const PaneState> m_baseline;
    QTimer m_settle;
    QString m_hint;
    bool m_dirty = false;
    bool m_pressed = false;
    bool m_restoring = false;
    bool m_committing = false;
    bool m_commitQueued = false;
    bool m_wheel = false;
};
