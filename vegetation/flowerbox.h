#pragma once
// A flower box's generator state; its passes are in flowerpane.cpp.
#include "flower/flowercore.h"
#include "pane/boundsliders.h"

class FlowerBox : public WindSnapshotBox<FlowerBox, TypeFlower, FlowerParams, flowerSliderFields>
{
public:
    // The last topology build was refused as too large: the mesh is still the one before,
    // which the passes of the new sliders must not walk.
    bool refused = false;
    FlowerPassInfo lastPass;

    bool passable() const override { return !refused; }
    // Checks that the build fits in memory first: a refused one leaves the mesh as it was.
    PassReport layTopology(GeneratorPass& pass) override;
    PassReport update(GeneratorPass& pass) override;
};
