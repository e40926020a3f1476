#pragma once
// A billboard box's generator state; its passes are in billboardpane.cpp.
#include "billboard/billboardcore.h"
#include "pane/boundsliders.h"

class BillboardBox : public GeneratorBoxOf<BillboardBox, TypeBillboard>
{
public:
    // The sliders, the frame counter and the camera as the GUI thread last read them.
    BillboardParams params;
    // UV entries the last topology build laid down; a different sheet size rebuilds.
    int uvEntries = 0;
    BillboardUpdateInfo lastPass;

    void capture(const PaneInputs& in, const ControlBox& box, int i) override;
    PassReport layTopology(GeneratorPass& pass) override;
    PassReport update(GeneratorPass& pass) override;
};
