#pragma once
// The sun's shadow map: one depth texture seen from the sun, fitted to the scene's bounds
// (the scenes here are one terrain of a few hundred metres, which one 2048 map covers at a
// texel of a few centimetres to a few decimetres; the map is sampled with filtered taps).
#include <QMatrix4x4>
#include <QOpenGLExtraFunctions>
#include "scenemeshes.h"

// World to the shadow map's clip space (an orthographic view along the sun) holding the
// whole of b, with the depth range fitted to it.
QMatrix4x4 sunShadowMatrix(const Bounds& b, const QVector3D& toSun);

class ShadowMap : protected QOpenGLExtraFunctions
{
public:
    // Call with the context current; false when the driver cannot make the target.
    bool ensure(int size);
    // Binds the map as the target and clears it; end() gives the target back to fbo.
    void begin();
    void end(GLuint fbo);
    GLuint texture() const { return m_depth; }
    int size() const { return m_size; }
    void release();

private:
    GLuint m_fbo = 0, m_depth = 0;
    int m_size = 0;
    bool m_init = false;
};
