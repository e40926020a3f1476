#pragma once
// Small value types of the host: vectors, a 3x3 rotation matrix, a quaternion and time.
#include <QtGlobal>
#include <QMetaType>
#include <cmath>

// Scene time in ticks; the host runs 4800 ticks per second.
typedef qint64 DzTime;
constexpr DzTime DZ_TICKS_PER_SECOND = 4800;

struct DzPnt2
{
    float u = 0.f, v = 0.f;
    DzPnt2() = default;
    DzPnt2(float uu, float vv) : u(uu), v(vv) {}
    bool operator==(const DzPnt2& o) const { return u == o.u && v == o.v; }
};

class DzVec3
{
public:
    float m_x = 0.f, m_y = 0.f, m_z = 0.f;

    DzVec3() = default;
    DzVec3(float x, float y, float z) : m_x(x), m_y(y), m_z(z) {}

    float x() const { return m_x; }
    float y() const { return m_y; }
    float z() const { return m_z; }
    void setX(float v) { m_x = v; }
    void setY(float v) { m_y = v; }
    void setZ(float v) { m_z = v; }

    DzVec3 operator+(const DzVec3& o) const { return {m_x + o.m_x, m_y + o.m_y, m_z + o.m_z}; }
    DzVec3 operator-(const DzVec3& o) const { return {m_x - o.m_x, m_y - o.m_y, m_z - o.m_z}; }
    DzVec3 operator-() const { return {-m_x, -m_y, -m_z}; }
    DzVec3 operator*(float s) const { return {m_x * s, m_y * s, m_z * s}; }
    DzVec3 operator/(float s) const { return {m_x / s, m_y / s, m_z / s}; }
    DzVec3& operator+=(const DzVec3& o)
    {
        m_x += o.m_x;
        m_y += o.m_y;
        m_z += o.m_z;
        return *this;
    }
    DzVec3& operator-=(const DzVec3& o)
    {
        m_x -= o.m_x;
        m_y -= o.m_y;
        m_z -= o.m_z;
        return *this;
    }
    DzVec3& operator*=(float s)
    {
        m_x *= s;
        m_y *= s;
        m_z *= s;
        return *this;
    }
    bool operator==(const DzVec3& o) const { return m_x == o.m_x && m_y == o.m_y && m_z == o.m_z; }
    bool operator!=(const DzVec3& o) const { return !(*this == o); }

    float dot(const DzVec3& o) const { return m_x * o.m_x + m_y * o.m_y + m_z * o.m_z; }
    DzVec3 cross(const DzVec3& o) const
    {
        return {m_y * o.m_z - m_z * o.m_y, m_z * o.m_x - m_x * o.m_z, m_x * o.m_y - m_y * o.m_x};
    }
    float length() const { return std::sqrt(dot(*this)); }
    void normalize()
    {
        const float l = length();
        if (l > 0.f) {
            m_x /= l;
            m_y /= l;
            m_z /= l;
        }
    }
    DzVec3 normalized() const
    {
        DzVec3 v(*this);
        v.normalize();
        return v;
    }
};

// Row-major 3x3 matrix. Rotations post-multiply: after rotateX then rotateY a vector is
// turned about X first, then about Y, as the vegetation builders accumulate them.
class DzMatrix3
{
public:
    float m[3][3];

    DzMatrix3() { identity(); }
    void identity()
    {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m[r][c] = (r == c) ? 1.f : 0.f;
    }
    float value(int row, int col) const { return m[row][col]; }
    void setValue(int row, int col, float v) { m[row][col] = v; }
    DzVec3 row(int r) const { return {m[r][0], m[r][1], m[r][2]}; }
    void setRow(int r, const DzVec3& v)
    {
        m[r][0] = v.m_x;
        m[r][1] = v.m_y;
        m[r][2] = v.m_z;
    }
    float* rowPointer(int r) { return m[r]; }

    DzMatrix3 operator*(const DzMatrix3& o) const
    {
        DzMatrix3 out;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) out.m[r][c] = m[r][0] * o.m[0][c] + m[r][1] * o.m[1][c] + m[r][2] * o.m[2][c];
        return out;
    }
    // Column-vector product M * v.
    DzVec3 multVec(const DzVec3& v) const
    {
        return {m[0][0] * v.m_x + m[0][1] * v.m_y + m[0][2] * v.m_z,
                m[1][0] * v.m_x + m[1][1] * v.m_y + m[1][2] * v.m_z,
                m[2][0] * v.m_x + m[2][1] * v.m_y + m[2][2] * v.m_z};
    }
    DzVec3 operator*(const DzVec3& v) const { return multVec(v); }

    void rotateX(float radians)
    {
        const float c = std::cos(radians), s = std::sin(radians);
        DzMatrix3 r;
        r.m[1][1] = c;
        r.m[1][2] = -s;
        r.m[2][1] = s;
        r.m[2][2] = c;
        *this = r * *this;
    }
    void rotateY(float radians)
    {
        const float c = std::cos(radians), s = std::sin(radians);
        DzMatrix3 r;
        r.m[0][0] = c;
        r.m[0][2] = s;
        r.m[2][0] = -s;
        r.m[2][2] = c;
        *this = r * *this;
    }
    void rotateZ(float radians)
    {
        const float c = std::cos(radians), s = std::sin(radians);
        DzMatrix3 r;
        r.m[0][0] = c;
        r.m[0][1] = -s;
        r.m[1][0] = s;
        r.m[1][1] = c;
        *this = r * *this;
    }
};

class DzQuat
{
public:
    float m_x = 0.f, m_y = 0.f, m_z = 0.f, m_w = 1.f;

    DzQuat() = default;
    DzQuat(float x, float y, float z, float w) : m_x(x), m_y(y), m_z(z), m_w(w) {}
    static DzQuat fromAxisAngle(const DzVec3& axis, float radians)
    {
        const DzVec3 a = axis.normalized();
        const float s = std::sin(radians * 0.5f);
        return {a.m_x * s, a.m_y * s, a.m_z * s, std::cos(radians * 0.5f)};
    }
    bool isIdentity() const { return m_x == 0.f && m_y == 0.f && m_z == 0.f && m_w == 1.f; }
    DzQuat operator*(const DzQuat& q) const
    {
        return {m_w * q.m_x + m_x * q.m_w + m_y * q.m_z - m_z * q.m_y,
                m_w * q.m_y - m_x * q.m_z + m_y * q.m_w + m_z * q.m_x,
                m_w * q.m_z + m_x * q.m_y - m_y * q.m_x + m_z * q.m_w,
                m_w * q.m_w - m_x * q.m_x - m_y * q.m_y - m_z * q.m_z};
    }
    DzQuat inverse() const { return {-m_x, -m_y, -m_z, m_w}; }
    DzVec3 multVec(const DzVec3& v) const
    {
        const DzVec3 u(m_x, m_y, m_z);
        const DzVec3 t = u.cross(v) * 2.f;
        return v + t * m_w + u.cross(t);
    }
    bool operator==(const DzQuat& o) const { return m_x == o.m_x && m_y == o.m_y && m_z == o.m_z && m_w == o.m_w; }
};

// A rigid transform with uniform-per-axis scale: world = T * R * S.
struct DzTransform
{
    DzVec3 pos;
    DzQuat rot;
    DzVec3 scale{1.f, 1.f, 1.f};

    DzVec3 apply(const DzVec3& p) const
    {
        const DzVec3 s(p.m_x * scale.m_x, p.m_y * scale.m_y, p.m_z * scale.m_z);
        return rot.multVec(s) + pos;
    }
    // Composition for the scene hierarchy; exact for uniform scale, which is all the host uses.
    DzTransform operator*(const DzTransform& child) const
    {
        DzTransform out;
        out.pos = apply(child.pos);
        out.rot = rot * child.rot;
        out.scale = DzVec3(scale.m_x * child.scale.m_x, scale.m_y * child.scale.m_y, scale.m_z * child.scale.m_z);
        return out;
    }
    DzTransform inverse() const
    {
        DzTransform out;
        out.scale = DzVec3(1.f / scale.m_x, 1.f / scale.m_y, 1.f / scale.m_z);
        out.rot = rot.inverse();
        const DzVec3 p = out.rot.multVec(-pos);
        out.pos = DzVec3(p.m_x * out.scale.m_x, p.m_y * out.scale.m_y, p.m_z * out.scale.m_z);
        return out;
    }
};

Q_DECLARE_METATYPE(DzVec3)
