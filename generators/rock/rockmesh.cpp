#include "rock/rockmesh.h"

#include <cmath>
#include <dzgeometry.h>

#include "common/verdixrandom.h"

RockSpot drawRockSpot(VxRandomStream& rng)
{
    RockSpot s;
    s.x = float(rng.next() % 10 - 4);
    s.z = float(rng.next() % 10 - 4);
    s.lift = float(rng.next() % 100 + 1);
    return s;
}

namespace {

constexpr float kPi = 3.14159265358979f;

inline int ringVertex(int i, int j) { return 2 + kRockRings * i + j; }
inline int ringUV(int i, int j) { return 2 * kRockSegments + kRockRings * i + j; }
// The seam column repeats segment 0's ring at u = 1, so the texture does not wrap backwards.
inline int seamUV(int j) { return 2 * kRockSegments + kRockSegments * kRockRings + j; }

}  // namespace

void buildRockMesh(DzFacetMesh& mesh, VxRandomStream& rng)
{
    mesh.beginEdit();
    mesh.preSizeVertexArray(kRockVertices);
    mesh.addVertex(0.f, 0.f, 0.f);
    mesh.addVertex(0.f, 2.f * kRockRadius, 0.f);
    for (int i = 0; i < kRockSegments; ++i) {
        const float theta = float(i) * 2.f * kPi / float(kRockSegments);
        for (int j = 0; j < kRockRings; ++j) {
            const float phi = float(j + 1) * kPi / float(kRockRings + 1);
            const float n = float(rng.next() % 100 + 1) * 0.003f;
            mesh.addVertex(kRockRadius * std::sin(phi) * std::sin(theta) + n, kRockRadius - kRockRadius * std::cos(phi),
                           kRockRadius * std::sin(phi) * std::cos(theta) + n);
        }
    }

    auto* uvs = new DzUVSet;
    uvs->preSizeArray(kRockUVs);
    for (int i = 0; i < kRockSegments; ++i) {
        const float u = float(i) / float(kRockSegments) + 0.0125f;
        uvs->appendPnt2Vec(DzPnt2(u, 0.f));
        uvs->appendPnt2Vec(DzPnt2(u, 1.f));
    }
    for (int i = 0; i < kRockSegments; ++i)
        for (int j = 0; j < kRockRings; ++j)
            uvs->appendPnt2Vec(DzPnt2(float(i) / float(kRockSegments), float(j + 1) / float(kRockRings + 1)));
    for (int j = 0; j < kRockRings; ++j) uvs->appendPnt2Vec(DzPnt2(1.f, float(j + 1) / float(kRockRings + 1)));
    mesh.setUVList(uvs);

    mesh.preSizeFacets(kRockFacets);
    mesh.activateMaterial(0);
    for (int i = 0; i < kRockSegments; ++i) {
        const int i2 = (i + 1) % kRockSegments;
        // The far side of the last segment takes the seam column's UV points.
        auto uv2 = [&](int j) { return i2 == 0 ? seamUV(j) : ringUV(i2, j); };
        {
            const int v[4] = {0, ringVertex(i2, 0), ringVertex(i, 0), -1};
            const int t[4] = {2 * i, uv2(0), ringUV(i, 0), -1};
            mesh.addFacet(v, t);
        }
        for (int j = 0; j + 1 < kRockRings; ++j) {
            const int v[4] = {ringVertex(i, j), ringVertex(i2, j), ringVertex(i2, j + 1), ringVertex(i, j + 1)};
            const int t[4] = {ringUV(i, j), uv2(j), uv2(j + 1), ringUV(i, j + 1)};
            mesh.addFacet(v, t);
        }
        {
            const int last = kRockRings - 1;
            const int v[4] = {1, ringVertex(i, last), ringVertex(i2, last), -1};
            const int t[4] = {2 * i + 1, ringUV(i, last), uv2(last), -1};
            mesh.addFacet(v, t);
        }
    }
    mesh.finishEdit();
}
