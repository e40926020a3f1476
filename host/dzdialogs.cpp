#include "dzdialogs.h"
#include <QFileDialog>

QMessageBox::StandardButton DzDialogService::messageBox(QMessageBox::Icon icon, const QString& title,
                                                        const QString& text, const QString& informativeText,
                                                        QMessageBox::StandardButtons buttons,
                                                        QMessageBox::StandardButton defaultButton,
                                                        QWidget* parent)
{
    m_messages.append({title, text, informativeText});
    if (!m_buttons.isEmpty()) return m_buttons.takeFirst();
    if (!m_interactive) return defaultButton;
    QMessageBox box(icon, title, text, buttons, parent);
    box.setInformativeText(informativeText);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
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
