#include "dzpane.h"
#include "dzapp.h"
#include "dzplugin.h"

DzPaneAction::DzPaneAction(const QString& paneClassName, QObject* parent) : QAction(parent), m_paneClass(paneClassName)
{
    connect(this, &QAction::triggered, this, &DzPaneAction::showPane);
}

void DzPaneAction::showPane()
{
    if (dzApp) dzApp->getPaneMgr()->showPane(m_paneClass);
}

QObject* DzPaneMgr::findPane(const QString& className) const { return findPaneByClass(className); }

DzPane* DzPaneMgr::findPaneByClass(const QString& className) const
{
    for (DzPane* p : m_panes)
        if (QString::fromLatin1(p->metaObject()->className()) == className) return p;
    return nullptr;
}

void DzPaneMgr::addPane(DzPane* pane)
{
    if (!pane || m_panes.contains(pane)) return;
    m_panes.append(pane);
    connect(pane, &QObject::destroyed, this, [this, pane]() { m_panes.removeAll(pane); });
    emit paneCreated(pane);
}

DzPane* DzPaneMgr::getOrCreatePane(const QString& className)
{
    if (DzPane* p = findPaneByClass(className)) return p;
    if (!dzApp) return nullptr;
    QObject* obj = dzApp->getPluginMgr()->createInstance(className);
    DzPane* pane = qobject_cast<DzPane*>(obj);
    if (!pane) {
        delete obj;
        return nullptr;
    }
    addPane(pane);
    return pane;
}

void DzPaneMgr::showPane(const QString& className)
{
    if (DzPane* p = getOrCreatePane(className)) emit paneShowRequested(p);
}
