#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

namespace assetgen {

// Transparent canvas for icons and sprite sheets.
inline QImage makeCanvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

inline void prepare(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// Writes an image, reporting the path on failure. PNG icons are saved as non-premultiplied
// ARGB so viewers and the pane see straight alpha.
bool saveImage(const QImage& img, const QString& path, const char* format, int quality, QString* error);

}  // namespace assetgen
