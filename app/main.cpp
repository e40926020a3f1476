#include <QApplication>
#include <QMainWindow>
#include <QDockWidget>
#include <cstdio>
#include <dzapp.h>
#include <dzpane.h>
#include <dzplugin.h>
#include <dzscene.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    DzHostSession session;
    QString error;
    const QString lib = QCoreApplication::applicationDirPath() + "/plugins/libverdix.so";
    if (!dzApp->getPluginMgr()->loadPlugin(lib, &error)) {
        std::fprintf(stderr, "verdix-host: %s\n", qPrintable(error));
        return 1;
    }
    QMainWindow window;
    window.resize(1400, 900);
    window.show();
    return app.exec();
}
