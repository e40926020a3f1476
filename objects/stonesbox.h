#pragma once
// A stones box's generator state; its passes are in stonespane.cpp.
#include "pane/boundsliders.h"
#include "stones/stonescore.h"

class StonesBox : public WindSnapshotBox<StonesBox, TypeStones, StonesParams, stonesSliderFields>
{
public:
    StonesUpdateInfo lastPass;

    PassReport layTopology(GeneratorPass& pass) override;
    PassReport update(GeneratorPass& pass) override;
};
