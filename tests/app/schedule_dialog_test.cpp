// The Schedule dialog over a private unit folder, with no user manager: what it writes and shows, how
// it refuses, and when the main window offers it.
#include "app/schedule_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "gui/main_dialog_fixture.h"
#include "schedule/external_program.h"
#include "schedule/schedule_files.h"

namespace twinfol {
namespace {

class ScheduleDialogTest : public ::testing::Test {
protected:
    std::unique_ptr<ScheduleDialog> Opened()
    {
        auto dialog =
            std::make_unique<ScheduleDialog>(nullptr, dialogs, places, profile, UserManager::Absent);
        dialog->show();
        return dialog;
    }

    template <typename Widget> static Widget& Find(QDialog& dialog, const char* name)
    {
        auto* widget = dialog.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }

    // Clicks near the left edge, where a wide radio button has its circle and text.
    static void Click(QDialog& dialog, const char* name)
    {
        QAbstractButton& button = Find<QAbstractButton>(dialog, name);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(6, button.height() / 2));
    }

    static std::string Shown(QDialog& dialog)
    {
        return Find<QLabel>(dialog, "currentLabel").text().toStdString();
    }

    std::vector<std::string> Timers() const { return NamesEndingWith(places.unitFolder, ".timer"); }

    test::TempTree tree;
    PosixFileSystem fileSystem;
    test::ScriptedDialogs dialogs{fileSystem};
    SchedulePlaces places{tree.Path("config/systemd/user/"), tree.Path("config/twinfol/on-mount/"),
                          tree.Path("state/twinfol/"), "/usr/bin/twinfol-sync"};
    std::string profile = tree.WriteFile(
        "job.twp", "twin_fol_version=1.01\r\nlocation1=" + tree.MakeFolder("a") +
                       "\r\nlocation2=" + tree.MakeFolder("b") +
                       "\r\nconfirm_deletes=0\r\nauto_start=1\r\nexclusions=\r\nend_exclusions\r\n");
};

TEST_F(ScheduleDialogTest, SchedulesShowsTheScheduleOnReopeningAndRemovesIt)
{
    {
        const auto dialog = Opened();
        EXPECT_EQ(Shown(*dialog), "This profile has no schedule.");
        EXPECT_FALSE(Find<QPushButton>(*dialog, "removeButton").isEnabled());
        Click(*dialog, "weeklyRadio");
        Click(*dialog, "scheduleButton");
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_NE(Shown(*dialog).find("Scheduled: weekly"), std::string::npos) << Shown(*dialog);
        EXPECT_NE(Shown(*dialog).find("The next run is unknown without a user manager."), std::string::npos);
        EXPECT_EQ(Timers().size(), 1u);
    }
    const auto dialog = Opened();
    EXPECT_TRUE(Find<QRadioButton>(*dialog, "weeklyRadio").isChecked());
    EXPECT_TRUE(Find<QPushButton>(*dialog, "removeButton").isEnabled());
    Click(*dialog, "removeButton");
    EXPECT_EQ(Shown(*dialog), "This profile has no schedule.");
    EXPECT_TRUE(Timers().empty());
}

TEST_F(ScheduleDialogTest, ACalendarExpressionSystemdRefusesIsSaidAndChangesNothing)
{
    if (!FindProgram("systemd-analyze"))
        GTEST_SKIP() << "systemd-analyze is not installed (apt-get install systemd)";
    const auto dialog = Opened();
    Click(*dialog, "customRadio");
    ASSERT_TRUE(Find<QLineEdit>(*dialog, "customEdit").isEnabled());
    QTest::keyClicks(&Find<QLineEdit>(*dialog, "customEdit"), "every evening");
    Click(*dialog, "scheduleButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].indexOf("\"every evening\" is not a calendar expression"), -1)
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(Timers().empty());
    Find<QLineEdit>(*dialog, "customEdit").setText("Sat *-*-* 09:00");
    Click(*dialog, "scheduleButton");
    EXPECT_NE(Shown(*dialog).find("Scheduled: Sat *-*-* 09:00"), std::string::npos) << Shown(*dialog);
}

} // namespace

namespace test {

TEST_F(MainDialogTest, ScheduleIsOfferedOnlyForASavedProfileWithoutChanges)
{
    const std::string path = disk.WriteFile("job.twp", "twin_fol_version=1.01\r\nlocation1=/first/\r\n"
                                                       "location2=/second/\r\nauto_start=1\r\n");
    Open();
    EXPECT_FALSE(Enabled("scheduleButton"));
    dialogs.openAnswers.push_back(path);
    Click("openButton");
    EXPECT_TRUE(Enabled("scheduleButton"));
    Click("deleteMissingCheck");
    EXPECT_TRUE(Enabled("saveButton"));
    EXPECT_FALSE(Enabled("scheduleButton"));
}

} // namespace test
} // namespace twinfol
