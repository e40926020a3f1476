#pragma once
// The patch outline that the grass and flower layouts share: a random point (u, v) in the
// unit square becomes a point of the patch (a circle, a rounded square or a blend of the
// two, cut to a sector), turned by the patch rotation. Also the per-box ground-height cache
// both read in their passes.
#include <cmath>
#include <cstddef>
#include <vector>

#include "common/groundsampler.h"

struct PatchOutline
{
    float sectorScale = 1.f;  // 1 - sector size / 360
    float sectorShift = 1.f;  // 1 - sector start / 360
    float ring = 0.f;         // inner radius added to both radii
    bool circle = false;      // the plain circle point
    bool blendOn = false;     // move the outline point toward the circle point
    float blend = 0.f;
    bool rotate = false;
    float rotC = 1.f, rotS = 0.f;

    // circle: the shape value that asks for the plain circle; blend and blendOn as the
    // caller's shape slider defines them.
    static PatchOutline make(int shape, int ring, int rotateDeg, int sectorSize, int sectorStart, float blend,
                             bool blendOn)
    {
        PatchOutline o;
        o.sectorScale = 1.f - float(sectorSize) * 0.002777777f;
        o.sectorShift = 1.f - float(sectorStart) * 0.002777777f;
        o.ring = float(ring);
        o.circle = shape == 100;
        o.blend = blend;
        o.blendOn = blendOn;
        o.rotate = rotateDeg != 0;
        const float a = float(rotateDeg) * 0.01745329f;
        o.rotC = std::cos(a);
        o.rotS = std::sin(a);
        return o;
    }

    // The point in the patch's own frame, before rotation and offset.
    void point(float u, float v, float areaX, float areaZ, float& x, float& z) const
    {
        if (sectorScale > 0.f) v = v * sectorScale;
        if (sectorShift > 0.f) v = v + sectorShift;
        const float theta = 2.f * v * 3.14159265f;
        const float r = std::sqrt(u);
        const float rx = areaX * r + ring;
        const float rz = areaZ * r + ring;
        const float st = std::sin(theta), ct = std::cos(theta);
        const float cx = (st + ct) * 0.7f * rx;
        const float cz = (st - ct) * 0.7f * rz;
        if (circle) {
            x = cx;
            z = cz;
            return;
        }
        const float tc = std::tan(ct), ts = std::tan(st);
        x = (tc + ts) * 0.58f * rx;
        z = (ts - tc) * 0.58f * rz;
        if (blendOn) {
            x = x + (cx - x) * blend;
            z = z + (cz - z) * blend;
        }
    }

    void turn(float& x, float& z) const
    {
        if (!rotate) return;
        const float xr = x * rotC - z * rotS;
        const float zr = x * rotS + z * rotC;
        x = xr;
        z = zr;
    }
};

// Flat ground: the topology passes lay their vertices down before any height is known.
struct FlatGround
{
    float next(float, float) { return 0.f; }
};

// One cache slot per item root, filled from the sampler when asked to (or when the slot
// lies beyond the cache), read back on the passes in between.
struct CachedGround
{
    std::vector<float>& cache;
    const GroundSampler& sampler;
    bool refill;
    std::size_t index = 0;
    int queries = 0;

    float next(float x, float z)
    {
        float y;
        if (refill) {
            y = sampler.height(x, z);
            ++queries;
            if (index < cache.size()) cache[index] = y;
        } else if (index < cache.size()) {
            y = cache[index];
        } else {
            y = sampler.height(x, z);
            ++queries;
        }
        ++index;
        return y;
    }
};
