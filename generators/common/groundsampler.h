#pragma once
// The ground a generator's items stand on.
//
// Contract: height(x, z) is the terrain height in cm under the world point (x, z) in cm, on
// the landscape the box stands on; a flat ground answers 0. Implementations must be callable
// from several threads at once and must not allocate per call: every pass asks once per item
// (blade clump, stone, plant, card) or once per vertex.
struct GroundSampler
{
    virtual ~GroundSampler() = default;
    virtual float height(float x, float z) const = 0;
};
