#pragma once
// Runs the host application as a user would, headless, and keeps what it said.
// The including target defines VERDIX_HOST_EXE.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

struct HostRun
{
    int code = -1;
    QString out, err;
};

inline HostRun runHost(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(VERDIX_HOST_EXE, args);
    EXPECT_TRUE(p.waitForFinished(120000));
    HostRun r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
