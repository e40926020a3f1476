#include "dzundostack.h"
#include "dzscene.h"

DzUndoStack* dzUndoStack = nullptr;

void DzUndoCommand::undo()
{
    if (dzUndoStack && dzUndoStack->isRebuilding()) return;
    takeBack();
}

void DzUndoCommand::redo()
{
    // The change itself happened before the push; a rebuilt stack changes nothing.
    const bool first = !m_pushed;
    m_pushed = true;
    if (first || (dzUndoStack && dzUndoStack->isRebuilding())) return;
    bringAgain();
}

int DzUndoCommand::id() const { return dzUndoStack && dzUndoStack->isRebuilding() ? -1 : mergeId(); }

namespace {

bool sameTransform(const DzTransform& a, const DzTransform& b)
{
    return a.pos.m_x == b.pos.m_x && a.pos.m_y == b.pos.m_y && a.pos.m_z == b.pos.m_z && a.rot.m_x == b.rot.m_x &&
           a.rot.m_y == b.rot.m_y && a.rot.m_z == b.rot.m_z && a.rot.m_w == b.rot.m_w && a.scale.m_x == b.scale.m_x &&
           a.scale.m_y == b.scale.m_y && a.scale.m_z == b.scale.m_z;
}

class NodeMoveCommand : public DzUndoCommand
{
public:
    NodeMoveCommand(const QString& label, const DzTransform& before, const DzTransform& after, const QString& text)
        : DzUndoCommand(text), m_label(label), m_before(before), m_after(after)
    {
    }
    qint64 bytes() const override { return qint64(sizeof *this) + m_label.size() * 2; }
    DzUndoCommand* copy() const override
    {
        auto* c = new NodeMoveCommand(m_label, m_before, m_after, text());
        c->m_pushed = true;
        return c;
    }

protected:
    void takeBack() override { place(m_before); }
    void bringAgain() override { place(m_after); }

private:
    void place(const DzTransform& t)
    {
        DzNode* node = dzScene ? dzScene->findNodeByLabel(m_label) : nullptr;
        if (!node) return;
        node->setLocalTransform(t);
        dzScene->setModified(true);
    }
    QString m_label;
    DzTransform m_before, m_after;
};

}  // namespace

DzUndoStack::DzUndoStack(QObject* parent) : QUndoStack(parent) {}

void DzUndoStack::addBusyTest(QObject* owner, std::function<bool()> busy)
{
    m_busyTests.append({owner, std::move(busy)});
}

bool DzUndoStack::partBusy() const
{
    for (const auto& t : m_busyTests)
        if (t.first && t.second()) return true;
    return false;
}

bool DzUndoStack::undoStep()
{
    if (partBusy()) return false;
    emit flushRequested();
    if (!canUndo()) return false;
    undo();
    return true;
}

bool DzUndoStack::redoStep()
{
    if (partBusy()) return false;
    emit flushRequested();
    if (!canRedo()) return false;
    redo();
    return true;
}

qint64 DzUndoStack::bytesHeld() const
{
    qint64 total = 0;
    for (int i = 0; i < count(); ++i)
        if (auto* c = dynamic_cast<const DzUndoCommand*>(command(i))) total += c->bytes();
    return total;
}

void DzUndoStack::pushStep(DzUndoCommand* step)
{
    push(step);
    if (m_memoryLimit <= 0 || count() < 2) return;
    qint64 total = bytesHeld();
    int drop = 0;
    for (; drop < count() - 1 && total > m_memoryLimit; ++drop)
        if (auto* c = dynamic_cast<const DzUndoCommand*>(command(drop))) total -= c->bytes();
    if (drop > 0) dropOldest(drop);
}

void DzUndoStack::dropOldest(int n)
{
    // QUndoStack drops its oldest steps only by a count limit, which it takes on an empty
    // stack alone: the stack is built again from copies of the steps that stay, sharing
    // their data, while steps change nothing.
    QList<DzUndoCommand*> kept;
    for (int i = n; i < count(); ++i) {
        auto* c = dynamic_cast<const DzUndoCommand*>(command(i));
        // A step that cannot be copied cannot be moved: keep everything.
        if (!c) {
            qDeleteAll(kept);
            return;
        }
        kept << c->copy();
    }
    const int at = qMax(0, index() - n);
    m_rebuilding = true;
    clear();
    for (DzUndoCommand* c : kept) push(c);
    setIndex(at);
    m_rebuilding = false;
}

void DzUndoStack::pushNodeMove(DzNode* node, const DzTransform& before, const QString& text)
{
    if (!node || sameTransform(before, node->getLocalTransform())) return;
    const DzTransform after = node->getLocalTransform();
    // What another part changed before this move is its own step, older than the move; the
    // move stands apart while that is pushed.
    node->setLocalTransform(before);
    emit flushRequested();
    node->setLocalTransform(after);
    const QString label = node->getLabel();
    pushStep(new NodeMoveCommand(label, before, after, text.isEmpty() ? QString("Move '%1'").arg(label) : text));
}
