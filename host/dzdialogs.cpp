#include "dzdialogs.h"
#include <QFileDialog>
#include <cstdio>

QMessageBox::StandardButton DzDialogService::messageBox(QMessageBox::Icon icon, const QString& title,
                                                        const QString& text, const QString& informativeText,
                                                        QMessageBox::StandardButtons buttons,
                                                        QMessageBox::StandardButton defaultButton, QWidget* parent)
{
    const bool reportsError = icon != QMessageBox::Question && (buttons & ~QMessageBox::Ok) == 0;
    m_messages.append({title, text, informativeText, reportsError});
    if (reportsError) ++m_errors;
    if (m_echo) {
        QString line = title.isEmpty() ? text : QString("%1: %2").arg(title, text);
        if (!informativeText.isEmpty()) line += QString(" (%1)").arg(informativeText);
        std::fprintf(stderr, "verdix-host: %s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    if (!m_buttons.isEmpty()) return m_buttons.takeFirst();
    if (!m_interactive) return defaultButton;
    QMessageBox box(icon, title, text, buttons, parent);
    box.setInformativeText(informativeText);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void DzDialogService::note(const QString& text)
{
    m_notes.append(text);
    if (!m_echo) return;
    std::fprintf(stderr, "verdix-host: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString DzDialogService::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    m_fileCaptions.append(caption);
    if (!m_files.isEmpty()) return m_files.takeFirst();
    if (!m_interactive) return QString();
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString DzDialogService::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)
{
    m_fileCaptions.append(caption);
    if (!m_files.isEmpty()) return m_files.takeFirst();
    if (!m_interactive) return QString();
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
