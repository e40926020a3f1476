#pragma once
// A recorded controller session played back: the control changes of a Standard MIDI File,
// handed to the controller pane at the times they were recorded.
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

// Every control change of every track in time order (equal times keep the file's order).
// False with error set when the file is missing or no Standard MIDI File.
bool readControlChanges(const QString& path, QVector<TimedControlChange>* out, QString* error);

// Connects the controller pane to the Verdix pane through the Verdix pane's own connect
// button action, then hands it each change when its time has come, letting events through
// while it waits. Returns false with error set when the pane does not connect or a change
// cannot be forwarded.
bool replayControlChanges(const QVector<TimedControlChange>& changes, QObject* verdixPane, ZPK_KorgPane* korg,
                          QString* error);
