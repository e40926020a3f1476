#pragma once
// The terrain under a box's items through the pane's height query, callable from any thread:
// the query takes no lock and terrains are not written while passes run.
#include "pane/verdixpane.h"
#include "common/groundsampler.h"
#include "pane/nodemesh.h"

struct PaneGroundSampler : GroundSampler
{
    ZPK_VerdixPane* pane;
    int landscape;

    PaneGroundSampler(ZPK_VerdixPane* p, int land) : pane(p), landscape(land) {}
    float height(float x, float z) const override { return pane->heightAt(landscape, x, z); }
};
