// The main window with removable disks, driven through the real widgets over real folders: the
// hour-shift box (off at first start, kept on exit, kept in each profile, handed to a run), and a run
// refused because another one is writing to its target.
#include <QTest>

#include <gtest/gtest.h>

#include <ctime>

#include "engine/posix/posix_file_system.h"
#include "engine/posix/posix_target_lock.h"
#include "gui/main_dialog_fixture.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

TEST_F(MainDialogTest, TheHourShiftBoxIsOffAtFirstStartKeptOnExitAndFollowsEachProfile)
{
    Open();
    EXPECT_FALSE(Checked("ignoreHourShiftCheck"));
    Click("ignoreHourShiftCheck");
    EXPECT_TRUE(window->CurrentProfile().options.ignoreHourShift);
    EXPECT_TRUE(window->CurrentProfile().modified);
    Click("exitButton");
    std::uint32_t stored = 0;
    ASSERT_TRUE(settings.ReadRegNumber("IgnoreHourShift", stored));
    EXPECT_EQ(stored, 1u);

    const std::string profile = "twin_fol_version=1.01\r\nlocation1=/a/\r\nlocation2=/b/\r\n"
                                "exclusions=\r\nend_exclusions\r\n";
    Open(disk.WriteFile("shifted.twp", profile + "ignore_hour_shift=1\r\n"));
    EXPECT_TRUE(Checked("ignoreHourShiftCheck"));
    Open(disk.WriteFile("plain.twp", profile));
    EXPECT_FALSE(Checked("ignoreHourShiftCheck"));
}

TEST_F(MainDialogTest, ATickedHourShiftBoxKeepsARunFromCopyingFilesAnHourOff)
{
    const std::time_t base = 1699956000;
    disk.WriteFile("src/a.txt", "new", base);
    disk.WriteFile("dst/a.txt", "old", base - 3600);
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 0, 0, 1);
    Open();
    Click("ignoreHourShiftCheck");
    RunAndWait("location1To2Button");
    EXPECT_EQ(disk.ReadFile("dst/a.txt"), "old");
    Click("ignoreHourShiftCheck");
    RunAndWait("location1To2Button");
    EXPECT_EQ(disk.ReadFile("dst/a.txt"), "new");
}

TEST_F(MainDialogTest, ARunIntoATargetAnotherRunHoldsShowsWhyAndTouchesNothing)
{
    disk.WriteFile("src/a.txt", "a");
    disk.MakeFolder("dst");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    Open();
    PosixFileSystem otherRun;
    {
        const auto held = otherRun.BeginRun(disk.Path("src/"), disk.Path("dst/"));
        RunAndWait("location1To2Button");
        EXPECT_EQ(dialogs.messages, std::vector<QString>{targetBusyReason});
        EXPECT_FALSE(disk.Exists("dst/a.txt"));
        EXPECT_FALSE(Enabled("lastReportButton"));
    }
    RunAndWait("location1To2Button");
    EXPECT_EQ(disk.ReadFile("dst/a.txt"), "a");
    EXPECT_TRUE(Enabled("lastReportButton"));
}

} // namespace
