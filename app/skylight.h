#pragma once
// The GL side of the sky and of the ambient occlusion: the sky's radiance as a texture the
// shaders look up (for the backdrop and the fog), its irradiance coefficients, the sky drawn
// behind the scene, and the occlusion pass over a depth target of the picture's size.
#include <QMatrix4x4>
#include <QOpenGLExtraFunctions>
#include <memory>
#include "sky.h"

class QOpenGLShaderProgram;

class SkyLight : protected QOpenGLExtraFunctions
{
public:
    SkyLight();
    ~SkyLight();
    bool initialize(QString* error);
    void release();

    // Rebuilds the sky texture and coefficients when the sun or the haze changed.
    void setSun(const SunSky& s);
    const SkySH& irradiance() const { return m_sh; }
    GLuint skyTexture() const { return m_skyTex; }
    // Draws the sky over the whole target (depth untouched) with the given camera.
    void drawSky(const QMatrix4x4& viewProj, const QVector3D& eye, float exposure);

    // Binds a single-sample depth target of w x h and clears it; false when none can be made.
    bool beginDepth(int w, int h);
    // Turns the depth drawn since beginDepth into occlusion, then binds fbo again.
    void computeOcclusion(const QMatrix4x4& proj, float radius, GLuint fbo);
    GLuint occlusionTexture() const { return m_aoTex; }

private:
    void drawScreen(QOpenGLShaderProgram* p);
    bool ensureTargets(int w, int h);
    void freeTargets();

    std::unique_ptr<QOpenGLShaderProgram> m_skyProgram, m_aoProgram;
    GLuint m_screenVbo = 0, m_skyTex = 0;
    GLuint m_depthFbo = 0, m_depthTex = 0, m_aoFbo = 0, m_aoTex = 0;
    int m_w = 0, m_h = 0;
    SunSky m_sun;
    bool m_haveSun = false;
    SkySH m_sh{};
    bool m_ready = false;
};
