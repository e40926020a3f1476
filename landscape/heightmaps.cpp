#include "landscape/heightmaps.h"

#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QImageWriter>
#include <QTextStream>
#include <algorithm>
#include <QImage>
#include <QImageReader>
#include <dzimagefile.h>
#include <dzsafefile.h>
#include <QtEndian>
#include <cmath>
#include <cstring>

void imageToHeightBytes(unsigned char* bMem, const QImage& image)
{
    if (!bMem || image.isNull()) return;
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_ARGB32);
    const int W = rgb.width(), H = rgb.height();
    for (int r = 0; r < H; ++r) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(r));
        unsigned char* out = bMem + (long long)r * W;
        for (int c = 0; c < W; ++c) out[c] = (unsigned char)((qRed(line[c]) + qGreen(line[c]) + qBlue(line[c])) / 3);
    }
}

namespace {
// The bit depth a PNG's header states (the byte after its size); 0 when unread.
int pngBitDepth(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(24)) return 0;
    const QByteArray depth = f.read(1);
    return depth.size() == 1 ? quint8(depth[0]) : 0;
}
}  // namespace

MapImageRead readMapImage(const QString& path, int maxSide)
{
    MapImageRead out;
    if (!QFileInfo(path).isFile()) {
        out.error = QString("Cannot read the map image %1: no such file").arg(path);
        return out;
    }
    // A PNG's header and pixels go through the quiet reader: Qt's would leave libpng's own
    // error lines on stderr for a damaged file, naming none.
    const bool png = dzIsPngFile(path);
    QString fault;
    QImageReader reader(path);
    const QSize size = png ? dzPngSize(path, &fault) : reader.size();
    if (png && !size.isValid()) {
        out.error = QString("Cannot read the map image %1: %2").arg(path, fault);
        return out;
    }
    if (size.isValid() && (size.width() > maxSide || size.height() > maxSide)) {
        out.error = QString("The map image %1 is %2 x %3 pixels, larger than the %4 x %4 a terrain can use")
                        .arg(path)
                        .arg(size.width())
                        .arg(size.height())
                        .arg(maxSide);
        return out;
    }
    if (png) {
        out.image = dzReadPng(path, &fault);
        if (out.image.isNull()) {
            out.error = QString("Cannot read the map image %1: %2").arg(path, fault);
            return out;
        }
        // Sound, and read again by Qt's reader only for what the quiet one gives in 8 bits:
        // heights finer than 256 steps.
        if (pngBitDepth(path) > 8 && (!reader.read(&out.image) || out.image.isNull())) {
            out.image = QImage();
            out.error = QString("Cannot read the map image %1: %2").arg(path, reader.errorString());
        }
        return out;
    }
    // A format without its size in the header is checked once decoded.
    if (!reader.read(&out.image) || out.image.isNull()) {
        out.image = QImage();
        out.error = QString("Cannot read the map image %1: %2").arg(path, reader.errorString());
        return out;
    }
    if (out.image.width() > maxSide || out.image.height() > maxSide) {
        out.error = QString("The map image %1 is %2 x %3 pixels, larger than the %4 x %4 a terrain can use")
                        .arg(path)
                        .arg(out.image.width())
                        .arg(out.image.height())
                        .arg(maxSide);
        out.image = QImage();
    }
    return out;
}

int heightFileMapSize(long long fileSize)
{
    if (fileSize <= 0) return 0;
    const long long floats = fileSize / 4;
    long long m = (long long)std::sqrt(double(floats));
    // Exact integer root, whatever the double rounding did.
    while (m * m > floats) --m;
    while ((m + 1) * (m + 1) <= floats) ++m;
    return int(m);
}

HeightFileRead readHeightFile(const QString& path, long long limit)
{
    HeightFileRead out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.status = HeightFileRead::OpenFailed;
        out.error = QString("Cannot open the height file %1: %2").arg(path, f.errorString());
        return out;
    }
    out.fileSize = f.size();
    if (out.fileSize > limit) {
        out.status = HeightFileRead::TooLarge;
        out.error = QString("The height file %1 holds %2 bytes, more than the %3 bytes a height map may have")
                        .arg(path)
                        .arg(out.fileSize)
                        .arg(limit);
        return out;
    }
    out.mapSize = heightFileMapSize(out.fileSize);
    if (out.mapSize == 0) {
        out.status = HeightFileRead::Empty;
        out.error = QString("The height file %1 holds %2 bytes, less than one 4-byte height: it holds no map")
                        .arg(path)
                        .arg(out.fileSize);
        return out;
    }
    out.values.assign(size_t((out.fileSize + 3) / 4), 0.f);
    char* dst = reinterpret_cast<char*>(out.values.data());
    long long got = 0;
    while (got < out.fileSize) {
        const qint64 n = f.read(dst + got, out.fileSize - got);
        if (n <= 0) break;
        got += n;
    }
    if (got != out.fileSize) {
        out.status = HeightFileRead::ReadFailed;
        out.error = QString("Cannot read the height file %1: %2").arg(path, f.errorString());
        std::vector<float>().swap(out.values);
        return out;
    }
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    for (float& v : out.values) v = qFromLittleEndian(v);
#endif
    // A NaN or an infinity would spread through smoothing and the rest into every mesh
    // and export that uses the terrain.
    for (size_t i = 0; i < out.values.size(); ++i) {
        if (std::isfinite(out.values[i])) continue;
        out.status = HeightFileRead::NotFinite;
        out.error = QString("The height file %1 holds %2 at index %3: heights must be finite numbers")
                        .arg(path)
                        .arg(double(out.values[i]))
                        .arg(qulonglong(i));
        std::vector<float>().swap(out.values);
        return out;
    }
    out.status = HeightFileRead::Ok;
    return out;
}

bool writeHeightFile(const QString& path, const float* values, long long count, QString* error)
{
    DzSafeFile f(path);
    if (!f.open()) {
        if (error) *error = f.errorString();
        return false;
    }
    const long long bytes = count * 4;
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    std::vector<float> le(values, values + count);
    for (float& v : le) v = qToLittleEndian(v);
    const char* src = reinterpret_cast<const char*>(le.data());
#else
    const char* src = reinterpret_cast<const char*>(values);
#endif
    long long done = 0;
    while (done < bytes) {
        const qint64 n = f.device()->write(src + done, bytes - done);
        if (n <= 0) break;
        done += n;
    }
    if (done != bytes) {
        if (error) *error = QString("Cannot write %1: %2").arg(path, f.device()->errorString());
        return false;
    }
    if (!f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

bool imageHasWideChannels(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return true;
    default:
        return false;
    }
}

void imageToHeightWords(uint16_t* wMem, const QImage& image)
{
    if (!wMem || image.isNull()) return;
    const int W = image.width(), H = image.height();
    if (image.format() == QImage::Format_Grayscale16) {
        for (int r = 0; r < H; ++r) std::memcpy(wMem + (long long)r * W, image.constScanLine(r), size_t(W) * 2);
        return;
    }
    const QImage rgb = image.format() == QImage::Format_RGBA64 ? image : image.convertToFormat(QImage::Format_RGBA64);
    for (int r = 0; r < H; ++r) {
        const QRgba64* line = reinterpret_cast<const QRgba64*>(rgb.constScanLine(r));
        uint16_t* out = wMem + (long long)r * W;
        for (int c = 0; c < W; ++c) out[c] = uint16_t((unsigned(line[c].red()) + line[c].green() + line[c].blue()) / 3);
    }
}

bool isHeightExportFormat(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == "png" || ext == "r16" || ext == "raw" || ext == "dat";
}

namespace {

bool commitBytes(const QString& path, const QByteArray& bytes, QString* error)
{
    return DzSafeFile::writeAll(path, bytes, error);
}

}  // namespace

bool writeHeightExport(const QString& path, const float* heights, int side, QString* error)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (!heights || side <= 0) {
        if (error) *error = QString("Cannot write %1: the landscape has no heights yet").arg(path);
        return false;
    }
    const long long count = (long long)side * side;
    if (ext == "dat") {
        QString why;
        if (writeHeightFile(path, heights, count, &why)) return true;
        if (error) *error = QString("Cannot write %1: %2").arg(path, why);
        return false;
    }
    if (ext != "png" && ext != "r16" && ext != "raw") {
        if (error) *error = QString("Unknown height map format: %1 (use .png, .r16, .raw or .dat)").arg(path);
        return false;
    }
    const auto range = std::minmax_element(heights, heights + count);
    const double offset = *range.first;
    const double scale = double(*range.second) - offset;
    // A flat terrain has no range to stretch; all its values are 0.
    const double toWord = scale > 0.0 ? 65535.0 / scale : 0.0;
    std::vector<uint16_t> words(static_cast<size_t>(count));
    for (long long i = 0; i < count; ++i)
        words[size_t(i)] = uint16_t(std::lround(std::clamp((double(heights[i]) - offset) * toWord, 0.0, 65535.0)));
    const QString offsetText = QString::number(offset, 'g', 9), scaleText = QString::number(scale, 'g', 9);
    if (ext == "png") {
        QImage img(side, side, QImage::Format_Grayscale16);
        for (int r = 0; r < side; ++r)
            std::memcpy(img.scanLine(r), words.data() + (long long)r * side, size_t(side) * 2);
        img.setText("HeightOffset", offsetText);
        img.setText("HeightScale", scaleText);
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        QImageWriter writer(&buf, "png");
        if (!writer.write(img)) {
            if (error) *error = QString("Cannot write %1: %2").arg(path, writer.errorString());
            return false;
        }
        return commitBytes(path, bytes, error);
    }
    QByteArray raw(int(count * 2), Qt::Uninitialized);
    for (long long i = 0; i < count; ++i) qToLittleEndian(words[size_t(i)], raw.data() + 2 * i);
    QString side_;
    QTextStream(&side_) << "width=" << side << "\nheight=" << side << "\nformat=16-bit unsigned little-endian\n"
                        << "offset=" << offsetText << "\nscale=" << scaleText
                        << "\n# height = offset + scale * value / 65535\n";
    return commitBytes(path, raw, error) && commitBytes(path + ".txt", side_.toUtf8(), error);
}

bool readHeightPng(const QString& path, std::vector<float>* heights, int* width, int* height, QString* error)
{
    // Checked by the quiet reader first, as map images are; the heights and their scale are
    // then read by Qt's, which keeps 16 bits and the text chunks.
    QString fault;
    if (dzIsPngFile(path) && dzReadPng(path, &fault).isNull()) {
        if (error) *error = QString("Cannot read %1: %2").arg(path, fault);
        return false;
    }
    QImageReader reader(path);
    const QImage img = reader.read();
    if (img.isNull()) {
        if (error) *error = QString("Cannot read %1: %2").arg(path, reader.errorString());
        return false;
    }
    bool okOffset = false, okScale = false;
    const double offset = img.text("HeightOffset").toDouble(&okOffset);
    const double scale = img.text("HeightScale").toDouble(&okScale);
    if (!okOffset || !okScale) {
        if (error) *error = QString("%1 carries no height offset and scale").arg(path);
        return false;
    }
    std::vector<uint16_t> words(size_t(img.width()) * size_t(img.height()));
    imageToHeightWords(words.data(), img);
    heights->resize(words.size());
    for (size_t i = 0; i < words.size(); ++i) (*heights)[i] = float(offset + scale * words[i] / 65535.0);
    *width = img.width();
    *height = img.height();
    return true;
}
