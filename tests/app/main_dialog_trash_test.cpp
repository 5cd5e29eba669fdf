// The Trash and "Undo Last Run" in the main window, driven through the real widgets over real folders:
// the fifth option box with its settings and profiles, and a run undone after a question.
#include <QTest>

#include <gtest/gtest.h>

#include "app/window_settings.h"
#include "gui/main_dialog_fixture.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

const std::string profileBeforeTheTrash = "twin_fol_version=1.01\r\nlocation1=/a/\r\nlocation2=/b/\r\n"
                                          "exclusions=\r\nend_exclusions\r\n";

TEST_F(MainDialogTest, TheTrashBoxIsOnAtFirstStartKeptOnExitAndFollowsEachProfile)
{
    Open();
    EXPECT_TRUE(Checked("useTrashCheck"));
    EXPECT_FALSE(Enabled("undoButton"));
    Click("useTrashCheck");
    EXPECT_FALSE(window->CurrentProfile().options.useTrash);
    EXPECT_TRUE(window->CurrentProfile().modified);
    Click("exitButton");
    std::uint32_t stored = 1;
    ASSERT_TRUE(settings.ReadRegNumber("UseTrash", stored));
    EXPECT_EQ(stored, 0u);

    Open(disk.WriteFile("new.twp", profileBeforeTheTrash + "use_trash=1\r\n"));
    EXPECT_TRUE(Checked("useTrashCheck"));
    // A profile made before the option keeps running without it.
    Open(disk.WriteFile("old.twp", profileBeforeTheTrash));
    EXPECT_FALSE(Checked("useTrashCheck"));

    WindowSettings windowSettings(settings);
    EXPECT_EQ(windowSettings.ReadTrashKeepDays(), 30);
    settings.WriteRegNumber("TrashDays", 7);
    EXPECT_EQ(windowSettings.ReadTrashKeepDays(), 7);
    settings.WriteRegNumber("TrashDays", 400000);
    EXPECT_EQ(windowSettings.ReadTrashKeepDays(), 30);
}

TEST_F(MainDialogTest, ARunIsUndoneFromTheWindowOnlyAfterAYesAndOnlyForItsLocations)
{
    disk.WriteFile("src/new.txt", "new");
    disk.WriteFile("dst/stale.txt", "stale");
    disk.MakeFolder("other");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 1, 0, 1);
    Open();
    EXPECT_FALSE(Enabled("undoButton"));
    RunAndWait("location1To2Button");
    ASSERT_FALSE(disk.Exists("dst/stale.txt"));
    EXPECT_EQ(config.ReadFile("data/Trash/files/stale.txt"), "stale");
    EXPECT_TRUE(Enabled("undoButton"));

    // Other locations have no run to undo; back at these, theirs is found again.
    dialogs.browseAnswers.push_back(disk.Path("other/"));
    Click("browse2Button");
    EXPECT_FALSE(Enabled("undoButton"));
    dialogs.browseAnswers.push_back(disk.Path("dst/"));
    Click("browse2Button");
    ASSERT_TRUE(Enabled("undoButton"));

    dialogs.undoAnswers = {false};
    Click("undoButton");
    ASSERT_EQ(dialogs.undoQuestions.size(), 1u);
    const std::string question = dialogs.undoQuestions[0].toStdString();
    EXPECT_NE(question.find("Undo the last run into " + disk.Path("dst")), std::string::npos) << question;
    EXPECT_NE(question.find("1 added files and folders go to the Trash (1 file, 3 B)."), std::string::npos)
        << question;
    EXPECT_NE(question.find("0 overwritten files get their old content back (0 files, 0 B)."),
              std::string::npos);
    EXPECT_NE(question.find("1 deleted files and folders come back from the Trash (1 file, 5 B)."),
              std::string::npos);
    EXPECT_FALSE(window->Run().IsRunning());
    EXPECT_TRUE(disk.Exists("dst/new.txt"));

    dialogs.undoAnswers = {true};
    Click("undoButton");
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(disk.ReadFile("dst/stale.txt"), "stale");
    EXPECT_FALSE(disk.Exists("dst/new.txt"));
    ASSERT_EQ(dialogs.reports.size(), 2u);
    const SyncReport& undone = dialogs.reports[1];
    EXPECT_EQ(undone.kind, ReportKind::Undo);
    EXPECT_EQ(undone.restored, PathSet{disk.Path("dst/stale.txt")});
    EXPECT_EQ(undone.trashed, PathSet{disk.Path("dst/new.txt")});
    EXPECT_TRUE(undone.addedFiles.empty() && undone.deletedFiles.empty());
    // The undo's own start, not the epoch.
    EXPECT_GE(undone.startTime, dialogs.reports[0].startTime);
    EXPECT_FALSE(Enabled("undoButton"));
    EXPECT_TRUE(Enabled("lastReportButton"));
}

} // namespace
