#pragma once
// A tree box's generator state; its passes are in treepane.cpp.
#include "pane/boundsliders.h"
#include "tree/treecore.h"

class TreeBox : public GeneratorBoxOf<TreeBox, TypeTree>
{
public:
    TreeParams params;
    TreeWind wind;
    // What the last build left, for the wind passes.
    TreeBuiltMesh built;
    bool lastWind = false;  // the last wind pass re-posed the mesh
    QString shapeName;      // the shape file images[0] and heightMaps[0] hold

    void capture(const PaneInputs& in, const ControlBox& box, int i) override;
    // The shape image follows the box's shape list.
    void captureFromPane(ZPK_VerdixPane& pane, int i) override;
    // The full build: the topology and every vertex.
    PassReport layTopology(GeneratorPass& pass) override;
    // The wind pass over the last build.
    PassReport update(GeneratorPass& pass) override;

    // The snapshot with the box's shape bytes, for one pass.
    TreeParams passParams(const ControlBox& box) const;
};
