#include "korgpane.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <RtMidi.h>
#include <dzapp.h>
#include <dzscript.h>

namespace {

constexpr const char* kNoMidi = "no MIDI system on this machine";
constexpr int kControlChange = 0xB0;

// ALSA reaches its sequencer through this device; without it, opening a client only prints
// ALSA's complaints.
bool sequencerPresent()
{
#ifdef __linux__
    return QFileInfo::exists("/dev/snd/seq");
#else
    return true;
#endif
}

void onMidiMessage(double, std::vector<unsigned char>* message, void* user)
{
    if (!message || message->size() != 3) return;
    static_cast<ZPK_KorgPane*>(user)->receiveFromPort((*message)[0], (*message)[1], (*message)[2]);
}

void onMidiError(RtMidiError::Type, const std::string& text, void* user)
{
    auto* label = static_cast<QLabel*>(user);
    const QString t = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        label, [label, t]() { label->setText(t); }, Qt::QueuedConnection);
}

QString forwardScript(int packed)
{
    return QString(
               "var oPaneMgr=MainWindow.getPaneMgr(); var myPane=oPaneMgr.findPane(\"ZPK_VerdixPane\"); "
               "if(myPane){myPane.VerdixScriptInput(%1);}")
        .arg(packed);
}

}  // namespace

int packControlChange(int status, int controller, int value)
{
    return (status & 0xFF) | ((controller & 0xFF) << 8) | ((value & 0xFF) << 16);
}

ZPK_KorgPane::ZPK_KorgPane(QWidget* parent) : DzPane("MIDI Controller", parent)
{
    setObjectName("KorgPane");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    m_ports = new QComboBox(this);
    m_ports->setObjectName("KorgPorts");
    m_ports->setToolTip("MIDI input port of the controller");
    m_ports->setMinimumWidth(160);
    m_refresh = new QPushButton("Refresh", this);
    m_refresh->setToolTip("List the MIDI input ports again");
    m_send = new QCheckBox("Send to Verdix", this);
    m_send->setObjectName("KorgSend");
    m_send->setToolTip("Hand each control change to the Verdix pane (its controller button ticks this)");
    m_state = new QLabel(this);
    m_state->setObjectName("KorgState");
    m_state->setWordWrap(true);
    m_last = new QLabel("Last message: none", this);
    m_last->setObjectName("KorgLastMessage");
    grid->addWidget(new QLabel("Input", this), 0, 0);
    grid->addWidget(m_ports, 0, 1);
    grid->addWidget(m_refresh, 0, 2);
    grid->addWidget(m_send, 1, 0, 1, 3);
    grid->addWidget(m_state, 2, 0, 1, 3);
    grid->addWidget(m_last, 3, 0, 1, 3);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
    showState("MIDI ports are listed when the pane is shown");

    connect(m_refresh, &QPushButton::clicked, this, &ZPK_KorgPane::refreshPorts);
    connect(m_ports, QOverload<int>::of(&QComboBox::activated), this, [this](int index) { openPort(index - 1); });
    connect(m_send, &QCheckBox::toggled, this, [this](bool) { showState(stateText()); });
}

ZPK_KorgPane::~ZPK_KorgPane()
{
    // No callback may run into a pane that is going.
    if (m_in) {
        m_in->cancelCallback();
        m_in->closePort();
    }
}

void ZPK_KorgPane::showEvent(QShowEvent* e)
{
    DzPane::showEvent(e);
    // The ports are looked for when the user first sees the pane; a batch run that only
    // replays a file never opens the MIDI system.
    if (!m_midiProbed) refreshPorts();
}

void ZPK_KorgPane::refreshPorts()
{
    m_midiProbed = true;
    if (!m_in && sequencerPresent()) {
        try {
            m_in.reset(new RtMidiIn(RtMidi::LINUX_ALSA, "Verdix MIDI controller pane"));
            m_in->setErrorCallback(&onMidiError, m_state);
            // Control changes only: no system exclusive, timing or sensing bytes.
            m_in->ignoreTypes(true, true, true);
        } catch (const RtMidiError&) {
            m_in.reset();
        }
    }
    m_midiSystem = m_in != nullptr;
    const QString current = m_ports->currentText();
    m_ports->clear();
    if (!m_midiSystem) {
        m_ports->setEnabled(false);
        m_ports->setToolTip(kNoMidi);
        showState(kNoMidi);
        return;
    }
    m_ports->addItem("(none)");
    const unsigned n = m_in->getPortCount();
    for (unsigned i = 0; i < n; ++i) m_ports->addItem(QString::fromStdString(m_in->getPortName(i)));
    m_ports->setEnabled(n > 0);
    const int keep = m_ports->findText(current);
    m_ports->setCurrentIndex(keep > 0 ? keep : 0);
    showState(n == 0 ? "No MIDI input ports" : stateText());
}

void ZPK_KorgPane::openPort(int index)
{
    if (!m_in) return;
    m_in->cancelCallback();
    m_in->closePort();
    if (index < 0 || unsigned(index) >= m_in->getPortCount()) {
        showState(stateText());
        return;
    }
    m_in->openPort(unsigned(index), "Verdix input");
    if (!m_in->isPortOpen()) {
        // The error callback has put the reason in the state line.
        m_ports->setCurrentIndex(0);
        return;
    }
    m_in->setCallback(&onMidiMessage, this);
    showState(stateText());
}

QStringList ZPK_KorgPane::portNames() const
{
    QStringList names;
    for (int i = 1; i < m_ports->count(); ++i) names << m_ports->itemText(i);
    return names;
}

bool ZPK_KorgPane::isSending() const { return m_send->isChecked(); }

void ZPK_KorgPane::setSending(bool on) { m_send->setChecked(on); }

QString ZPK_KorgPane::stateText() const
{
    if (m_midiProbed && !m_midiSystem) return kNoMidi;
    QString port;
    if (m_in && m_in->isPortOpen() && m_ports->currentIndex() > 0) port = m_ports->currentText();
    const QString listening = port.isEmpty() ? QString("No port open") : QString("Listening to %1").arg(port);
    return listening + (isSending() ? ", sending to Verdix" : ", not sending (press the controller button in Verdix)");
}

QString ZPK_KorgPane::lastMessageText() const { return m_last->text(); }

void ZPK_KorgPane::showState(const QString& text) { m_state->setText(text); }

void ZPK_KorgPane::KorgScriptInput(int In)
{
    if (In == kStartSending) setSending(true);
}

void ZPK_KorgPane::keepNewest(QList<int>& list, int packed)
{
    for (int& w : list)
        if ((w & 0xFFFF) == (packed & 0xFFFF)) {
            w = packed;
            return;
        }
    list.append(packed);
}

void ZPK_KorgPane::receiveFromPort(int status, int data1, int data2)
{
    QMutexLocker lock(&m_portLock);
    keepNewest(m_fromPort, packControlChange(status, data1, data2));
    if (m_drainPosted) return;
    m_drainPosted = true;
    // Scripts and widgets belong to the GUI thread.
    QMetaObject::invokeMethod(this, &ZPK_KorgPane::drainPort, Qt::QueuedConnection);
}

void ZPK_KorgPane::drainPort()
{
    QList<int> messages;
    {
        QMutexLocker lock(&m_portLock);
        messages.swap(m_fromPort);
        m_drainPosted = false;
    }
    for (int m : messages) receiveMessage(m & 0xFF, (m >> 8) & 0xFF, (m >> 16) & 0xFF);
}

bool ZPK_KorgPane::receiveMessage(int status, int data1, int data2, QString* error, double recordedAt)
{
    if ((status & 0xF0) != kControlChange) return true;
    QString text = QString("Last message: control %1 = %2 (channel %3)").arg(data1).arg(data2).arg((status & 0x0F) + 1);
    if (recordedAt >= 0.0) text += QString(" at %1 s").arg(recordedAt, 0, 'f', 3);
    m_last->setText(text);
    if (!isSending()) return true;
    const int packed = packControlChange(status, data1, data2);
    if (m_forwarding) {
        // Only the newest value of a control matters by the time it is delivered.
        keepNewest(m_waiting, packed);
        return true;
    }
    m_forwarding = true;
    QString why;
    bool ok = true;
    int next = packed;
    for (;;) {
        DzScript script;
        script.clear();
        script.addLine(forwardScript(next));
        if (script.execute()) {
            ++m_forwarded;
        } else if (ok) {
            ok = false;
            why = script.errorMessage();
        }
        if (m_waiting.isEmpty()) break;
        next = m_waiting.takeFirst();
    }
    m_forwarding = false;
    if (!ok) {
        showState(why);
        if (dzApp) dzApp->statusLine(why);
        if (error) *error = why;
    }
    return ok;
}

ZPK_KorgPane* korgPane()
{
    if (!dzApp) return nullptr;
    if (auto* p = qobject_cast<ZPK_KorgPane*>(dzApp->getPaneMgr()->findPaneByClass("ZPK_KorgPane"))) return p;
    auto* p = new ZPK_KorgPane;
    dzApp->getPaneMgr()->addPane(p);
    return p;
}
