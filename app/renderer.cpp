#include "renderer.h"
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QSet>
#include <dzgeometry.h>
#include <dzmaterial.h>
#include <dznode.h>
#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <QThread>
#include <dzshape.h>
#include "glcaps.h"
#include "meshtriangles.h"
#include "framing.h"
#include "orbitcamera.h"
#include "tonecurve.h"
#include "viewsettings.h"
#include "viewshaders.h"

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::initialize(QString* error)
{
    initializeOpenGLFunctions();
    m_meshProgram.reset(new QOpenGLShaderProgram);
    m_lineProgram.reset(new QOpenGLShaderProgram);
    m_depthProgram.reset(new QOpenGLShaderProgram);
    auto build = [&](QOpenGLShaderProgram* p, const char* vs, const char* fs) {
        if (!p->addCacheableShaderFromSourceCode(QOpenGLShader::Vertex, vs) ||
            !p->addCacheableShaderFromSourceCode(QOpenGLShader::Fragment, fs)) {
            if (error) *error = "Viewport shaders do not compile: " + p->log().simplified();
            return false;
        }
        p->bindAttributeLocation("aPos", 0);
        p->bindAttributeLocation("aNormal", 1);
        p->bindAttributeLocation("aUv", 2);
        if (!p->link()) {
            if (error) *error = "Viewport shaders do not link: " + p->log().simplified();
            return false;
        }
        return true;
    };
    using namespace viewshaders;
    if (!build(m_meshProgram.get(), kMeshVS, kMeshFS) || !build(m_lineProgram.get(), kLineVS, kLineFS) ||
        !build(m_depthProgram.get(), kDepthVS, kDepthFS) || !m_sky.initialize(error))
        return false;
    glGenBuffers(1, &m_lineVbo);
    m_ready = true;
    return true;
}

void SceneRenderer::release()
{
    if (!m_ready) return;
    for (auto& kv : m_meshes) freeMesh(kv.second);
    m_meshes.clear();
    for (auto& kv : m_textures) delete kv.second.texture;
    m_textures.clear();
    freeMesh(m_ground.gpu);
    m_ground = Ground();
    glDeleteBuffers(1, &m_lineVbo);
    m_lineVbo = 0;
    m_meshProgram.reset();
    m_lineProgram.reset();
    m_depthProgram.reset();
    m_sky.release();
    m_shadow.release();
    m_ready = false;
}

void SceneRenderer::freeMesh(GpuMesh& g)
{
    if (g.vbo) glDeleteBuffers(1, &g.vbo);
    if (g.ibo) glDeleteBuffers(1, &g.ibo);
    g.vbo = g.ibo = 0;
}

void SceneRenderer::upload(GpuMesh& g, const DzFacetMesh& mesh)
{
    // The largest terrains are drawn through a sampled grid; everything else as it is.
    if (!buildGridPreview(mesh, kMaxDrawnGridVertices, m_scratch)) buildMeshBuffers(mesh, m_scratch);
    upload(g, m_scratch);
    ++m_uploads;
    m_uploadedVertices += qint64(m_scratch.vertices.size());
}

void SceneRenderer::upload(GpuMesh& g, const MeshBuffers& b)
{
    if (!g.vbo) glGenBuffers(1, &g.vbo);
    if (!g.ibo) glGenBuffers(1, &g.ibo);
    glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(b.vertices.size() * sizeof(GpuVertex)), b.vertices.data(),
                 GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(b.indices.size() * sizeof(uint32_t)), b.indices.data(),
                 GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    g.ranges = b.ranges;
    g.localBounds = Bounds();
    for (uint32_t i : b.indices) {
        const GpuVertex& v = b.vertices[i];
        g.localBounds.add(QVector3D(v.px, v.py, v.pz));
    }
}

bool SceneRenderer::sync()
{
    if (!m_ready) return false;
    bool changed = false;
    QSet<const DzFacetMesh*> seen;
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        seen.insert(mn.mesh);
        GpuMesh& g = m_meshes[mn.mesh];
        // A mesh at the address of one deleted earlier is a new mesh.
        if (g.mesh != mn.mesh) {
            g.mesh = mn.mesh;
            g.revision = 0;
        }
        // A mesh being edited is picked up once the edit finishes and bumps its revision.
        if (mn.mesh->isEditing()) continue;
        const quint64 rev = mn.mesh->revision();
        if (rev != g.revision) {
            upload(g, *mn.mesh);
            g.revision = rev;
            changed = true;
        }
    }
    for (auto it = m_meshes.begin(); it != m_meshes.end();) {
        if (!seen.contains(it->first) || it->second.mesh.isNull()) {
            freeMesh(it->second);
            it = m_meshes.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    for (auto it = m_textures.begin(); it != m_textures.end();) {
        if ((it->first.first && it->second.colour.isNull()) || (it->first.second && it->second.opacity.isNull())) {
            delete it->second.texture;
            it = m_textures.erase(it);
        } else {
            ++it;
        }
    }
    if (changed) prepareSurfaces();
    return changed;
}

namespace {

// Runs work(i) for i in [0, n) on every processor.
template <class F>
void onAllProcessors(size_t n, F&& work)
{
    std::atomic<size_t> next{0};
    auto run = [&]() {
        for (size_t i = next++; i < n; i = next++) work(i);
    };
    const size_t helpers = std::min(n, size_t(std::max(1, QThread::idealThreadCount()))) - (n > 0 ? 1 : 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < helpers; ++t) threads.emplace_back(run);
    run();
    for (std::thread& t : threads) t.join();
}

}  // namespace

void SceneRenderer::prepareSurfaces()
{
    // The maps the next frame draws with, made ready on every processor at once: the first
    // frame of an opened set would otherwise decode and combine them one after the other.
    // Each texture's file is decoded by one thread; then each pair is combined.
    std::set<TextureKey> pairs;
    std::set<DzTexture*> files;
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        auto it = m_meshes.find(mn.mesh);
        if (it == m_meshes.end()) continue;
        for (const MaterialRange& r : it->second.ranges) {
            auto* dm = qobject_cast<DzDefaultMaterial*>(facetMaterial(mn, r.material));
            if (!dm) continue;
            DzTexture* c = dm->getColorMap();
            DzTexture* o = dm->getOpacityMap();
            if ((c || o) && !m_textures.count(TextureKey(c, o))) {
                pairs.emplace(c, o);
                if (c) files.insert(c);
                if (o) files.insert(o);
            }
            for (DzTexture* t : {dm->getNormalMap(), dm->getBumpMap()})
                if (t && !m_textures.count(TextureKey(t, t))) files.insert(t);
        }
    }
    if (pairs.size() + files.size() < 2) return;
    const std::vector<DzTexture*> fileList(files.begin(), files.end());
    onAllProcessors(fileList.size(), [&](size_t i) { fileList[i]->getImage(); });
    const std::vector<TextureKey> pairList(pairs.begin(), pairs.end());
    onAllProcessors(pairList.size(), [&](size_t i) { preparedSurface(pairList[i].first, pairList[i].second); });
}

QOpenGLTexture* SceneRenderer::upload(const std::vector<QImage>& levels)
{
    QOpenGLTexture* tex = nullptr;
    if (levels.size() == 1) {
        // QOpenGLTexture flips the image so v = 0 is its bottom row, as mesh UVs expect.
        tex = new QOpenGLTexture(levels.front().convertToFormat(QImage::Format_RGBA8888));
    } else {
        tex = new QOpenGLTexture(QOpenGLTexture::Target2D);
        tex->setSize(levels.front().width(), levels.front().height());
        tex->setFormat(QOpenGLTexture::RGBA8_UNorm);
        tex->setMipLevels(int(levels.size()));
        tex->allocateStorage(QOpenGLTexture::RGBA, QOpenGLTexture::UInt8);
        for (size_t l = 0; l < levels.size(); ++l) {
            const QImage flipped = levels[l].mirrored();
            tex->setData(int(l), QOpenGLTexture::RGBA, QOpenGLTexture::UInt8, flipped.constBits());
        }
    }
    // Trilinear, and anisotropic where a GPU does it (see glcaps.h): grass and terrain at a
    // grazing angle neither shimmer nor blur into one colour.
    tex->setMinMagFilters(QOpenGLTexture::LinearMipMapLinear, QOpenGLTexture::Linear);
    if (tex->hasFeature(QOpenGLTexture::AnisotropicFiltering) && !isSoftwareRasterizer())
        tex->setMaximumAnisotropy(8.f);
    tex->setWrapMode(QOpenGLTexture::Repeat);
    return tex;
}

const SceneRenderer::GpuTexture* SceneRenderer::surface(DzTexture* colour, DzTexture* opacity)
{
    if (!colour && !opacity) return nullptr;
    const TextureKey key(colour, opacity);
    auto it = m_textures.find(key);
    if (it != m_textures.end() && it->second.colour == colour && it->second.opacity == opacity) return &it->second;
    if (it != m_textures.end()) {
        delete it->second.texture;
        m_textures.erase(it);
    }
    GpuTexture g;
    g.colour = colour;
    g.opacity = opacity;
    if (const auto prepared = preparedSurface(colour, opacity)) {
        g.alpha = prepared->alpha;
        if (!prepared->levels.empty()) g.texture = upload(prepared->levels);
    }
    return &m_textures.emplace(key, g).first->second;
}

QOpenGLTexture* SceneRenderer::relief(DzTexture* t)
{
    if (!t) return nullptr;
    // Keyed with the texture twice so it never meets the diffuse entry of the same image.
    const TextureKey key(t, t);
    auto it = m_textures.find(key);
    if (it != m_textures.end() && it->second.colour == t) return it->second.texture;
    if (it != m_textures.end()) {
        delete it->second.texture;
        m_textures.erase(it);
    }
    GpuTexture g;
    g.colour = t;
    g.opacity = t;
    const QImage img = t->getImage();
    if (!img.isNull()) g.texture = upload({img});
    return m_textures.emplace(key, g).first->second.texture;
}

void SceneRenderer::drawGrid(const QMatrix4x4& viewProj, const Bounds& b)
{
    float extent =
        b.isEmpty()
            ? 500.f
            : std::max({std::abs(b.min.x()), std::abs(b.max.x()), std::abs(b.min.z()), std::abs(b.max.z()), 100.f});
    float step = std::pow(10.f, std::floor(std::log10(extent / 5.f)));
    const int n = int(std::ceil(extent / step));
    extent = n * step;
    std::vector<float> lines;
    lines.reserve(size_t(2 * n + 1) * 12);
    for (int i = -n; i <= n; ++i) {
        const float c = i * step;
        lines.insert(lines.end(), {c, 0.f, -extent, c, 0.f, extent, -extent, 0.f, c, extent, 0.f, c});
    }
    glBindBuffer(GL_ARRAY_BUFFER, m_lineVbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(lines.size() * sizeof(float)), lines.data(), GL_STREAM_DRAW);
    m_lineProgram->bind();
    m_lineProgram->setUniformValue("uMvp", viewProj);
    m_lineProgram->setUniformValue("uColor", QVector4D(0.42f, 0.44f, 0.47f, 1.f));
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    // The grid lies under the scene: it writes no depth, so a surface in its plane (a new,
    // flat landscape) covers it instead of fighting it pixel by pixel.
    glDepthMask(GL_FALSE);
    glDrawArrays(GL_LINES, 0, GLsizei(lines.size() / 3));
    glDepthMask(GL_TRUE);
    glDisableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SceneRenderer::drawBox(const QMatrix4x4& mvp, const Bounds& b)
{
    const QVector3D a = b.min, c = b.max;
    const float p[8][3] = {{a.x(), a.y(), a.z()}, {c.x(), a.y(), a.z()}, {c.x(), a.y(), c.z()}, {a.x(), a.y(), c.z()},
                           {a.x(), c.y(), a.z()}, {c.x(), c.y(), a.z()}, {c.x(), c.y(), c.z()}, {a.x(), c.y(), c.z()}};
    const int e[24] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7};
    std::vector<float> lines;
    for (int i : e) lines.insert(lines.end(), {p[i][0], p[i][1], p[i][2]});
    glBindBuffer(GL_ARRAY_BUFFER, m_lineVbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(lines.size() * sizeof(float)), lines.data(), GL_STREAM_DRAW);
    m_lineProgram->bind();
    m_lineProgram->setUniformValue("uMvp", mvp);
    m_lineProgram->setUniformValue("uColor", QVector4D(1.f, 0.6f, 0.1f, 1.f));
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(GL_LINES, 0, 24);
    glDisableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SceneRenderer::drawRange(const MaterialRange& r, DzDefaultMaterial* dm, const GpuTexture* tex, bool coverage)
{
    const QColor c = dm ? dm->getDiffuseColor() : QColor(200, 200, 200);
    const AlphaMode alpha = tex && tex->texture ? tex->alpha : AlphaMode::Opaque;
    m_meshProgram->setUniformValue("uColor", QVector3D(float(c.redF()), float(c.greenF()), float(c.blueF())));
    m_meshProgram->setUniformValue("uOpacity", dm ? float(qBound(0.0, dm->getBaseOpacity(), 1.0)) : 1.f);
    m_meshProgram->setUniformValue("uHasTex", tex && tex->texture ? 1 : 0);
    m_meshProgram->setUniformValue("uAlphaMode", alpha == AlphaMode::Mask ? 1 : alpha == AlphaMode::Blend ? 2 : 0);
    QOpenGLTexture* normal = dm ? relief(dm->getNormalMap()) : nullptr;
    QOpenGLTexture* bump = !normal && dm && dm->getBumpStrength() > 0 ? relief(dm->getBumpMap()) : nullptr;
    m_meshProgram->setUniformValue("uRelief", normal ? 1 : bump ? 2 : 0);
    // Bump heights in scene units (centimetres): a full-strength map lifts its light parts by 1.5.
    m_meshProgram->setUniformValue("uBumpScale", dm ? float(dm->getBumpStrength() * 1.5) : 0.f);
    if (normal) normal->bind(1);
    if (bump) bump->bind(1);
    if (tex && tex->texture) tex->texture->bind(0);
    const bool toCoverage = coverage && alpha == AlphaMode::Mask;
    if (toCoverage) glEnable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    glDrawElements(GL_TRIANGLES, GLsizei(r.count), GL_UNSIGNED_INT,
                   reinterpret_cast<void*>(size_t(r.first) * sizeof(uint32_t)));
    if (toCoverage) glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    if (tex && tex->texture) tex->texture->release(0);
    if (normal) normal->release(1);
    if (bump) bump->release(1);
}

void SceneRenderer::bindMesh(const GpuMesh& g, bool normals)
{
    glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ibo);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(24));
    if (normals) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(12));
    }
}

void SceneRenderer::unbindMesh()
{
    glDisableVertexAttribArray(0);
    glDisableVertexAttribArray(1);
    glDisableVertexAttribArray(2);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void SceneRenderer::drawDepth(const QMatrix4x4& viewProj, const QList<MeshNode>& nodes, bool cull)
{
    m_depthProgram->bind();
    m_depthProgram->setUniformValue("uTex", 0);
    for (const MeshNode& mn : nodes) {
        auto it = m_meshes.find(mn.mesh);
        if (it == m_meshes.end() || !it->second.vbo) continue;
        const GpuMesh& g = it->second;
        const QMatrix4x4 mvp = viewProj * toMatrix(mn.node->getWSTransform());
        if (cull && !g.localBounds.isEmpty()) {
            // An orthographic clip space: the box's corners map straight into it.
            QVector3D lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
            for (int i = 0; i < 8; ++i) {
                const Bounds& b = g.localBounds;
                const QVector3D q = mvp.map(QVector3D(i & 1 ? b.max.x() : b.min.x(), i & 2 ? b.max.y() : b.min.y(),
                                                      i & 4 ? b.max.z() : b.min.z()));
                for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], q[k]), hi[k] = std::max(hi[k], q[k]);
            }
            if (lo.x() > 1.f || lo.y() > 1.f || hi.x() < -1.f || hi.y() < -1.f) continue;
        }
        m_depthProgram->setUniformValue("uMvp", mvp);
        bool bound = false;
        for (const MaterialRange& r : g.ranges) {
            auto* dm = qobject_cast<DzDefaultMaterial*>(facetMaterial(mn, r.material));
            const GpuTexture* tex = dm ? surface(dm->getColorMap(), dm->getOpacityMap()) : nullptr;
            const AlphaMode alpha = tex && tex->texture ? tex->alpha : AlphaMode::Opaque;
            // Blended layers lie on the surface under them and add no depth of their own.
            if (alpha == AlphaMode::Blend) continue;
            if (!bound) {
                bindMesh(g, false);
                bound = true;
            }
            const bool cut = alpha == AlphaMode::Mask;
            m_depthProgram->setUniformValue("uAlphaTest", cut ? 1 : 0);
            m_depthProgram->setUniformValue("uOpacity", dm ? float(qBound(0.0, dm->getBaseOpacity(), 1.0)) : 1.f);
            if (cut) tex->texture->bind(0);
            glDrawElements(GL_TRIANGLES, GLsizei(r.count), GL_UNSIGNED_INT,
                           reinterpret_cast<void*>(size_t(r.first) * sizeof(uint32_t)));
            if (cut) tex->texture->release(0);
        }
        if (bound) unbindMesh();
    }
}

namespace {

// A box in a node's space as a box in the world.
Bounds worldBox(const Bounds& lb, const QMatrix4x4& model)
{
    Bounds wb;
    for (int i = 0; i < 8; ++i)
        wb.add(model.map(QVector3D(i & 1 ? lb.max.x() : lb.min.x(), i & 2 ? lb.max.y() : lb.min.y(),
                                   i & 4 ? lb.max.z() : lb.min.z())));
    return wb;
}

}  // namespace

namespace {

// The distance over which the land around the scene fades into the haze (by four of it it is
// gone): the terrain's width, and never under 30 m, so a flower bed does not stand in a fog bank.
float landScale(float terrainWidth) { return std::max(terrainWidth, 3000.f); }

}  // namespace

Bounds SceneRenderer::drawnBounds(const QList<MeshNode>& nodes) const
{
    // From the boxes kept at upload: reading every vertex of a large scene at every frame
    // cost more than drawing it.
    Bounds b;
    for (const MeshNode& mn : nodes) {
        auto it = m_meshes.find(mn.mesh);
        if (it == m_meshes.end() || it->second.localBounds.isEmpty()) continue;
        b.add(worldBox(it->second.localBounds, toMatrix(mn.node->getWSTransform())));
    }
    return b;
}

void SceneRenderer::syncGround(const QList<MeshNode>& nodes, float sceneRadius)
{
    // The terrain is the mesh with the widest footprint.
    MeshNode best;
    float bestArea = 0.f;
    QMatrix4x4 bestModel;
    float bestWidth = 0.f;
    quint64 bestRev = 0;
    for (const MeshNode& mn : nodes) {
        auto it = m_meshes.find(mn.mesh);
        if (it == m_meshes.end() || !it->second.vbo || it->second.localBounds.isEmpty()) continue;
        const QMatrix4x4 model = toMatrix(mn.node->getWSTransform());
        const Bounds wb = worldBox(it->second.localBounds, model);
        const float area = (wb.max.x() - wb.min.x()) * (wb.max.z() - wb.min.z());
        if (area > bestArea) {
            bestArea = area;
            best = mn;
            bestModel = model;
            bestWidth = std::max(wb.max.x() - wb.min.x(), wb.max.z() - wb.min.z());
            bestRev = it->second.revision;
        }
    }
    if (!best.mesh) {
        m_ground.valid = false;
        m_ground.mesh = nullptr;
        return;
    }
    // The far edge follows the scene's size, so it is rebuilt only when that changes a lot.
    const bool sameSize =
        m_ground.radius > 0.f && sceneRadius < m_ground.radius * 1.25f && sceneRadius > m_ground.radius * 0.8f;
    if (m_ground.mesh == best.mesh && m_ground.revision == bestRev && m_ground.transform == bestModel && sameSize) {
        m_ground.node = best;
        return;
    }
    m_ground.mesh = best.mesh;
    m_ground.node = best;
    m_ground.revision = bestRev;
    m_ground.transform = bestModel;
    m_ground.radius = sceneRadius;
    MeshBuffers terrain, ring;
    terrainForGround(*best.mesh, bestModel, terrain);
    // Out to where the haze has hidden it (see landScale()), a small terrain's too.
    m_ground.valid =
        buildWorldGround(terrain, std::max(sceneRadius * 25.f, 10.f * landScale(bestWidth)), ring, &m_ground.shape);
    if (m_ground.valid) upload(m_ground.gpu, ring);
}

void SceneRenderer::drawGround()
{
    if (!m_ground.valid || !m_ground.gpu.vbo || !m_ground.node.mesh) return;
    // Dressed as the terrain's own base: its first surface that is neither cut out nor a
    // blended layer.
    const MeshNode& mn = m_ground.node;
    auto it = m_meshes.find(mn.mesh);
    if (it == m_meshes.end()) return;
    DzDefaultMaterial* dm = nullptr;
    const GpuTexture* tex = nullptr;
    for (const MaterialRange& r : it->second.ranges) {
        auto* m = qobject_cast<DzDefaultMaterial*>(facetMaterial(mn, r.material));
        const GpuTexture* t = m ? surface(m->getColorMap(), m->getOpacityMap()) : nullptr;
        if (t && t->texture && t->alpha != AlphaMode::Opaque) continue;
        dm = m;
        tex = t;
        break;
    }
    m_meshProgram->setUniformValue("uModel", QMatrix4x4());
    m_meshProgram->setUniformValue("uNormalMat", QMatrix3x3());
    m_meshProgram->setUniformValue("uHighlight", 0.f);
    m_meshProgram->setUniformValue("uUseAO", 0);
    m_meshProgram->setUniformValue("uGround", 1);
    bindMesh(m_ground.gpu, true);
    drawRange(m_ground.gpu.ranges.front(), dm, tex, false);
    unbindMesh();
    m_meshProgram->setUniformValue("uGround", 0);
}

void SceneRenderer::render(const QMatrix4x4& view, const QMatrix4x4& proj, int width, int height, DzNode* selected)
{
    if (!m_ready) return;
    // The caller's target (the widget's framebuffer or a screenshot's) is bound again after
    // the passes that draw elsewhere.
    GLint target = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &target);
    const ViewLook& look = viewLook();
    const Shading mode = look.shading;
    const QList<MeshNode> nodes = sceneMeshNodes(true);
    const Bounds bounds = drawnBounds(nodes);
    const QMatrix4x4 viewProj = proj * view;
    const QVector3D eye = view.inverted().map(QVector3D(0.f, 0.f, 0.f));
    const SkyVec sd = sunDirection(look.sun);
    const QVector3D toSun(sd.x, sd.y, sd.z);
    const float sceneRadius = std::max(bounds.isEmpty() ? 250.f : bounds.radius(), 1.f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);

    bool shadows = false, occlusion = false;
    std::vector<ShadowCascade> cascades;
    if (mode != Shading::Flat) m_sky.setSun(look.sun);
    if (mode == Shading::Full && !nodes.isEmpty()) {
        if (toSun.y() > 0.f && m_shadow.ensure(kShadowMapSize, kShadowCascades)) {
            cascades = fitShadowCascades(view, proj, bounds, toSun, kShadowCascades, kShadowMapSize);
            m_shadow.begin();
            for (size_t i = 0; i < cascades.size(); ++i) {
                m_shadow.tile(int(i));
                drawDepth(cascades[i].matrix, nodes, true);
            }
            m_shadow.end(GLuint(target));
            shadows = true;
        }
        if (m_sky.beginDepth(width, height)) {
            drawDepth(viewProj, nodes);
            // A radius of about a metre at the scale of the pane's scenes (centimetres), less
            // in small scenes.
            m_sky.computeOcclusion(proj, std::min(120.f, sceneRadius * 0.08f), GLuint(target));
            occlusion = true;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(target));
    }

    glViewport(0, 0, width, height);
    glClearColor(0.23f, 0.25f, 0.28f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (mode != Shading::Flat) m_sky.drawSky(viewProj, eye, kViewExposure);
    // In flat shading, and under an empty sky, the grid gives the ground plane.
    if (mode == Shading::Flat || nodes.isEmpty()) drawGrid(viewProj, bounds);
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    const bool coverage = samples > 1;

    m_meshProgram->bind();
    m_meshProgram->setUniformValue("uMode", mode == Shading::Flat ? 0 : 1);
    // Flat shading: light from above, over the viewer's shoulder.
    m_meshProgram->setUniformValue("uLightDir",
                                   mode == Shading::Flat ? QVector3D(0.35f, 0.85f, 0.4f).normalized() : toSun);
    m_meshProgram->setUniformValue("uTex", 0);
    m_meshProgram->setUniformValue("uReliefTex", 1);
    m_meshProgram->setUniformValue("uCoverage", coverage ? 1 : 0);
    if (mode != Shading::Flat) {
        const SkyRgb sun = sunIrradiance(look.sun);
        m_meshProgram->setUniformValue("uSunColor", QVector3D(sun.r, sun.g, sun.b));
        const SkySH& sh = m_sky.irradiance();
        QVector3D shv[9];
        for (int i = 0; i < 9; ++i) shv[i] = QVector3D(sh[size_t(i)].r, sh[size_t(i)].g, sh[size_t(i)].b);
        m_meshProgram->setUniformValueArray("uSH", shv, 9);
        m_meshProgram->setUniformValue("uEye", eye);
        m_meshProgram->setUniformValue("uExposure", kViewExposure);
        // Air thin enough that the scene stays clear across its whole depth (its far side
        // a few percent veiled); the land around it fades on its own. A small scene (a flower
        // bed) is not put in a fog bank.
        m_meshProgram->setUniformValue("uFogDensity", 0.03f / std::max(sceneRadius, 3000.f));
        m_meshProgram->setUniformValue("uSkyTex", 3);
        m_meshProgram->setUniformValue("uShadowMap", 4);
        m_meshProgram->setUniformValue("uAO", 5);
        m_meshProgram->setUniformValue("uUseShadow", shadows ? 1 : 0);
        m_meshProgram->setUniformValue("uUseAO", occlusion ? 1 : 0);
        if (shadows) {
            // The shader places each cascade's clip space in its own tile.
            QMatrix4x4 mats[kShadowCascades];
            GLfloat offsets[kShadowCascades] = {}, fars[kShadowCascades] = {}, blends[kShadowCascades] = {};
            for (size_t i = 0; i < cascades.size(); ++i) {
                mats[i] = cascades[i].matrix;
                // About one and a half texels of the cascade in world units.
                offsets[i] = 1.5f * cascades[i].texel;
                fars[i] = cascades[i].splitFar;
                if (i + 1 < cascades.size()) blends[i] = cascades[i].splitFar - cascades[i + 1].fitNear;
            }
            m_meshProgram->setUniformValueArray("uShadowMat", mats, kShadowCascades);
            m_meshProgram->setUniformValueArray("uShadowOffset", offsets, kShadowCascades, 1);
            m_meshProgram->setUniformValueArray("uCascadeFar", fars, kShadowCascades, 1);
            m_meshProgram->setUniformValueArray("uCascadeBlend", blends, kShadowCascades, 1);
            m_meshProgram->setUniformValue("uCascades", int(cascades.size()));
            m_meshProgram->setUniformValue(
                "uShadowTexel", QVector2D(1.f / float(kShadowMapSize * kShadowCascades), 1.f / float(kShadowMapSize)));
            m_meshProgram->setUniformValue("uViewDir", -QVector3D(view(2, 0), view(2, 1), view(2, 2)).normalized());
        }
        m_meshProgram->setUniformValue("uInvViewport", QVector2D(1.f / float(width), 1.f / float(height)));
        glActiveTexture(GL_TEXTURE3);
        glBindTexture(GL_TEXTURE_2D, m_sky.skyTexture());
        glActiveTexture(GL_TEXTURE4);
        glBindTexture(GL_TEXTURE_2D, shadows ? m_shadow.texture() : 0);
        glActiveTexture(GL_TEXTURE5);
        glBindTexture(GL_TEXTURE_2D, occlusion ? m_sky.occlusionTexture() : 0);
        glActiveTexture(GL_TEXTURE0);
    }
    if (mode != Shading::Flat && !nodes.isEmpty()) {
        m_meshProgram->setUniformValue("uGround", 0);
        syncGround(nodes, sceneRadius);
        // The terrain's footprint: the land around it fades with the distance from it, the
        // scene itself only with the air.
        const bool land = m_ground.valid && m_ground.gpu.vbo;
        m_meshProgram->setUniformValue("uWorldCentre", land ? m_ground.shape.centre : QVector3D());
        m_meshProgram->setUniformValue(
            "uTerrainHalf", land ? QVector2D(m_ground.shape.halfX, m_ground.shape.halfZ) : QVector2D(1e30f, 1e30f));
        m_meshProgram->setUniformValue("uLandScale",
                                       landScale(2.f * std::max(m_ground.shape.halfX, m_ground.shape.halfZ)));
        m_meshProgram->setUniformValue("uMvp", viewProj);
        drawGround();
        m_meshProgram->setUniformValue("uUseAO", occlusion ? 1 : 0);
    }
    // Opaque and cut-out surfaces first, then the blended ones over them.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        for (const MeshNode& mn : nodes) {
            auto it = m_meshes.find(mn.mesh);
            if (it == m_meshes.end() || !it->second.vbo) continue;
            const GpuMesh& g = it->second;
            const QMatrix4x4 model = toMatrix(mn.node->getWSTransform());
            m_meshProgram->bind();
            m_meshProgram->setUniformValue("uMvp", viewProj * model);
            m_meshProgram->setUniformValue("uModel", model);
            m_meshProgram->setUniformValue("uNormalMat", model.normalMatrix());
            // A hint of the selection colour: the box drawn around the node marks it, and the
            // texture the user just picked for it must stay readable.
            m_meshProgram->setUniformValue("uHighlight", mn.node == selected ? 0.08f : 0.f);
            bool bound = false;
            for (const MaterialRange& r : g.ranges) {
                auto* dm = qobject_cast<DzDefaultMaterial*>(facetMaterial(mn, r.material));
                const GpuTexture* tex = dm ? surface(dm->getColorMap(), dm->getOpacityMap()) : nullptr;
                const bool blended = tex && tex->texture && tex->alpha == AlphaMode::Blend;
                if (blended != (pass == 1)) continue;
                if (!bound) {
                    bindMesh(g, true);
                    bound = true;
                }
                drawRange(r, dm, tex, coverage);
            }
            if (bound) unbindMesh();
            if (pass == 1 && mn.node == selected) drawBox(viewProj * model, g.localBounds);
        }
    }
    glDisable(GL_BLEND);
    m_meshProgram->release();
    for (int unit : {5, 4, 3}) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
}

OrbitCamera screenshotCamera(const QSize& size)
{
    const DzCameraNode* host = hostCamera();
    if (host && (toQt(host->getWSPos()) - toQt(host->getFocalPoint())).length() >= 1e-3f) {
        OrbitCamera cam;
        cam.readFrom(host);
        return cam;
    }
    return namedViewCamera(NamedView::Perspective, float(size.width()) / float(std::max(1, size.height())),
                           walkEyeHeight());
}

QImage renderSceneImage(const QSize& size, QString* error)
{
    QSurfaceFormat fmt;
    fmt.setDepthBufferSize(24);
    QOpenGLContext ctx;
    ctx.setFormat(fmt);
    if (!ctx.create()) {
        if (error) *error = "No OpenGL context available for rendering (run with a display or install Xvfb)";
        return QImage();
    }
    QOffscreenSurface surface;
    surface.setFormat(ctx.format());
    surface.create();
    if (!ctx.makeCurrent(&surface)) {
        if (error) *error = "Cannot make the OpenGL context current for rendering";
        return QImage();
    }
    QImage image;
    {
        QOpenGLFramebufferObjectFormat ff;
        ff.setAttachment(QOpenGLFramebufferObject::Depth);
        ff.setSamples(4);
        QOpenGLFramebufferObject fbo(size, ff);
        SceneRenderer renderer;
        QString why;
        if (!fbo.isValid() || !renderer.initialize(&why)) {
            if (error)
                *error = why.isEmpty()
                             ? QString("Cannot create a %1x%2 framebuffer").arg(size.width()).arg(size.height())
                             : why;
            renderer.release();
            ctx.doneCurrent();
            return QImage();
        }
        const OrbitCamera cam = screenshotCamera(size);
        const float aspect = float(size.width()) / float(size.height());
        fbo.bind();
        renderer.sync();
        renderer.render(cam.view(), cam.projection(aspect), size.width(), size.height(), nullptr);
        ctx.functions()->glFinish();
        fbo.release();
        image = fbo.toImage().convertToFormat(QImage::Format_RGB32);
        renderer.release();
    }
    ctx.doneCurrent();
    return image;
}
