#pragma once
#include <dzpane.h>

// The menu action that opens the Verdix pane; the host's pane action does the rest.
class ZPK_VerdixPaneAction : public DzPaneAction
{
    Q_OBJECT
public:
    ZPK_VerdixPaneAction() : DzPaneAction("ZPK_VerdixPane") {}
};
