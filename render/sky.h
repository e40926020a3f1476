#pragma once
// The daylight sky and its sun, as plain functions of a direction: the viewport draws and
// lights with them, and an offline renderer can evaluate the very same sky. No OpenGL here.
//
// Directions are world space with +Y up; north is -Z and east +X, so an azimuth of 90 puts
// the sun in the east. Radiance is linear Rec.709 RGB in the viewport's own units, where the
// sun's light on a surface facing it is about 3 at noon.
#include <array>

struct SkyVec
{
    float x = 0.f, y = 0.f, z = 0.f;
};

struct SkyRgb
{
    float r = 0.f, g = 0.f, b = 0.f;
};

struct SunSky
{
    // Defaults: a clear mid-morning sun in the south-east, a third of the way up the sky.
    float azimuthDeg = 135.f;   // 0 north, 90 east, 180 south, 270 west
    float elevationDeg = 35.f;  // above the horizon
    float turbidity = 2.5f;     // haze: 2 very clear, 3 clear, 6 hazy, 10 overcast-ish
    float sunStrength = 1.f;    // scales the sun's light, not the sky's
};

constexpr float kMinTurbidity = 1.7f, kMaxTurbidity = 10.f;
constexpr float kMinElevation = 0.f, kMaxElevation = 90.f;

// The unit vector towards the sun.
SkyVec sunDirection(const SunSky& s);
// The light of the sky (without the sun's disc) arriving from direction dir. Below the
// horizon it is the haze over a distant ground, darkening a few degrees down.
SkyRgb skyRadiance(const SunSky& s, const SkyVec& dir);
// The colour and strength of the sun's direct light after the atmosphere: warm and weaker
// near the horizon, white at noon. Irradiance on a surface facing the sun.
SkyRgb sunIrradiance(const SunSky& s);
// The radiance of the visible sun disc (for drawing it), and its angular radius in radians.
SkyRgb sunDiscRadiance(const SunSky& s);
constexpr float kSunDiscRadius = 0.0093f;  // twice the real sun, so it reads in a small picture

// Irradiance from the sky dome (sun excluded) as nine spherical-harmonic coefficients, already
// convolved with the cosine lobe: E(n) = sum c[i] * Y_i(n) with the basis of shIrradiance.
// The lower hemisphere is the ground reflecting sun and sky with the given albedo.
using SkySH = std::array<SkyRgb, 9>;
SkySH skyIrradianceSH(const SunSky& s, float groundAlbedo = 0.2f);
// Evaluates the coefficients for normal n (unit length).
SkyRgb shIrradiance(const SkySH& sh, const SkyVec& n);
