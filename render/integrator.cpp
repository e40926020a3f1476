#include "integrator.h"
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

inline float powerHeuristic(float a, float b)
{
    const float a2 = a * a, b2 = b * b;
    return a2 + b2 > 0.f ? a2 / (a2 + b2) : 0.f;
}

inline Vec3 clampMax(const Vec3& c, float cap)
{
    const float m = maxComponent(c);
    return m > cap ? c * (cap / m) : c;
}

// Moved off the surface to the side the new ray leaves by, far enough for float positions
// of a scene some kilometres across.
// A ray off a solid surface leaves on the viewer's side (facing), even one that dips a little
// under the facet along a smooth normal; off a thin sheet, on the side it goes to.
inline Vec3 offsetFrom(const SurfaceHit& h, const Vec3& facing, bool thin, const Vec3& dir)
{
    const Vec3 side = !thin || dot(facing, dir) >= 0.f ? facing : -facing;
    const Vec3& p = dot(h.ng, side) > 0.f ? h.frontOrigin : h.backOrigin;
    const float scale = 1.f + std::max(std::abs(p.x), std::max(std::abs(p.y), std::abs(p.z)));
    return p + side * (4e-5f * scale);
}

}  // namespace

namespace {

// atan2 and acos to well under a texel of the sky's table, without the library's cost: every
// ray that leaves the scene and every light sample looks the sky up.
inline float fastAtan2(float y, float x)
{
    const float ax = std::abs(x), ay = std::abs(y);
    const float mx = std::max(ax, ay), mn = std::min(ax, ay);
    if (mx <= 0.f) return 0.f;
    const float a = mn / mx, s = a * a;
    float r = ((-0.0464964749f * s + 0.15931422f) * s - 0.327622764f) * s * a + a;
    if (ay > ax) r = 1.57079637f - r;
    if (x < 0.f) r = kPi - r;
    return y < 0.f ? -r : r;
}

inline float fastAcos(float x)
{
    const float ax = std::min(std::abs(x), 1.f);
    const float r = std::sqrt(1.f - ax) * (1.5707288f + ax * (-0.2121144f + ax * (0.0742610f - 0.0187293f * ax)));
    return x < 0.f ? kPi - r : r;
}

}  // namespace

Environment Environment::fromSky(const SunSky& s, int width, int height)
{
    Environment e;
    e.m_w = width;
    e.m_h = height;
    e.m_texels.resize(size_t(width) * size_t(height));
    for (int j = 0; j < height; ++j) {
        const float theta = (float(j) + 0.5f) / float(height) * kPi;
        for (int i = 0; i < width; ++i) {
            const float phi = (float(i) + 0.5f) / float(width) * 2.f * kPi - kPi;
            const SkyVec d{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            const SkyRgb c = skyRadiance(s, d);
            e.m_texels[size_t(j) * size_t(width) + size_t(i)] = {c.r, c.g, c.b};
        }
    }
    e.buildTables();
    return e;
}

Environment Environment::uniform(const Vec3& radiance)
{
    Environment e;
    e.m_w = 64;
    e.m_h = 32;
    e.m_texels.assign(size_t(e.m_w) * size_t(e.m_h), radiance);
    e.buildTables();
    return e;
}

// Texels are chosen in proportion to their light times the solid angle they cover, through
// Walker's alias table: one look-up whatever the table's size.
void Environment::buildTables()
{
    const size_t n = m_texels.size();
    m_weight.resize(n);
    double total = 0.0;
    bool black = true;
    for (int j = 0; j < m_h; ++j) {
        const float sinT = std::sin((float(j) + 0.5f) / float(m_h) * kPi);
        for (int i = 0; i < m_w; ++i) {
            const Vec3& t = m_texels[size_t(j) * m_w + i];
            black = black && ::isBlack(t);
            const float w = (std::max(luminance(t), 0.f) + 1e-6f) * sinT;
            m_weight[size_t(j) * m_w + i] = w;
            total += w;
        }
    }
    m_total = black ? 0.f : float(total);
    m_aliasProb.assign(n, 1.f);
    m_alias.resize(n);
    std::vector<double> scaled(n);
    std::vector<uint32_t> small, large;
    for (size_t k = 0; k < n; ++k) {
        m_alias[k] = uint32_t(k);
        scaled[k] = double(m_weight[k]) * double(n) / total;
        (scaled[k] < 1.0 ? small : large).push_back(uint32_t(k));
    }
    while (!small.empty() && !large.empty()) {
        const uint32_t s = small.back(), l = large.back();
        small.pop_back();
        m_aliasProb[s] = float(scaled[s]);
        m_alias[s] = l;
        scaled[l] -= 1.0 - scaled[s];
        if (scaled[l] < 1.0) {
            large.pop_back();
            small.push_back(l);
        }
    }
}

Vec3 Environment::lookup(float x, float y) const
{
    if (!std::isfinite(x) || !std::isfinite(y)) return Vec3(0.f);
    x -= 0.5f;
    y -= 0.5f;
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const float fx = x - fx0, fy = y - fy0;
    int x0 = int(fx0) % m_w;
    if (x0 < 0) x0 += m_w;
    const int x1 = x0 + 1 == m_w ? 0 : x0 + 1;
    const int y0 = std::clamp(int(fy0), 0, m_h - 1), y1 = std::clamp(int(fy0) + 1, 0, m_h - 1);
    const Vec3& a = m_texels[size_t(y0) * m_w + x0];
    const Vec3& b = m_texels[size_t(y0) * m_w + x1];
    const Vec3& c = m_texels[size_t(y1) * m_w + x0];
    const Vec3& d = m_texels[size_t(y1) * m_w + x1];
    return (a * (1.f - fx) + b * fx) * (1.f - fy) + (c * (1.f - fx) + d * fx) * fy;
}

Vec3 Environment::eval(const Vec3& dir) const
{
    const float theta = fastAcos(std::clamp(dir.y, -1.f, 1.f));
    const float phi = fastAtan2(dir.z, dir.x);
    return lookup((phi + kPi) / (2.f * kPi) * float(m_w), theta / kPi * float(m_h));
}

Vec3 Environment::sample(float u0, float u1, Vec3* radiance, float* pdf) const
{
    *pdf = 0.f;
    if (m_total <= 0.f) return Vec3(0.f, 1.f, 0.f);
    const size_t n = m_texels.size();
    const float scaled = u0 * float(n);
    size_t k = std::min(size_t(scaled), n - 1);
    float f = std::clamp(scaled - float(k), 0.f, 0.99999f);
    // What is left of u0 after the choice is still uniform: it places the point in the texel.
    if (f < m_aliasProb[k]) {
        f = f / m_aliasProb[k];
    } else {
        f = (f - m_aliasProb[k]) / std::max(1.f - m_aliasProb[k], 1e-7f);
        k = m_alias[k];
    }
    const int j = int(k / size_t(m_w)), i = int(k % size_t(m_w));
    const float x = float(i) + std::clamp(f, 0.f, 0.99999f), y = float(j) + std::clamp(u1, 0.f, 0.99999f);
    const float theta = y / float(m_h) * kPi;
    const float phi = x / float(m_w) * 2.f * kPi - kPi;
    const float sinT = std::sin(theta);
    const Vec3 dir{sinT * std::cos(phi), std::cos(theta), sinT * std::sin(phi)};
    if (sinT <= 1e-6f) return dir;
    *pdf = m_weight[k] / m_total * float(m_w) * float(m_h) / (2.f * kPi * kPi * sinT);
    *radiance = lookup(x, y);
    return dir;
}

float Environment::pdf(const Vec3& dir) const
{
    if (m_total <= 0.f || !std::isfinite(dir.x + dir.y + dir.z)) return 0.f;
    const float sinT = std::sqrt(std::max(0.f, 1.f - dir.y * dir.y));
    if (sinT <= 1e-6f) return 0.f;
    const float theta = fastAcos(std::clamp(dir.y, -1.f, 1.f));
    const float phi = fastAtan2(dir.z, dir.x);
    const int i = std::clamp(int((phi + kPi) / (2.f * kPi) * float(m_w)), 0, m_w - 1);
    const int j = std::clamp(int(theta / kPi * float(m_h)), 0, m_h - 1);
    return m_weight[size_t(j) * m_w + i] / m_total * float(m_w) * float(m_h) / (2.f * kPi * kPi * sinT);
}

SunLight SunLight::fromSky(const SunSky& s)
{
    SunLight l;
    const SkyVec d = sunDirection(s);
    l.direction = normalize({d.x, d.y, d.z});
    const SkyRgb e = sunIrradiance(s);
    l.irradiance = {e.r, e.g, e.b};
    const SkyRgb r = sunDiscRadiance(s);
    l.discRadiance = {r.r, r.g, r.b};
    l.angularRadius = kSunDiscRadius;
    if (s.elevationDeg < 0.f) l.irradiance = l.discRadiance = Vec3(0.f);
    return l;
}

Integrator::Integrator(const RenderScene& scene, const Environment& env, const SunLight& sun,
                       const TraceSettings& settings)
    : m_scene(scene), m_env(env), m_sun(sun), m_sunCos(std::cos(sun.angularRadius)), m_set(settings)
{
}

Vec3 Integrator::radiance(const Vec3& origin, const Vec3& direction, float pixelSpread, Rng& rng,
                          RayCounts& counts) const
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    Vec3 L(0.f), beta(1.f);
    Vec3 o = origin, d = direction;
    float width = 0.f, spread = pixelSpread, prevPdf = 0.f;
    const bool sunOn = !isBlack(m_sun.irradiance);
    const Frame sunFrame(m_sun.direction);
    for (int depth = 0;; ++depth) {
        SurfaceHit h;
        ++(depth == 0 ? counts.primary : counts.bounce);
        if (!m_scene.intersect(o, d, 0.f, kInf, rng.nextU32(), &h)) {
            Vec3 Le = m_env.eval(d);
            if (depth == 0) {
                if (dot(d, m_sun.direction) >= m_sunCos) Le += m_sun.discRadiance;
                L += Le;
            } else {
                const float w = prevPdf > 0.f ? powerHeuristic(prevPdf, m_env.pdf(d)) : 1.f;
                L += clampMax(beta * Le * w, m_set.indirectClamp);
            }
            break;
        }
        const RenderMaterial& m = *h.material;
        const Vec3 wo = -d;
        Vec3 ng = h.ng, ns = h.ns;
        if (dot(ng, wo) < 0.f) {
            ng = -ng;
            ns = -ns;
        }
        if (depth == 0 && m_set.fogDensity > 0.f) {
            const float fog = 1.f - std::exp(-h.t * m_set.fogDensity);
            L += m_env.eval(normalize({d.x, std::max(d.y, 0.03f), d.z})) * fog;
            beta *= 1.f - fog;
        }
        width += spread * h.t;
        // The texture level whose texels are as wide as the ray's footprint there.
        auto levelOf = [&](const RenderTexture& t) {
            if (h.texelScale <= 0.f || width <= 0.f) return 0.f;
            const float texels = width * h.texelScale * float(std::max(t.width(), t.height()));
            return std::max(0.f, std::log2(texels / std::max(std::abs(dot(ng, wo)), 0.25f)));
        };
        Vec3 albedo = m.diffuse;
        if (m.colour) {
            const TexelRgba c = m.colour->sample(h.u, h.v, levelOf(*m.colour));
            albedo = albedo * Vec3(c.r, c.g, c.b);
        }
        const bool hasFrame = !isBlack(h.dpdu * h.dpdu + h.dpdv * h.dpdv);
        if (hasFrame && m.normalMap) {
            const TexelRgba t = m.normalMap->sample(h.u, h.v, levelOf(*m.normalMap));
            const Vec3 T = normalize(h.dpdu - ns * dot(ns, h.dpdu));
            const Vec3 B = normalize(h.dpdv - ns * dot(ns, h.dpdv));
            const Vec3 bent = normalize(T * (2.f * t.r - 1.f) + B * (2.f * t.g - 1.f) + ns * (2.f * t.b - 1.f));
            if (dot(bent, ng) > 0.05f) ns = bent;
        } else if (hasFrame && m.bumpMap && m.bumpHeight > 0.f) {
            const float level = levelOf(*m.bumpMap);
            const float texels = float(std::max(1, m.bumpMap->width() >> int(std::lround(level))));
            const float du = 1.f / texels;
            const float h0 = m.bumpMap->sample(h.u, h.v, level).r;
            const float hu = m.bumpMap->sample(h.u + du, h.v, level).r;
            const float hv = m.bumpMap->sample(h.u, h.v + du, level).r;
            const Vec3 pu = h.dpdu + ns * ((hu - h0) / du * m.bumpHeight);
            const Vec3 pv = h.dpdv + ns * ((hv - h0) / du * m.bumpHeight);
            Vec3 bent = normalize(cross(pu, pv));
            if (dot(bent, ns) < 0.f) bent = -bent;
            if (dot(bent, ng) > 0.05f) ns = bent;
        }
        if (dot(ns, wo) <= 0.f) ns = ng;
        const Bsdf bsdf(ns, ng, albedo, m.specular, m.roughness, m.translucency);
        auto add = [&](const Vec3& c) { L += depth == 0 ? c : clampMax(c, m_set.indirectClamp); };

        if (sunOn) {
            const float u0 = rng.next(), u1 = rng.next();
            const float cosT = 1.f - u0 * (1.f - m_sunCos);
            const float sinT = std::sqrt(std::max(0.f, 1.f - cosT * cosT));
            const float phi = 2.f * kPi * u1;
            const Vec3 wi = sunFrame.toWorld({sinT * std::cos(phi), sinT * std::sin(phi), cosT});
            float pdf = 0.f;
            const Vec3 f = bsdf.eval(wo, wi, &pdf);
            const uint32_t salt = rng.nextU32();
            if (!isBlack(f)) {
                ++counts.shadow;
                if (!m_scene.occluded(offsetFrom(h, ng, bsdf.passesThrough(), wi), wi, 0.f, kInf, salt))
                    add(beta * f * m_sun.irradiance);
            }
        }
        if (!m_env.isBlack()) {
            Vec3 Le;
            float pdfL = 0.f;
            const Vec3 wi = m_env.sample(rng.next(), rng.next(), &Le, &pdfL);
            const uint32_t salt = rng.nextU32();
            if (pdfL > 0.f) {
                float pdfB = 0.f;
                const Vec3 f = bsdf.eval(wo, wi, &pdfB);
                if (!isBlack(f)) {
                    ++counts.shadow;
                    if (!m_scene.occluded(offsetFrom(h, ng, bsdf.passesThrough(), wi), wi, 0.f, kInf, salt))
                        add(beta * f * Le * (powerHeuristic(pdfL, pdfB) / pdfL));
                }
            }
        }

        if (depth >= m_set.maxBounces) break;
        Vec3 wi, weight;
        float pdf = 0.f;
        const float s0 = rng.next(), s1 = rng.next(), s2 = rng.next();
        if (!bsdf.sample(wo, s0, s1, s2, &wi, &weight, &pdf)) break;
        beta *= weight;
        prevPdf = pdf;
        if (depth + 1 > m_set.minBounces) {
            const float q = std::min(0.95f, maxComponent(beta));
            if (rng.next() >= q) break;
            beta *= 1.f / q;
        }
        o = offsetFrom(h, ng, bsdf.passesThrough(), wi);
        d = wi;
        // After a scattering bounce the footprint opens up; textures are read much blurrier.
        spread = std::max(spread, 0.05f);
    }
    return L;
}
