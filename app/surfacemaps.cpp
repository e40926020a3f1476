#include "surfacemaps.h"
#include <QCache>
#include <QDateTime>
#include <QFileInfo>
#include <QMutex>
#include <dzmaterial.h>
#include <algorithm>
#include <cmath>

QImage combineOpacity(const QImage& colour, const QImage& opacity)
{
    if (colour.isNull() && opacity.isNull()) return QImage();
    QImage out;
    if (colour.isNull()) {
        out = QImage(opacity.size(), QImage::Format_RGBA8888);
        out.fill(Qt::white);
    } else {
        out = colour.convertToFormat(QImage::Format_RGBA8888);
    }
    if (opacity.isNull()) return out;
    const QImage mask =
        (opacity.size() == out.size() ? opacity
                                      : opacity.scaled(out.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
            .convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < out.height(); ++y) {
        uchar* d = out.scanLine(y);
        const uchar* m = mask.constScanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            // Brightness times the map's own alpha, so a grey mask and a transparent one agree.
            const int lum = (m[4 * x] * 299 + m[4 * x + 1] * 587 + m[4 * x + 2] * 114) / 1000;
            d[4 * x + 3] = uchar(lum * m[4 * x + 3] / 255);
        }
    }
    return out;
}

AlphaMode alphaModeOf(const QImage& opacity)
{
    if (opacity.isNull()) return AlphaMode::Opaque;
    const QImage small = opacity.scaled(128, 128, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_Grayscale8);
    int grey = 0;
    for (int y = 0; y < small.height(); ++y) {
        const uchar* p = small.constScanLine(y);
        for (int x = 0; x < small.width(); ++x) grey += (p[x] > 24 && p[x] < 232) ? 1 : 0;
    }
    // Antialiased cut-out edges are a few per cent of the texels.
    return grey > small.width() * small.height() / 5 ? AlphaMode::Blend : AlphaMode::Mask;
}

namespace {

// A 2 x 2 box filter on straight (not premultiplied) RGBA: the colour under clear texels is
// the shape's own colour, so averaging it keeps edges free of dark fringes.
QImage halfSize(const QImage& src)
{
    const int w = std::max(1, src.width() / 2), h = std::max(1, src.height() / 2);
    QImage out(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y) {
        const uchar* r0 = src.constScanLine(std::min(2 * y, src.height() - 1));
        const uchar* r1 = src.constScanLine(std::min(2 * y + 1, src.height() - 1));
        uchar* d = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, src.width() - 1) * 4, x1 = std::min(2 * x + 1, src.width() - 1) * 4;
            for (int c = 0; c < 4; ++c)
                d[4 * x + c] = uchar((r0[x0 + c] + r0[x1 + c] + r1[x0 + c] + r1[x1 + c] + 2) / 4);
        }
    }
    return out;
}

}  // namespace

double alphaCoverage(const QImage& rgba)
{
    if (rgba.isNull()) return 0.0;
    const QImage img = rgba.convertToFormat(QImage::Format_RGBA8888);
    qint64 above = 0;
    for (int y = 0; y < img.height(); ++y) {
        const uchar* p = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x) above += p[4 * x + 3] > 127 ? 1 : 0;
    }
    return double(above) / (double(img.width()) * img.height());
}

std::vector<QImage> coverageMipmaps(const QImage& rgba)
{
    std::vector<QImage> levels;
    if (rgba.isNull()) return levels;
    QImage base = rgba.convertToFormat(QImage::Format_RGBA8888);
    levels.push_back(base);
    const double wanted = alphaCoverage(base);
    QImage filtered = base;
    while (filtered.width() > 1 || filtered.height() > 1) {
        filtered = halfSize(filtered);
        // The alpha threshold that keeps the wanted share above it, from the level's histogram.
        qint64 hist[256] = {};
        const qint64 total = qint64(filtered.width()) * filtered.height();
        for (int y = 0; y < filtered.height(); ++y) {
            const uchar* p = filtered.constScanLine(y);
            for (int x = 0; x < filtered.width(); ++x) ++hist[p[4 * x + 3]];
        }
        const qint64 keep = qint64(std::llround(wanted * double(total)));
        // The threshold whose share above it comes closest to the wanted one (ties keep more).
        int threshold = 128;
        if (keep > 0) {
            qint64 seen = 0;
            for (int a = 255; a > 0; --a) {
                const qint64 before = seen;
                seen += hist[a];
                if (seen >= keep) {
                    threshold = (seen - keep <= keep - before || a == 255) ? a : a + 1;
                    break;
                }
            }
        }
        const double scale = keep > 0 ? std::max(1.0, 128.0 / threshold) : 1.0;
        QImage level = filtered;
        for (int y = 0; y < level.height(); ++y) {
            uchar* p = level.scanLine(y);
            for (int x = 0; x < level.width(); ++x)
                p[4 * x + 3] = uchar(std::min(255.0, std::round(p[4 * x + 3] * scale)));
        }
        levels.push_back(level);
    }
    return levels;
}

namespace {

QString fileStamp(const DzTexture* t)
{
    if (!t) return QStringLiteral("-");
    const QFileInfo fi(t->getFilename());
    return QString("%1|%2|%3").arg(fi.absoluteFilePath()).arg(fi.size()).arg(fi.lastModified().toMSecsSinceEpoch());
}

using SurfacePtr = std::shared_ptr<const PreparedSurface>;

}  // namespace

SurfacePtr preparedSurface(const DzTexture* colour, const DzTexture* opacity)
{
    if (!colour && !opacity) return nullptr;
    // Costs in kilobytes: a few hundred megabytes hold every map of the library's samples.
    static QCache<QString, SurfacePtr> cache(384 * 1024);
    static QMutex lock;
    const QString key = fileStamp(colour) + "+" + fileStamp(opacity);
    {
        QMutexLocker hold(&lock);
        if (SurfacePtr* hit = cache.object(key)) return *hit;
    }
    auto made = std::make_shared<PreparedSurface>();
    const QImage mask = opacity ? opacity->getImage() : QImage();
    const QImage rgba = combineOpacity(colour ? colour->getImage() : QImage(), mask);
    made->alpha = alphaModeOf(mask);
    if (!rgba.isNull()) {
        if (made->alpha == AlphaMode::Mask) made->levels = coverageMipmaps(rgba);
        else made->levels.push_back(rgba);
    }
    qint64 bytes = 0;
    for (const QImage& l : made->levels) bytes += l.sizeInBytes();
    SurfacePtr out = made;
    QMutexLocker hold(&lock);
    cache.insert(key, new SurfacePtr(out), int(std::max<qint64>(1, bytes / 1024)));
    return out;
}
