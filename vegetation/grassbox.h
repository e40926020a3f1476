#pragma once
// A grass box's generator state; its passes are in grasspane.cpp.
#include "grass/grasscore.h"
#include "pane/boundsliders.h"

class GrassBox : public WindSnapshotBox<GrassBox, TypeGrass, GrassParams, grassSliderFields>
{
public:
    GrassUpdateInfo lastPass;

    void capture(const PaneInputs& in, const ControlBox& box, int i) override;
    QString meshMissing(const NodeMesh& found, const QString& title) const override;
    PassReport layTopology(GeneratorPass& pass) override;
    PassReport update(GeneratorPass& pass) override;
};
