#pragma once
// The application's one history of changes. Every part that changes the scene (the host's
// node moves, a plug-in's panes) pushes its steps here, so one Undo takes back whatever was
// done last, wherever it was done.
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <functional>
#include <QUndoCommand>
#include <QUndoStack>
#include "dzexport.h"
#include "dzgeometry.h"
#include "dznode.h"

// A step of the history. The change it stands for has already happened when it is pushed,
// so its first redo does nothing. Steps say how much memory they hold, which bounds the
// history, and can be copied (their data shared) so that the oldest can be dropped.
class DZHOST_EXPORT DzUndoCommand : public QUndoCommand
{
public:
    explicit DzUndoCommand(const QString& text) : QUndoCommand(text) {}
    void undo() final;
    void redo() final;
    int id() const override;

    // Bytes of memory the step keeps alive (what it shares with others counted once, by the
    // step that made it).
    virtual qint64 bytes() const = 0;
    // The same step, its data shared, already pushed.
    virtual DzUndoCommand* copy() const = 0;

protected:
    virtual void takeBack() = 0;
    virtual void bringAgain() = 0;
    // Merge id of steps that may fold into the one before them; -1 for none.
    virtual int mergeId() const { return -1; }
    bool m_pushed = false;
};

class DZHOST_EXPORT DzUndoStack : public QUndoStack
{
    Q_OBJECT
public:
    explicit DzUndoStack(QObject* parent = nullptr);

    // Undo and redo as the Edit menu and scripts ask for them: changes a part has made but
    // not yet pushed (a slider still settling) become a step of their own first, so they
    // are what is taken back. False when there was nothing to take back or bring again.
    Q_INVOKABLE bool undoStep();
    Q_INVOKABLE bool redoStep();
    // Pushes what the parts still hold (see flushRequested).
    Q_INVOKABLE void flush() { emit flushRequested(); }
    // A part in the middle of work (an update that lets events through) is no state to
    // jump from: undoStep and redoStep refuse while any busy test says so.
    void addBusyTest(QObject* owner, std::function<bool()> busy);
    bool partBusy() const;

    // Pushes a step, then drops the oldest steps while the history holds more than
    // memoryLimit() bytes (the newest step always stays).
    void pushStep(DzUndoCommand* step);
    static constexpr qint64 kDefaultMemoryLimit = 256LL << 20;
    qint64 memoryLimit() const { return m_memoryLimit; }
    void setMemoryLimit(qint64 bytes) { m_memoryLimit = bytes; }
    // Bytes the steps on the stack hold.
    qint64 bytesHeld() const;
    // Set while the stack is rebuilt without its oldest steps: steps then change nothing.
    bool isRebuilding() const { return m_rebuilding; }

    // A move of node from the transform it had (local) to the one it has now; nothing when
    // the two are the same. The node is found again by its label on undo and redo, so a
    // node that a later step rebuilt under the same label still moves back.
    void pushNodeMove(DzNode* node, const DzTransform& before, const QString& text = QString());

signals:
    // Parts that keep changes back until they settle push them now.
    void flushRequested();

private:
    void dropOldest(int n);
    qint64 m_memoryLimit = kDefaultMemoryLimit;
    QList<QPair<QPointer<QObject>, std::function<bool()>>> m_busyTests;
    bool m_rebuilding = false;
};

DZHOST_EXPORT extern DzUndoStack* dzUndoStack;
