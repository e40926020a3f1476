#include "midireplay.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <unistd.h>
// The library's header leans on these without including them.
#include <cassert>
#include <cstring>
#include <allegro.h>
#include "korgpane.h"

namespace {

// The library reports a broken file on standard output, which batch runs keep for their own
// results: its words are caught and become the error line instead.
class CapturedStdout
{
public:
    CapturedStdout()
    {
        std::fflush(stdout);
        std::cout.flush();
        m_file = std::tmpfile();
        m_saved = m_file ? dup(fileno(stdout)) : -1;
        if (m_saved >= 0) dup2(fileno(m_file), fileno(stdout));
    }
    ~CapturedStdout() { finish(); }
    QString finish()
    {
        if (m_saved < 0) return m_text;
        std::fflush(stdout);
        std::cout.flush();
        dup2(m_saved, fileno(stdout));
        close(m_saved);
        m_saved = -1;
        std::rewind(m_file);
        QByteArray bytes;
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, m_file)) > 0) bytes.append(buf, int(n));
        std::fclose(m_file);
        m_file = nullptr;
        m_text = QString::fromLocal8Bit(bytes).trimmed();
        return m_text;
    }

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
    QString m_text;
};

// A file without a tempo event plays at 120 beats a minute; the library would assume 100.
bool hasTempoEvent(const QByteArray& bytes) { return bytes.contains(QByteArray("\xFF\x51\x03", 3)); }

}  // namespace

bool readControlChanges(const QString& path, QVector<TimedControlChange>* out, QString* error)
{
    out->clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QString("cannot read %1").arg(path);
        return false;
    }
    const QByteArray bytes = f.readAll();
    std::istringstream in(std::string(bytes.constData(), size_t(bytes.size())));
    CapturedStdout capture;
    Alg_seq seq(in, true);
    const QString complaint = capture.finish();
    if (seq.get_read_error() != alg_no_error) {
        *error = QString("%1 is no Standard MIDI File%2").arg(path, complaint.isEmpty() ? QString() : " (" + complaint + ")");
        return false;
    }
    seq.convert_to_beats();
    if (!hasTempoEvent(bytes)) seq.insert_tempo(120.0, 0.0);
    seq.convert_to_seconds();

    struct Keyed
    {
        TimedControlChange change;
        int track, index;
    };
    std::vector<Keyed> all;
    for (int t = 0; t < seq.tracks(); ++t) {
        Alg_track_ptr track = seq.track(t);
        for (int i = 0; i < track->length(); ++i) {
            Alg_event_ptr e = (*track)[i];
            // The library keeps a control change as an update named after its controller,
            // its value scaled to 0..1.
            if (!e->is_update() || e->get_update_type() != 'r') continue;
            int controller = -1;
            if (std::sscanf(e->get_attribute(), "control%dr", &controller) != 1 || controller < 0 || controller > 127)
                continue;
            TimedControlChange c;
            c.seconds = e->time;
            c.status = 0xB0 | int(e->chan & 0x0F);
            c.controller = controller;
            c.value = qBound(0, int(std::lround(e->get_real_value() * 127.0)), 127);
            all.push_back({c, t, i});
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const Keyed& a, const Keyed& b) {
        if (a.change.seconds != b.change.seconds) return a.change.seconds < b.change.seconds;
        return a.track < b.track;
    });
    for (const Keyed& k : all) out->append(k.change);
    return true;
}

bool replayControlChanges(const QVector<TimedControlChange>& changes, QObject* verdixPane, ZPK_KorgPane* korg,
                          QString* error)
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
    QElapsedTimer clock;
    clock.start();
    for (const TimedControlChange& c : changes) {
        for (;;) {
            const qint64 wait = qint64(c.seconds * 1000.0) - clock.elapsed();
            if (wait <= 0) break;
            QCoreApplication::processEvents(QEventLoop::AllEvents, int(std::min<qint64>(wait, 20)));
            QThread::msleep(ulong(std::min<qint64>(wait, 5)));
        }
        QString why;
        if (!korg->receiveMessage(c.status, c.controller, c.value, &why)) {
            *error = why;
            return false;
        }
    }
    QCoreApplication::processEvents();
    return true;
}
