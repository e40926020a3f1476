#pragma once
// The View menu of the window: framing, the named views, the shading modes and the
// "Sun & Sky…" dialog.
class QMenu;
class QWidget;
class Viewport;

void buildViewMenu(QMenu* menu, Viewport* viewport);

// The dialog the menu opens (one per window, kept while it lives); its controls change the
// look at once.
QWidget* sunSkyDialog(QWidget* parent);
