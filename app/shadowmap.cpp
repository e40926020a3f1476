#include "shadowmap.h"
#include <algorithm>
#include "gltargets.h"

QMatrix4x4 sunShadowMatrix(const Bounds& bIn, const QVector3D& toSun)
{
    Bounds b = bIn;
    if (b.isEmpty()) {
        b.add(QVector3D(-1.f, -1.f, -1.f));
        b.add(QVector3D(1.f, 1.f, 1.f));
    }
    const QVector3D c = b.center();
    const float r = std::max(b.radius(), 1.f);
    const QVector3D dir = toSun.normalized();
    // Up for the light's view: any direction not along the sun.
    const QVector3D up = std::abs(dir.y()) > 0.99f ? QVector3D(0.f, 0.f, 1.f) : QVector3D(0.f, 1.f, 0.f);
    QMatrix4x4 view;
    view.lookAt(c + dir * r * 2.f, c, up);
    QVector3D lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    for (int i = 0; i < 8; ++i) {
        const QVector3D p(i & 1 ? b.max.x() : b.min.x(), i & 2 ? b.max.y() : b.min.y(), i & 4 ? b.max.z() : b.min.z());
        const QVector3D q = view.map(p);
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], q[k]);
            hi[k] = std::max(hi[k], q[k]);
        }
    }
    // A little room at the sides for the filter taps; depth with room on both ends.
    const float padX = (hi.x() - lo.x()) * 0.01f + 0.5f, padY = (hi.y() - lo.y()) * 0.01f + 0.5f;
    const float padZ = (hi.z() - lo.z()) * 0.02f + 1.f;
    QMatrix4x4 proj;
    // The view looks down -Z: near and far are the negated z range.
    proj.ortho(lo.x() - padX, hi.x() + padX, lo.y() - padY, hi.y() + padY, -hi.z() - padZ, -lo.z() + padZ);
    return proj * view;
}

bool ShadowMap::ensure(int size)
{
    if (!m_init) {
        initializeOpenGLFunctions();
        m_init = true;
    }
    if (m_fbo && m_size == size) return true;
    release();
    // Compared in hardware, with linear filtering between the four nearest results.
    m_depth = newTargetTexture(this, GL_DEPTH_COMPONENT24, size, size, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glBindTexture(GL_TEXTURE_2D, 0);
    bool ok = false;
    m_fbo = newTarget(this, GL_DEPTH_ATTACHMENT, m_depth, &ok);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    m_size = size;
    if (!ok) release();
    return ok;
}

void ShadowMap::begin()
{
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glViewport(0, 0, m_size, m_size);
    glClear(GL_DEPTH_BUFFER_BIT);
    // Slope-scaled offset keeps sunlit slopes from shadowing themselves.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.5f, 4.f);
}

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
    m_size = 0;
}
