#include <QApplication>
#include <gtest/gtest.h>
#include <dzapp.h>
#include "privatedisplay.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The viewport and screenshot tests need OpenGL, which offscreen Qt finds through X.
    PrivateDisplay display;
    display.ensure();
    QApplication app(argc, argv);
    DzHostSession session;
    return RUN_ALL_TESTS();
}
