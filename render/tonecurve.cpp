#include "tonecurve.h"
#include <cmath>

float linearToSrgb(float v)
{
    if (v <= 0.f) return 0.f;
    if (v >= 1.f) return 1.f;
    return v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 1.f / 2.4f) - 0.055f;
}

float srgbToLinear(float v)
{
    if (v <= 0.f) return 0.f;
    if (v >= 1.f) return 1.f;
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}
