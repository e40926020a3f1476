#include "shadowmap.h"
#include <algorithm>
#include <cmath>
#include "gltargets.h"

namespace {

Bounds orUnitBox(const Bounds& b)
{
    if (!b.isEmpty()) return b;
    Bounds d;
    d.add(QVector3D(-1.f, -1.f, -1.f));
    d.add(QVector3D(1.f, 1.f, 1.f));
    return d;
}

// The sun's view of b: from its middle along the sun, with an up that depends on the sun
// alone, so the light's texel grid stays put while the camera moves.
QMatrix4x4 sunView(const Bounds& b, const QVector3D& toSun)
{
    const QVector3D c = b.center();
    const float r = std::max(b.radius(), 1.f);
    const QVector3D dir = toSun.normalized();
    // Up for the light's view: any direction not along the sun.
    const QVector3D up = std::abs(dir.y()) > 0.99f ? QVector3D(0.f, 0.f, 1.f) : QVector3D(0.f, 1.f, 0.f);
    QMatrix4x4 view;
    view.lookAt(c + dir * r * 2.f, c, up);
    return view;
}

// b's box in the space of m.
void boxIn(const QMatrix4x4& m, const Bounds& b, QVector3D* lo, QVector3D* hi)
{
    *lo = QVector3D(1e30f, 1e30f, 1e30f);
    *hi = -*lo;
    for (int i = 0; i < 8; ++i) {
        const QVector3D p(i & 1 ? b.max.x() : b.min.x(), i & 2 ? b.max.y() : b.min.y(), i & 4 ? b.max.z() : b.min.z());
        const QVector3D q = m.map(p);
        for (int k = 0; k < 3; ++k) {
            (*lo)[k] = std::min((*lo)[k], q[k]);
            (*hi)[k] = std::max((*hi)[k], q[k]);
        }
    }
}

}  // namespace

QMatrix4x4 sunShadowMatrix(const Bounds& bIn, const QVector3D& toSun)
{
    const Bounds b = orUnitBox(bIn);
    const QMatrix4x4 view = sunView(b, toSun);
    QVector3D lo, hi;
    boxIn(view, b, &lo, &hi);
    // A little room at the sides for the filter taps; depth with room on both ends.
    const float padX = (hi.x() - lo.x()) * 0.01f + 0.5f, padY = (hi.y() - lo.y()) * 0.01f + 0.5f;
    const float padZ = (hi.z() - lo.z()) * 0.02f + 1.f;
    QMatrix4x4 proj;
    // The view looks down -Z: near and far are the negated z range.
    proj.ortho(lo.x() - padX, hi.x() + padX, lo.y() - padY, hi.y() + padY, -hi.z() - padZ, -lo.z() + padZ);
    return proj * view;
}

std::vector<ShadowCascade> fitShadowCascades(const QMatrix4x4& view, const QMatrix4x4& proj, const Bounds& sceneIn,
                                             const QVector3D& toSun, int count, int mapSize)
{
    const Bounds scene = orUnitBox(sceneIn);
    count = std::max(1, count);
    // The camera's corner rays in view space, from the near plane to the far plane.
    const QMatrix4x4 invProj = proj.inverted();
    QVector3D rayNear[4], rayFar[4];
    for (int i = 0; i < 4; ++i) {
        const float x = i & 1 ? 1.f : -1.f, y = i & 2 ? 1.f : -1.f;
        rayNear[i] = invProj.map(QVector3D(x, y, -1.f));
        rayFar[i] = invProj.map(QVector3D(x, y, 1.f));
    }
    const float zNear = -rayNear[0].z(), zFar = -rayFar[0].z();
    // Only the depths where the scene lies need a map.
    QVector3D vlo, vhi;
    boxIn(view, scene, &vlo, &vhi);
    float dNear = std::max(zNear, -vhi.z()), dFar = std::min(zFar, -vlo.z());
    if (!(dFar > dNear * 1.001f)) {
        dNear = zNear;
        dFar = std::max(zFar, zNear * 2.f);
    }
    const float ratio = dFar / std::max(dNear, 1e-6f);
    std::vector<float> splits(size_t(count) + 1);
    for (int i = 0; i <= count; ++i) {
        const float f = float(i) / float(count);
        const float logSplit = dNear * std::pow(ratio, f), evenSplit = dNear + (dFar - dNear) * f;
        splits[size_t(i)] = 0.9f * logSplit + 0.1f * evenSplit;
    }
    splits.front() = dNear;
    splits.back() = dFar;

    const QMatrix4x4 light = sunView(scene, toSun);
    QVector3D slo, shi;
    boxIn(light, scene, &slo, &shi);
    const float padZ = (shi.z() - slo.z()) * 0.02f + 1.f;
    const QMatrix4x4 viewToLight = light * view.inverted();
    // Room at the sides for the filter taps and the texel snapping.
    const int border = 4;
    const float usable = float(std::max(mapSize - 2 * border, 1));
    std::vector<ShadowCascade> out;
    for (int i = 0; i < count; ++i) {
        const float a =
            i == 0 ? splits[0] : splits[size_t(i)] - kCascadeBlend * (splits[size_t(i)] - splits[size_t(i) - 1]);
        const float b = splits[size_t(i) + 1];
        // The slice's corners in light space and the sphere around them: its size depends on
        // the slice alone, not on where the camera points.
        QVector3D pts[8];
        QVector3D centre;
        for (int k = 0; k < 8; ++k) {
            const int r = k & 3;
            const float depth = k < 4 ? a : b;
            const float t = (depth - zNear) / std::max(zFar - zNear, 1e-6f);
            pts[k] = rayNear[r] + (rayFar[r] - rayNear[r]) * t;
            centre += pts[k] / 8.f;
        }
        float radius = 0.f;
        for (const QVector3D& p : pts) radius = std::max(radius, (p - centre).length());
        // In steps of a fifth of an octave: a camera that moves or turns changes the depths
        // where the scene lies, and with them the slices, a little at every frame; the maps
        // keep their texel until the change passes a step.
        radius = std::exp2(std::ceil(std::log2(std::max(radius, 1e-3f)) * 5.f) / 5.f);
        const QVector3D c = viewToLight.map(centre);
        ShadowCascade cas;
        float lo[2], width[2];
        for (int k = 0; k < 2; ++k) {
            const float sceneLo = slo[k], sceneHi = shi[k];
            const float side = std::min(2.f * radius, sceneHi - sceneLo);
            // Inside the scene's extent where the sphere pokes out of it; then whole texels.
            const float start = std::clamp(c[k] - radius, sceneLo, std::max(sceneLo, sceneHi - side));
            const float texel = std::max(side, 1e-4f) / usable;
            lo[k] = (std::floor(start / texel) - float(border)) * texel;
            width[k] = texel * float(mapSize);
            cas.texel = std::max(cas.texel, texel);
        }
        QMatrix4x4 ortho;
        ortho.ortho(lo[0], lo[0] + width[0], lo[1], lo[1] + width[1], -shi.z() - padZ, -slo.z() + padZ);
        cas.matrix = ortho * light;
        cas.fitNear = a;
        cas.splitFar = b;
        out.push_back(cas);
    }
    return out;
}

bool ShadowMap::ensure(int size, int tiles)
{
    if (!m_init) {
        initializeOpenGLFunctions();
        m_init = true;
    }
    if (m_fbo && m_size == size && m_tiles == tiles) return true;
    release();
    // Compared in hardware, with linear filtering between the four nearest results.
    m_depth = newTargetTexture(this, GL_DEPTH_COMPONENT24, size * tiles, size, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT,
                               GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glBindTexture(GL_TEXTURE_2D, 0);
    bool ok = false;
    m_fbo = newTarget(this, GL_DEPTH_ATTACHMENT, m_depth, &ok);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    m_size = size;
    m_tiles = tiles;
    if (!ok) release();
    return ok;
}

void ShadowMap::begin()
{
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glViewport(0, 0, m_size * m_tiles, m_size);
    glClear(GL_DEPTH_BUFFER_BIT);
    // Slope-scaled offset keeps sunlit slopes from shadowing themselves.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.5f, 4.f);
}

void ShadowMap::tile(int i) { glViewport(i * m_size, 0, m_size, m_size); }

void ShadowMap::end(GLuint fbo)
{
    glDisable(GL_POLYGON_OFFSET_FILL);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
}

void ShadowMap::release()
{
    if (!m_init) return;
    if (m_fbo) glDeleteFramebuffers(1, &m_fbo);
    if (m_depth) glDeleteTextures(1, &m_depth);
    m_fbo = m_depth = 0;
    m_size = m_tiles = 0;
}
