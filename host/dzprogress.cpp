#include "dzprogress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <cstdio>

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
    QString label;
    int lastValue = 0, lastMax = 0;
    InputGate* gate = nullptr;
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
    if (QWidget* modal = QApplication::activeModalWidget())
        return w == modal || modal->isAncestorOf(w);
    return false;
}

bool InputGate::eventFilter(QObject* obj, QEvent* event)
{
    if (!obj->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(obj);
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            if (event->type() == QEvent::KeyPress) DzProgress::requestCancel();
            event->accept();
            return true;
        }
        return !takesInput(w);
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
        return !takesInput(w);
    case QEvent::Close:
        // The window stays until the operation has put things back.
        if (w->isWindow() && !takesInput(w)) {
            event->ignore();
            return true;
        }
        return false;
    default:
        // A button release ends a drag that began before the operation.
        return false;
    }
}

int percentOf(long long done, long long total)
{
    if (total <= 0) return 0;
    if (done >= total) return 100;
    return int(done * 100 / total);
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
    if (!cancellable) ++s.blockers;
    if (m_outermost) {
        s.cancelled = false;
        s.clock.start();
        s.lastEvents = 0;
        s.lastReport = -1000000;
        s.shown = false;
        s.consoleShown = false;
        s.label = label;
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
    if (!m_outermost) return;
    if (s.gate) {
        qApp->removeEventFilter(s.gate);
        delete s.gate;
        s.gate = nullptr;
    }
    if (s.shown && dzApp) dzApp->reportProgress(s.label, 1, 1);
    if (s.consoleShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    s.shown = s.consoleShown = false;
    s.label.clear();
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
    if (now >= s.showMs && now - s.lastReport >= 100) {
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
    const int pct = percentOf(m_done, m_total);
    if (dzApp) {
        s.shown = true;
        // Permille keeps the bar smooth for totals past the int range.
        const int value = m_total > 0 ? int(qMin<long long>(999, m_done * 1000 / m_total)) : 0;
        s.lastValue = value;
        s.lastMax = m_total > 0 ? 1000 : 0;
        dzApp->reportProgress(m_label, s.lastValue, s.lastMax);
    }
    if (s.console) {
        s.consoleShown = true;
        if (m_total > 0)
            std::fprintf(stderr, "\r\033[K%s %d%%", qPrintable(m_label), pct);
        else
            std::fprintf(stderr, "\r\033[K%s ...", qPrintable(m_label));
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

void DzProgress::setTimings(int eventIntervalMs, int showDelayMs)
{
    state().eventMs = qMax(0, eventIntervalMs);
    state().showMs = qMax(0, showDelayMs);
}
