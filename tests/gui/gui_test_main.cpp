// Entry point of the GUI tests: one QApplication on the offscreen platform for every test.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    // Test discovery runs this binary without the test's environment, so set the platform here too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
