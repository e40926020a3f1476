#include "terrain/heightquery.h"

#include <cmath>
#include "common/vxexpect.h"

TerrainGrid TerrainGrid::fromLayout(const DzVec3* vertices, int vertexCount, int tiles, int divisions, float tileSize)
{
    TerrainGrid g;
    g.vertices = vertices;
    g.vertexCount = vertexCount;
    g.cells = tiles * divisions;
    g.extent = float(tiles) * tileSize;
    g.half = g.extent * 0.5f;
    return g;
}

DzVec3 crossProduct(const DzVec3& v1, const DzVec3& v2)
{
    return DzVec3(v1.m_y * v2.m_z - v1.m_z * v2.m_y, v1.m_z * v2.m_x - v1.m_x * v2.m_z,
                  v1.m_x * v2.m_y - v1.m_y * v2.m_x);
}

namespace {

// Doubled signed area of (u, v, w) in the x-z plane, the orientation the determinants use.
inline float area2(const DzVec3& u, const DzVec3& v, const DzVec3& w)
{
    return (w.m_z - u.m_z) * (v.m_x - u.m_x) - (v.m_z - u.m_z) * (w.m_x - u.m_x);
}

// Is p inside triangle (a, b, c)? Points on an edge are inside; a degenerate triangle
// holds nothing. det receives the triangle's doubled area.
inline bool inTriangle(const DzVec3& a, const DzVec3& b, const DzVec3& c, const DzVec3& p, float* det)
{
    const float d = area2(a, b, c);
    *det = d;
    if (d == 0.f) return false;
    const float s = d > 0.f ? 1.f : -1.f;
    return area2(a, b, p) * s >= 0.f && area2(b, c, p) * s >= 0.f && area2(c, a, p) * s >= 0.f;
}

// Height at p on the plane through (a, b, c); det is their doubled area.
inline float planeHeight(const DzVec3& A, const DzVec3& B, const DzVec3& C, float px, float pz, float det)
{
    const float ax = A.m_x - px, az = A.m_z - pz;
    const float bx = B.m_x - px, bz = B.m_z - pz;
    const float cx = C.m_x - px, cz = C.m_z - pz;
    return ((az * cx - ax * cz) * B.m_y + (bx * cz - bz * cx) * A.m_y + (ax * bz - az * bx) * C.m_y) / det;
}

struct Query
{
    const TerrainGrid& g;
    int V;
    float px, pz;
    DzVec3 p;

    // Tests cell (r, c). Indices outside 0..N-1 (the last vertex row and column start no
    // cell) and cells whose corners lie past the vertex array test nothing.
    bool cell(int r, int c, HeightAnswer* out, DzVec3* normal) const
    {
        const int N = g.cells;
        if (r < 0 || c < 0 || r >= N || c >= N) return false;
        const long long last = (long long)(r + 1) * V + c + 1;
        if (last >= g.vertexCount) return false;
        const DzVec3* row0 = g.vertices + (long long)r * V + c;
        const DzVec3* row1 = row0 + V;
        const DzVec3& A = row0[0];
        const DzVec3& B = row0[1];
        const DzVec3& C = row1[1];
        const DzVec3& D = row1[0];
        float det;
        if (inTriangle(A, B, C, p, &det)) {
            out->height = planeHeight(A, B, C, px, pz, det);
            out->firstTriangle = true;
            if (normal) {
                DzVec3 n = crossProduct(B - A, C - A);
                n.normalize();
                *normal = -n;
            }
        } else if (inTriangle(C, D, A, p, &det)) {
            out->height = planeHeight(C, D, A, px, pz, det);
            out->firstTriangle = false;
            if (normal) {
                DzVec3 n = crossProduct(D - C, A - C);
                n.normalize();
                *normal = -n;
            }
        } else {
            return false;
        }
        out->hit = HeightHit::Found;
        out->column = c;
        out->row = r;
        return true;
    }

    bool scan(HeightAnswer* out, DzVec3* normal) const
    {
        const int N = g.cells;
        for (int r = 0; r < N; ++r)
            for (int c = 0; c < N; ++c)
                if (cell(r, c, out, normal)) return true;
        return false;
    }
};

// Start index from a caller's cache: beyond the grid (or negative) starts at 0.
inline int cachedStart(const int* cache, int N)
{
    if (!cache) return 0;
    const int v = *cache;
    return (v > N || v < 0) ? 0 : v;
}

// Estimated cell along one axis from the distance to vertex 0's edge.
inline int estimate(float fromEdge, float extent, int N)
{
    const float f = fromEdge / extent * float(N);
    if (!(f >= 0.f) || f > float(N)) return 0;
    const int v = int(f);
    return v > N ? 0 : v;
}

}  // namespace

HeightAnswer terrainHeight(const TerrainGrid& g, float PosX, float PosZ, DzVec3* normal, int* iCache, int* jCache)
{
    VX_EXPECT(g.cells >= 0 && g.vertexCount >= 0 && (g.vertexCount == 0 || g.vertices), "a grid over its vertices");
    HeightAnswer out;
    const int N = g.cells;
    const int V = N + 1;
    const bool cached = iCache || jCache;
    int c0 = cachedStart(iCache, N);
    int r0 = cachedStart(jCache, N);

    // NaN fails every comparison and lands here too.
    if (!(PosX >= -g.half && PosX <= g.half && PosZ >= -g.half && PosZ <= g.half)) {
        if (normal) *normal = DzVec3();
        out.height = kHeightMiss;
        out.hit = HeightHit::OutOfBounds;
        return out;
    }

    const Query q{g, V, PosX, PosZ, DzVec3(PosX, 0.f, PosZ)};
    bool found = false;
    if (N > 0 && g.vertices && g.vertexCount >= V * V) {
        if (!cached) {
            const DzVec3& v0 = g.vertices[0];
            c0 = estimate(v0.m_x < 0.f ? g.half + PosX : g.half - PosX, g.extent, N);
            r0 = estimate(v0.m_z < 0.f ? g.half + PosZ : g.half - PosZ, g.extent, N);
        }
        // The start cell, then its eight neighbours: left, upper left, up, upper right,
        // right, lower right, down, lower left. Leaving the grid ends the walk. An estimate
        // can be one cell off for a point within rounding of a cell edge, and the walk spares
        // it the scan of the whole grid.
        static const int kMoves[8][2] = {{0, -1}, {-1, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {0, -1}, {0, -1}};
        int r = r0, c = c0;
        found = q.cell(r, c, &out, normal);
        for (int m = 0; !found && m < 8; ++m) {
            r += kMoves[m][0];
            c += kMoves[m][1];
            if (r < 0 || c < 0 || r > V || c > V) break;
            found = q.cell(r, c, &out, normal);
        }
        if (!found) found = q.scan(&out, normal);
    }

    if (!found) {
        if (normal) *normal = DzVec3();
        out = HeightAnswer();
        out.hit = HeightHit::NotFound;
        return out;
    }
    if (iCache) *iCache = out.column;
    if (jCache) *jCache = out.row;
    return out;
}
