// One start for every test program of the plug-in: an offscreen application, a host session
// and the plug-in registered, as the host application does it.
#include <gtest/gtest.h>
#include <QApplication>
#include <dzapp.h>
#include <dzplugin.h>

extern "C" DzPlugin* getPluginDefinition();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
