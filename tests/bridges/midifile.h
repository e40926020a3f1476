#pragma once
// Standard MIDI Files written byte by byte, so the tests know exactly what a file holds.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

namespace smf {

inline QByteArray varLength(quint32 v)
{
    QByteArray out(1, char(v & 0x7F));
    while (v >>= 7) out.prepend(char(0x80 | (v & 0x7F)));
    return out;
}

inline QByteArray bytes(std::initializer_list<int> b)
{
    QByteArray out;
    for (int x : b) out.append(char(x));
    return out;
}

inline QByteArray be(quint32 v, int n)
{
    QByteArray out;
    for (int i = n - 1; i >= 0; --i) out.append(char((v >> (8 * i)) & 0xFF));
    return out;
}

// A track of (delta ticks, event bytes), closed with its end-of-track event.
inline QByteArray track(const QList<QPair<int, QByteArray>>& events)
{
    QByteArray body;
    for (const auto& e : events) body += varLength(quint32(e.first)) + e.second;
    body += varLength(0) + bytes({0xFF, 0x2F, 0x00});
    return "MTrk" + be(quint32(body.size()), 4) + body;
}

inline QByteArray file(int format, int ticksPerQuarter, const QList<QByteArray>& tracks)
{
    QByteArray out =
        "MThd" + be(6, 4) + be(quint32(format), 2) + be(quint32(tracks.size()), 2) + be(quint32(ticksPerQuarter), 2);
    for (const QByteArray& t : tracks) out += t;
    return out;
}

inline QByteArray tempo(quint32 microsPerQuarter) { return bytes({0xFF, 0x51, 0x03}) + be(microsPerQuarter, 3); }
inline QByteArray cc(int channel, int controller, int value) { return bytes({0xB0 | channel, controller, value}); }
inline QByteArray noteOn(int key, int velocity) { return bytes({0x90, key, velocity}); }
inline QByteArray noteOff(int key) { return bytes({0x80, key, 0}); }

inline bool write(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

}  // namespace smf
