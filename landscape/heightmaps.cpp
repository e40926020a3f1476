#include "landscape/heightmaps.h"

#include <QFile>
#include <QImage>
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
        out.error = f.errorString();
        return out;
    }
    out.fileSize = f.size();
    if (out.fileSize > limit) {
        out.status = HeightFileRead::TooLarge;
        out.error = QString("%1 holds %2 bytes, more than the %3 bytes a height map may have")
                        .arg(path)
                        .arg(out.fileSize)
                        .arg(limit);
        return out;
    }
    out.mapSize = heightFileMapSize(out.fileSize);
    if (out.fileSize == 0) {
        out.status = HeightFileRead::Empty;
        out.error = f.errorString();
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
        out.error = f.errorString();
        std::vector<float>().swap(out.values);
        return out;
    }
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    for (float& v : out.values) v = qFromLittleEndian(v);
#endif
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
