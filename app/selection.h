#pragma once
#include "dzscene.h"
#include "dznode.h"

// A plain click selects only the clicked node; with Ctrl held it joins the selection.
// The clicked node always becomes the primary selection, so the pane follows it.
inline void clickSelect(DzNode* node, bool addToSelection)
{
    if (!dzScene || !node) return;
    if (!addToSelection)
        for (DzNode* n : dzScene->nodeList())
            if (n != node) n->setSelected(false);
    dzScene->setPrimarySelection(node);
}
