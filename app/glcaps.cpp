#include "glcaps.h"
#include <QByteArray>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

bool isSoftwareRasterizer()
{
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (!ctx) return false;
    const QByteArray renderer =
        QByteArray(reinterpret_cast<const char*>(ctx->functions()->glGetString(GL_RENDERER))).toLower();
    return renderer.contains("llvmpipe") || renderer.contains("softpipe") || renderer.contains("software rasterizer") ||
           renderer.contains("swrast");
}
