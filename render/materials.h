#pragma once
// What a surface is made of, as the renderer reads it: images with their mip levels
// (sampled bilinearly, wrapping as the viewport's textures do), the diffuse colour, cut-out
// opacity, relief and a glossy lobe; and the scattering of light at one point of it.
#include <QImage>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>
#include "vec.h"

struct TexelRgba
{
    float r = 1.f, g = 1.f, b = 1.f, a = 1.f;
};

class RenderTexture
{
public:
    // Colour images hold sRGB values and are sampled as linear light; data images (normal
    // and bump maps) as they stand. Alpha is always linear. Mip levels are 2 x 2 boxes
    // unless given.
    static std::shared_ptr<RenderTexture> fromImage(const QImage& image, bool srgb);
    static std::shared_ptr<RenderTexture> fromLevels(const std::vector<QImage>& levels, bool srgb);

    int width() const { return m_levels.empty() ? 0 : m_levels[0].w; }
    int height() const { return m_levels.empty() ? 0 : m_levels[0].h; }
    int levelCount() const { return int(m_levels.size()); }
    // Bilinear at the level nearest to level (0 the full image).
    TexelRgba sample(float u, float v, float level = 0.f) const;
    // The alpha alone at full size, for the cut-out test of every ray that crosses a card.
    float alpha(float u, float v) const;
    size_t bytes() const;

private:
    struct Level
    {
        int w = 0, h = 0;
        std::vector<uint32_t> rgba;  // 8 bits per channel, R in the low byte
    };
    std::vector<Level> m_levels;
    bool m_srgb = true;
};

// Where a cut-out's opacity is at least one half, as one bit per half texel: the test every
// ray crossing a card makes, from an eighth of the texture's memory (the texels of a leaf's
// image would otherwise stream through the cache for every candidate hit).
class CoverageMask
{
public:
    static std::shared_ptr<CoverageMask> of(const RenderTexture& texture, float opacity = 1.f);
    bool covers(float u, float v) const
    {
        const float x = u * float(m_w), y = (1.f - v) * float(m_h);
        if (!(std::abs(x) < 1e8f && std::abs(y) < 1e8f)) return true;
        int xi = int(std::floor(x)) % m_w, yi = int(std::floor(y)) % m_h;
        if (xi < 0) xi += m_w;
        if (yi < 0) yi += m_h;
        const size_t bit = size_t(yi) * size_t(m_w) + size_t(xi);
        return (m_bits[bit >> 6] >> (bit & 63)) & 1u;
    }
    size_t bytes() const { return m_bits.size() * sizeof(uint64_t); }

private:
    int m_w = 1, m_h = 1;
    std::vector<uint64_t> m_bits;
};

enum class Cutout {
    None,   // solid
    Mask,   // opacity is either there or not (blades, leaves, petals, sprites): a threshold at one half
    Blend,  // partly see-through: a ray passes with the probability of its transparency
};

struct RenderMaterial
{
    Vec3 diffuse{0.8f, 0.8f, 0.8f};               // linear, multiplies the colour map
    std::shared_ptr<const RenderTexture> colour;  // its alpha is the opacity map
    float opacity = 1.f;
    Cutout cutout = Cutout::None;
    std::shared_ptr<const CoverageMask> coverage;  // of a Mask; made by the scene when it is built
    std::shared_ptr<const RenderTexture> normalMap;
    std::shared_ptr<const RenderTexture> bumpMap;
    float bumpHeight = 0.f;        // scene units a white texel stands above a black one
    Vec3 specular{0.f, 0.f, 0.f};  // reflectance at normal incidence, linear
    float roughness = 1.f;         // 0 a mirror, 1 matte
    // Thin sheets (blades, leaves, petals) let this share of their diffuse light through to
    // the other side.
    float translucency = 0.f;
};

// Light scattering at one point: a Lambertian lobe (split into reflection and, for thin
// sheets, transmission) and a GGX microfacet lobe with Schlick's Fresnel. Directions point
// away from the surface; n faces the side the light came from (the viewer's).
class Bsdf
{
public:
    Bsdf(const Vec3& shadingNormal, const Vec3& geometricNormal, const Vec3& albedo, const Vec3& specular,
         float roughness, float translucency);

    // f(wo, wi), with the density of sample() choosing wi; black where wi lies on a side the
    // surface does not send light to.
    Vec3 eval(const Vec3& wo, const Vec3& wi, float* pdf) const;
    // Picks wi from u (three numbers in [0,1)); weight is f cos / pdf. False when none.
    bool sample(const Vec3& wo, float u0, float u1, float u2, Vec3* wi, Vec3* weight, float* pdf) const;
    bool passesThrough() const { return m_trans > 0.f; }

private:
    float ggxD(float cosH) const;
    float smithG1(float cosV) const;

    Frame m_frame;
    Vec3 m_ng;
    Vec3 m_diffuseR, m_diffuseT, m_f0;
    float m_alpha;
    float m_trans;
    float m_pSpec, m_pTrans;  // choice of lobe when sampling
};

// Radiance scale of an sRGB 8-bit value, for colours a user picks.
float srgbByteToLinear(int v);
