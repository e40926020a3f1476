#include "scenebuild.h"
#include <embree3/rtcore.h>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The ray's own data rides behind Embree's context, where the filters find it.
struct RayContext
{
    RTCIntersectContext ctx;
    uint32_t salt;
};

struct MeshRecord
{
    const float* positions = nullptr;  // Embree's copy (xyz, 12-byte stride)
    const uint32_t* triangles = nullptr;
    std::vector<float> normals, uvs;
    std::vector<uint32_t> materials;
    const std::vector<RenderMaterial>* table = nullptr;
    unsigned geomId = 0;
};

inline float uniformOf(uint32_t salt, uint32_t geom, uint32_t prim)
{
    return float(hashMix(salt ^ hashMix(geom * 0x9e3779b9u + hashMix(prim))) >> 8) * (1.f / 16777216.f);
}

// The opacity of a candidate hit; a hit on the clear part of a card is no hit at all.
void cutoutFilter(const RTCFilterFunctionNArguments* args)
{
    const auto* rec = static_cast<const MeshRecord*>(args->geometryUserPtr);
    const auto* ctx = reinterpret_cast<const RayContext*>(args->context);
    for (unsigned i = 0; i < args->N; ++i) {
        if (args->valid[i] != -1) continue;
        const unsigned prim = RTCHitN_primID(args->hit, args->N, i);
        const RenderMaterial& m = (*rec->table)[rec->materials[prim]];
        if (m.cutout == Cutout::None) continue;
        if (m.coverage && !rec->uvs.empty()) {
            const float bu = RTCHitN_u(args->hit, args->N, i), bv = RTCHitN_v(args->hit, args->N, i);
            const uint32_t* t = rec->triangles + 3 * size_t(prim);
            const float* uv0 = &rec->uvs[2 * size_t(t[0])];
            const float* uv1 = &rec->uvs[2 * size_t(t[1])];
            const float* uv2 = &rec->uvs[2 * size_t(t[2])];
            const float bw = 1.f - bu - bv;
            if (!m.coverage->covers(bw * uv0[0] + bu * uv1[0] + bv * uv2[0], bw * uv0[1] + bu * uv1[1] + bv * uv2[1]))
                args->valid[i] = 0;
            continue;
        }
        float a = m.opacity;
        if (m.colour && !rec->uvs.empty()) {
            const float bu = RTCHitN_u(args->hit, args->N, i), bv = RTCHitN_v(args->hit, args->N, i);
            const uint32_t* t = rec->triangles + 3 * size_t(prim);
            const float* uv0 = &rec->uvs[2 * size_t(t[0])];
            const float* uv1 = &rec->uvs[2 * size_t(t[1])];
            const float* uv2 = &rec->uvs[2 * size_t(t[2])];
            const float bw = 1.f - bu - bv;
            a *= m.colour->alpha(bw * uv0[0] + bu * uv1[0] + bv * uv2[0], bw * uv0[1] + bu * uv1[1] + bv * uv2[1]);
        }
        const bool clear = m.cutout == Cutout::Mask ? a < 0.5f : a <= uniformOf(ctx->salt, rec->geomId, prim);
        if (clear) args->valid[i] = 0;
    }
}

void onEmbreeError(void* user, RTCError code, const char* str)
{
    auto* out = static_cast<QString*>(user);
    if (out->isEmpty())
        out->append(QString("Embree error %1: %2").arg(int(code)).arg(QString::fromUtf8(str ? str : "")));
}

}  // namespace

struct RenderScene::Impl
{
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    std::vector<std::unique_ptr<MeshRecord>> meshes;  // by geometry id
    std::vector<RenderMaterial> materials;
    QString error;
    size_t geometryBytes = 0;

    ~Impl()
    {
        if (scene) rtcReleaseScene(scene);
        if (device) rtcReleaseDevice(device);
    }
};

RenderScene::RenderScene() : d(new Impl) {}
RenderScene::~RenderScene() = default;

bool RenderScene::build(RenderSceneInput input, QString* error)
{
    d->device = rtcNewDevice(nullptr);
    if (!d->device) {
        *error = QString("Embree could not start (error %1)").arg(int(rtcGetDeviceError(nullptr)));
        return false;
    }
    rtcSetDeviceErrorFunction(d->device, &onEmbreeError, &d->error);
    d->scene = rtcNewScene(d->device);
    d->materials = std::move(input.materials);
    if (d->materials.empty()) d->materials.push_back(RenderMaterial());
    const uint32_t nMat = uint32_t(d->materials.size());
    std::vector<std::pair<const RenderTexture*, std::shared_ptr<const CoverageMask>>> masks;
    for (RenderMaterial& m : d->materials) {
        if (m.cutout != Cutout::Mask || !m.colour || m.coverage) continue;
        for (const auto& k : masks)
            if (k.first == m.colour.get() && m.opacity >= 1.f) m.coverage = k.second;
        if (m.coverage) continue;
        m.coverage = CoverageMask::of(*m.colour, m.opacity);
        if (m.opacity >= 1.f) masks.emplace_back(m.colour.get(), m.coverage);
    }
    for (RenderMesh& mesh : input.meshes) {
        const size_t nv = mesh.positions.size() / 3;
        const bool hasNormals = mesh.normals.size() == nv * 3;
        const bool hasUvs = mesh.uvs.size() == nv * 2;
        std::vector<uint32_t> tris;
        std::vector<uint32_t> mats;
        tris.reserve(mesh.triangles.size());
        mats.reserve(mesh.triangles.size() / 3);
        bool cutouts = false;
        for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
            const uint32_t a = mesh.triangles[t], b = mesh.triangles[t + 1], c = mesh.triangles[t + 2];
            if (a >= nv || b >= nv || c >= nv) continue;
            uint32_t m = t / 3 < mesh.materials.size() ? mesh.materials[t / 3] : 0;
            if (m >= nMat) m = 0;
            tris.insert(tris.end(), {a, b, c});
            mats.push_back(m);
            cutouts = cutouts || d->materials[m].cutout != Cutout::None;
        }
        if (tris.empty()) continue;
        RTCGeometry geom = rtcNewGeometry(d->device, RTC_GEOMETRY_TYPE_TRIANGLE);
        auto* vb = static_cast<float*>(
            rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), nv));
        auto* ib = static_cast<uint32_t*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                  3 * sizeof(uint32_t), tris.size() / 3));
        if (!vb || !ib) {
            rtcReleaseGeometry(geom);
            *error = d->error.isEmpty() ? QString("out of memory for the scene's geometry") : d->error;
            return false;
        }
        std::memcpy(vb, mesh.positions.data(), nv * 3 * sizeof(float));
        std::memcpy(ib, tris.data(), tris.size() * sizeof(uint32_t));
        for (size_t i = 0; i < nv; ++i) {
            const Vec3 p{vb[3 * i], vb[3 * i + 1], vb[3 * i + 2]};
            m_min = {std::min(m_min.x, p.x), std::min(m_min.y, p.y), std::min(m_min.z, p.z)};
            m_max = {std::max(m_max.x, p.x), std::max(m_max.y, p.y), std::max(m_max.z, p.z)};
        }
        auto rec = std::make_unique<MeshRecord>();
        rec->positions = vb;
        rec->triangles = ib;
        if (hasNormals) rec->normals = std::move(mesh.normals);
        if (hasUvs) rec->uvs = std::move(mesh.uvs);
        rec->materials = std::move(mats);
        rec->table = &d->materials;
        d->geometryBytes +=
            nv * (12 + (hasNormals ? 12 : 0) + (hasUvs ? 8 : 0)) + tris.size() * 4 + rec->materials.size() * 4;
        m_triangles += tris.size() / 3;
        rtcSetGeometryUserData(geom, rec.get());
        if (cutouts) {
            rtcSetGeometryIntersectFilterFunction(geom, &cutoutFilter);
            rtcSetGeometryOccludedFilterFunction(geom, &cutoutFilter);
        }
        rtcCommitGeometry(geom);
        rec->geomId = rtcAttachGeometry(d->scene, geom);
        rtcReleaseGeometry(geom);
        if (rec->geomId != d->meshes.size()) {
            *error = "Embree numbered the geometries out of order";
            return false;
        }
        d->meshes.push_back(std::move(rec));
        // Free the caller's copy as soon as Embree holds its own.
        mesh = RenderMesh();
    }
    rtcCommitScene(d->scene);
    if (!d->error.isEmpty()) {
        *error = d->error;
        return false;
    }
    return true;
}

bool RenderScene::intersect(const Vec3& o, const Vec3& dir, float tnear, float tfar, uint32_t salt,
                            SurfaceHit* hit) const
{
    RayContext ctx;
    rtcInitIntersectContext(&ctx.ctx);
    ctx.salt = salt;
    RTCRayHit rh;
    rh.ray.org_x = o.x;
    rh.ray.org_y = o.y;
    rh.ray.org_z = o.z;
    rh.ray.dir_x = dir.x;
    rh.ray.dir_y = dir.y;
    rh.ray.dir_z = dir.z;
    rh.ray.tnear = tnear;
    rh.ray.tfar = tfar;
    rh.ray.time = 0.f;
    rh.ray.mask = 0xffffffffu;
    rh.ray.id = 0;
    rh.ray.flags = 0;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(d->scene, &ctx.ctx, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return false;

    const MeshRecord& rec = *d->meshes[rh.hit.geomID];
    const uint32_t prim = rh.hit.primID;
    const uint32_t* tri = rec.triangles + 3 * size_t(prim);
    auto vert = [&](int k) {
        const float* p = rec.positions + 3 * size_t(tri[k]);
        return Vec3{p[0], p[1], p[2]};
    };
    const Vec3 p0 = vert(0), p1 = vert(1), p2 = vert(2);
    const float bu = rh.hit.u, bv = rh.hit.v, bw = 1.f - bu - bv;
    hit->t = rh.ray.tfar;
    hit->p = o + dir * rh.ray.tfar;
    const Vec3 dp1 = p1 - p0, dp2 = p2 - p0;
    const Vec3 c = cross(dp1, dp2);
    const float area2 = length(c);
    hit->ng = area2 > 0.f ? c / area2 : normalize(Vec3(rh.hit.Ng_x, rh.hit.Ng_y, rh.hit.Ng_z));
    if (!rec.normals.empty()) {
        auto nrm = [&](int k) {
            const float* n = &rec.normals[3 * size_t(tri[k])];
            return Vec3{n[0], n[1], n[2]};
        };
        Vec3 ns = nrm(0) * bw + nrm(1) * bu + nrm(2) * bv;
        const float l = length(ns);
        hit->ns = l > 1e-6f ? ns / l : hit->ng;
        const float side = dot(ns, hit->ng) < 0.f ? -1.f : 1.f;
        hit->ns = hit->ns * side;
        // Hanika's shadow terminator fix: the point moved out of each corner's tangent plane
        // where it lies below it, blended by the barycentrics, on either side.
        Vec3 front(0.f), back(0.f);
        const Vec3 corner[3] = {p0, p1, p2};
        const float b[3] = {bw, bu, bv};
        for (int k = 0; k < 3; ++k) {
            const Vec3 n = nrm(k) * side;
            const float h = dot(hit->p - corner[k], n);
            if (h < 0.f) front += n * (-h * b[k]);
            if (h > 0.f) back += n * (-h * b[k]);
        }
        hit->frontOrigin = hit->p + front;
        hit->backOrigin = hit->p + back;
    } else {
        hit->ns = hit->ng;
        hit->frontOrigin = hit->backOrigin = hit->p;
    }
    hit->dpdu = hit->dpdv = Vec3(0.f);
    hit->texelScale = 0.f;
    hit->u = hit->v = 0.f;
    if (!rec.uvs.empty()) {
        const float* t0 = &rec.uvs[2 * size_t(tri[0])];
        const float* t1 = &rec.uvs[2 * size_t(tri[1])];
        const float* t2 = &rec.uvs[2 * size_t(tri[2])];
        hit->u = bw * t0[0] + bu * t1[0] + bv * t2[0];
        hit->v = bw * t0[1] + bu * t1[1] + bv * t2[1];
        const float du1 = t1[0] - t0[0], dv1 = t1[1] - t0[1], du2 = t2[0] - t0[0], dv2 = t2[1] - t0[1];
        const float det = du1 * dv2 - dv1 * du2;
        if (std::abs(det) > 1e-20f && area2 > 0.f) {
            const float inv = 1.f / det;
            hit->dpdu = (dp1 * dv2 - dp2 * dv1) * inv;
            hit->dpdv = (dp2 * du1 - dp1 * du2) * inv;
            hit->texelScale = std::sqrt(std::abs(det) / area2);
        }
    }
    hit->material = &d->materials[rec.materials[prim]];
    return true;
}

bool RenderScene::occluded(const Vec3& o, const Vec3& dir, float tnear, float tfar, uint32_t salt) const
{
    RayContext ctx;
    rtcInitIntersectContext(&ctx.ctx);
    ctx.salt = salt;
    RTCRay ray;
    ray.org_x = o.x;
    ray.org_y = o.y;
    ray.org_z = o.z;
    ray.dir_x = dir.x;
    ray.dir_y = dir.y;
    ray.dir_z = dir.z;
    ray.tnear = tnear;
    ray.tfar = tfar;
    ray.time = 0.f;
    ray.mask = 0xffffffffu;
    ray.id = 0;
    ray.flags = 0;
    rtcOccluded1(d->scene, &ctx.ctx, &ray);
    return ray.tfar < 0.f;
}

size_t RenderScene::bytes() const
{
    size_t n = d->geometryBytes;
    // Embree's BVH over triangles takes roughly this much per triangle.
    n += m_triangles * 64;
    std::vector<const RenderTexture*> seen;
    for (const RenderMaterial& m : d->materials)
        for (const RenderTexture* t : {m.colour.get(), m.normalMap.get(), m.bumpMap.get()})
            if (t && std::find(seen.begin(), seen.end(), t) == seen.end()) {
                seen.push_back(t);
                n += t->bytes() + (m.coverage ? m.coverage->bytes() : 0);
            }
    return n;
}
