// Runs with the Trash over real trees: what a run would delete or overwrite goes to the home trash
// whole, with the info files a file manager reads, and the journal says where; the rules of a delete
// hold; nothing is lost where no Trash can be had; trash folders are never part of the walk; and the
// Trash and journals are tidied at later runs.
#include <sys/stat.h>

#include <cerrno>

#include "engine/records/refusal_reasons.h"
#include "support/fault_injecting_file_system.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

using Entries = std::map<std::string, std::string>;

class SyncEngineTrashTest : public TrashRunTest {};
INSTANTIATE_TEST_SUITE_P(, SyncEngineTrashTest, bothWalks, JobsName);

TEST_P(SyncEngineTrashTest, DeletedItemsAndOldContentGoToTheHomeTrashWholeAndTheJournalSaysWhere)
{
    tree.WriteFile(Source("a.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("a.txt"), "old", baseTime);
    tree.WriteFile(Target("old notes%.txt"), "stale");
    tree.WriteFile(Target("gone/deep/x"), "x");
    for (const char* folder : {"p", "q"}) {
        tree.MakeFolder(Source(folder));
        tree.WriteFile(Target(std::string(folder) + "/dup.txt"), folder);
    }

    RunWithTrash();

    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("a.txt")});
    EXPECT_EQ(Items(report.deletedFiles),
              (std::vector<std::string>{T("old notes%.txt"), T("p/dup.txt"), T("q/dup.txt")}));
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("gone")});
    EXPECT_EQ(SideSnapshot("target"), (Entries{{"a.txt", "new"}, {"p/", ""}, {"q/", ""}}));
    // The second item of a name gets a number before its ending.
    EXPECT_EQ(TrashFiles(), (Entries{{"a.txt", "old"},
                                     {"old notes%.txt", "stale"},
                                     {"gone/", ""},
                                     {"gone/deep/", ""},
                                     {"gone/deep/x", "x"},
                                     {"dup.txt", "p"},
                                     {"dup.2.txt", "q"}}));
    EXPECT_EQ(TrashInfos().at("old notes%.txt.trashinfo"), ExpectedInfo("old notes%.txt"));
    EXPECT_NE(ExpectedInfo("old notes%.txt").find("Path=" + target + "old%20notes%25.txt\n"),
              std::string::npos);
    EXPECT_EQ(TrashInfos().at("dup.2.txt.trashinfo"), ExpectedInfo("q/dup.txt"));
    EXPECT_EQ(TrashInfos().size(), TrashFiles().size() - 2); // the tree's own folders have none

    const std::optional<Journal> journal = NewestJournal();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->header.target, target);
    EXPECT_TRUE(journal->header.useTrash);
    std::vector<std::string> records;
    for (const JournalRecord& record : journal->records)
        records.push_back(record.relativePath + " -> " + journal->ItemOf(record).FilesPath());
    const std::string trash = places.homeTrash + "files/";
    EXPECT_EQ(records, (std::vector<std::string>{
                           "a.txt -> " + trash + "a.txt", "old notes%.txt -> " + trash + "old notes%.txt",
                           "p/dup.txt -> " + trash + "dup.txt", "q/dup.txt -> " + trash + "dup.2.txt",
                           "gone -> " + trash + "gone"}));
    EXPECT_EQ(journal->records[0].size, 3); // the new content's size, to tell a later change
}

TEST_P(SyncEngineTrashTest, ReadOnlyFilesAreNeitherTrashedNorReplacedAndNoInfoFileStays)
{
    tree.WriteFile(Source("locked.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("locked.txt"), "old", baseTime);
    tree.WriteFile(Target("stale.txt"), "stale");
    tree.WriteFile(Target("folder/inner.txt"), "inner");
    for (const char* file : {"locked.txt", "stale.txt", "folder/inner.txt"})
        tree.SetMode(Target(file), 0444);

    RunWithTrash();

    EXPECT_EQ(report.ProblemLines(), (std::vector<std::string>{"Could not copy file: " + T("locked.txt"),
                                                               "Could not delete file: " + T("stale.txt"),
                                                               "Could not delete folder: " + T("folder")}));
    EXPECT_EQ(report.problemLog[0].reason, targetReadOnlyReason);
    EXPECT_EQ(
        SideSnapshot("target"),
        (Entries{
            {"locked.txt", "old"}, {"stale.txt", "stale"}, {"folder/", ""}, {"folder/inner.txt", "inner"}}));
    EXPECT_TRUE(TrashFiles().empty());
    EXPECT_TRUE(TrashInfos().empty());
}

TEST_P(SyncEngineTrashTest, WhereNoTrashCanBeHadEveryItemStaysWithAProblemLine)
{
    // A file where the home trash's folders belong: it cannot be made.
    tree.WriteFile("home/data", "not a folder");
    tree.WriteFile(Source("a.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("a.txt"), "old", baseTime);
    tree.WriteFile(Target("stale.txt"), "stale");
    tree.WriteFile(Target("gone/x"), "x");

    RunWithTrash();

    EXPECT_EQ(report.ProblemLines(),
              (std::vector<std::string>{"Could not move to the Trash: " + T("a.txt"),
                                        "Could not move to the Trash: " + T("stale.txt"),
                                        "Could not move to the Trash: " + T("gone")}));
    EXPECT_EQ(report.problemLog[1].reason, "a file stands where the folder belongs");
    EXPECT_EQ(SideSnapshot("target"),
              (Entries{{"a.txt", "old"}, {"stale.txt", "stale"}, {"gone/", ""}, {"gone/x", "x"}}));
    EXPECT_EQ(report.overwrittenFileCount + report.deletedFileCount + report.deletedFolderCount, 0);
}

TEST_P(SyncEngineTrashTest, AReplacementThatFailsTakesTheOldContentBackOutOfTheTrash)
{
    tree.WriteFile(Source("a.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("a.txt"), "old", baseTime);
    FaultInjectingFileSystem faults(fileSystem);
    faults.FailNthCall(FsOperation::CopyFile, 1, EIO);

    RunThrough(faults);

    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not copy file: " + T("a.txt")});
    EXPECT_EQ(tree.ReadFile(Target("a.txt")), "old");
    struct stat info {};
    ASSERT_EQ(lstat(tree.Path(Target("a.txt")).c_str(), &info), 0);
    EXPECT_EQ(info.st_nlink, 1u);
    EXPECT_TRUE(TrashFiles().empty());
    EXPECT_TRUE(TrashInfos().empty());
}

// The rule is narrow: only the home trash, and trash names at a volume's top (see the mount tests),
// are left out; a person's own ".Trash" folder deep in a tree is synchronised like any other.
TEST_P(SyncEngineTrashTest, AHomeTrashInsideTheTargetIsNeverPartOfTheWalk)
{
    places.homeTrash = target + "me/.local/share/Trash/";
    tree.MakeFolder(Source("me/.local/share"));
    tree.WriteFile(Target("me/.local/share/Trash/files/earlier"), "kept");
    tree.WriteFile(Target("stale.txt"), "stale");
    tree.WriteFile(Target("work/.Trash/mine"), "mine");
    tree.WriteFile(Source("work/.Trash-1000/theirs"), "theirs");

    RunWithTrash();

    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("stale.txt")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("work/.Trash")});
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("work/.Trash-1000")});
    EXPECT_EQ(tree.ReadFile(Target("me/.local/share/Trash/files/earlier")), "kept");
    EXPECT_EQ(tree.ReadFile(Target("me/.local/share/Trash/files/stale.txt")), "stale");

    RunWithTrash();
    EXPECT_EQ(report.deletedFileCount + report.deletedFolderCount + report.addedFileCount, 0);
    EXPECT_TRUE(report.problemLog.empty());
}

TEST_P(SyncEngineTrashTest, ItemsLeaveTheTrashAfterTheKeepingDaysOnlyWhileTheirInfoIsUnchanged)
{
    tree.WriteFile(Target("one"), "1");
    tree.WriteFile(Target("two"), "2");
    tree.WriteFile(Target("tree/x"), "x");
    tree.WriteFile("home/data/Trash/files/foreign", "not ours");
    tree.WriteFile("home/data/Trash/info/foreign.trashinfo", "[Trash Info]\nPath=/foreign\n");
    RunWithTrash();
    ASSERT_EQ(TrashFiles().size(), 5u);
    ASSERT_EQ(Journals().size(), 1u);
    // The person restored "two" and reused its name in the Trash for something else.
    tree.WriteFile("home/data/Trash/info/two.trashinfo", "[Trash Info]\nPath=/elsewhere/two\n");
    tree.WriteFile(Source("later"), "l");

    AdvanceDays(29);
    RunWithTrash();
    EXPECT_EQ(TrashFiles().size(), 5u);
    AdvanceDays(2);
    RunWithTrash(SyncOptions{.confirmDeletes = false, .useTrash = true, .trashKeepDays = 0});
    EXPECT_EQ(TrashFiles().size(), 5u);
    RunWithTrash();
    EXPECT_EQ(TrashFiles(), (Entries{{"foreign", "not ours"}, {"two", "2"}}));
    EXPECT_EQ(TrashInfos().size(), 2u);
    // The first run's journal names nothing of ours in the Trash any more and goes; the journal of the
    // run that added "later" is the newest of the target and stays for its undo.
    ASSERT_EQ(Journals().size(), 1u);
    EXPECT_EQ(NewestJournal()->records.at(0).relativePath, "later");
}

TEST_P(SyncEngineTrashTest, JournalsOfEarlierRunsWithoutTheTrashStayForTheHistoryUntilTheKeepingDaysEnd)
{
    for (const char* name : {"a", "b", "c"}) {
        tree.WriteFile(Source(name), name);
        RunWithTrash(unconfirmed);
        testNow += std::chrono::seconds(1);
    }
    EXPECT_EQ(Journals().size(), 3u);
    AdvanceDays(30);
    tree.WriteFile(Source("d"), "d");
    RunWithTrash(unconfirmed);
    // The old ones serve no undo any more and go; the one of "c" was the last of the target when the
    // run started, and the run of "d" is the newest now.
    ASSERT_EQ(Journals().size(), 2u);
    const std::optional<Journal> newest = NewestJournal();
    ASSERT_TRUE(newest);
    ASSERT_EQ(newest->records.size(), 1u);
    EXPECT_EQ(newest->records[0].relativePath, "d");
    EXPECT_EQ(newest->records[0].entry, JournalEntry::AddedFile);
    EXPECT_FALSE(newest->header.useTrash);
}

} // namespace
} // namespace twinfol::test
