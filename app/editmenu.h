#pragma once
// The window's Edit menu (Undo, Redo naming their step) and its "History" dock, over the
// application's one history (dzUndoStack).
class QMainWindow;
class QMenu;

// Adds the Edit menu after the File menu and the History dock on the left; the dock's
// toggle goes into windowMenu.
void addEditMenu(QMainWindow* window, QMenu* windowMenu);
