#pragma once
// The window's Terrain menu: "Erode…" asks for the landscape box and the erosion's
// parameters and runs it in the pane, with the status bar's progress and Cancel.
class QMainWindow;

// Adds the menu to window's menu bar.
void addTerrainMenu(QMainWindow* window);
