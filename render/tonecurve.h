#pragma once
// From linear scene light to display values: exposure, a filmic shoulder (the ACES fit of
// Narkowicz) and the sRGB transfer curve. The viewport's shaders apply the same formulas.
inline float acesFilmic(float x)
{
    if (x <= 0.f) return 0.f;
    const float v = (x * (2.51f * x + 0.03f)) / (x * (2.43f * x + 0.59f) + 0.14f);
    return v < 0.f ? 0.f : v > 1.f ? 1.f : v;
}

float linearToSrgb(float v);
float srgbToLinear(float v);

// The exposure the viewport uses; scene values of about 1 land just under white.
constexpr float kViewExposure = 0.85f;

// A display value from 0 to 1 for one channel of linear scene light.
inline float toneMap(float linear, float exposure = kViewExposure)
{
    return linearToSrgb(acesFilmic(linear * exposure));
}
