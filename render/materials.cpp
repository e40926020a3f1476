#include "materials.h"
#include <algorithm>
#include <cmath>
#include "tonecurve.h"

namespace {

const float* srgbTable()
{
    static const std::vector<float> table = [] {
        std::vector<float> t(256);
        for (int i = 0; i < 256; ++i) t[size_t(i)] = srgbToLinear(float(i) / 255.f);
        return t;
    }();
    return table.data();
}

QImage halfSize(const QImage& src)
{
    const int w = std::max(1, src.width() / 2), h = std::max(1, src.height() / 2);
    QImage out(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y) {
        const uchar* r0 = src.constScanLine(std::min(2 * y, src.height() - 1));
        const uchar* r1 = src.constScanLine(std::min(2 * y + 1, src.height() - 1));
        uchar* d = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, src.width() - 1) * 4, x1 = std::min(2 * x + 1, src.width() - 1) * 4;
            for (int c = 0; c < 4; ++c)
                d[4 * x + c] = uchar((r0[x0 + c] + r0[x1 + c] + r1[x0 + c] + r1[x1 + c] + 2) / 4);
        }
    }
    return out;
}

inline int wrap(int i, int n)
{
    const int m = i % n;
    return m < 0 ? m + n : m;
}

// Texture coordinates far outside 0..1 still wrap without overflowing an int.
inline int toIndex(float f) { return std::abs(f) < 1e8f ? int(f) : 0; }

inline float byteOf(uint32_t texel, int c) { return float((texel >> (8 * c)) & 0xffu); }

}  // namespace

float srgbByteToLinear(int v) { return srgbTable()[std::clamp(v, 0, 255)]; }

std::shared_ptr<RenderTexture> RenderTexture::fromImage(const QImage& image, bool srgb)
{
    if (image.isNull()) return nullptr;
    std::vector<QImage> levels{image.convertToFormat(QImage::Format_RGBA8888)};
    while (levels.back().width() > 1 || levels.back().height() > 1) levels.push_back(halfSize(levels.back()));
    return fromLevels(levels, srgb);
}

std::shared_ptr<RenderTexture> RenderTexture::fromLevels(const std::vector<QImage>& images, bool srgb)
{
    if (images.empty() || images[0].isNull()) return nullptr;
    auto t = std::make_shared<RenderTexture>();
    t->m_srgb = srgb;
    for (const QImage& in : images) {
        const QImage img = in.convertToFormat(QImage::Format_RGBA8888);
        Level l;
        l.w = img.width();
        l.h = img.height();
        l.rgba.resize(size_t(l.w) * size_t(l.h));
        for (int y = 0; y < l.h; ++y) {
            const uchar* s = img.constScanLine(y);
            for (int x = 0; x < l.w; ++x)
                l.rgba[size_t(y) * size_t(l.w) + size_t(x)] = uint32_t(s[4 * x]) | uint32_t(s[4 * x + 1]) << 8 |
                                                              uint32_t(s[4 * x + 2]) << 16 |
                                                              uint32_t(s[4 * x + 3]) << 24;
        }
        t->m_levels.push_back(std::move(l));
    }
    return t;
}

size_t RenderTexture::bytes() const
{
    size_t n = 0;
    for (const Level& l : m_levels) n += l.rgba.size() * sizeof(uint32_t);
    return n;
}

TexelRgba RenderTexture::sample(float u, float v, float level) const
{
    if (m_levels.empty()) return {};
    const int li = std::clamp(int(std::lround(level)), 0, int(m_levels.size()) - 1);
    const Level& l = m_levels[size_t(li)];
    // Texel centres at half-integers; v runs up the image as on the GPU.
    const float x = u * float(l.w) - 0.5f, y = (1.f - v) * float(l.h) - 0.5f;
    if (!std::isfinite(x) || !std::isfinite(y)) return {};
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const float fx = x - fx0, fy = y - fy0;
    const int x0 = wrap(toIndex(fx0), l.w), y0 = wrap(toIndex(fy0), l.h);
    const int x1 = wrap(x0 + 1, l.w), y1 = wrap(y0 + 1, l.h);
    const uint32_t t00 = l.rgba[size_t(y0) * l.w + x0], t10 = l.rgba[size_t(y0) * l.w + x1];
    const uint32_t t01 = l.rgba[size_t(y1) * l.w + x0], t11 = l.rgba[size_t(y1) * l.w + x1];
    const float w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    float c[4];
    const float* lut = srgbTable();
    for (int k = 0; k < 4; ++k) {
        if (m_srgb && k < 3) {
            c[k] = lut[(t00 >> (8 * k)) & 0xff] * w00 + lut[(t10 >> (8 * k)) & 0xff] * w10 +
                   lut[(t01 >> (8 * k)) & 0xff] * w01 + lut[(t11 >> (8 * k)) & 0xff] * w11;
        } else {
            c[k] = (byteOf(t00, k) * w00 + byteOf(t10, k) * w10 + byteOf(t01, k) * w01 + byteOf(t11, k) * w11) / 255.f;
        }
    }
    return {c[0], c[1], c[2], c[3]};
}

float RenderTexture::alpha(float u, float v) const
{
    if (m_levels.empty()) return 1.f;
    const Level& l = m_levels[0];
    const float x = u * float(l.w) - 0.5f, y = (1.f - v) * float(l.h) - 0.5f;
    if (!std::isfinite(x) || !std::isfinite(y)) return 1.f;
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const float fx = x - fx0, fy = y - fy0;
    const int x0 = wrap(toIndex(fx0), l.w), y0 = wrap(toIndex(fy0), l.h);
    const int x1 = wrap(x0 + 1, l.w), y1 = wrap(y0 + 1, l.h);
    const float a00 = float(l.rgba[size_t(y0) * l.w + x0] >> 24), a10 = float(l.rgba[size_t(y0) * l.w + x1] >> 24);
    const float a01 = float(l.rgba[size_t(y1) * l.w + x0] >> 24), a11 = float(l.rgba[size_t(y1) * l.w + x1] >> 24);
    return ((a00 * (1 - fx) + a10 * fx) * (1 - fy) + (a01 * (1 - fx) + a11 * fx) * fy) / 255.f;
}

std::shared_ptr<CoverageMask> CoverageMask::of(const RenderTexture& t, float opacity)
{
    auto m = std::make_shared<CoverageMask>();
    m->m_w = std::max(1, 2 * t.width());
    m->m_h = std::max(1, 2 * t.height());
    m->m_bits.assign((size_t(m->m_w) * size_t(m->m_h) + 63) / 64, 0);
    for (int y = 0; y < m->m_h; ++y)
        for (int x = 0; x < m->m_w; ++x) {
            const float u = (float(x) + 0.5f) / float(m->m_w), v = 1.f - (float(y) + 0.5f) / float(m->m_h);
            if (t.alpha(u, v) * opacity >= 0.5f) {
                const size_t bit = size_t(y) * size_t(m->m_w) + size_t(x);
                m->m_bits[bit >> 6] |= uint64_t(1) << (bit & 63);
            }
        }
    return m;
}

Bsdf::Bsdf(const Vec3& n, const Vec3& ng, const Vec3& albedo, const Vec3& specular, float roughness, float translucency)
    : m_frame(n), m_ng(ng), m_f0(specular), m_trans(std::clamp(translucency, 0.f, 1.f))
{
    const float r = std::clamp(roughness, 0.05f, 1.f);
    m_alpha = r * r;
    // What the glossy coat reflects does not reach the diffuse layer under it.
    const Vec3 a = albedo * (1.f - std::clamp(maxComponent(specular), 0.f, 1.f));
    m_diffuseR = a * ((1.f - m_trans) / kPi);
    m_diffuseT = a * (m_trans / kPi);
    const float ls = luminance(m_f0), ld = luminance(a);
    m_pSpec = ls > 0.f ? std::clamp(ls / (ls + ld), 0.1f, 0.9f) : 0.f;
    if (ld <= 0.f && ls > 0.f) m_pSpec = 1.f;
    m_pTrans = m_trans;
}

float Bsdf::ggxD(float cosH) const
{
    const float a2 = m_alpha * m_alpha;
    const float d = cosH * cosH * (a2 - 1.f) + 1.f;
    return a2 / (kPi * d * d);
}

float Bsdf::smithG1(float cosV) const
{
    const float a2 = m_alpha * m_alpha;
    return 2.f * cosV / (cosV + std::sqrt(a2 + (1.f - a2) * cosV * cosV));
}

Vec3 Bsdf::eval(const Vec3& wo, const Vec3& wi, float* pdf) const
{
    *pdf = 0.f;
    const float cosI = dot(m_frame.n, wi);
    const float cosO = std::max(dot(m_frame.n, wo), 1e-4f);
    // A solid surface reflects whatever lies above its shading normal: judged by the flat
    // facet instead, the facets of a coarse ridge turned a little from the sun would go black
    // in saw teeth. Only thin sheets, which also let light through, go by the facet's side.
    if (m_trans <= 0.f ? cosI > 0.f : dot(m_ng, wi) >= 0.f) {
        if (cosI <= 0.f) return Vec3(0.f);
        Vec3 f = m_diffuseR * cosI;
        float p = (1.f - m_pSpec) * (1.f - m_pTrans) * cosI / kPi;
        if (m_pSpec > 0.f) {
            const Vec3 h = normalize(wo + wi);
            const float cosH = std::max(dot(m_frame.n, h), 0.f);
            const float oh = std::max(dot(wo, h), 1e-4f);
            const float D = ggxD(cosH);
            const float m1 = 1.f - oh, m2 = m1 * m1;
            const float s = m2 * m2 * m1;
            const Vec3 F = m_f0 + (Vec3(1.f) - m_f0) * s;
            const float G = smithG1(cosI) * smithG1(cosO);
            f += F * (D * G / (4.f * cosO));
            p += m_pSpec * D * cosH / (4.f * oh);
        }
        *pdf = p;
        return f;
    }
    const float cosT = -cosI;
    if (cosT <= 0.f || m_trans <= 0.f) return Vec3(0.f);
    *pdf = (1.f - m_pSpec) * m_pTrans * cosT / kPi;
    return m_diffuseT * cosT;
}

bool Bsdf::sample(const Vec3& wo, float u0, float u1, float u2, Vec3* wi, Vec3* weight, float* pdf) const
{
    Vec3 dir;
    if (u0 < m_pSpec) {
        const float a2 = m_alpha * m_alpha;
        const float cos2 = (1.f - u1) / (1.f + (a2 - 1.f) * u1);
        const float cosT = std::sqrt(std::max(cos2, 0.f)), sinT = std::sqrt(std::max(1.f - cos2, 0.f));
        const float phi = 2.f * kPi * u2;
        const Vec3 h = m_frame.toWorld({sinT * std::cos(phi), sinT * std::sin(phi), cosT});
        dir = h * (2.f * dot(wo, h)) - wo;
    } else {
        const float r = std::sqrt(u1), phi = 2.f * kPi * u2;
        const Vec3 local{r * std::cos(phi), r * std::sin(phi), std::sqrt(std::max(0.f, 1.f - u1))};
        const float uT = (u0 - m_pSpec) / std::max(1.f - m_pSpec, 1e-6f);
        dir = m_frame.toWorld(local);
        if (uT < m_pTrans) dir = -dir;
    }
    const Vec3 fc = eval(wo, dir, pdf);
    if (*pdf <= 0.f || isBlack(fc)) return false;
    *wi = dir;
    *weight = fc / *pdf;
    return true;
}
