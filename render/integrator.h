#pragma once
// Light transport: a unidirectional path tracer. The sky is an environment map sampled by
// its brightness, the sun a small disc sampled directly at every bounce (and only so: a
// bounce ray that happens to hit the disc does not count it, so a glossy leaf cannot flash a
// sun-bright pixel), both combined with the surface's own lobe by multiple importance
// sampling where they overlap; two bounces always, Russian roulette after.
#include <cstdint>
#include <vector>
#include "scenebuild.h"
#include "sky.h"
#include "vec.h"

// Radiance arriving from every direction at infinity, tabulated in latitude and longitude,
// with the tables to pick directions in proportion to it.
class Environment
{
public:
    // The daylight sky of s without its sun (the sun is a light of its own).
    static Environment fromSky(const SunSky& s, int width = 256, int height = 128);
    // The same radiance from everywhere.
    static Environment uniform(const Vec3& radiance);

    Vec3 eval(const Vec3& dir) const;
    // A direction chosen in proportion to radiance times solid angle; pdf per steradian.
    Vec3 sample(float u0, float u1, Vec3* radiance, float* pdf) const;
    float pdf(const Vec3& dir) const;
    bool isBlack() const { return m_total <= 0.f; }

private:
    void buildTables();
    // Bilinear radiance at table coordinates (texel units, x around, y down from the zenith).
    Vec3 lookup(float x, float y) const;

    int m_w = 1, m_h = 1;
    std::vector<Vec3> m_texels;
    std::vector<float> m_weight;  // per texel: luminance x sin theta
    std::vector<float> m_aliasProb;
    std::vector<uint32_t> m_alias;
    float m_total = 0.f;
};

struct SunLight
{
    Vec3 direction{0.f, 1.f, 0.f};     // towards the sun, unit length
    Vec3 irradiance{0.f, 0.f, 0.f};    // on a surface facing it
    Vec3 discRadiance{0.f, 0.f, 0.f};  // what a camera ray that meets the disc sees
    float angularRadius = 0.0093f;
    static SunLight fromSky(const SunSky& s);
};

struct RenderCamera
{
    Vec3 eye{0.f, 0.f, 0.f};
    Vec3 forward{0.f, 0.f, -1.f}, up{0.f, 1.f, 0.f};  // need not be orthogonal; normalized inside
    float fovYDeg = 45.f;
};

struct TraceSettings
{
    int minBounces = 2;  // bounces always followed before Russian roulette may end a path
    int maxBounces = 8;
    // Haze along camera rays, as the viewport's fog: the sky's colour comes in with distance
    // as 1 - exp(-distance x density). 0: clear air.
    float fogDensity = 0.f;
    // Caps the radiance one bounce of indirect light may add (in the viewport's units; the
    // noon sun on white paper is about 1): rare paths then cannot leave bright specks.
    float indirectClamp = 8.f;
};

class Integrator
{
public:
    Integrator(const RenderScene& scene, const Environment& env, const SunLight& sun, const TraceSettings& settings);
    // Radiance along one camera ray; spread is the angle a pixel covers (for texture levels).
    Vec3 radiance(const Vec3& origin, const Vec3& dir, float spread, Rng& rng, RayCounts& counts) const;

private:
    const RenderScene& m_scene;
    const Environment& m_env;
    SunLight m_sun;
    float m_sunCos;
    TraceSettings m_set;
};
