#pragma once
// The sun's shadow maps: cascades along the camera's view, each an orthographic depth map
// seen from the sun and fitted to its slice of the view where that slice holds scene, the
// near slices small and sharp, the far ones wide. All cascades share one depth texture, side
// by side; the shaders pick a cascade per pixel by its depth and blend across each seam.
#include <QMatrix4x4>
#include <QOpenGLExtraFunctions>
#include <vector>
#include "scenemeshes.h"

// World to the shadow map's clip space (an orthographic view along the sun) holding the
// whole of b, with the depth range fitted to it.
QMatrix4x4 sunShadowMatrix(const Bounds& b, const QVector3D& toSun);

struct ShadowCascade
{
    QMatrix4x4 matrix;     // world to the cascade's clip space
    float fitNear = 0.f;   // the view depths the cascade covers: from where the one before
    float splitFar = 0.f;  // it starts blending into it, to where the next one takes over
    float texel = 0.f;     // world size of one texel (the larger of its two sides)
};

// Splits the view of a camera (view and proj, perspective or orthographic) between the
// depths where scene lies into count slices, logarithmic near the eye and even farther out,
// and fits a map of mapSize texels to each: the light-space box holds the slice's bounding
// sphere clipped to the scene, so it keeps its size while the camera turns, and its corner
// moves in whole texels, so the shadows do not swim. The depth range holds the whole scene,
// so casters outside the slice still shade it. The last blendFraction of each slice is
// covered by the next cascade too.
std::vector<ShadowCascade> fitShadowCascades(const QMatrix4x4& view, const QMatrix4x4& proj, const Bounds& scene,
                                             const QVector3D& toSun, int count, int mapSize);
constexpr float kCascadeBlend = 0.1f;

class ShadowMap : protected QOpenGLExtraFunctions
{
public:
    // Call with the context current; false when the driver cannot make the target. The
    // texture holds tiles maps of size x size side by side.
    bool ensure(int size, int tiles);
    // Binds the map as the target and clears it; tile() picks the cascade drawn; end() gives
    // the target back to fbo.
    void begin();
    void tile(int i);
    void end(GLuint fbo);
    GLuint texture() const { return m_depth; }
    int size() const { return m_size; }
    int tiles() const { return m_tiles; }
    void release();

private:
    GLuint m_fbo = 0, m_depth = 0;
    int m_size = 0, m_tiles = 0;
    bool m_init = false;
};
