#include "renderscene.h"
#include <QHash>
#include <algorithm>
#include <QPair>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <dzshape.h>
#include "meshbuffers.h"
#include "orbitcamera.h"
#include "renderer.h"
#include "scenemeshes.h"
#include "surfacemaps.h"
#include "tonecurve.h"
#include "viewsettings.h"
#include "worldground.h"

namespace {

Vec3 linearOf(const QColor& c)
{
    return {srgbByteToLinear(c.red()), srgbByteToLinear(c.green()), srgbByteToLinear(c.blue())};
}

// Materials and their images, each read once however many facets use them.
class MaterialTable
{
public:
    uint32_t indexOf(DzMaterial* mat)
    {
        auto it = m_index.find(mat);
        if (it != m_index.end()) return it.value();
        m_materials.push_back(describe(mat));
        const uint32_t i = uint32_t(m_materials.size() - 1);
        m_index.insert(mat, i);
        return i;
    }
    const RenderMaterial& at(uint32_t i) const { return m_materials[i]; }
    std::vector<RenderMaterial> take() { return std::move(m_materials); }

private:
    RenderMaterial describe(DzMaterial* mat)
    {
        RenderMaterial m;
        auto* dm = qobject_cast<DzDefaultMaterial*>(mat);
        if (!dm) {
            // As the viewport draws a surface without a material.
            m.diffuse = linearOf(QColor(200, 200, 200));
            return m;
        }
        m.diffuse = linearOf(dm->getDiffuseColor());
        m.opacity = float(qBound(0.0, dm->getBaseOpacity(), 1.0));
        DzTexture* colour = dm->getColorMap();
        DzTexture* opacity = dm->getOpacityMap();
        if (opacity) {
            const QPair<DzTexture*, DzTexture*> key(colour, opacity);
            if (!m_surfaces.contains(key)) {
                const QImage rgba = combineOpacity(colour ? colour->getImage() : QImage(), opacity->getImage());
                const AlphaMode mode = alphaModeOf(opacity->getImage());
                Surface s;
                if (!rgba.isNull()) {
                    // Cut-outs keep their coverage down the mip chain, as in the viewport.
                    s.texture = mode == AlphaMode::Mask ? RenderTexture::fromLevels(coverageMipmaps(rgba), true)
                                                        : RenderTexture::fromImage(rgba, true);
                    s.cutout = mode == AlphaMode::Mask    ? Cutout::Mask
                               : mode == AlphaMode::Blend ? Cutout::Blend
                                                          : Cutout::None;
                }
                m_surfaces.insert(key, s);
            }
            const Surface& s = m_surfaces[key];
            m.colour = s.texture;
            m.cutout = s.cutout;
        } else if (colour) {
            m.colour = image(colour, true);
        }
        // A surface seen through as a whole lets light through in proportion, whatever its map cuts out.
        if (m.opacity < 1.f) m.cutout = Cutout::Blend;
        // Cards: blades, leaves and petals are thin, and light comes through them.
        if (m.cutout == Cutout::Mask) m.translucency = 0.4f;
        if (DzTexture* n = dm->getNormalMap()) {
            m.normalMap = image(n, false);
        } else if (dm->getBumpStrength() > 0 && dm->getBumpMap()) {
            m.bumpMap = image(dm->getBumpMap(), false);
            // As the viewport: a full-strength map lifts its light parts by 1.5 scene units.
            m.bumpHeight = float(dm->getBumpStrength() * 1.5);
        }
        auto* specColour = qobject_cast<DzColorProperty*>(dm->findProperty("Specular Color"));
        auto* specStrength = qobject_cast<DzNumericProperty*>(dm->findProperty("Specular Strength"));
        auto* gloss = qobject_cast<DzNumericProperty*>(dm->findProperty("Glossiness"));
        const float strength = specStrength ? float(qBound(0.0, specStrength->getDoubleValue(), 1.0)) : 1.f;
        m.specular = (specColour ? linearOf(specColour->getColorValue()) : Vec3(0.04f)) * strength;
        const float g = gloss ? float(qBound(0.0, gloss->getDoubleValue(), 1.0)) : 0.f;
        m.roughness = 1.f - 0.9f * g;
        return m;
    }

    std::shared_ptr<const RenderTexture> image(DzTexture* t, bool srgb)
    {
        auto it = m_images.find(t);
        if (it != m_images.end()) return it.value();
        std::shared_ptr<const RenderTexture> tex = RenderTexture::fromImage(t->getImage(), srgb);
        m_images.insert(t, tex);
        return tex;
    }

    struct Surface
    {
        std::shared_ptr<const RenderTexture> texture;
        Cutout cutout = Cutout::None;
    };
    QHash<DzMaterial*, uint32_t> m_index;
    std::vector<RenderMaterial> m_materials;
    QHash<DzTexture*, std::shared_ptr<const RenderTexture>> m_images;
    QHash<QPair<DzTexture*, DzTexture*>, Surface> m_surfaces;
};

RenderMesh worldMesh(const MeshNode& mn, MaterialTable& table, MeshBuffers& buf)
{
    buildMeshBuffers(*mn.mesh, buf);
    const DzTransform ws = mn.node->getWSTransform();
    RenderMesh out;
    const size_t nv = buf.vertices.size();
    out.positions.resize(nv * 3);
    out.normals.resize(nv * 3);
    out.uvs.resize(nv * 2);
    const DzVec3 s = ws.scale;
    auto inv = [](float v) { return std::abs(v) > 1e-12f ? 1.f / v : 0.f; };
    for (size_t i = 0; i < nv; ++i) {
        const GpuVertex& v = buf.vertices[i];
        const DzVec3 p = ws.apply(DzVec3(v.px, v.py, v.pz));
        // Normals go through the inverse transpose: the rotation of the normal divided by the scale.
        DzVec3 n = ws.rot.multVec(DzVec3(v.nx * inv(s.m_x), v.ny * inv(s.m_y), v.nz * inv(s.m_z)));
        const float l = n.length();
        n = l > 0.f ? n / l : DzVec3(0.f, 1.f, 0.f);
        out.positions[3 * i] = p.m_x, out.positions[3 * i + 1] = p.m_y, out.positions[3 * i + 2] = p.m_z;
        out.normals[3 * i] = n.m_x, out.normals[3 * i + 1] = n.m_y, out.normals[3 * i + 2] = n.m_z;
        out.uvs[2 * i] = v.u, out.uvs[2 * i + 1] = v.v;
    }
    out.triangles = std::move(buf.indices);
    out.materials.assign(out.triangles.size() / 3, 0);
    for (const MaterialRange& r : buf.ranges) {
        const uint32_t m = table.indexOf(facetMaterial(mn, r.material));
        for (uint32_t k = r.first / 3; k < (r.first + r.count) / 3; ++k) out.materials[k] = m;
    }
    buf = MeshBuffers();
    return out;
}

// The extent of a mesh's footprint on the ground plane.
float footprintArea(const RenderMesh& m)
{
    if (m.positions.size() < 3) return 0.f;
    float x0 = m.positions[0], x1 = x0, z0 = m.positions[2], z1 = z0;
    for (size_t i = 0; i < m.positions.size(); i += 3) {
        x0 = std::min(x0, m.positions[i]), x1 = std::max(x1, m.positions[i]);
        z0 = std::min(z0, m.positions[i + 2]), z1 = std::max(z1, m.positions[i + 2]);
    }
    return (x1 - x0) * (z1 - z0);
}

// The land around the scene, as the viewport draws it: a ring from the rim of the widest mesh
// (the terrain) out to farRadius, dressed in the terrain's first surface that is neither cut
// out nor blended. The viewport fades its texture with distance; here the ray footprint's
// mip level and the haze do the same. False when there is no terrain to start from.
bool worldGroundMesh(const RenderMesh& terrainMesh, const MaterialTable& table, float farRadius, RenderMesh* out)
{
    uint32_t base = UINT32_MAX;
    for (uint32_t m : terrainMesh.materials)
        if (table.at(m).cutout == Cutout::None) {
            base = m;
            break;
        }
    if (base == UINT32_MAX) return false;
    MeshBuffers terrain, ring;
    const size_t nv = terrainMesh.positions.size() / 3;
    terrain.vertices.resize(nv);
    for (size_t i = 0; i < nv; ++i) {
        GpuVertex& v = terrain.vertices[i];
        v.px = terrainMesh.positions[3 * i], v.py = terrainMesh.positions[3 * i + 1],
        v.pz = terrainMesh.positions[3 * i + 2];
        v.nx = 0.f, v.ny = 1.f, v.nz = 0.f;
        v.u = terrainMesh.uvs.empty() ? 0.f : terrainMesh.uvs[2 * i];
        v.v = terrainMesh.uvs.empty() ? 0.f : terrainMesh.uvs[2 * i + 1];
    }
    if (!buildWorldGround(terrain, farRadius, ring)) return false;
    RenderMesh& r = *out;
    r.positions.reserve(ring.vertices.size() * 3);
    r.normals.reserve(ring.vertices.size() * 3);
    r.uvs.reserve(ring.vertices.size() * 2);
    for (const GpuVertex& v : ring.vertices) {
        r.positions.insert(r.positions.end(), {v.px, v.py, v.pz});
        r.normals.insert(r.normals.end(), {v.nx, v.ny, v.nz});
        r.uvs.insert(r.uvs.end(), {v.u, v.v});
    }
    r.triangles = std::move(ring.indices);
    r.materials.assign(r.triangles.size() / 3, base);
    return true;
}

}  // namespace

RenderCamera renderCameraOf(const OrbitCamera& cam)
{
    RenderCamera c;
    const QVector3D eye = cam.eye();
    const QVector3D fwd = cam.target - eye;
    c.eye = {eye.x(), eye.y(), eye.z()};
    c.forward = fwd.lengthSquared() > 0.f ? Vec3(fwd.x(), fwd.y(), fwd.z()) : Vec3(0.f, 0.f, -1.f);
    c.up = {0.f, 1.f, 0.f};
    c.fovYDeg = cam.fovDeg;
    return c;
}

bool prepareRender(const QSize& size, int samples, PreparedRender* out, QString* error, bool (*cancelled)())
{
    RenderSceneInput input;
    MaterialTable table;
    MeshBuffers buf;
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        if (cancelled && cancelled()) {
            *error = "cancelled";
            return false;
        }
        input.meshes.push_back(worldMesh(mn, table, buf));
    }
    const Bounds b = sceneBounds();
    const float radius = std::max(b.isEmpty() ? 250.f : b.radius(), 1.f);
    // The same reach as the viewport's ring, so both pictures stand in the same land.
    const RenderMesh* terrain = nullptr;
    float widest = 0.f;
    for (const RenderMesh& m : input.meshes) {
        const float area = footprintArea(m);
        if (area > widest) widest = area, terrain = &m;
    }
    RenderMesh ground;
    if (terrain && worldGroundMesh(*terrain, table, radius * 25.f, &ground)) input.meshes.push_back(std::move(ground));
    input.materials = table.take();
    out->scene.reset(new RenderScene);
    if (!out->scene->build(std::move(input), error)) return false;

    const SunSky& sky = viewLook().sun;
    out->env.reset(new Environment(Environment::fromSky(sky)));
    out->sun = SunLight::fromSky(sky);
    out->camera = renderCameraOf(screenshotCamera(size));
    out->settings.width = size.width();
    out->settings.height = size.height();
    out->settings.samples = samples;
    out->settings.exposure = kViewExposure;
    // Haze set by the size of the scene, as the viewport's fog is (a little thicker: the
    // renders were composed with it).
    out->settings.trace.fogDensity = 0.12f / radius;
    return true;
}
