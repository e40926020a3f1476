// What every benchmark program that drives the plug-in starts with: a Qt application on the
// offscreen platform (unless QT_QPA_PLATFORM names another), a host session and the Verdix
// plug-in registered. Construct one at the top of main(); ok() is false, with the reason on
// stderr, when the plug-in did not register.
#pragma once
#include <QApplication>
#include <cstdio>
#include "dzapp.h"
#include "dzpane.h"
#include "dzplugin.h"

extern "C" DzPlugin* getPluginDefinition();

class BenchHost
{
public:
    BenchHost(int& argc, char** argv, const char* program) : m_app((offscreenUnlessSet(), argc), argv)
    {
        QString error;
        m_ok = dzApp->getPluginMgr()->addPlugin(getPluginDefinition(), &error);
        if (!m_ok) std::fprintf(stderr, "%s: cannot register the plug-in: %s\n", program, qPrintable(error));
    }
    bool ok() const { return m_ok; }
    // The Verdix pane, made on first use.
    static DzPane* pane() { return dzApp->getPaneMgr()->getOrCreatePane("ZPK_VerdixPane"); }

private:
    static int offscreenUnlessSet()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return 0;
    }
    QApplication m_app;
    DzHostSession m_session;
    bool m_ok = false;
};
