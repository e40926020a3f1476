#pragma once
// Script text run in the host's script engine. The global MainWindow offers
// getPaneMgr().findPane(className); the registered plug-in classes are globals too.
#include <QObject>
#include <QString>
#include <QStringList>
#include "dzexport.h"

class DZHOST_EXPORT DzScript : public QObject
{
    Q_OBJECT
public:
    explicit DzScript(QObject* parent = nullptr) : QObject(parent) {}
    void clear()
    {
        m_lines.clear();
        m_error.clear();
    }
    void addLine(const QString& line) { m_lines.append(line); }
    QString getCode() const { return m_lines.join('\n'); }
    // Runs the text; false with errorMessage() set when the script throws or fails to parse.
    bool execute();
    QString errorMessage() const { return m_error; }

private:
    QStringList m_lines;
    QString m_error;
};
