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
#include <dzshape.h>
#include "orbitcamera.h"

namespace {

// GLSL 1.20 so the same shaders run on OpenGL 2.1 and on 3.x compatibility contexts.
const char* kMeshVS = R"(
#version 120
attribute vec3 aPos;
attribute vec3 aNormal;
attribute vec2 aUv;
uniform mat4 uMvp;
uniform mat3 uNormalMat;
varying vec3 vNormal;
varying vec2 vUv;
void main() {
    vNormal = uNormalMat * aNormal;
    vUv = aUv;
    gl_Position = uMvp * vec4(aPos, 1.0);
}
)";

const char* kMeshFS = R"(
#version 120
uniform vec3 uColor;
uniform int uHasTex;
uniform sampler2D uTex;
uniform int uHasOpacity;
uniform sampler2D uOpacity;
uniform vec3 uLightDir;
uniform float uHighlight;
varying vec3 vNormal;
varying vec2 vUv;
void main() {
    if (uHasOpacity != 0) {
        vec4 o = texture2D(uOpacity, vUv);
        if (dot(o.rgb, vec3(0.299, 0.587, 0.114)) * o.a < 0.5) discard;
    }
    vec3 c = uColor;
    if (uHasTex != 0) c *= texture2D(uTex, vUv).rgb;
    vec3 n = normalize(vNormal);
    if (!gl_FrontFacing) n = -n;
    float d = max(dot(n, uLightDir), 0.0);
    c *= 0.35 + 0.65 * d;
    c = mix(c, vec3(1.0, 0.55, 0.1), uHighlight);
    gl_FragColor = vec4(c, 1.0);
}
)";

const char* kLineVS = R"(
#version 120
attribute vec3 aPos;
uniform mat4 uMvp;
void main() { gl_Position = uMvp * vec4(aPos, 1.0); }
)";

const char* kLineFS = R"(
#version 120
uniform vec4 uColor;
void main() { gl_FragColor = uColor; }
)";

} // namespace

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::initialize(QString* error)
{
    initializeOpenGLFunctions();
    m_meshProgram.reset(new QOpenGLShaderProgram);
    m_lineProgram.reset(new QOpenGLShaderProgram);
    auto build = [&](QOpenGLShaderProgram* p, const char* vs, const char* fs) {
        if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, vs) ||
            !p->addShaderFromSourceCode(QOpenGLShader::Fragment, fs)) {
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
    if (!build(m_meshProgram.get(), kMeshVS, kMeshFS) || !build(m_lineProgram.get(), kLineVS, kLineFS)) return false;
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
    glDeleteBuffers(1, &m_lineVbo);
    m_lineVbo = 0;
    m_meshProgram.reset();
    m_lineProgram.reset();
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
    buildMeshBuffers(mesh, m_scratch);
    if (!g.vbo) glGenBuffers(1, &g.vbo);
    if (!g.ibo) glGenBuffers(1, &g.ibo);
    glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(m_scratch.vertices.size() * sizeof(GpuVertex)),
                 m_scratch.vertices.data(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(m_scratch.indices.size() * sizeof(uint32_t)),
                 m_scratch.indices.data(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    g.ranges = m_scratch.ranges;
    g.localBounds = Bounds();
    for (uint32_t i : m_scratch.indices) {
        const GpuVertex& v = m_scratch.vertices[i];
        g.localBounds.add(QVector3D(v.px, v.py, v.pz));
    }
    ++m_uploads;
    m_uploadedVertices += qint64(m_scratch.vertices.size());
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
        if (it->second.source.isNull()) {
            delete it->second.texture;
            it = m_textures.erase(it);
        } else {
            ++it;
        }
    }
    return changed;
}

QOpenGLTexture* SceneRenderer::texture(DzTexture* t)
{
    if (!t) return nullptr;
    auto it = m_textures.find(t);
    if (it != m_textures.end() && it->second.source == t) return it->second.texture;
    if (it != m_textures.end()) {
        delete it->second.texture;
        m_textures.erase(it);
    }
    GpuTexture g;
    g.source = t;
    const QImage img = t->getImage();
    if (!img.isNull()) {
        // QOpenGLTexture flips the image so v = 0 is its bottom row, as mesh UVs expect.
        g.texture = new QOpenGLTexture(img.convertToFormat(QImage::Format_RGBA8888));
        g.texture->setMinMagFilters(QOpenGLTexture::LinearMipMapLinear, QOpenGLTexture::Linear);
        g.texture->setWrapMode(QOpenGLTexture::Repeat);
    }
    m_textures.emplace(t, g);
    return g.texture;
}

void SceneRenderer::drawGrid(const QMatrix4x4& viewProj)
{
    Bounds b = sceneBounds();
    float extent = b.isEmpty() ? 500.f
                               : std::max({std::abs(b.min.x()), std::abs(b.max.x()), std::abs(b.min.z()),
                                           std::abs(b.max.z()), 100.f});
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
    const float p[8][3] = {{a.x(), a.y(), a.z()}, {c.x(), a.y(), a.z()}, {c.x(), a.y(), c.z()},
                           {a.x(), a.y(), c.z()}, {a.x(), c.y(), a.z()}, {c.x(), c.y(), a.z()},
                           {c.x(), c.y(), c.z()}, {a.x(), c.y(), c.z()}};
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

void SceneRenderer::render(const QMatrix4x4& view, const QMatrix4x4& proj, int width, int height, DzNode* selected)
{
    if (!m_ready) return;
    glViewport(0, 0, width, height);
    glClearColor(0.23f, 0.25f, 0.28f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    const QMatrix4x4 viewProj = proj * view;
    drawGrid(viewProj);

    // Light from above, over the viewer's shoulder.
    const QVector3D light = QVector3D(0.35f, 0.85f, 0.4f).normalized();
    m_meshProgram->bind();
    m_meshProgram->setUniformValue("uLightDir", light);
    m_meshProgram->setUniformValue("uTex", 0);
    m_meshProgram->setUniformValue("uOpacity", 1);
    for (const MeshNode& mn : sceneMeshNodes(true)) {
        auto it = m_meshes.find(mn.mesh);
        if (it == m_meshes.end() || !it->second.vbo) continue;
        const GpuMesh& g = it->second;
        const QMatrix4x4 model = toMatrix(mn.node->getWSTransform());
        m_meshProgram->bind();
        m_meshProgram->setUniformValue("uMvp", viewProj * model);
        m_meshProgram->setUniformValue("uNormalMat", model.normalMatrix());
        m_meshProgram->setUniformValue("uHighlight", mn.node == selected ? 0.3f : 0.f);
        glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ibo);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(12));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(24));
        for (const MaterialRange& r : g.ranges) {
            auto* dm = qobject_cast<DzDefaultMaterial*>(facetMaterial(mn, r.material));
            const QColor c = dm ? dm->getDiffuseColor() : QColor(200, 200, 200);
            QOpenGLTexture* tex = dm ? texture(dm->getColorMap()) : nullptr;
            QOpenGLTexture* op = dm ? texture(dm->getOpacityMap()) : nullptr;
            m_meshProgram->setUniformValue("uColor", QVector3D(float(c.redF()), float(c.greenF()), float(c.blueF())));
            m_meshProgram->setUniformValue("uHasTex", tex ? 1 : 0);
            m_meshProgram->setUniformValue("uHasOpacity", op ? 1 : 0);
            if (op) op->bind(1);
            if (tex) tex->bind(0);
            glDrawElements(GL_TRIANGLES, GLsizei(r.count), GL_UNSIGNED_INT,
                           reinterpret_cast<void*>(size_t(r.first) * sizeof(uint32_t)));
            if (op) op->release(1);
            if (tex) tex->release(0);
        }
        glDisableVertexAttribArray(0);
        glDisableVertexAttribArray(1);
        glDisableVertexAttribArray(2);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        if (mn.node == selected) drawBox(viewProj * model, g.localBounds);
        m_meshProgram->bind();
    }
    m_meshProgram->release();
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
            if (error) *error = why.isEmpty() ? QString("Cannot create a %1x%2 framebuffer").arg(size.width()).arg(size.height()) : why;
            renderer.release();
            ctx.doneCurrent();
            return QImage();
        }
        OrbitCamera cam;
        cam.yawDeg = 35.f;
        cam.pitchDeg = 35.f;
        const float aspect = float(size.width()) / float(size.height());
        cam.frame(sceneBounds(), aspect);
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
