#pragma once
// Progress of a long operation, and the user's way out of it.
//
// An operation that may take more than a moment opens a DzProgress for its whole run and
// calls step() now and then (every few rows or boxes, never per vertex). The scope shows
// the host's progress bar with a Cancel button once the work has run for a short while,
// lets pending events through at a bounded rate so the window stays drawn and the Cancel
// button and Escape work, and tells the operation through step() / isCancelled() that the
// user wants out. The operation then puts back what it changed and returns.
//
// Scopes nest: an operation that runs others (opening a set document updates its
// landscapes) shares one cancel request with them; the bar shows whichever scope is at
// work. While a scope runs, user input other than Escape and the Cancel button is held
// off, so no second operation can start inside the first.
#include <QString>
#include "dzexport.h"

class QWidget;

class DZHOST_EXPORT DzProgress
{
public:
    // total: the number of steps, 0 when unknown (a busy bar). A scope that cannot put the
    // scene back (not cancellable) disables the Cancel button while it runs.
    explicit DzProgress(const QString& label, long long total = 0, bool cancellable = true);
    ~DzProgress();
    DzProgress(const DzProgress&) = delete;
    DzProgress& operator=(const DzProgress&) = delete;

    void setTotal(long long total);
    // done of total steps are finished. Cheap: it looks at a clock and returns unless the
    // next event slice or bar update is due. False once the user asked to cancel.
    bool step(long long done);
    bool advance(long long by = 1) { return step(m_done + by); }
    long long done() const { return m_done; }
    bool isCancelled() const;
    // Ends the scope early (the destructor does it otherwise).
    void finish();

    // Whether some scope is open, and whether the Cancel button should be enabled.
    static bool isRunning();
    static bool isCancellable();
    static QString currentLabel();
    // Whether the last operation ended on the user's cancel request (a failure it reports
    // is then no error to show in a message box).
    static bool wasCancelled();
    // What the Cancel button and Escape do; ignored while no cancellable scope runs.
    static void requestCancel();
    // The window's Cancel button: the one widget that takes clicks while a scope runs.
    static void setCancelButton(QWidget* button);
    // Drops the keys and clicks the window system has queued up to this moment (repaints
    // wait until it returns). The outermost scope does it when it ends; a window whose first
    // frame after the work takes long does it once that frame is shown: input given while
    // the screen still showed the work running was aimed at what is no longer there.
    static void discardQueuedInput();
    // Headless runs with a terminal on stderr: a one-line progress there.
    static void setConsoleOutput(bool on);
    // Milliseconds between event slices, before the bar shows and between bar updates (tests
    // shorten them).
    static void setTimings(int eventIntervalMs, int showDelayMs, int reportIntervalMs = 100);

private:
    void report(bool force);

    QString m_label;
    long long m_total = 0;
    long long m_done = 0;
    bool m_outermost = false;
    bool m_cancellable = true;
    bool m_finished = false;
    // The share of the bar (in permille) this scope fills.
    double m_lo = 0.0, m_hi = 1000.0;
};
