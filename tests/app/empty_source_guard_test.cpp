// The window's guard in front of a run that would empty the target because the source folder is
// empty: a warning question, asked before anything is touched, whose default is No; also for a run
// that a profile starts by itself.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

class EmptySourceGuardTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        disk.MakeFolder("unmounted");
        disk.WriteFile("backup/photos/1.jpg", "1");
        disk.WriteFile("backup/notes.txt", "n");
        disk.WriteFile("backup/excluded.txt", "x");
        SetLocations(disk.Path("unmounted/"), disk.Path("backup/"));
        SetOptions(1, 1, 0, 1);
    }
};

TEST_F(EmptySourceGuardTest, NoLeavesTheTargetUntouchedAndYesRunsTheDeletes)
{
    Open();
    const auto before = disk.Snapshot();
    Click("location1To2Button");
    ASSERT_EQ(dialogs.warnings.size(), 1u);
    const QString question = dialogs.warnings[0];
    EXPECT_TRUE(question.startsWith("The source folder is empty: is its disk mounted?"))
        << question.toStdString();
    EXPECT_TRUE(question.contains(QString::fromStdString(disk.Path("backup/")))) << question.toStdString();
    EXPECT_TRUE(question.contains("holds 3 items that this run would delete (3 files, 3 B)."))
        << question.toStdString();
    // Answered No: no run, no report, nothing touched.
    EXPECT_FALSE(window->Run().IsRunning());
    EXPECT_EQ(disk.Snapshot(), before);
    EXPECT_TRUE(dialogs.reports.empty());
    EXPECT_FALSE(Shown("running1To2Frame"));

    dialogs.warningAnswers.push_back(true);
    RunAndWait("location1To2Button");
    EXPECT_EQ(dialogs.warnings.size(), 2u);
    ASSERT_EQ(dialogs.reports.size(), 1u);
    EXPECT_EQ(dialogs.reports[0].deletedFileCount + dialogs.reports[0].deletedFolderCount, 3);
    EXPECT_FALSE(disk.Exists("backup/photos"));

    // With nothing left to lose there is nothing to ask.
    RunAndWait("location1To2Button");
    EXPECT_EQ(dialogs.warnings.size(), 2u);
}

TEST_F(EmptySourceGuardTest, AProfileThatStartsByItselfAsksToo)
{
    const std::string profile =
        disk.WriteFile("job.twp", "twin_fol_version=1.01\r\nlocation1=" + disk.Path("unmounted/") +
                                      "\r\nlocation2=" + disk.Path("backup/") +
                                      "\r\ndelete_files=1\r\nconfirm_deletes=0\r\nadd_files=1\r\n"
                                      "check_sub_folders=1\r\nauto_start=1\r\nexclusions=\r\n" +
                                      disk.Path("backup/excluded.txt") + "\r\nend_exclusions\r\n");
    const auto before = disk.Snapshot();
    Open(profile, std::chrono::milliseconds(1));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !dialogs.warnings.empty(); }, 5000));
    // The excluded file would not be lost, so it is not counted.
    EXPECT_TRUE(dialogs.warnings[0].contains("holds 2 items")) << dialogs.warnings[0].toStdString();
    EXPECT_EQ(disk.Snapshot(), before);
    EXPECT_TRUE(dialogs.reports.empty());
}

// The real question box: the exclamation icon, and No as the default button, so that Enter keeps
// the backup.
TEST_F(EmptySourceGuardTest, TheQuestionBoxDefaultsToNo)
{
    Open();
    DialogService real(posix);
    bool checked = false;
    ModalWatcher watcher([&](QWidget& shown) {
        auto* box = qobject_cast<QMessageBox*>(&shown);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        checked = true;
        PressKey(shown, Qt::Key_Return);
    });
    EXPECT_FALSE(real.AskWarning(window.get(), "The source folder is empty: is its disk mounted?"));
    EXPECT_TRUE(checked);
}

} // namespace
