// Start-up as the person meets it: the built program given Qt's own options before the profile, a
// command-line profile whose message opens over the shown window, and profiles that are no ordinary
// file or that no profile file can be.
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "app/dialog_service.h"
#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

std::string AutoStartProfile(const std::string& from, const std::string& to)
{
    return "twin_fol_version=1.01\r\nlocation1=" + from + "\r\nlocation2=" + to +
           "\r\ndelete_files=0\r\nconfirm_deletes=0\r\nadd_files=1\r\ncheck_sub_folders=1\r\n"
           "auto_start=1\r\nexclusions=\r\nend_exclusions\r\n";
}

TEST(StartUp, QtOptionsBeforeTheProfileAreLeftToQt)
{
    TempTree disk;
    disk.WriteFile("one/new.txt", "copied");
    disk.MakeFolder("two");
    disk.MakeFolder("config");
    const std::string profile =
        disk.WriteFile("job.twp", AutoStartProfile(disk.Path("one/"), disk.Path("two/")));

    // "Fusion" is the value of Qt's -style option, not a profile: the job's run must start by itself.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(disk.Path("config")));
    // The run's journal and Trash stay in the test's own folder.
    environment.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(disk.Path("state")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(disk.Path("data")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TWINFOL_PATH),
                  {QStringLiteral("-style"), QStringLiteral("Fusion"), QString::fromStdString(profile)});
    ASSERT_TRUE(program.waitForStarted(10000));
    const bool copied = QTest::qWaitFor([&] { return disk.Exists("two/new.txt"); }, 20000);
    const bool stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(10000);
    EXPECT_TRUE(copied) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(stillRunning);
}

TEST_F(MainDialogTest, CommandLineProfileMessageOpensCentredOverTheShownWindow)
{
    const std::string missing = disk.Path("missing.twp");
    DialogService realDialogs(posix);
    MainDialog shown(faults, settings, realDialogs, places);
    shown.SetCommandLineProfile(missing);
    bool windowWasVisible = false;
    QString text;
    QPoint boxCentre;
    ModalWatcher watcher([&](QWidget& box) {
        windowWasVisible = shown.isVisible();
        text = static_cast<QMessageBox&>(box).text();
        boxCentre = box.frameGeometry().center();
        PressKey(box, Qt::Key_Return);
    });
    shown.show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return watcher.Seen() == 1 && QApplication::activeModalWidget() == nullptr; }, 10000));
    EXPECT_TRUE(windowWasVisible);
    EXPECT_EQ(text.toStdString(), "Could not open file: " + missing);
    const QPoint offset = boxCentre - shown.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 8) << offset.x() << "," << offset.y();
}

TEST_F(MainDialogTest, AFifoNamedAsTheProfileIsRefusedWithoutWaitingForAWriter)
{
    const std::string fifo = disk.MakeFifo("job.twp");
    // Should the window ever wait on the FIFO, this writer ends the wait after five seconds and the
    // test fails on the message instead of hanging.
    std::atomic<bool> answered = false;
    std::thread writer([&] {
        for (int step = 0; step < 100 && !answered; ++step)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
            close(fd);
    });
    Open(fifo);
    answered = QTest::qWaitFor([&] { return !dialogs.messages.empty(); }, 10000);
    writer.join();
    EXPECT_EQ(dialogs.messages.at(0).toStdString(), "Could not open file: " + fifo);
}

TEST_F(MainDialogTest, ProfilesPastTheReaderLimitsOrThatNoFileCanHoldHaveMessagesOfTheirOwn)
{
    const std::string huge = disk.WriteFile("huge.twp", "twin_fol_version=1.01\r\nlocation1=");
    ASSERT_EQ(truncate(huge.c_str(), 17 * 1024 * 1024), 0);
    Open(huge);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.empty(); }, 10000));
    EXPECT_EQ(dialogs.messages[0].toStdString(),
              huge + " is too large to be a Twinfol profile: a profile file holds at most 16 MB, lines of "
                     "at most 64 KB and 262144 exclusions");

    const std::string path = disk.WriteFile("job.twp", "twin_fol_version=1.01\r\n");
    dialogs.openAnswers.push_back(path);
    Click("openButton");
    dialogs.browseAnswers.push_back(std::string("/a\nb/"));
    Click("browse1Button");
    Click("saveButton");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].toStdString(),
              "The profile was not saved to " + path +
                  ": a location or an exclusion holds a line break or another text that a profile file "
                  "cannot keep");
    EXPECT_EQ(disk.ReadFile("job.twp"), "twin_fol_version=1.01\r\n");
}

} // namespace
