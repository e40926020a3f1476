#pragma once

#include <cstdint>

namespace assetgen {

// Seeded, platform-independent noise. Every generated asset must come out byte-identical on
// every build machine, so nothing here touches the C library's random generator.
class Noise
{
public:
    explicit Noise(std::uint32_t seed) : m_seed(seed) {}

    // Gradient noise in about [-1, 1].
    double perlin(double x, double y) const;
    // Fractal sum of perlin octaves, normalised to about [-1, 1].
    double fbm(double x, double y, int octaves, double lacunarity = 2.0, double gain = 0.5) const;
    // Ridged multifractal in [0, 1]: sharp crests where perlin crosses zero.
    double ridged(double x, double y, int octaves, double lacunarity = 2.0, double gain = 0.5) const;
    // Uniform value in [0, 1) for an integer lattice point.
    double hash01(std::int32_t ix, std::int32_t iy) const;

private:
    std::uint32_t hash(std::int32_t ix, std::int32_t iy) const;
    std::uint32_t m_seed;
};

// Small deterministic sequence for scattering shapes (positions of hills, petals, ...).
class Sequence
{
public:
    explicit Sequence(std::uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
    double next01();
    double range(double lo, double hi) { return lo + (hi - lo) * next01(); }

private:
    std::uint32_t m_state;
};

}  // namespace assetgen
