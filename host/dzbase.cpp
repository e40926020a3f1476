#include "dzbase.h"
#include "dzmaterial.h"

DzElement::DzElement(QObject* parent) : DzBase(parent) {}

DzElement::~DzElement() { qDeleteAll(m_properties); }

void DzElement::setLabel(const QString& label)
{
    if (label == m_label) return;
    m_label = label;
    emit labelChanged(label);
}

void DzElement::addProperty(DzProperty* prop)
{
    if (!prop || m_properties.contains(prop)) return;
    prop->setParent(nullptr);
    m_properties.append(prop);
}

DzProperty* DzElement::findProperty(const QString& name) const
{
    for (DzProperty* p : m_properties)
        if (p->getLabel() == name) return p;
    return nullptr;
}
