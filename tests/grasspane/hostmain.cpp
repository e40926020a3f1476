// The host-application tests: the window's viewport draws with OpenGL, which the offscreen
// platform only offers through an X display, so a private one is started when there is none.
#include <gtest/gtest.h>
#include <QApplication>
#include <dzapp.h>
#include <dzplugin.h>
#include "privatedisplay.h"

extern "C" DzPlugin* getPluginDefinition();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PrivateDisplay display;
    display.ensure();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    DzHostSession session;
    QString error;
    if (!dzApp->getPluginMgr()->addPlugin(getPluginDefinition(), &error)) {
        fprintf(stderr, "cannot register the plug-in: %s\n", qPrintable(error));
        return 2;
    }
    return RUN_ALL_TESTS();
}
