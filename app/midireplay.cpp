#include "midireplay.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>
#include "korgpane.h"

namespace {

// A file's bytes read front to back; every read is checked against the end.
class Bytes
{
public:
    Bytes(const uchar* data, qint64 size) : m_p(data), m_end(data + size) {}
    qint64 left() const { return qint64(m_end - m_p); }
    const uchar* at() const { return m_p; }
    bool u8(int* v)
    {
        if (m_p >= m_end) return false;
        *v = *m_p++;
        return true;
    }
    bool be(int n, quint32* v)
    {
        if (left() < n) return false;
        quint32 r = 0;
        for (int i = 0; i < n; ++i) r = (r << 8) | *m_p++;
        *v = r;
        return true;
    }
    bool skip(qint64 n)
    {
        if (n < 0 || left() < n) return false;
        m_p += n;
        return true;
    }
    // A variable-length number: seven bits a byte, at most four bytes (28 bits).
    enum Vlq {
        Ok,
        Short,
        TooLong
    };
    Vlq vlq(quint32* v)
    {
        quint32 r = 0;
        for (int i = 0; i < 4; ++i) {
            if (m_p >= m_end) return Short;
            const uchar b = *m_p++;
            r = (r << 7) | (b & 0x7Fu);
            if (!(b & 0x80)) {
                *v = r;
                return Ok;
            }
        }
        return TooLong;
    }

private:
    const uchar* m_p;
    const uchar* m_end;
};

struct TickedChange
{
    qint64 tick;
    int track;
    int index;  // in the file, within its track
    TimedControlChange change;
};

struct Tempo
{
    qint64 tick;
    int track;
    int index;
    quint32 microsPerQuarter;
};

bool refuse(QString* reason, const QString& why)
{
    *reason = why;
    return false;
}

// One track chunk's events. Times are absolute ticks; events past the limits stop the file.
bool readTrack(Bytes in, int track, qint64* events, std::vector<TickedChange>& changes, std::vector<Tempo>& tempi,
               QString* reason)
{
    const QString where = QString("track %1").arg(track + 1);
    qint64 tick = 0;
    int running = 0;
    for (int index = 0; in.left() > 0; ++index) {
        if (++*events > kMaxMidiEvents)
            return refuse(reason,
                          QString("more than %1 events (the most a session file may hold)").arg(kMaxMidiEvents));
        quint32 delta = 0;
        const Bytes::Vlq d = in.vlq(&delta);
        if (d == Bytes::TooLong)
            return refuse(reason, QString("%1, event %2: a time longer than four bytes").arg(where).arg(index + 1));
        if (d == Bytes::Short) return refuse(reason, QString("%1 is cut off in event %2").arg(where).arg(index + 1));
        // At most 2^28 ticks an event and 2^21 events: far inside 64 bits.
        tick += qint64(delta);
        int status = 0;
        if (!in.u8(&status)) return refuse(reason, QString("%1 is cut off in event %2").arg(where).arg(index + 1));
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            int type = 0;
            if (status == 0xFF && !in.u8(&type))
                return refuse(reason, QString("%1 is cut off in event %2").arg(where).arg(index + 1));
            quint32 length = 0;
            const Bytes::Vlq l = in.vlq(&length);
            if (l == Bytes::TooLong)
                return refuse(reason,
                              QString("%1, event %2: a length longer than four bytes").arg(where).arg(index + 1));
            const uchar* data = in.at();
            if (l == Bytes::Short || !in.skip(qint64(length)))
                return refuse(reason, QString("%1 is cut off in event %2").arg(where).arg(index + 1));
            // Meta and system exclusive events cancel running status.
            running = 0;
            if (status != 0xFF) continue;
            if (type == 0x2F) return true;  // end of track; what follows is no part of it
            if (type == 0x51) {
                if (length != 3)
                    return refuse(
                        reason,
                        QString("%1, event %2: a tempo of %3 bytes, not 3").arg(where).arg(index + 1).arg(length));
                if (tempi.size() >= size_t(kMaxMidiTempoChanges))
                    return refuse(reason, QString("more than %1 tempo changes (the most a session file may hold)")
                                              .arg(kMaxMidiTempoChanges));
                const quint32 us = (quint32(data[0]) << 16) | (quint32(data[1]) << 8) | data[2];
                tempi.push_back({tick, track, index, us});
            }
            continue;
        }
        if (status >= 0xF0)
            return refuse(reason, QString("%1, event %2: status byte 0x%3 has no place in a file")
                                      .arg(where)
                                      .arg(index + 1)
                                      .arg(status, 2, 16, QChar('0')));
        int data1 = 0;
        if (status < 0x80) {
            if (!running)
                return refuse(reason, QString("%1, event %2: data without a status byte").arg(where).arg(index + 1));
            data1 = status;
            status = running;
        } else if (!in.u8(&data1)) {
            return refuse(reason, QString("%1 is cut off in event %2").arg(where).arg(index + 1));
        }
        running = status;
        const int kind = status & 0xF0;
        int data2 = 0;
        if (kind != 0xC0 && kind != 0xD0 && !in.u8(&data2))
            return refuse(reason, QString("%1 is cut off in event %2").arg(where).arg(index + 1));
        if (data1 > 0x7F || data2 > 0x7F)
            return refuse(reason, QString("%1, event %2: a data byte above 127").arg(where).arg(index + 1));
        if (kind != 0xB0) continue;
        if (changes.size() >= size_t(kMaxMidiControlChanges))
            return refuse(
                reason,
                QString("more than %1 control changes (the most a session file may hold)").arg(kMaxMidiControlChanges));
        TickedChange c{tick, track, index, {}};
        c.change.status = status;
        c.change.controller = data1;
        c.change.value = data2;
        changes.push_back(c);
    }
    // A track that runs to the end of its chunk without its end event is taken as it is.
    return true;
}

}  // namespace

bool parseControlChanges(const QByteArray& bytes, QVector<TimedControlChange>* out, QString* reason)
{
    out->clear();
    if (bytes.size() > kMaxMidiFileBytes)
        return refuse(
            reason,
            QString("%1 bytes, more than the %2 a session file may have").arg(bytes.size()).arg(kMaxMidiFileBytes));
    Bytes in(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size());
    quint32 id = 0, headerLength = 0, format = 0, tracks = 0, division = 0;
    if (!in.be(4, &id) || id != 0x4D546864u /* MThd */ || !in.be(4, &headerLength) || headerLength < 6 ||
        !in.be(2, &format) || !in.be(2, &tracks) || !in.be(2, &division))
        return refuse(reason, "no Standard MIDI File header");
    if (!in.skip(qint64(headerLength) - 6))
        return refuse(reason, QString("the header's length %1 is past the end of the file").arg(headerLength));
    if (format > 2) return refuse(reason, QString("unknown format %1").arg(format));
    if (tracks > quint32(kMaxMidiTracks))
        return refuse(reason,
                      QString("%1 tracks, more than the %2 a session file may hold").arg(tracks).arg(kMaxMidiTracks));
    // Ticks per quarter note, or (top bit set) frames a second and ticks per frame.
    double secondsPerTick = 0.0;  // SMPTE time only
    if (division & 0x8000u) {
        const int fps = -int(qint8(quint8(division >> 8)));
        const int perFrame = int(division & 0xFF);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
            return refuse(
                reason, QString("the header's division 0x%1 is no valid frame rate").arg(division, 4, 16, QChar('0')));
        secondsPerTick = 1.0 / ((fps == 29 ? 29.97 : double(fps)) * perFrame);
    } else if (division == 0) {
        return refuse(reason, "the header's division is 0 ticks per quarter note");
    }

    std::vector<TickedChange> changes;
    std::vector<Tempo> tempi;
    qint64 events = 0;
    for (int t = 0; t < int(tracks);) {
        quint32 chunk = 0, length = 0;
        if (!in.be(4, &chunk) || !in.be(4, &length))
            return refuse(reason, QString("the header names %1 tracks, the file holds %2").arg(tracks).arg(t));
        if (qint64(length) > in.left())
            return refuse(reason, QString("track %1 claims %2 bytes, past the end of the file (%3 left)")
                                      .arg(t + 1)
                                      .arg(length)
                                      .arg(in.left()));
        const Bytes body(in.at(), qint64(length));
        in.skip(qint64(length));
        // Chunks of other kinds are for other programs.
        if (chunk != 0x4D54726Bu /* MTrk */) continue;
        if (!readTrack(body, t, &events, changes, tempi, reason)) {
            changes.clear();
            return false;
        }
        ++t;
    }

    // Tempo changes of every track make one map (a format 1 file keeps them in its first).
    auto byTime = [](const auto& a, const auto& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.track != b.track) return a.track < b.track;
        return a.index < b.index;
    };
    std::sort(tempi.begin(), tempi.end(), byTime);
    std::sort(changes.begin(), changes.end(), byTime);
    // Without a tempo event a quarter note lasts half a second.
    double seconds = 0.0;
    qint64 lastTick = 0;
    double perTick = secondsPerTick > 0.0 ? secondsPerTick : 500000.0 / (1e6 * double(division));
    size_t next = 0;
    out->reserve(int(changes.size()));
    for (const TickedChange& c : changes) {
        if (secondsPerTick == 0.0) {
            while (next < tempi.size() && tempi[next].tick <= c.tick) {
                seconds += double(tempi[next].tick - lastTick) * perTick;
                lastTick = tempi[next].tick;
                perTick = double(tempi[next].microsPerQuarter) / (1e6 * double(division));
                ++next;
            }
        }
        TimedControlChange timed = c.change;
        timed.seconds = seconds + double(c.tick - lastTick) * perTick;
        out->append(timed);
    }
    return true;
}

bool readControlChanges(const QString& path, QVector<TimedControlChange>* out, QString* error)
{
    out->clear();
    // The type and size are known before a byte is read: a pipe would block, a huge file
    // would only be refused after filling the memory.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        *error = QString("cannot read %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QString("cannot read %1: not a regular file").arg(path);
        return false;
    }
    if (qint64(st.st_size) > kMaxMidiFileBytes) {
        *error = QString("%1 is %2 bytes, more than the %3 a session file may have")
                     .arg(path)
                     .arg(qint64(st.st_size))
                     .arg(kMaxMidiFileBytes);
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QString("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    // As much as the file said it held, and one byte more to see whether it grew meanwhile.
    const QByteArray bytes = f.read(qint64(st.st_size) + 1);
    QString reason;
    if (!parseControlChanges(bytes, out, &reason)) {
        *error = QString("%1 is no Standard MIDI File a session can be replayed from: %2").arg(path, reason);
        return false;
    }
    return true;
}

bool replayControlChanges(const QVector<TimedControlChange>& changes, QObject* verdixPane, ZPK_KorgPane* korg,
                          ReplayClock clock, QString* error)
{
    if (!korg) {
        *error = "there is no MIDI controller pane";
        return false;
    }
    // The Verdix pane's controller button asks the controller pane to start sending.
    if (!korg->isSending()) {
        if (!verdixPane || !QMetaObject::invokeMethod(verdixPane, "OutputToKorg", Qt::DirectConnection)) {
            *error = "the Verdix pane cannot connect to the MIDI controller pane";
            return false;
        }
        if (!korg->isSending()) {
            *error = "the MIDI controller pane did not start sending to the Verdix pane";
            return false;
        }
    }
    QElapsedTimer wall;
    wall.start();
    for (const TimedControlChange& c : changes) {
        if (clock == ReplayClock::WallClock) {
            // Times past a few centuries are clamped rather than overflowing the wait.
            const qint64 due = qint64(std::min(c.seconds, 1e10) * 1000.0);
            for (;;) {
                const qint64 wait = due - wall.elapsed();
                if (wait <= 0) break;
                QCoreApplication::processEvents(QEventLoop::AllEvents, int(std::min<qint64>(wait, 20)));
                QThread::msleep(ulong(std::min<qint64>(wait, 5)));
            }
        } else {
            // What the last change posted is delivered before the next, as between ticks.
            QCoreApplication::processEvents();
        }
        QString why;
        if (!korg->receiveMessage(c.status, c.controller, c.value, &why, c.seconds)) {
            *error = why;
            return false;
        }
    }
    QCoreApplication::processEvents();
    return true;
}
