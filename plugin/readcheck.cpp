#include "plugin/readcheck.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <atomic>
#include <cstdio>
#include <dzimagefile.h>

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
            return QStringLiteral(
                       "its %1 chunk at byte %2 claims %3 bytes, past the end of the file (cut off or "
                       "corrupt)")
                .arg(QString::fromLatin1(head.mid(4, 4).toHex()))
                .arg(at)
                .arg(length);
        if (head.mid(4, 4) == "IEND") return {};
        at += 12 + qint64(length);
    }
    return {};
}

// Decoders other than PNG's (JPEG's above all) report a damaged file as Qt warnings of their
// own ("Corrupt JPEG data: ..."), which name no file and would stand on stderr beside the
// message that does. While this thread decodes, they are kept for that message instead.
thread_local QStringList* t_decoderMessages = nullptr;
std::atomic<QtMessageHandler> g_nextHandler{nullptr};

void keepDecoderMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (t_decoderMessages && type != QtFatalMsg) {
        t_decoderMessages->append(text);
        return;
    }
    if (const QtMessageHandler next = g_nextHandler.load()) next(type, context, text);
    else std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));  // while installing
}

// Installed once, in front of whatever handler the application has; put back when this
// library goes, so the process never calls into code that is no longer there.
struct DecoderMessageFilter
{
    DecoderMessageFilter() { g_nextHandler = qInstallMessageHandler(keepDecoderMessages); }
    ~DecoderMessageFilter()
    {
        const QtMessageHandler current = qInstallMessageHandler(g_nextHandler.load());
        if (current != keepDecoderMessages) qInstallMessageHandler(current);  // someone came after us
    }
};

class DecoderMessages
{
public:
    DecoderMessages()
    {
        static DecoderMessageFilter filter;
        m_outer = t_decoderMessages;
        t_decoderMessages = &m_kept;
    }
    ~DecoderMessages() { t_decoderMessages = m_outer; }
    // The decoder's own words, each once.
    QString reason() const
    {
        QStringList parts;
        for (const QString& m : m_kept)
            if (!m.trimmed().isEmpty() && !parts.contains(m.trimmed())) parts << m.trimmed();
        return parts.join(QLatin1String("; "));
    }

private:
    QStringList m_kept;
    QStringList* m_outer = nullptr;
};

QString tooLarge(const QString& what, const QString& path, QSize size, int maxSide)
{
    return QStringLiteral("Cannot read %1 %2: it is %3 x %4 pixels, more than the %5 x %5 allowed")
        .arg(what, path)
        .arg(size.width())
        .arg(size.height())
        .arg(maxSide);
}

bool statedSizeFits(QSize stated, const QString& path, const QString& what, QString* why, int maxSide, QSize* size)
{
    if (size) *size = stated;
    if (stated.isValid() && (stated.width() > maxSide || stated.height() > maxSide)) {
        if (why) *why = tooLarge(what, path, stated, maxSide);
        return false;
    }
    return true;
}

}  // namespace

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
    if (dzIsPngFile(path)) {
        QString fault;
        const QSize stated = dzPngSize(path, &fault);
        if (!stated.isValid()) {
            if (why) *why = QStringLiteral("Cannot read %1 %2: %3").arg(what, path, fault);
            return false;
        }
        return statedSizeFits(stated, path, what, why, maxSide, size);
    }
    QImageReader reader(path);
    DecoderMessages decoder;
    if (!reader.canRead()) {
        const QString detail = decoder.reason();
        if (why)
            *why = detail.isEmpty()
                       ? QStringLiteral("Cannot read %1 %2: %3").arg(what, path, reader.errorString())
                       : QStringLiteral("Cannot read %1 %2: %3 (%4)").arg(what, path, reader.errorString(), detail);
        return false;
    }
    return statedSizeFits(reader.size(), path, what, why, maxSide, size);
}

QImage readCheckedImage(const QString& path, const QString& what, QString* why, int maxSide)
{
    if (!checkImageToRead(path, what, why, maxSide)) return {};
    if (dzIsPngFile(path)) {
        QString fault;
        const QImage image = dzReadPng(path, &fault);
        if (image.isNull() && why) *why = QStringLiteral("Cannot read %1 %2: %3").arg(what, path, fault);
        return image;
    }
    QImageReader reader(path);
    QImage image;
    DecoderMessages decoder;
    if (!reader.read(&image) || image.isNull()) {
        const QString detail = decoder.reason();
        if (why)
            *why = detail.isEmpty()
                       ? QStringLiteral("Cannot read %1 %2: %3").arg(what, path, reader.errorString())
                       : QStringLiteral("Cannot read %1 %2: %3 (%4)").arg(what, path, reader.errorString(), detail);
        return {};
    }
    // A format whose header states no size is held to the limit once decoded.
    if (image.width() > maxSide || image.height() > maxSide) {
        if (why) *why = tooLarge(what, path, image.size(), maxSide);
        return {};
    }
    return image;
}

}  // namespace verdix
