#include "noise.h"

#include <cmath>

namespace assetgen {

namespace {

std::uint32_t mix32(std::uint32_t h)
{
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

}  // namespace

std::uint32_t Noise::hash(std::int32_t ix, std::int32_t iy) const
{
    std::uint32_t h = m_seed * 0x9E3779B9u;
    h = mix32(h ^ static_cast<std::uint32_t>(ix) * 0x85ebca6bu);
    h = mix32(h ^ static_cast<std::uint32_t>(iy) * 0xc2b2ae35u);
    return h;
}

double Noise::hash01(std::int32_t ix, std::int32_t iy) const { return (hash(ix, iy) >> 8) * (1.0 / 16777216.0); }

double Noise::perlin(double x, double y) const
{
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    const double dx = x - fx, dy = y - fy;

    // Sixteen gradient directions spread evenly around the circle avoid the axis-aligned
    // streaks that the classic four/eight gradient sets leave in height maps.
    struct Dirs
    {
        double c[16], s[16];
        Dirs()
        {
            for (int i = 0; i < 16; ++i) {
                c[i] = std::cos(i * (6.283185307179586 / 16.0));
                s[i] = std::sin(i * (6.283185307179586 / 16.0));
            }
        }
    };
    static const Dirs dirs;
    auto grad = [this](std::int32_t gx, std::int32_t gy, double px, double py) {
        const std::uint32_t k = hash(gx, gy) & 15u;
        return dirs.c[k] * px + dirs.s[k] * py;
    };
    const double n00 = grad(ix, iy, dx, dy);
    const double n10 = grad(ix + 1, iy, dx - 1.0, dy);
    const double n01 = grad(ix, iy + 1, dx, dy - 1.0);
    const double n11 = grad(ix + 1, iy + 1, dx - 1.0, dy - 1.0);
    const double u = fade(dx), v = fade(dy);
    const double nx0 = n00 + (n10 - n00) * u;
    const double nx1 = n01 + (n11 - n01) * u;
    return (nx0 + (nx1 - nx0) * v) * 1.41421356;
}

double Noise::fbm(double x, double y, int octaves, double lacunarity, double gain) const
{
    double sum = 0.0, amp = 1.0, norm = 0.0, freq = 1.0;
    for (int o = 0; o < octaves; ++o) {
        // Each octave gets its own offset so that the lattice origins do not line up.
        sum += amp * perlin(x * freq + o * 17.31, y * freq - o * 9.77);
        norm += amp;
        amp *= gain;
        freq *= lacunarity;
    }
    return norm > 0.0 ? sum / norm : 0.0;
}

double Noise::ridged(double x, double y, int octaves, double lacunarity, double gain) const
{
    double sum = 0.0, amp = 1.0, norm = 0.0, freq = 1.0, weight = 1.0;
    for (int o = 0; o < octaves; ++o) {
        double r = 1.0 - std::fabs(perlin(x * freq + o * 31.7, y * freq + o * 5.3));
        r *= r;
        r *= weight;
        weight = std::fmin(1.0, std::fmax(0.0, r * 2.0));
        sum += amp * r;
        norm += amp;
        amp *= gain;
        freq *= lacunarity;
    }
    return norm > 0.0 ? sum / norm : 0.0;
}

double Sequence::next01()
{
    m_state = m_state * 1664525u + 1013904223u;
    return (mix32(m_state) >> 8) * (1.0 / 16777216.0);
}

}  // namespace assetgen
