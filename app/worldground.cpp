#include "worldground.h"
#include <QMatrix3x3>
#include <algorithm>
#include <cmath>
#include <dzgeometry.h>
#include "meshtriangles.h"
#include "scenemeshes.h"

namespace {

float smooth(float e0, float e1, float x)
{
    const float t = std::max(0.f, std::min(1.f, (x - e0) / (e1 - e0)));
    return t * t * (3.f - 2.f * t);
}

// u (or v) as a + b x + c z by least squares over the terrain's vertices: a terrain lays its
// texture out linearly over the ground, and the ring continues that plane.
struct Plane
{
    double a = 0.0, b = 0.0, c = 0.0;
    float at(float x, float z) const { return float(a + b * x + c * z); }
};

bool fitPlanes(const std::vector<GpuVertex>& v, Plane* pu, Plane* pv)
{
    const size_t stride = std::max<size_t>(1, v.size() / 8192);
    double m[3][3] = {}, ru[3] = {}, rv[3] = {};
    for (size_t i = 0; i < v.size(); i += stride) {
        const double row[3] = {1.0, v[i].px, v[i].pz};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) m[r][c] += row[r] * row[c];
            ru[r] += row[r] * v[i].u;
            rv[r] += row[r] * v[i].v;
        }
    }
    auto det3 = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det3(m);
    if (std::abs(d) < 1e-12 * std::max(1.0, std::abs(m[1][1] * m[2][2] * m[0][0]))) return false;
    auto solve = [&](const double rhs[3], Plane* p) {
        double s[3];
        for (int k = 0; k < 3; ++k) {
            double t[3][3];
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) t[r][c] = c == k ? rhs[r] : m[r][c];
            s[k] = det3(t) / d;
        }
        p->a = s[0], p->b = s[1], p->c = s[2];
    };
    solve(ru, pu);
    solve(rv, pv);
    return true;
}

}  // namespace

bool buildWorldGround(const MeshBuffers& terrain, float farRadius, MeshBuffers& out, WorldGroundShape* shape)
{
    out.vertices.clear();
    out.indices.clear();
    out.ranges.clear();
    const std::vector<GpuVertex>& tv = terrain.vertices;
    if (tv.size() < 3) return false;
    float x0 = tv[0].px, x1 = x0, z0 = tv[0].pz, z1 = z0;
    for (const GpuVertex& v : tv) {
        x0 = std::min(x0, v.px), x1 = std::max(x1, v.px);
        z0 = std::min(z0, v.pz), z1 = std::max(z1, v.pz);
    }
    const float w = x1 - x0, d = z1 - z0, size = std::max(w, d);
    if (!(w > 0.f) || !(d > 0.f)) return false;

    // The rim: vertices on the edges of the footprint, by their distance along its outline
    // (south edge west to east, then east, north, west).
    const float eps = size * 1e-4f;
    struct RimPoint
    {
        float s;  // distance along the outline
        QVector3D p;
        QVector3D n;  // the terrain's normal there (null when it has none)
        bool operator<(const RimPoint& o) const { return s < o.s; }
    };
    std::vector<RimPoint> rim;
    for (const GpuVertex& v : tv) {
        float s = -1.f;
        if (v.pz <= z0 + eps) s = v.px - x0;
        else if (v.px >= x1 - eps) s = w + (v.pz - z0);
        else if (v.pz >= z1 - eps) s = w + d + (x1 - v.px);
        else if (v.px <= x0 + eps) s = 2.f * w + d + (z1 - v.pz);
        if (s >= 0.f) rim.push_back({s, QVector3D(v.px, v.py, v.pz), QVector3D(v.nx, v.ny, v.nz)});
    }
    std::sort(rim.begin(), rim.end());
    // The terrain's own rim vertices (a vertex split for its UVs once): the ring meets the
    // terrain edge for edge, so no sky shows between them. A very fine rim is thinned, each
    // kept point the highest of those it stands for, so the ring stays under the edge.
    std::vector<QVector3D> edge, edgeNormal;
    const size_t stride = std::max<size_t>(1, rim.size() / 8192 + 1);
    for (size_t i = 0; i < rim.size();) {
        size_t end = std::min(rim.size(), i + stride);
        while (end < rim.size() && rim[end].s - rim[end - 1].s < eps) ++end;
        QVector3D best = rim[i].p, n;
        for (size_t k = i; k < end; ++k) {
            best.setY(std::max(best.y(), rim[k].p.y()));
            n += rim[k].n;
        }
        edge.push_back(best);
        // Facing up, as the shading sees the terrain from above whichever way it is wound.
        edgeNormal.push_back(n.y() < 0.f ? -n.normalized() : n.normalized());
        i = end;
    }
    if (edge.size() < 4) return false;
    const int M = int(edge.size());
    float hBase = 0.f;
    for (const QVector3D& e : edge) hBase += e.y();
    hBase /= float(M);
    // Heights along the ring smoothed, so the ground does not carry every bump of the rim
    // out to the horizon.
    const int half = std::max(2, M / 32);
    std::vector<float> smoothH(static_cast<size_t>(M));
    for (int i = 0; i < M; ++i) {
        float sum = 0.f;
        for (int k = -half; k <= half; ++k) sum += edge[size_t(((i + k) % M + M) % M)].y();
        smoothH[size_t(i)] = sum / float(2 * half + 1);
    }

    Plane pu, pv;
    const bool mapped = fitPlanes(tv, &pu, &pv);
    const float cx = (x0 + x1) * 0.5f, cz = (z0 + z1) * 0.5f;
    const float R = std::max(farRadius, size * 2.f);
    // Ring spacing grows geometrically: fine by the rim, coarse at the horizon.
    const int K = 32;
    const float q = 1.25f, qK = std::pow(q, float(K));
    out.vertices.reserve(size_t(M) * size_t(K + 1));
    for (int k = 0; k <= K; ++k) {
        const float f = (std::pow(q, float(k)) - 1.f) / (qK - 1.f);
        for (int i = 0; i < M; ++i) {
            const QVector3D& p = edge[size_t(i)];
            const float dx = p.x() - cx, dz = p.z() - cz;
            const float r0 = std::sqrt(dx * dx + dz * dz);
            const float ux = dx / r0, uz = dz / r0;
            float x, z, y;
            if (k == 0) {
                // The terrain's rim itself, vertex for vertex.
                x = p.x();
                z = p.z();
                y = p.y();
            } else {
                const float reach = (R - r0) * f;
                x = p.x() + ux * reach;
                z = p.z() + uz * reach;
                const float hRing = p.y() + (smoothH[size_t(i)] - p.y()) * smooth(0.f, 0.15f * size, reach);
                y = hRing + (hBase - hRing) * smooth(0.05f * size, 0.6f * size, reach);
            }
            GpuVertex g{};
            g.px = x, g.py = y, g.pz = z;
            g.u = mapped ? pu.at(x, z) : (x - x0) / w;
            g.v = mapped ? pv.at(x, z) : (z - z0) / d;
            out.vertices.push_back(g);
        }
    }
    for (int k = 0; k < K; ++k)
        for (int i = 0; i < M; ++i) {
            const uint32_t a = uint32_t(k * M + i), b = uint32_t(k * M + (i + 1) % M);
            const uint32_t c = a + uint32_t(M), e = b + uint32_t(M);
            out.indices.insert(out.indices.end(), {a, b, e, a, e, c});
        }
    // Smooth normals, facing up.
    for (size_t t = 0; t < out.indices.size(); t += 3) {
        GpuVertex& a = out.vertices[out.indices[t]];
        GpuVertex& b = out.vertices[out.indices[t + 1]];
        GpuVertex& c = out.vertices[out.indices[t + 2]];
        const QVector3D n = QVector3D::crossProduct(QVector3D(b.px - a.px, b.py - a.py, b.pz - a.pz),
                                                    QVector3D(c.px - a.px, c.py - a.py, c.pz - a.pz));
        const float sgn = n.y() < 0.f ? -1.f : 1.f;
        for (GpuVertex* g : {&a, &b, &c}) {
            g->nx += sgn * n.x();
            g->ny += sgn * n.y();
            g->nz += sgn * n.z();
        }
    }
    for (GpuVertex& g : out.vertices) {
        const QVector3D n = QVector3D(g.nx, g.ny, g.nz).normalized();
        g.nx = n.x(), g.ny = n.y(), g.nz = n.z();
        if (n.isNull()) g.ny = 1.f;
    }
    // The inner edge lit as the terrain's rim is.
    for (int i = 0; i < M; ++i) {
        const QVector3D& n = edgeNormal[size_t(i)];
        if (n.isNull()) continue;
        GpuVertex& g = out.vertices[size_t(i)];
        g.nx = n.x(), g.ny = n.y(), g.nz = n.z();
    }
    // A curtain hanging from the rim: where the two surfaces' edges differ in the last bit, a
    // ray slipping between them meets ground instead of the sky under the horizon.
    const float drop = size * 0.002f;
    for (int i = 0; i < M; ++i) {
        GpuVertex g = out.vertices[size_t(i)];
        g.py -= drop;
        out.vertices.push_back(g);
    }
    const uint32_t curtain = uint32_t(M) * uint32_t(K + 1);
    for (int i = 0; i < M; ++i) {
        const uint32_t a = uint32_t(i), b = uint32_t((i + 1) % M);
        out.indices.insert(out.indices.end(), {curtain + a, curtain + b, b, curtain + a, b, a});
    }
    MaterialRange r;
    r.count = uint32_t(out.indices.size());
    out.ranges.push_back(r);
    if (shape) {
        shape->centre = QVector3D(cx, hBase, cz);
        shape->radius = R;
        shape->halfX = w * 0.5f;
        shape->halfZ = d * 0.5f;
    }
    return true;
}

void terrainForGround(const DzFacetMesh& mesh, const QMatrix4x4& model, MeshBuffers& terrain)
{
    terrain.vertices.clear();
    terrain.indices.clear();
    terrain.ranges.clear();
    // A terrain past the drawing budget: its sampled grid keeps the rim and the texture plane.
    if (buildGridPreview(mesh, kMaxDrawnGridVertices, terrain)) {
        const QMatrix3x3 normalMat = model.normalMatrix();
        const float* m = normalMat.constData();  // column-major
        for (GpuVertex& v : terrain.vertices) {
            const QVector3D p = model.map(QVector3D(v.px, v.py, v.pz));
            v.px = p.x(), v.py = p.y(), v.pz = p.z();
            const QVector3D n(m[0] * v.nx + m[3] * v.ny + m[6] * v.nz, m[1] * v.nx + m[4] * v.ny + m[7] * v.nz,
                              m[2] * v.nx + m[5] * v.ny + m[8] * v.nz);
            v.nx = n.x(), v.ny = n.y(), v.nz = n.z();
        }
        return;
    }
    const DzVec3* pos = mesh.getVerticesPtr();
    const int nv = mesh.getNumVertices();
    terrain.vertices.assign(size_t(nv), GpuVertex{});
    for (size_t i = 0; i < terrain.vertices.size(); ++i) {
        const QVector3D p = model.map(toQt(pos[i]));
        terrain.vertices[i].px = p.x(), terrain.vertices[i].py = p.y(), terrain.vertices[i].pz = p.z();
    }
    // The rim's normals as the terrain is lit with them (area-weighted over its facets), from
    // the facets that touch the rim alone.
    float x0 = 1e30f, x1 = -1e30f, z0 = 1e30f, z1 = -1e30f;
    for (const GpuVertex& v : terrain.vertices) {
        x0 = std::min(x0, v.px), x1 = std::max(x1, v.px);
        z0 = std::min(z0, v.pz), z1 = std::max(z1, v.pz);
    }
    const float eps = std::max(x1 - x0, z1 - z0) * 1e-4f;
    auto onRim = [&](const GpuVertex& v) {
        return v.px <= x0 + eps || v.px >= x1 - eps || v.pz <= z0 + eps || v.pz >= z1 - eps;
    };
    const DzFacet* f = mesh.getFacetsPtr();
    const DzMap* uvs = mesh.getUVs();
    for (int i = 0, n = mesh.getNumFacets(); i < n; ++i) {
        if (!facetInMesh(f[i], nv)) continue;
        const int corners = f[i].isQuad() ? 4 : 3;
        if (uvs)
            for (int k = 0; k < corners; ++k) {
                const DzPnt2 t = uvs->getPnt2Value(f[i].m_uvwIdx[k]);
                GpuVertex& v = terrain.vertices[size_t(f[i].m_vertIdx[k])];
                v.u = t.u, v.v = t.v;
            }
        bool touches = false;
        for (int k = 0; k < corners; ++k) touches = touches || onRim(terrain.vertices[size_t(f[i].m_vertIdx[k])]);
        if (!touches) continue;
        auto at = [&](int k) {
            const GpuVertex& v = terrain.vertices[size_t(f[i].m_vertIdx[k])];
            return QVector3D(v.px, v.py, v.pz);
        };
        const QVector3D fn = f[i].isQuad() ? QVector3D::crossProduct(at(2) - at(0), at(3) - at(1)) * 0.5f
                                           : QVector3D::crossProduct(at(1) - at(0), at(2) - at(0)) * 0.5f;
        for (int k = 0; k < corners; ++k) {
            GpuVertex& v = terrain.vertices[size_t(f[i].m_vertIdx[k])];
            if (onRim(v)) v.nx += fn.x(), v.ny += fn.y(), v.nz += fn.z();
        }
    }
}
