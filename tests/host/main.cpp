#include <gtest/gtest.h>
#include <QApplication>
#include <dzapp.h>

int main(int argc, char** argv)
{
    // Test discovery runs the binary without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DzHostSession session;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
