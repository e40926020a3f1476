#include "skylight.h"
#include <QOpenGLShaderProgram>
#include <cmath>
#include <vector>
#include "gltargets.h"
#include "viewshaders.h"

namespace {

constexpr int kSkyW = 256, kSkyH = 128;

QVector3D toQ(const SkyVec& v) { return QVector3D(v.x, v.y, v.z); }

}  // namespace

SkyLight::SkyLight() = default;
SkyLight::~SkyLight() = default;

bool SkyLight::initialize(QString* error)
{
    initializeOpenGLFunctions();
    m_skyProgram.reset(new QOpenGLShaderProgram);
    m_aoProgram.reset(new QOpenGLShaderProgram);
    for (auto pair : {std::make_pair(m_skyProgram.get(), viewshaders::kSkyFS),
                      std::make_pair(m_aoProgram.get(), viewshaders::kOcclusionFS)}) {
        QOpenGLShaderProgram* p = pair.first;
        p->bindAttributeLocation("aPos", 0);
        if (!p->addCacheableShaderFromSourceCode(QOpenGLShader::Vertex, viewshaders::kScreenVS) ||
            !p->addCacheableShaderFromSourceCode(QOpenGLShader::Fragment, pair.second) || !p->link()) {
            if (error) *error = "Viewport sky shaders do not build: " + p->log().simplified();
            return false;
        }
    }
    const float tri[6] = {-1.f, -1.f, 3.f, -1.f, -1.f, 3.f};
    glGenBuffers(1, &m_screenVbo);
    glBindBuffer(GL_ARRAY_BUFFER, m_screenVbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof tri, tri, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glGenTextures(1, &m_skyTex);
    glBindTexture(GL_TEXTURE_2D, m_skyTex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    m_haveSun = false;
    m_ready = true;
    return true;
}

void SkyLight::release()
{
    if (!m_ready) return;
    freeTargets();
    glDeleteBuffers(1, &m_screenVbo);
    glDeleteTextures(1, &m_skyTex);
    m_screenVbo = m_skyTex = 0;
    m_skyProgram.reset();
    m_aoProgram.reset();
    m_ready = false;
}

void SkyLight::setSun(const SunSky& s)
{
    if (m_haveSun && s.azimuthDeg == m_sun.azimuthDeg && s.elevationDeg == m_sun.elevationDeg &&
        s.turbidity == m_sun.turbidity && s.sunStrength == m_sun.sunStrength)
        return;
    m_sun = s;
    m_haveSun = true;
    std::vector<float> texels(size_t(kSkyW * kSkyH * 3));
    for (int j = 0; j < kSkyH; ++j) {
        const float lat = (float(j) + 0.5f) / float(kSkyH) * 3.14159265f - 1.5707963f;
        for (int i = 0; i < kSkyW; ++i) {
            // The inverse of the shaders' lookup: u from atan(x, -z), v from asin(y).
            const float lon = ((float(i) + 0.5f) / float(kSkyW) - 0.5f) * 6.2831853f;
            const SkyVec d{std::cos(lat) * std::sin(lon), std::sin(lat), -std::cos(lat) * std::cos(lon)};
            const SkyRgb c = skyRadiance(s, d);
            float* t = &texels[size_t((j * kSkyW + i) * 3)];
            t[0] = c.r, t[1] = c.g, t[2] = c.b;
        }
    }
    glBindTexture(GL_TEXTURE_2D, m_skyTex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16F, kSkyW, kSkyH, 0, GL_RGB, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    m_sh = skyIrradianceSH(s);
}

void SkyLight::drawScreen(QOpenGLShaderProgram* p)
{
    p->bind();
    glBindBuffer(GL_ARRAY_BUFFER, m_screenVbo);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glDisableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SkyLight::drawSky(const QMatrix4x4& viewProj, const QVector3D& eye, float exposure)
{
    m_skyProgram->bind();
    m_skyProgram->setUniformValue("uInvViewProj", viewProj.inverted());
    m_skyProgram->setUniformValue("uEye", eye);
    m_skyProgram->setUniformValue("uSunDir", toQ(sunDirection(m_sun)));
    const SkyRgb disc = sunDiscRadiance(m_sun);
    m_skyProgram->setUniformValue("uSunDisc", QVector3D(disc.r, disc.g, disc.b));
    m_skyProgram->setUniformValue("uSunCos", float(std::cos(kSunDiscRadius)));
    m_skyProgram->setUniformValue("uExposure", exposure);
    m_skyProgram->setUniformValue("uSkyTex", 3);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, m_skyTex);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    drawScreen(m_skyProgram.get());
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
}

bool SkyLight::ensureTargets(int w, int h)
{
    if (m_depthFbo && m_w == w && m_h == h) return true;
    freeTargets();
    m_w = w, m_h = h;
    m_depthTex = newTargetTexture(this, GL_DEPTH_COMPONENT24, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, GL_NEAREST);
    bool ok = false, aoOk = false;
    m_depthFbo = newTarget(this, GL_DEPTH_ATTACHMENT, m_depthTex, &ok);
    m_aoTex = newTargetTexture(this, GL_RGBA8, w, h, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR);
    m_aoFbo = newTarget(this, GL_COLOR_ATTACHMENT0, m_aoTex, &aoOk);
    ok = ok && aoOk;
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!ok) freeTargets();
    return ok;
}

void SkyLight::freeTargets()
{
    if (m_depthFbo) glDeleteFramebuffers(1, &m_depthFbo);
    if (m_aoFbo) glDeleteFramebuffers(1, &m_aoFbo);
    if (m_depthTex) glDeleteTextures(1, &m_depthTex);
    if (m_aoTex) glDeleteTextures(1, &m_aoTex);
    m_depthFbo = m_aoFbo = m_depthTex = m_aoTex = 0;
    m_w = m_h = 0;
}

bool SkyLight::beginDepth(int w, int h)
{
    if (!ensureTargets(w, h)) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, m_depthFbo);
    glViewport(0, 0, w, h);
    glClear(GL_DEPTH_BUFFER_BIT);
    return true;
}

void SkyLight::computeOcclusion(const QMatrix4x4& proj, float radius, GLuint fbo)
{
    glBindFramebuffer(GL_FRAMEBUFFER, m_aoFbo);
    glViewport(0, 0, m_w, m_h);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    m_aoProgram->bind();
    m_aoProgram->setUniformValue("uProj", proj);
    m_aoProgram->setUniformValue("uInvProj", proj.inverted());
    m_aoProgram->setUniformValue("uInvSize", QVector2D(1.f / float(m_w), 1.f / float(m_h)));
    m_aoProgram->setUniformValue("uRadius", radius);
    m_aoProgram->setUniformValue("uDepth", 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_depthTex);
    drawScreen(m_aoProgram.get());
    glBindTexture(GL_TEXTURE_2D, 0);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
}
