#include "dzimagefile.h"

#include <QFile>
#include <QImageReader>
#include <cstring>
#include <png.h>

namespace {

// libpng's simplified interface keeps its errors in the image's message instead of printing.
class PngFile
{
public:
    explicit PngFile(const QString& path)
    {
        std::memset(&m_png, 0, sizeof m_png);
        m_png.version = PNG_IMAGE_VERSION;
        m_open = png_image_begin_read_from_file(&m_png, QFile::encodeName(path).constData()) != 0;
    }
    ~PngFile() { png_image_free(&m_png); }
    PngFile(const PngFile&) = delete;
    PngFile& operator=(const PngFile&) = delete;

    bool isOpen() const { return m_open; }
    QSize size() const { return QSize(int(m_png.width), int(m_png.height)); }
    QString error() const { return QString::fromLocal8Bit(m_png.message).trimmed(); }

    QImage read()
    {
        const bool alpha = (m_png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
        QImage image(size(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull()) {
            std::strncpy(m_png.message, "not enough memory for the image", sizeof m_png.message - 1);
            return {};
        }
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        m_png.format = PNG_FORMAT_BGRA;
#else
        m_png.format = PNG_FORMAT_ARGB;
#endif
        if (!png_image_finish_read(&m_png, nullptr, image.bits(), png_int_32(image.bytesPerLine()), nullptr)) return {};
        return image;
    }

private:
    png_image m_png;
    bool m_open = false;
};

}  // namespace

bool dzIsPngFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8);
}

QSize dzPngSize(const QString& path, QString* why)
{
    PngFile png(path);
    if (png.isOpen()) return png.size();
    if (why) *why = QStringLiteral("its PNG header is damaged (%1)").arg(png.error());
    return {};
}

QImage dzReadPng(const QString& path, QString* why)
{
    PngFile png(path);
    if (!png.isOpen()) {
        if (why) *why = QStringLiteral("its PNG header is damaged (%1)").arg(png.error());
        return {};
    }
    const QImage image = png.read();
    if (image.isNull() && why) *why = QStringLiteral("its PNG data is damaged (%1)").arg(png.error());
    return image;
}

QImage dzReadImageFile(const QString& path, QString* why)
{
    if (dzIsPngFile(path)) return dzReadPng(path, why);
    QImageReader reader(path);
    QImage image;
    if (!reader.read(&image) && why) *why = reader.errorString();
    return image;
}
