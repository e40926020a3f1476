#include "dznode.h"
#include "dzshape.h"
#include <QVarLengthArray>

DzNode::~DzNode()
{
    for (DzNode* c : m_children) c->m_parent = nullptr;
    if (m_parent) m_parent->m_children.removeAll(this);
}

void DzNode::setObject(DzObject* obj)
{
    if (obj == m_object) return;
    delete m_object;
    m_object = obj;
    if (m_object) m_object->setParent(this);
}

void DzNode::setSelected(bool on)
{
    if (on == m_selected) return;
    m_selected = on;
    emit selectionStateChanged(this, on);
}

void DzNode::setPresentation(DzPresentation* p)
{
    if (p == m_presentation) return;
    delete m_presentation;
    m_presentation = p;
    if (m_presentation) m_presentation->setParent(this);
}

void DzNode::addNodeChild(DzNode* child, bool inPlace)
{
    if (!child || child == this || child->m_parent == this) return;
    // Refuse cycles: a node cannot become a child of its own descendant.
    for (DzNode* p = this; p; p = p->m_parent)
        if (p == child) return;
    const DzTransform world = child->getWSTransform();
    if (child->m_parent) child->m_parent->removeNodeChild(child, false);
    child->m_parent = this;
    m_children.append(child);
    if (inPlace) child->m_local = getWSTransform().inverse() * world;
}

void DzNode::removeNodeChild(DzNode* child, bool inPlace)
{
    if (!child || child->m_parent != this) return;
    const DzTransform world = child->getWSTransform();
    m_children.removeAll(child);
    child->m_parent = nullptr;
    if (inPlace) child->m_local = world;
}

DzTransform DzNode::getWSTransform() const
{
    if (!m_parent) return m_local;
    // Composed from the root down, in the order a recursion would, without its stack depth:
    // a scene may hold one chain of a hundred thousand parents.
    QVarLengthArray<const DzNode*, 32> chain;
    for (const DzNode* n = this; n; n = n->m_parent) chain.append(n);
    DzTransform t = chain.back()->m_local;
    for (int i = chain.size() - 2; i >= 0; --i) t = t * chain[i]->m_local;
    return t;
}

void DzNode::setWSPos(const DzVec3& p)
{
    if (!m_parent) {
        m_local.pos = p;
        return;
    }
    const DzTransform parentInv = m_parent->getWSTransform().inverse();
    m_local.pos = parentInv.apply(p);
}
