#pragma once
// The MIDI controller pane: reads a controller on one of the machine's MIDI input ports and,
// once the Verdix pane has asked for it, hands every control change on to that pane through
// a host script, as any other pane of the host would. Scripts find it by its class name.
#include <QList>
#include <QMutex>
#include <QString>
#include <QVector>
#include <memory>
#include <dzpane.h>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class RtMidiIn;

// One control change as the pane forwards it: the three bytes packed into one integer.
int packControlChange(int status, int controller, int value);

class ZPK_KorgPane : public DzPane
{
    Q_OBJECT
public:
    explicit ZPK_KorgPane(QWidget* parent = nullptr);
    ~ZPK_KorgPane() override;

    // What the Verdix pane sends to ask for the controller's messages.
    static constexpr int kStartSending = 99999908;

    // A MIDI message as the port delivers it (the replay hands its messages here too, with
    // their time in the recording, which is then shown). Control changes are shown and, while
    // sending, forwarded; false (with error set) when the forwarding script failed.
    bool receiveMessage(int status, int data1, int data2, QString* error = nullptr, double recordedAt = -1.0);

    // A message from the port's own thread. Messages that pile up while the GUI thread is
    // busy (a fader swept over a box that takes long to rebuild) are handed on together, the
    // newest value of each control only.
    void receiveFromPort(int status, int data1, int data2);

    bool isSending() const;
    void setSending(bool on);
    // False where the machine has no MIDI sequencer; the port list stays empty then.
    bool hasMidiSystem() const { return m_midiSystem; }
    QStringList portNames() const;
    QString stateText() const;
    QString lastMessageText() const;
    int forwardedCount() const { return m_forwarded; }

public slots:
    // Requests from other panes' scripts.
    void KorgScriptInput(int In);
    // Lists the input ports again (a controller plugged in after start).
    void refreshPorts();
    // Listens to port index of the list; -1 closes the port.
    void openPort(int index);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showState(const QString& text);
    void drainPort();
    // Replaces a waiting message of the same control, else appends.
    static void keepNewest(QList<int>& list, int packed);

    std::unique_ptr<RtMidiIn> m_in;
    bool m_midiProbed = false;
    bool m_midiSystem = false;
    int m_forwarded = 0;
    // A message that arrives while one is being forwarded (the update it started let events
    // through) waits for it; the newest value of each control is enough.
    bool m_forwarding = false;
    QList<int> m_waiting;
    QMutex m_portLock;
    QList<int> m_fromPort;
    bool m_drainPosted = false;

    QComboBox* m_ports;
    QPushButton* m_refresh;
    QCheckBox* m_send;
    QLabel* m_state;
    QLabel* m_last;
};

// Finds the controller pane, making it when the application has none yet.
ZPK_KorgPane* korgPane();
