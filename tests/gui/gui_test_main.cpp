// Entry point of the GUI tests: one QApplication on the offscreen platform for every test, fitting
// its windows to the screen as the program does.
#include <QApplication>

#include <gtest/gtest.h>

#include "app/screen_fit.h"

int main(int argc, char* argv[])
{
    // Test discovery runs this binary without the test's environment, so set the platform here too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // The windows are tested as the program shows them: fitted to the screen.
    twinfol::ScreenFit screenFit;
    application.installEventFilter(&screenFit);
    return RUN_ALL_TESTS();
}
