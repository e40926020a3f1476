#include "editmenu.h"
#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QUndoView>
#include <dzprogress.h>
#include <dzundostack.h>

namespace {

// While work runs its steps are not yet taken: nothing jumps into the middle of it.
bool workRunning() { return DzProgress::isRunning(); }

}  // namespace

void addEditMenu(QMainWindow* window, QMenu* windowMenu)
{
    if (!dzUndoStack) return;
    QMenuBar* bar = window->menuBar();
    QMenu* edit = new QMenu("&Edit", window);
    edit->setObjectName("EditMenu");
    // After File, before View.
    const QList<QAction*> menus = bar->actions();
    bar->insertMenu(menus.size() > 1 ? menus[1] : nullptr, edit);

    auto* undo = new QAction("Undo", window);
    undo->setObjectName("EditUndoAction");
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    auto* redo = new QAction("Redo", window);
    redo->setObjectName("EditRedoAction");
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    auto refresh = [undo, redo]() {
        undo->setEnabled(dzUndoStack->canUndo());
        redo->setEnabled(dzUndoStack->canRedo());
        undo->setText(dzUndoStack->canUndo() ? QString("Undo %1").arg(dzUndoStack->undoText()) : QString("Undo"));
        redo->setText(dzUndoStack->canRedo() ? QString("Redo %1").arg(dzUndoStack->redoText()) : QString("Redo"));
    };
    QObject::connect(undo, &QAction::triggered, window, []() {
        if (!workRunning()) dzUndoStack->undoStep();
    });
    QObject::connect(redo, &QAction::triggered, window, []() {
        if (!workRunning()) dzUndoStack->redoStep();
    });
    QObject::connect(dzUndoStack, &QUndoStack::indexChanged, window, refresh);
    QObject::connect(dzUndoStack, &QUndoStack::cleanChanged, window, refresh);
    // A change still settling is a step of its own by the time the menu shows.
    QObject::connect(edit, &QMenu::aboutToShow, window, [refresh]() {
        dzUndoStack->flush();
        refresh();
    });
    refresh();
    edit->addAction(undo);
    edit->addAction(redo);
    // The shortcuts work with the menu closed and the focus anywhere in the window.
    window->addAction(undo);
    window->addAction(redo);

    auto* dock = new QDockWidget("History", window);
    dock->setObjectName("HistoryDock");
    auto* view = new QUndoView(dzUndoStack, dock);
    view->setObjectName("HistoryView");
    view->setEmptyLabel("Start");
    dock->setWidget(view);
    window->addDockWidget(Qt::LeftDockWidgetArea, dock);
    if (windowMenu) windowMenu->addAction(dock->toggleViewAction());
    edit->addSeparator();
    edit->addAction(dock->toggleViewAction());
}
