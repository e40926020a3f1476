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
#include "glcaps.h"
#include "orbitcamera.h"

namespace {

// GLSL 1.20 so the same shaders run on OpenGL 2.1 and on 3.x compatibility contexts.
const char* kMeshVS = R"(
#version 120
attribute vec3 aPos;
attribute vec3 aNormal;
attribute vec2 aUv;
uniform mat4 uMvp;
uniform mat4 uModel;
uniform mat3 uNormalMat;
varying vec3 vNormal;
varying vec3 vPos;
varying vec2 vUv;
void main() {
    vNormal = uNormalMat * aNormal;
    vPos = (uModel * vec4(aPos, 1.0)).xyz;
    vUv = aUv;
    gl_Position = uMvp * vec4(aPos, 1.0);
}
)";

// Alpha modes: 0 opaque, 1 cut-out (opacity map of solid and clear parts), 2 blended (a soft
// opacity map such as a terrain blend mask). Relief: 0 none, 1 normal map, 2 bump map. The
// tangent frame comes from screen-space derivatives, so meshes need no tangents.
const char* kMeshFS = R"(
#version 120
uniform vec3 uColor;
uniform float uOpacity;
uniform int uHasTex;
uniform sampler2D uTex;
uniform int uAlphaMode;
uniform int uCoverage;
uniform int uRelief;
uniform sampler2D uReliefTex;
uniform float uBumpScale;
uniform vec3 uLightDir;
uniform float uHighlight;
varying vec3 vNormal;
varying vec3 vPos;
varying vec2 vUv;

vec3 normalMapped(vec3 n) {
    vec3 dp1 = dFdx(vPos), dp2 = dFdy(vPos);
    vec2 duv1 = dFdx(vUv), duv2 = dFdy(vUv);
    vec3 dp2perp = cross(dp2, n), dp1perp = cross(n, dp1);
    vec3 t = dp2perp * duv1.x + dp1perp * duv2.x;
    vec3 b = dp2perp * duv1.y + dp1perp * duv2.y;
    float len = max(dot(t, t), dot(b, b));
    if (len <= 0.0) return n;
    float inv = inversesqrt(len);
    vec3 m = texture2D(uReliefTex, vUv).xyz * 2.0 - 1.0;
    return normalize(t * inv * m.x + b * inv * m.y + n * m.z);
}

vec3 bumped(vec3 n) {
    float h = texture2D(uReliefTex, vUv).r * uBumpScale;
    vec3 sx = dFdx(vPos), sy = dFdy(vPos);
    vec3 r1 = cross(sy, n), r2 = cross(n, sx);
    float det = dot(sx, r1);
    if (abs(det) <= 0.0) return n;
    vec3 g = sign(det) * (dFdx(h) * r1 + dFdy(h) * r2);
    return normalize(abs(det) * n - g);
}

void main() {
    vec4 t = uHasTex != 0 ? texture2D(uTex, vUv) : vec4(1.0);
    float a = t.a * uOpacity;
    if (uAlphaMode == 1) {
        // Sharpened over one pixel: crisp edges, and with multisampling the coverage of
        // blades far away fades instead of flickering on and off.
        a = (a - 0.5) / max(fwidth(a), 0.0001) + 0.5;
        if (uCoverage == 0 && a < 0.5) discard;
        a = clamp(a, 0.0, 1.0);
        if (a <= 0.0) discard;
    } else if (uAlphaMode == 2) {
        if (a <= 0.004) discard;
    } else {
        a = 1.0;
    }
    vec3 c = uColor * t.rgb;
    vec3 n = normalize(vNormal);
    if (!gl_FrontFacing) n = -n;
    if (uRelief == 1) n = normalMapped(n);
    else if (uRelief == 2) n = bumped(n);
    float d = dot(n, uLightDir);
    // Cut-out cards (blades, leaves, petals, wings) are thin: light passes through them, so
    // a card edge-on to the light or turned away is not lit as a dark solid surface.
    float lit = uAlphaMode == 1 ? 0.6 + 0.4 * abs(d) : 0.35 + 0.65 * max(d, 0.0);
    c *= lit;
    c = mix(c, vec3(1.0, 0.55, 0.1), uHighlight);
    gl_FragColor = vec4(c, a);
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
        if ((it->first.first && it->second.colour.isNull()) || (it->first.second && it->second.opacity.isNull())) {
            delete it->second.texture;
            it = m_textures.erase(it);
        } else {
            ++it;
        }
    }
    return changed;
}

QOpenGLTexture* SceneRenderer::upload(const QImage& rgba, bool coverageMips)
{
    QOpenGLTexture* tex = nullptr;
    if (!coverageMips) {
        // QOpenGLTexture flips the image so v = 0 is its bottom row, as mesh UVs expect.
        tex = new QOpenGLTexture(rgba.convertToFormat(QImage::Format_RGBA8888));
    } else {
        const std::vector<QImage> levels = coverageMipmaps(rgba);
        tex = new QOpenGLTexture(QOpenGLTexture::Target2D);
        tex->setSize(rgba.width(), rgba.height());
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
    if (tex->hasFeature(QOpenGLTexture::AnisotropicFiltering) && !isSoftwareRasterizer()) tex->setMaximumAnisotropy(8.f);
    tex->setWrapMode(QOpenGLTexture::Repeat);
    return tex;
}

const SceneRenderer::GpuTexture* SceneRenderer::surface(DzTexture* colour, DzTexture* opacity)
{
    if (!colour && !opacity) return nullptr;
    const TextureKey key(colour, opacity);
    auto it = m_textures.find(key);
    if (it != m_textures.end() && it->second.colour == colour && it->second.opacity == opacity)
        return &it->second;
    if (it != m_textures.end()) {
        delete it->second.texture;
        m_textures.erase(it);
    }
    GpuTexture g;
    g.colour = colour;
    g.opacity = opacity;
    const QImage mask = opacity ? opacity->getImage() : QImage();
    const QImage rgba = combineOpacity(colour ? colour->getImage() : QImage(), mask);
    g.alpha = alphaModeOf(mask);
    if (!rgba.isNull()) g.texture = upload(rgba, g.alpha == AlphaMode::Mask);
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
    if (!img.isNull()) g.texture = upload(img, false);
    return m_textures.emplace(key, g).first->second.texture;
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
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    const bool coverage = samples > 1;

    // Light from above, over the viewer's shoulder.
    const QVector3D light = QVector3D(0.35f, 0.85f, 0.4f).normalized();
    m_meshProgram->bind();
    m_meshProgram->setUniformValue("uLightDir", light);
    m_meshProgram->setUniformValue("uTex", 0);
    m_meshProgram->setUniformValue("uReliefTex", 1);
    m_meshProgram->setUniformValue("uCoverage", coverage ? 1 : 0);
    const QList<MeshNode> nodes = sceneMeshNodes(true);
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
                    glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
                    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ibo);
                    glEnableVertexAttribArray(0);
                    glEnableVertexAttribArray(1);
                    glEnableVertexAttribArray(2);
                    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
                    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(12));
                    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(24));
                    bound = true;
                }
                drawRange(r, dm, tex, coverage);
            }
            if (bound) {
                glDisableVertexAttribArray(0);
                glDisableVertexAttribArray(1);
                glDisableVertexAttribArray(2);
                glBindBuffer(GL_ARRAY_BUFFER, 0);
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            }
            if (pass == 1 && mn.node == selected) drawBox(viewProj * model, g.localBounds);
        }
    }
    glDisable(GL_BLEND);
    m_meshProgram->release();
}

OrbitCamera screenshotCamera(const QSize& size)
{
    OrbitCamera cam;
    cam.yawDeg = 35.f;
    cam.pitchDeg = 35.f;
    cam.frame(sceneBounds(), float(size.width()) / float(std::max(1, size.height())));
    return cam;
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
