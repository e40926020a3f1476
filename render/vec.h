#pragma once
// The small vector maths of the renderer: three floats, nothing clever.
#include <algorithm>
#include <cmath>
#include <cstdint>

struct Vec3
{
    float x = 0.f, y = 0.f, z = 0.f;
    Vec3() = default;
    constexpr Vec3(float a, float b, float c) : x(a), y(b), z(c) {}
    explicit constexpr Vec3(float s) : x(s), y(s), z(s) {}
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return a * s; }
inline Vec3 operator/(Vec3 a, float s) { return a * (1.f / s); }
inline Vec3& operator+=(Vec3& a, Vec3 b) { return a = a + b; }
inline Vec3& operator*=(Vec3& a, Vec3 b) { return a = a * b; }
inline Vec3& operator*=(Vec3& a, float s) { return a = a * s; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalize(Vec3 a)
{
    const float l = length(a);
    return l > 0.f ? a / l : Vec3(0.f, 1.f, 0.f);
}
inline float maxComponent(Vec3 a) { return std::max(a.x, std::max(a.y, a.z)); }
inline float luminance(Vec3 a) { return 0.2126f * a.x + 0.7152f * a.y + 0.0722f * a.z; }
inline bool isBlack(Vec3 a) { return a.x <= 0.f && a.y <= 0.f && a.z <= 0.f; }

// An orthonormal frame around n (Duff et al.'s branchless construction).
struct Frame
{
    Vec3 t, b, n;
    explicit Frame(Vec3 normal) : n(normal)
    {
        const float s = std::copysign(1.f, n.z);
        const float a = -1.f / (s + n.z);
        const float c = n.x * n.y * a;
        t = {1.f + s * n.x * n.x * a, s * c, -s * n.x};
        b = {c, s + n.y * n.y * a, -n.y};
    }
    Vec3 toWorld(Vec3 v) const { return t * v.x + b * v.y + n * v.z; }
    Vec3 toLocal(Vec3 v) const { return {dot(v, t), dot(v, b), dot(v, n)}; }
};

constexpr float kPi = 3.14159265358979f;

// Random numbers for one pixel sample: a PCG32 stream whose start is a hash of the seed, the
// pixel and the sample's index, so a sample's numbers never depend on which thread ran it or
// what ran before.
inline uint32_t hashMix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

class Rng
{
public:
    Rng(uint32_t seed, uint32_t a, uint32_t b, uint32_t c)
    {
        const uint32_t h1 = hashMix(seed ^ hashMix(a + 0x9e3779b9u));
        const uint32_t h2 = hashMix(h1 ^ hashMix(b + 0x85ebca6bu));
        const uint32_t h3 = hashMix(h2 ^ hashMix(c + 0xc2b2ae35u));
        m_inc = (uint64_t(h2) << 1) | 1u;
        m_state = (uint64_t(h3) << 32 | h1) + m_inc;
        nextU32();
    }
    uint32_t nextU32()
    {
        const uint64_t old = m_state;
        m_state = old * 6364136223846793005ull + m_inc;
        const uint32_t xorshifted = uint32_t(((old >> 18u) ^ old) >> 27u);
        const uint32_t rot = uint32_t(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }
    // Uniform in [0, 1).
    float next() { return float(nextU32() >> 8) * (1.f / 16777216.f); }

private:
    uint64_t m_state = 0, m_inc = 1;
};
