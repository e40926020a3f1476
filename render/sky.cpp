// Preetham, Shirley and Smits' analytic daylight: the Perez distribution of luminance and
// chromaticity around the zenith and the sun, scaled by their zenith values.
#include "sky.h"
#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
// Preetham's luminance is in kcd/m²; this brings a clear sky to the viewport's units.
constexpr float kSkyScale = 0.055f;
// The sun's irradiance at noon on a clear day in the same units.
constexpr float kSunScale = 3.2f;

float clampf(float v, float lo, float hi) { return std::max(lo, std::min(hi, v)); }

struct Perez
{
    float a, b, c, d, e;
    float operator()(float cosTheta, float gamma) const
    {
        const float cg = std::cos(gamma);
        return (1.f + a * std::exp(b / std::max(cosTheta, 0.01f))) * (1.f + c * std::exp(d * gamma) + e * cg * cg);
    }
};

struct Model
{
    Perez Y, x, y;
    float zY, zx, zy;           // zenith values
    float normY, normx, normy;  // the distribution at the zenith
    SkyVec sun;
};

Model makeModel(const SunSky& s)
{
    const float T = clampf(s.turbidity, kMinTurbidity, kMaxTurbidity);
    Model m;
    m.sun = sunDirection(s);
    const float thetaS = std::acos(clampf(m.sun.y, -1.f, 1.f));
    m.Y = {0.1787f * T - 1.4630f, -0.3554f * T + 0.4275f, -0.0227f * T + 5.3251f, 0.1206f * T - 2.5771f,
           -0.0670f * T + 0.3703f};
    m.x = {-0.0193f * T - 0.2592f, -0.0665f * T + 0.0008f, -0.0004f * T + 0.2125f, -0.0641f * T - 0.8989f,
           -0.0033f * T + 0.0452f};
    m.y = {-0.0167f * T - 0.2608f, -0.0950f * T + 0.0092f, -0.0079f * T + 0.2102f, -0.0441f * T - 1.6537f,
           -0.0109f * T + 0.0529f};
    const float chi = (4.f / 9.f - T / 120.f) * (kPi - 2.f * thetaS);
    m.zY = std::max(0.05f, (4.0453f * T - 4.9710f) * std::tan(chi) - 0.2155f * T + 2.4192f);
    const float t1 = thetaS, t2 = t1 * t1, t3 = t2 * t1, T2 = T * T;
    m.zx = T2 * (0.00166f * t3 - 0.00375f * t2 + 0.00209f * t1) +
           T * (-0.02903f * t3 + 0.06377f * t2 - 0.03202f * t1 + 0.00394f) +
           (0.11693f * t3 - 0.21196f * t2 + 0.06052f * t1 + 0.25886f);
    m.zy = T2 * (0.00275f * t3 - 0.00610f * t2 + 0.00317f * t1) +
           T * (-0.04214f * t3 + 0.08970f * t2 - 0.04153f * t1 + 0.00516f) +
           (0.15346f * t3 - 0.26756f * t2 + 0.06670f * t1 + 0.26688f);
    m.normY = m.Y(1.f, thetaS);
    m.normx = m.x(1.f, thetaS);
    m.normy = m.y(1.f, thetaS);
    return m;
}

SkyRgb fromYxy(float Y, float x, float y)
{
    y = std::max(y, 1e-4f);
    const float X = x * Y / y, Z = (1.f - x - y) * Y / y;
    return {std::max(0.f, 3.2406f * X - 1.5372f * Y - 0.4986f * Z),
            std::max(0.f, -0.9689f * X + 1.8758f * Y + 0.0415f * Z),
            std::max(0.f, 0.0557f * X - 0.2040f * Y + 1.0570f * Z)};
}

SkyRgb evalAbove(const Model& m, const SkyVec& d)
{
    const float cosTheta = std::max(d.y, 0.f);
    const float cosGamma = clampf(d.x * m.sun.x + d.y * m.sun.y + d.z * m.sun.z, -1.f, 1.f);
    const float gamma = std::acos(cosGamma);
    const float Y = m.zY * m.Y(cosTheta, gamma) / m.normY;
    const float x = m.zx * m.x(cosTheta, gamma) / m.normx;
    const float y = m.zy * m.y(cosTheta, gamma) / m.normy;
    SkyRgb c = fromYxy(Y, x, y);
    c.r *= kSkyScale;
    c.g *= kSkyScale;
    c.b *= kSkyScale;
    return c;
}

SkyVec normalized(SkyVec v)
{
    const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (l <= 0.f) return {0.f, 1.f, 0.f};
    return {v.x / l, v.y / l, v.z / l};
}

// Optical depth of one air mass at the three wavelengths of the primaries: Rayleigh
// scattering plus Ångström's aerosol term, which grows with the haze.
SkyRgb opticalDepth(float T)
{
    const float beta = 0.04608f * T - 0.04586f;
    const float lambda[3] = {0.68f, 0.55f, 0.44f};
    float tau[3];
    for (int i = 0; i < 3; ++i) {
        const float l = lambda[i];
        tau[i] = 0.008569f * std::pow(l, -4.f) * (1.f + 0.0113f * std::pow(l, -2.f) + 0.00013f * std::pow(l, -4.f)) +
                 std::max(0.f, beta) * std::pow(l, -1.3f);
    }
    return {tau[0], tau[1], tau[2]};
}

}  // namespace

SkyVec sunDirection(const SunSky& s)
{
    const float az = s.azimuthDeg * kPi / 180.f;
    const float el = clampf(s.elevationDeg, -90.f, 90.f) * kPi / 180.f;
    return {std::sin(az) * std::cos(el), std::sin(el), -std::cos(az) * std::cos(el)};
}

SkyRgb skyRadiance(const SunSky& s, const SkyVec& dirIn)
{
    const Model m = makeModel(s);
    const SkyVec d = normalized(dirIn);
    if (d.y >= 0.f) return evalAbove(m, d);
    // Below the horizon: the horizon's haze fading into a dim, slightly green ground.
    const SkyRgb h = evalAbove(m, normalized({d.x, 0.f, d.z}));
    const float t = clampf(-d.y / 0.25f, 0.f, 1.f);
    const float k = 0.7f * t * t * (3.f - 2.f * t);
    const float lum = (h.r + h.g + h.b) / 3.f;
    const SkyRgb ground{0.55f * lum, 0.60f * lum, 0.50f * lum};
    return {h.r + (ground.r - h.r) * k, h.g + (ground.g - h.g) * k, h.b + (ground.b - h.b) * k};
}

SkyRgb sunIrradiance(const SunSky& s)
{
    const float el = clampf(s.elevationDeg, 0.f, 90.f);
    // Kasten and Young's air mass, finite at the horizon.
    const float zenithDeg = 90.f - el;
    const float airMass = 1.f / (std::cos(zenithDeg * kPi / 180.f) +
                                 0.50572f * std::pow(std::max(96.07995f - zenithDeg, 0.1f), -1.6364f));
    const SkyRgb tau = opticalDepth(clampf(s.turbidity, kMinTurbidity, kMaxTurbidity));
    // Relative to a clear noon sun, which is white in the viewport.
    const SkyRgb ref = opticalDepth(2.f);
    const float k = kSunScale * std::max(0.f, s.sunStrength);
    // The last few degrees fade the sun out as it sets.
    const float setting = clampf(el / 3.f, 0.f, 1.f);
    return {k * setting * std::exp(-(tau.r * airMass - ref.r)), k * setting * std::exp(-(tau.g * airMass - ref.g)),
            k * setting * std::exp(-(tau.b * airMass - ref.b))};
}

SkyRgb sunDiscRadiance(const SunSky& s)
{
    // Bright enough to clip to white through the tone curve, keeping its colour at sunset.
    const SkyRgb e = sunIrradiance(s);
    const float k = 12.f;
    return {e.r * k + 1.f, e.g * k + 1.f, e.b * k + 1.f};
}

namespace {

void shBasis(const SkyVec& n, float y[9])
{
    y[0] = 0.282095f;
    y[1] = 0.488603f * n.y;
    y[2] = 0.488603f * n.z;
    y[3] = 0.488603f * n.x;
    y[4] = 1.092548f * n.x * n.y;
    y[5] = 1.092548f * n.y * n.z;
    y[6] = 0.315392f * (3.f * n.z * n.z - 1.f);
    y[7] = 1.092548f * n.x * n.z;
    y[8] = 0.546274f * (n.x * n.x - n.y * n.y);
}

}  // namespace

SkySH skyIrradianceSH(const SunSky& s, float groundAlbedo)
{
    const Model m = makeModel(s);
    SkySH sh{};
    // The upper hemisphere sampled on a grid, even in solid angle (uniform in cos theta).
    const int nTheta = 24, nPhi = 48;
    const float dOmega = 2.f * kPi / float(nTheta * nPhi);
    SkyRgb upE{};
    std::array<SkyRgb, 9> acc{};
    for (int i = 0; i < nTheta; ++i) {
        const float ct = (float(i) + 0.5f) / float(nTheta);
        const float st = std::sqrt(std::max(0.f, 1.f - ct * ct));
        for (int j = 0; j < nPhi; ++j) {
            const float phi = 2.f * kPi * (float(j) + 0.5f) / float(nPhi);
            const SkyVec d{st * std::cos(phi), ct, st * std::sin(phi)};
            const SkyRgb L = evalAbove(m, d);
            float y[9];
            shBasis(d, y);
            for (int k = 0; k < 9; ++k) {
                acc[size_t(k)].r += L.r * y[k] * dOmega;
                acc[size_t(k)].g += L.g * y[k] * dOmega;
                acc[size_t(k)].b += L.b * y[k] * dOmega;
            }
            upE.r += L.r * ct * dOmega;
            upE.g += L.g * ct * dOmega;
            upE.b += L.b * ct * dOmega;
        }
    }
    // The ground below: a Lambertian plane lit by the sky and the sun, radiance E * albedo / pi.
    const SkyRgb sun = sunIrradiance(s);
    const float sinEl = std::max(0.f, sunDirection(s).y);
    const SkyRgb G{groundAlbedo * (upE.r + sun.r * sinEl) / kPi, groundAlbedo * (upE.g + sun.g * sinEl) / kPi,
                   groundAlbedo * (upE.b + sun.b * sinEl) / kPi};
    // A constant over the lower hemisphere projects onto the bands analytically: only the
    // terms even in x and z survive.
    const float Lg[9] = {0.282095f * 2.f * kPi, -0.488603f * kPi, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f};
    for (int k = 0; k < 9; ++k) {
        acc[size_t(k)].r += G.r * Lg[k];
        acc[size_t(k)].g += G.g * Lg[k];
        acc[size_t(k)].b += G.b * Lg[k];
    }
    // Cosine-lobe convolution (Ramamoorthi and Hanrahan).
    const float A[9] = {kPi,       2.f * kPi / 3.f, 2.f * kPi / 3.f, 2.f * kPi / 3.f, kPi / 4.f,
                        kPi / 4.f, kPi / 4.f,       kPi / 4.f,       kPi / 4.f};
    for (int k = 0; k < 9; ++k)
        sh[size_t(k)] = {acc[size_t(k)].r * A[k], acc[size_t(k)].g * A[k], acc[size_t(k)].b * A[k]};
    return sh;
}

SkyRgb shIrradiance(const SkySH& sh, const SkyVec& n)
{
    float y[9];
    shBasis(n, y);
    SkyRgb e{};
    for (int k = 0; k < 9; ++k) {
        e.r += sh[size_t(k)].r * y[k];
        e.g += sh[size_t(k)].g * y[k];
        e.b += sh[size_t(k)].b * y[k];
    }
    return {std::max(0.f, e.r), std::max(0.f, e.g), std::max(0.f, e.b)};
}
