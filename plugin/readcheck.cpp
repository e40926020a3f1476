#include "plugin/readcheck.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <QImageReader>

namespace verdix {

namespace {

QString kindOf(const QFileInfo& info)
{
    if (info.isDir()) return QStringLiteral("a folder");
    return QStringLiteral("not a regular file (a pipe, a device or a socket)");
}

// A PNG's chunks must each fit in the file: the decoder allocates what a chunk's length says
// before it reads the chunk, so a few corrupt bytes could ask for gigabytes. Only the chunk
// headers are read.
QString pngChunkFault(const QString& path, qint64 fileSize)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray signature = f.read(8);
    if (signature != QByteArray("\x89PNG\r\n\x1a\n", 8)) return {};
    qint64 at = 8;
    while (at + 8 <= fileSize) {
        if (!f.seek(at)) return {};
        const QByteArray head = f.read(8);
        if (head.size() < 8) return {};
        const quint32 length = qFromBigEndian<quint32>(head.constData());
        if (qint64(length) > fileSize - at - 12)
            return QStringLiteral("its %1 chunk at byte %2 claims %3 bytes, past the end of the file (cut off or "
                                  "corrupt)")
                .arg(QString::fromLatin1(head.mid(4, 4).toHex()))
                .arg(at)
                .arg(length);
        if (head.mid(4, 4) == "IEND") return {};
        at += 12 + qint64(length);
    }
    return {};
}

} // namespace

bool checkFileToRead(const QString& path, const QString& what, qint64 maxBytes, QString* why)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (why) *why = QStringLiteral("Cannot read %1 %2: no such file").arg(what, path);
        return false;
    }
    // Opening a pipe waits for a writer that may never come.
    if (!info.isFile()) {
        if (why) *why = QStringLiteral("Cannot read %1 %2: it is %3").arg(what, path, kindOf(info));
        return false;
    }
    if (info.size() > maxBytes) {
        if (why)
            *why = QStringLiteral("Cannot read %1 %2: it holds %3 bytes, more than the %4 bytes allowed")
                       .arg(what, path)
                       .arg(info.size())
                       .arg(maxBytes);
        return false;
    }
    return true;
}

bool checkImageToRead(const QString& path, const QString& what, QString* why, int maxSide, QSize* size)
{
    if (!checkFileToRead(path, what, kMaxImageFileBytes, why)) return false;
    const QString chunk = pngChunkFault(path, QFileInfo(path).size());
    if (!chunk.isEmpty()) {
        if (why) *why = QStringLiteral("Cannot read %1 %2: %3").arg(what, path, chunk);
        return false;
    }
    QImageReader reader(path);
    if (!reader.canRead()) {
        if (why) *why = QStringLiteral("Cannot read %1 %2: %3").arg(what, path, reader.errorString());
        return false;
    }
    const QSize stated = reader.size();
    if (size) *size = stated;
    if (stated.isValid() && (stated.width() > maxSide || stated.height() > maxSide)) {
        if (why)
            *why = QStringLiteral("Cannot read %1 %2: it is %3 x %4 pixels, more than the %5 x %5 allowed")
                       .arg(what, path)
                       .arg(stated.width())
                       .arg(stated.height())
                       .arg(maxSide);
        return false;
    }
    return true;
}

QImage readCheckedImage(const QString& path, const QString& what, QString* why, int maxSide)
{
    if (!checkImageToRead(path, what, why, maxSide)) return {};
    QImageReader reader(path);
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        if (why) *why = QStringLiteral("Cannot read %1 %2: %3").arg(what, path, reader.errorString());
        return {};
    }
    // A format whose header states no size is held to the limit once decoded.
    if (image.width() > maxSide || image.height() > maxSide) {
        if (why)
            *why = QStringLiteral("Cannot read %1 %2: it is %3 x %4 pixels, more than the %5 x %5 allowed")
                       .arg(what, path)
                       .arg(image.width())
                       .arg(image.height())
                       .arg(maxSide);
        return {};
    }
    return image;
}

} // namespace verdix
