#pragma once
// Textures and framebuffers of the viewport's own passes (the sun's shadow map, the depth and
// occlusion of the picture): clamped at their edges, filtered as asked.
#include <QOpenGLExtraFunctions>

GLuint newTargetTexture(QOpenGLExtraFunctions* gl, GLint internalFormat, int w, int h, GLenum format, GLenum type,
                        GLint filter);
// A framebuffer drawing into tex at attachment (a depth attachment draws no colour), left
// bound; *complete says whether the driver can draw into it.
GLuint newTarget(QOpenGLExtraFunctions* gl, GLenum attachment, GLuint tex, bool* complete);
