#pragma once
// Erosion of a terrain's final heights, without widgets or scene: water droplets that pick
// up ground where they speed downhill and drop it where they slow down or evaporate, and
// loose ground that slides down wherever it stands steeper than its angle of repose.
// Heights are one float per vertex, row-major, side x side, spaced cell world units apart.
//
// The result depends on the seed alone, not on the number of threads: the grid is cut into
// blocks wider than a droplet can travel, and the droplets of blocks that are two blocks
// apart run side by side (each block's own in a fixed order), so no two threads ever touch
// the same vertex and every vertex sees its changes in the same order.
#include <QString>
#include <cstdint>
#include <functional>

struct ErosionParams
{
    // Hydraulic: droplets let fall at random vertices; 0 skips the pass.
    int droplets = 0;
    // Water each droplet starts with; more water carries more ground and runs longer.
    float rain = 1.f;
    // Sediment a droplet can carry per unit of speed, water and drop in height.
    float capacity = 4.f;
    // Share of the free capacity taken from the ground, and of the excess dropped, per step.
    float erosion = 0.3f;
    float deposition = 0.3f;
    // Share of the water lost per step.
    float evaporation = 0.01f;
    // Thermal: the angle of repose in degrees; 0 skips the pass.
    float talusDegrees = 0.f;
    // Passes of the thermal settling; each moves half of the steepest excess of every vertex.
    int thermalPasses = 50;
    uint32_t seed = 1;
    // Threads to use; 0 = one per processor. The heights do not depend on it.
    int threads = 0;

    // Fixed properties of the droplets.
    static constexpr int kLifetime = 128;  // steps, each one cell long
    static constexpr int kRadius = 3;      // cells around the droplet that it erodes
    static constexpr float kInertia = 0.05f;
    static constexpr float kGravity = 4.f;
    static constexpr float kMinCapacity = 0.01f;
};

// The range of each parameter, as the batch options and the dialog offer it.
struct ErosionRange
{
    const char* name;  // the batch option
    double lo, hi;
};
constexpr ErosionRange kErodeIterationsRange{"--erode-iterations", 0, 10000000};
constexpr ErosionRange kErodeRainRange{"--erode-rain", 0.1, 10};
constexpr ErosionRange kErodeCapacityRange{"--erode-capacity", 0.5, 32};
constexpr ErosionRange kErodeStrengthRange{"--erode-strength", 0.01, 1};
constexpr ErosionRange kErodeDepositionRange{"--erode-deposition", 0.01, 1};
constexpr ErosionRange kErodeEvaporationRange{"--erode-evaporation", 0, 0.5};
constexpr ErosionRange kErodeThermalRange{"--erode-thermal", 0, 89};
constexpr ErosionRange kErodeThermalPassesRange{"--erode-thermal-passes", 1, 10000};
constexpr ErosionRange kErodeSeedRange{"--erode-seed", 0, 2147483647};

// Empty when p is in range; otherwise one line naming the first bad parameter and its range.
QString checkErosionParams(const ErosionParams& p);

struct ErosionResult
{
    bool complete = true;   // false when progress stopped it (the heights are then partly eroded)
    double eroded = 0;      // ground taken up by droplets, in height units times cells
    double deposited = 0;   // ground dropped again
    double carriedOff = 0;  // ground carried past the edge
};

// Asked between steps of the work with the share done so far (0 to 1); false stops it.
using ErosionProgress = std::function<bool(double done)>;

// Erodes y in place: the droplets first, then the thermal settling. side >= 2, cell > 0.
ErosionResult erodeTerrain(float* y, int side, float cell, const ErosionParams& p,
                           const ErosionProgress& progress = ErosionProgress());

// The steepest slope between any vertex and its eight neighbours, as rise over run.
float steepestSlope(const float* y, int side, float cell);
