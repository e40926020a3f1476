#pragma once
// Every modal interaction of the host and its plug-ins goes through this service:
// real dialogs in an interactive window, scripted answers in tests and headless runs.
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include "dzexport.h"

class QWidget;

struct DzMessageRecord
{
    QString title;
    QString text;
    QString informativeText;
    // A box with nothing to choose (only OK) reports trouble; one with a choice asks.
    bool reportsError = false;
};

class DZHOST_EXPORT DzDialogService
{
public:
    DzDialogService() = default;

    // Interactive: real dialogs. Otherwise answers come from the queues below, and an
    // empty queue answers a message box with its default button and a file dialog with
    // nothing (cancel).
    void setInteractive(bool on) { m_interactive = on; }
    bool isInteractive() const { return m_interactive; }

    QMessageBox::StandardButton messageBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                           const QString& informativeText = QString(),
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::Ok,
                                           QWidget* parent = nullptr);
    // A note that asks nothing and reports no error (a long operation about to start):
    // headless it goes to stderr; the window shows it on its status line instead.
    void note(const QString& text);
    QStringList notes() const { return m_notes; }

    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);

    // Scripted answers, used first in, first out.
    void queueButton(QMessageBox::StandardButton b) { m_buttons.append(b); }
    void queueFileName(const QString& file) { m_files.append(file); }

    // Headless runs: every message box text is also written to stderr as it is shown, so a
    // batch run never swallows what a window would have shown.
    void setEchoToStderr(bool on) { m_echo = on; }

    // Everything shown, for tests and for the headless log.
    const QList<DzMessageRecord>& messages() const { return m_messages; }
    // Message boxes that reported trouble since the service was made (not reset by clearLog),
    // so a caller can tell whether a step it ran reported an error.
    int errorCount() const { return m_errors; }
    QStringList fileDialogCaptions() const { return m_fileCaptions; }
    void clearLog()
    {
        m_messages.clear();
        m_fileCaptions.clear();
        m_notes.clear();
    }

private:
    bool m_interactive = false;
    bool m_echo = false;
    int m_errors = 0;
    QList<QMessageBox::StandardButton> m_buttons;
    QStringList m_files;
    QList<DzMessageRecord> m_messages;
    QStringList m_fileCaptions;
    QStringList m_notes;
};
