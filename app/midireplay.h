#pragma once
// A recorded controller session played back: the control changes of a Standard MIDI File,
// handed to the controller pane in the order and at the times they were recorded.
#include <QByteArray>
#include <QString>
#include <QVector>

class QObject;
class ZPK_KorgPane;

struct TimedControlChange
{
    double seconds = 0.0;  // from the start of the file
    int status = 0xB0;     // control change with its channel
    int controller = 0;
    int value = 0;
};

// What a session file may hold. A controller session is small: these bounds keep a hostile
// or broken file from costing more than a few hundred megabytes or minutes.
constexpr qint64 kMaxMidiFileBytes = 16 * 1024 * 1024;
constexpr int kMaxMidiTracks = 1024;
constexpr qint64 kMaxMidiEvents = 2000000;     // events of every kind, over all tracks
constexpr int kMaxMidiControlChanges = 10000;  // each may rebuild a box: minutes at most
constexpr int kMaxMidiTempoChanges = 100000;

// Every control change of every track in time order (equal times keep the tracks' order).
// False with reason set (one line, without the file's name) when the bytes are no Standard
// MIDI File or hold more than the bounds above; out is then empty.
bool parseControlChanges(const QByteArray& bytes, QVector<TimedControlChange>* out, QString* reason);

// The same from a file. False with error set (one line naming the file and the reason) when
// the file is missing, no regular file, too large or not valid.
bool readControlChanges(const QString& path, QVector<TimedControlChange>* out, QString* error);

// How the replay keeps the changes' times: in the window it waits for each as it was
// recorded; a batch run goes by the file's clock alone, every change in order without
// waiting, since nothing without a window watches the time pass.
enum class ReplayClock {
    WallClock,
    FileClock
};

// Connects the controller pane to the Verdix pane through the Verdix pane's own connect
// button action, then hands it each change in order (by the wall clock, letting events
// through while it waits). Returns false with error set when the pane does not connect or a
// change cannot be forwarded.
bool replayControlChanges(const QVector<TimedControlChange>& changes, QObject* verdixPane, ZPK_KorgPane* korg,
                          ReplayClock clock, QString* error);
