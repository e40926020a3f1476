#pragma once
// Base classes of host objects: every scene object is a QObject with a label and
// a list of named properties.
#include <QObject>
#include <QString>
#include <QList>
#include "dzexport.h"

class DzProperty;

typedef int DzError;
constexpr DzError DZ_NO_ERROR = 0;
constexpr DzError DZ_UNHANDLED_ERROR = 1;

class DZHOST_EXPORT DzBase : public QObject
{
    Q_OBJECT
public:
    explicit DzBase(QObject* parent = nullptr) : QObject(parent) {}
};

class DZHOST_EXPORT DzElement : public DzBase
{
    Q_OBJECT
public:
    explicit DzElement(QObject* parent = nullptr);
    ~DzElement() override;

    QString getLabel() const { return m_label; }
    void setLabel(const QString& label);
    QString getName() const { return objectName(); }
    void setName(const QString& name) { setObjectName(name); }

    // Properties are owned by the element and found by their display name.
    void addProperty(DzProperty* prop);
    DzProperty* findProperty(const QString& name) const;
    int getNumProperties() const { return m_properties.size(); }
    DzProperty* getProperty(int i) const { return m_properties.value(i); }

    void beginEdit() { ++m_editDepth; }
    void finishEdit()
    {
        if (m_editDepth > 0) --m_editDepth;
    }
    bool isEditing() const { return m_editDepth > 0; }

signals:
    void labelChanged(const QString& newLabel);

private:
    QString m_label;
    QList<DzProperty*> m_properties;
    int m_editDepth = 0;
};
