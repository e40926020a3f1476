#include "dzprogress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QList>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "dzapp.h"

namespace {

// Holds off user input while an operation runs, as a modal dialog would, and turns Escape
// into a cancel request. Windows (not widgets) pass: they hand their input on to the
// widget under it, which is judged here.
class InputGate : public QObject
{
public:
    bool eventFilter(QObject* obj, QEvent* event) override;
};

struct ProgressState
{
    int depth = 0;
    int blockers = 0;  // open scopes that cannot be cancelled
    std::atomic<bool> cancelled{false};
    QElapsedTimer clock;
    qint64 lastEvents = 0;
    qint64 lastReport = -1000000;
    bool shown = false;
    bool consoleShown = false;
    QPointer<QWidget> cancelButton;
    bool console = false;
    int eventMs = 40;
    int showMs = 300;
    int reportMs = 100;
    QString label;
    int lastValue = 0, lastMax = 0;
    InputGate* gate = nullptr;
    // Window repaints held back while the work runs, to be asked for again.
    qint64 lastPaint = -1000000;
    QList<QPointer<QWidget>> heldPaints;
    bool repostQueued = false;
    // The open scopes, outermost first: a nested scope fills the share of the bar its
    // parent's current step owns, so the bar never runs backwards.
    std::vector<DzProgress*> open;
};

ProgressState& state()
{
    static ProgressState s;
    return s;
}

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool takesInput(QWidget* w)
{
    ProgressState& s = state();
    if (s.cancelButton && (w == s.cancelButton || s.cancelButton->isAncestorOf(w))) return true;
    // A message box the operation itself shows must be answerable.
    if (QWidget* modal = QApplication::activeModalWidget()) return w == modal || modal->isAncestorOf(w);
    return false;
}

// A window repaint composes the whole window, which with an OpenGL viewport inside goes through
// OpenGL too: on a software renderer a tenth of a second or more each. Work lets events through
// every few dozen milliseconds, and each slice would repaint what changed (the bar, the pane's
// new boxes); a few repaints a second show the progress at a small share of the cost.
constexpr int kPaintIntervalMs = 250;

void repostHeldPaints()
{
    ProgressState& s = state();
    s.repostQueued = false;
    const QList<QPointer<QWidget>> held = s.heldPaints;
    s.heldPaints.clear();
    for (const QPointer<QWidget>& w : held)
        if (w) QCoreApplication::postEvent(w, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

bool holdPaint(QWidget* w)
{
    ProgressState& s = state();
    const qint64 now = s.clock.elapsed();
    if (now - s.lastPaint >= kPaintIntervalMs) {
        s.lastPaint = now;
        return false;
    }
    // The window's repaint manager waits for this very request; it is asked for again when due.
    if (!s.heldPaints.contains(w)) s.heldPaints.append(w);
    if (!s.repostQueued) {
        s.repostQueued = true;
        QTimer::singleShot(int(kPaintIntervalMs - (now - s.lastPaint)), qApp, &repostHeldPaints);
    }
    return true;
}

// What a user does with keys, buttons and wheels (a button release passes: it ends a drag
// that began before the work).
bool isUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TabletPress:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Returns drop, for a filter. A key's shortcut is looked for before the key is delivered: an
// override event left unaccepted hands the key to the shortcut map, which triggers the action
// itself (Ctrl+Z undoing inside the work, no widget asked). Accepted, the key goes on to the
// widget, where it is dropped.
bool dropInput(QEvent* event, bool drop)
{
    if (drop && event->type() == QEvent::ShortcutOverride) event->accept();
    return drop;
}

// Drops the input the window system delivers while it is installed, and holds repaints (the
// window would otherwise be drawn from inside the caller).
class QueuedInputDrop : public QObject
{
public:
    bool eventFilter(QObject* obj, QEvent* event) override
    {
        if (event->type() == QEvent::UpdateRequest) {
            if (!m_held.contains(obj)) m_held.append(obj);
            return true;
        }
        // A move acts on nothing by itself, and a drag the user holds (a slider whose change
        // ran the work) goes on from where the pointer is now.
        if (!isUserInput(event) || event->type() == QEvent::MouseMove || !obj->isWidgetType()) return false;
        // A message box up now is what the user sees and answers.
        const QWidget* modal = QApplication::activeModalWidget();
        auto* w = static_cast<QWidget*>(obj);
        return dropInput(event, !(modal && (w == modal || modal->isAncestorOf(w))));
    }
    void repostHeld()
    {
        for (const QPointer<QObject>& o : m_held)
            if (o) QCoreApplication::postEvent(o, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
        m_held.clear();
    }

private:
    QList<QPointer<QObject>> m_held;
};

bool InputGate::eventFilter(QObject* obj, QEvent* event)
{
    if (!obj->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(obj);
    switch (event->type()) {
    case QEvent::UpdateRequest:
        return w->isWindow() && holdPaint(w);
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            if (event->type() == QEvent::KeyPress) DzProgress::requestCancel();
            event->accept();
            return true;
        }
        return dropInput(event, !takesInput(w));
    case QEvent::Close:
        // The window stays until the operation has put things back.
        if (w->isWindow() && !takesInput(w)) {
            event->ignore();
            return true;
        }
        return false;
    default:
        return isUserInput(event) && dropInput(event, !takesInput(w));
    }
}

}  // namespace

DzProgress::DzProgress(const QString& label, long long total, bool cancellable)
    : m_label(label), m_total(total < 0 ? 0 : total), m_cancellable(cancellable)
{
    ProgressState& s = state();
    const bool gui = onGuiThread();
    if (!gui) {
        // Work on other threads only asks whether to go on.
        m_finished = true;
        return;
    }
    m_outermost = s.depth == 0;
    ++s.depth;
    if (!s.open.empty()) {
        const DzProgress* parent = s.open.back();
        const double span = parent->m_hi - parent->m_lo;
        if (parent->m_total > 0 && parent->m_done < parent->m_total) {
            m_lo = parent->m_lo + span * double(parent->m_done) / double(parent->m_total);
            m_hi = parent->m_lo + span * double(parent->m_done + 1) / double(parent->m_total);
        } else {
            // A parent with no count, or at its end, leaves what is still free of its share.
            m_lo = std::max(parent->m_lo, double(s.lastMax > 0 ? s.lastValue : 0));
            m_hi = parent->m_hi;
        }
    }
    s.open.push_back(this);
    if (!cancellable) ++s.blockers;
    if (m_outermost) {
        s.cancelled = false;
        s.clock.start();
        s.lastPaint = -1000000;
        s.lastEvents = 0;
        s.lastReport = -1000000;
        s.shown = false;
        s.consoleShown = false;
        s.label = label;
        s.lastValue = 0;
        s.lastMax = 0;
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
            s.gate = new InputGate;
            qApp->installEventFilter(s.gate);
        }
    } else if (!cancellable && s.shown) {
        // The Cancel button follows.
        if (dzApp) dzApp->reportProgress(s.label, s.lastValue, s.lastMax);
    }
}

DzProgress::~DzProgress() { finish(); }

void DzProgress::finish()
{
    if (m_finished) return;
    m_finished = true;
    ProgressState& s = state();
    --s.depth;
    if (!m_cancellable) --s.blockers;
    s.open.erase(std::remove(s.open.begin(), s.open.end(), this), s.open.end());
    if (!m_outermost) return;
    if (s.gate) {
        qApp->removeEventFilter(s.gate);
        delete s.gate;
        s.gate = nullptr;
    }
    repostHeldPaints();
    // Said also when the bar never showed: the window holds its redraws until the work ends.
    if (dzApp) dzApp->reportProgress(s.label, 1, 1);
    if (s.consoleShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    s.shown = s.consoleShown = false;
    s.label.clear();
    // Keys and clicks given while the work ran without letting events through (its last
    // stretch) were aimed at a window showing the work, as those dropped meanwhile were.
    discardQueuedInput();
}

void DzProgress::discardQueuedInput()
{
    if (!onGuiThread() || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    // Not inside a scope: its gate already drops input, and lets Escape and Cancel through.
    if (state().depth > 0) return;
    QueuedInputDrop drop;
    qApp->installEventFilter(&drop);
    // A round trip to the window system first: everything the user did up to now has then
    // arrived, and nothing done later is touched (order, not a span of time, decides).
    QGuiApplication::sync();
    qApp->removeEventFilter(&drop);
    drop.repostHeld();
}

void DzProgress::setTotal(long long total) { m_total = total < 0 ? 0 : total; }

bool DzProgress::isCancelled() const { return state().cancelled.load(std::memory_order_relaxed); }

bool DzProgress::step(long long done)
{
    m_done = done;
    ProgressState& s = state();
    if (m_finished) return !s.cancelled.load(std::memory_order_relaxed);
    const qint64 now = s.clock.elapsed();
    // The scope that is at work drives the bar: an inner one shows what takes the time.
    if (now >= s.showMs && now - s.lastReport >= s.reportMs) {
        s.lastReport = now;
        report(false);
    }
    if (now - s.lastEvents >= s.eventMs) {
        s.lastEvents = now;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        s.lastEvents = s.clock.elapsed();
    }
    return !s.cancelled.load(std::memory_order_relaxed);
}

void DzProgress::report(bool)
{
    ProgressState& s = state();
    // Permille keeps the bar smooth for totals past the int range. The value is this scope's
    // place within the share its parents gave it, and never less than already shown.
    const double fraction = m_total > 0 ? double(std::min(m_done, m_total)) / double(m_total) : 0.0;
    const int value = std::min(999, int(m_lo + (m_hi - m_lo) * fraction));
    if (m_total > 0 || s.lastMax > 0 || value > 0) {
        s.lastValue = std::max(s.lastMax > 0 ? s.lastValue : 0, value);
        s.lastMax = 1000;
    }
    if (dzApp) {
        s.shown = true;
        dzApp->reportProgress(m_label, s.lastValue, s.lastMax);
    }
    if (s.console) {
        s.consoleShown = true;
        if (s.lastMax > 0) std::fprintf(stderr, "\r\033[K%s %d%%", qPrintable(m_label), s.lastValue / 10);
        else std::fprintf(stderr, "\r\033[K%s ...", qPrintable(m_label));
        std::fflush(stderr);
    }
}

bool DzProgress::isRunning() { return state().depth > 0; }

bool DzProgress::isCancellable() { return state().depth > 0 && state().blockers == 0; }

QString DzProgress::currentLabel() { return state().label; }

bool DzProgress::wasCancelled() { return state().depth == 0 && state().cancelled; }

void DzProgress::requestCancel()
{
    if (isCancellable()) state().cancelled = true;
}

void DzProgress::setCancelButton(QWidget* button) { state().cancelButton = button; }

void DzProgress::setConsoleOutput(bool on) { state().console = on; }

void DzProgress::setTimings(int eventIntervalMs, int showDelayMs, int reportIntervalMs)
{
    state().reportMs = qMax(0, reportIntervalMs);
    state().eventMs = qMax(0, eventIntervalMs);
    state().showMs = qMax(0, showDelayMs);
}
