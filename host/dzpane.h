#pragma once
#include <QAction>
#include <QList>
#include <QWidget>
#include "dzexport.h"

class DZHOST_EXPORT DzPane : public QWidget
{
    Q_OBJECT
public:
    explicit DzPane(const QString& title, QWidget* parent = nullptr) : QWidget(parent), m_title(title)
    {
        setWindowTitle(title);
    }
    QString getTitle() const { return m_title; }

private:
    QString m_title;
};

// A menu action that shows the pane of the given class, creating it on first use.
class DZHOST_EXPORT DzPaneAction : public QAction
{
    Q_OBJECT
public:
    explicit DzPaneAction(const QString& paneClassName, QObject* parent = nullptr);
    QString getPaneClass() const { return m_paneClass; }

private slots:
    void showPane();

private:
    QString m_paneClass;
};

// Finds and creates panes by class name. The main window docks what it creates.
class DZHOST_EXPORT DzPaneMgr : public QObject
{
    Q_OBJECT
public:
    explicit DzPaneMgr(QObject* parent = nullptr) : QObject(parent) {}

    // The pane whose meta-object class name is className, or null.
    Q_INVOKABLE QObject* findPane(const QString& className) const;
    DzPane* findPaneByClass(const QString& className) const;
    // Creates the pane through its registered factory when it does not exist yet.
    DzPane* getOrCreatePane(const QString& className);
    void showPane(const QString& className);
    QList<DzPane*> panes() const { return m_panes; }
    void addPane(DzPane* pane);

signals:
    void paneCreated(DzPane* pane);
    void paneShowRequested(DzPane* pane);

private:
    QList<DzPane*> m_panes;
};
