// Undo of the last run over real trees: the tree comes back byte for byte with its stamps and modes,
// an item changed since the run is left alone, a run without the Trash gives back only its adds, and
// each run is undone once.
#include <sys/stat.h>

#include <set>

#include "engine/changes/run_undo.h"
#include "engine/fs/dry_run_file_system.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

using Entries = std::map<std::string, std::string>;

class RunUndoTest : public TrashRunTest {
protected:
    // Every entry of the target with what it holds; files and links with their mode and last-write
    // time to the nanosecond, folders with their mode (their own stamps move whenever an entry comes or
    // goes).
    Entries StampedListing() const
    {
        Entries listing;
        for (const auto& [relative, content] : SideSnapshot("target")) {
            struct stat info {};
            EXPECT_EQ(lstat(tree.Path(Target(relative)).c_str(), &info), 0);
            std::string facts = content + " mode " + std::to_string(info.st_mode & 07777);
            if (!S_ISDIR(info.st_mode))
                facts +=
                    " at " + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
            listing[relative] = facts;
        }
        return listing;
    }

    UndoSearch Find() { return FindLastRun(fileSystem, places, target); }

    void Undo(FileSystem& layer)
    {
        UndoSearch search = Find();
        ASSERT_TRUE(search.run) << search.refusal;
        runState.ResetForRun();
        report.ResetForRun();
        RunUndo(layer, places, runState, report, host, &TestClock).Undo(*search.run, target);
    }
    void Undo() { Undo(fileSystem); }

    // A target that a run overwrites, adds to and deletes from, files and trees, in the top folder
    // and below it.
    void MakeJob()
    {
        tree.WriteFile(Source("keep.txt"), "same", baseTime);
        tree.WriteFile(Target("keep.txt"), "same", baseTime);
        tree.WriteFile(Source("over.txt"), "new", baseTime + 1000);
        tree.WriteFile(Target("over.txt"), "old");
        tree.SetModified(Target("over.txt"), baseTime, 111);
        tree.SetMode(Target("over.txt"), 0640);
        tree.WriteFile(Source("sub/over2.bin"), "new2", baseTime + 1000);
        tree.WriteFile(Target("sub/over2.bin"), "old2", baseTime);
        tree.SetMode(Target("sub/over2.bin"), 0600);
        tree.WriteFile(Source("added.txt"), "added");
        tree.WriteFile(Source("sub/added2"), "added2");
        tree.WriteFile(Source("newdir/inner/f"), "f");
        tree.WriteFile(Target("stale.txt"), "stale");
        tree.SetModified(Target("stale.txt"), baseTime + 5, 999);
        tree.SetMode(Target("stale.txt"), 0604);
        tree.MakeSymlink(Target("link"), "somewhere");
        tree.WriteFile(Target("gone/deep/x"), "x", baseTime);
        tree.SetModified(Target("gone/deep"), baseTime + 7, 7);
        tree.SetModified(Target("gone"), baseTime + 8, 8);
    }
};
INSTANTIATE_TEST_SUITE_P(, RunUndoTest, bothWalks, JobsName);

TEST_P(RunUndoTest, UndoGivesBackTheTreeByteForByteWithItsStampsAndModes)
{
    MakeJob();
    const Entries before = StampedListing();
    RunWithTrash();
    ASSERT_TRUE(report.problemLog.empty());
    ASSERT_NE(StampedListing(), before);
    AdvanceDays(1);

    Undo();

    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(StampedListing(), before);
    EXPECT_EQ(tree.Modified(Target("gone")), baseTime + 8);
    EXPECT_EQ(tree.Modified(Target("gone/deep")), baseTime + 7);
    // The undo's own lists, and none of a run's.
    EXPECT_EQ(report.kind, ReportKind::Undo);
    EXPECT_EQ(Items(report.trashed),
              (std::vector<std::string>{T("added.txt"), T("newdir"), T("sub/added2")}));
    EXPECT_EQ(Items(report.restored), (std::vector<std::string>{T("gone"), T("link"), T("over.txt"),
                                                                T("stale.txt"), T("sub/over2.bin")}));
    EXPECT_EQ(report.trashedCount, 3);
    EXPECT_EQ(report.restoredCount, 5);
    EXPECT_EQ(report.overwrittenFileCount + report.addedFileCount + report.deletedFileCount +
                  report.addedFolderCount + report.deletedFolderCount,
              0);
    // What the undo took away went to the Trash, and nothing the run had put there is left.
    EXPECT_EQ(TrashFiles(), (Entries{{"added.txt", "added"},
                                     {"added2", "added2"},
                                     {"newdir/", ""},
                                     {"newdir/inner/", ""},
                                     {"newdir/inner/f", "f"}}));
    EXPECT_EQ(TrashInfos().size(), 3u);
    EXPECT_EQ(Find().refusal, "The last change to " + WithoutTrailingSeparator(target) +
                                  " was an undo: there is no run to undo.");
}

TEST_P(RunUndoTest, AnItemChangedSinceTheRunIsLeftAloneWithAProblemLine)
{
    MakeJob();
    RunWithTrash();
    tree.WriteFile(Target("added.txt"), "edited since");
    tree.SetModified(Target("over.txt"), baseTime + 5000);
    tree.WriteFile(Target("stale.txt"), "a new file of that name");
    ASSERT_EQ(std::remove(tree.Path("home/data/Trash/info/link.trashinfo").c_str()), 0);

    Undo();

    EXPECT_EQ(
        report.ProblemLines(),
        (std::vector<std::string>{"Could not undo: " + T("stale.txt"), "Could not undo: " + T("link"),
                                  "Could not undo: " + T("over.txt"), "Could not undo: " + T("added.txt")}));
    EXPECT_EQ(report.problemLog[0].reason, "something of that name stands there now");
    EXPECT_EQ(report.problemLog[1].reason,
              "it is no longer in the Trash as it went (No such file or directory)");
    EXPECT_EQ(report.problemLog[2].reason, "it changed since the run");
    EXPECT_EQ(report.problemLog[3].reason, "it changed since the run");
    EXPECT_EQ(report.LeftAlone().size(), 4u);
    EXPECT_EQ(tree.ReadFile(Target("added.txt")), "edited since");
    EXPECT_EQ(tree.ReadFile(Target("over.txt")), "new");
    EXPECT_EQ(tree.ReadFile(Target("stale.txt")), "a new file of that name");
    // Everything else came back.
    EXPECT_EQ(tree.ReadFile(Target("sub/over2.bin")), "old2");
    EXPECT_EQ(tree.ReadFile(Target("gone/deep/x")), "x");
    EXPECT_FALSE(tree.Exists(Target("newdir")));
    EXPECT_EQ(TrashFiles().count("stale.txt"), 1u);
}

TEST_P(RunUndoTest, ARunWithoutTheTrashGivesBackOnlyItsAddsAndTheReportSaysSo)
{
    MakeJob();
    RunWithTrash(unconfirmed);
    ASSERT_EQ(report.deletedFileCount, 2);

    Undo();

    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(report.notes, std::vector<std::string>{"That run did not use the Trash: the files and folders "
                                                     "it deleted or overwrote cannot come back."});
    EXPECT_EQ(report.trashedCount, 3);
    EXPECT_EQ(report.restoredCount, 0);
    EXPECT_FALSE(tree.Exists(Target("added.txt")) || tree.Exists(Target("newdir")));
    EXPECT_EQ(tree.ReadFile(Target("over.txt")), "new");
    EXPECT_EQ(TrashFiles().count("added.txt"), 1u);
}

TEST_P(RunUndoTest, EachRunIsUndoneOnceAndATrialUndoChangesNothing)
{
    EXPECT_EQ(Find().refusal, "No run into " + WithoutTrailingSeparator(target) + " has a journal to undo.");
    tree.WriteFile(Target("stale.txt"), "stale");
    RunWithTrash();
    const Entries afterRun = SideSnapshot("target");

    DryRunFileSystem trial(fileSystem);
    Undo(trial);
    EXPECT_EQ(Items(report.restored), std::vector<std::string>{T("stale.txt")});
    EXPECT_EQ(SideSnapshot("target"), afterRun);
    ASSERT_TRUE(Find().run);

    Undo();
    EXPECT_EQ(tree.ReadFile(Target("stale.txt")), "stale");
    // Nothing was sent to the Trash by this undo, so no journal of its own: the run is marked undone.
    EXPECT_EQ(Find().refusal,
              "The last run into " + WithoutTrailingSeparator(target) + " has already been undone.");
}

// At four jobs the workers trash many items of the same names at once: each gets a name of its own in
// the Trash with its info file, the journal holds every move, and the undo gives the tree back whole.
TEST_P(RunUndoTest, ManyItemsOfOneNameTrashedAtOnceKeepTheirOwnNamesAndComeBack)
{
    std::multiset<std::string> expected;
    for (int index = 0; index < 20; ++index) {
        const std::string name = "n" + std::to_string(index);
        tree.WriteFile(Target(name), "top " + name, baseTime);
        expected.insert("top " + name);
        for (const std::string folder : {"a/", "b/", "c/"}) {
            tree.WriteFile(Target(folder + name), "gone " + folder + name, baseTime);
            tree.WriteFile(Source(folder + "o" + name), "new", baseTime + 1000);
            tree.WriteFile(Target(folder + "o" + name), "old " + folder + name, baseTime);
            expected.insert({"gone " + folder + name, "old " + folder + name});
        }
    }
    const Entries before = StampedListing();

    RunWithTrash();

    ASSERT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(report.deletedFiles.size(), 80u);
    EXPECT_EQ(report.overwrittenFiles.size(), 60u);
    std::multiset<std::string> trashed;
    for (const auto& [name, content] : TrashFiles())
        trashed.insert(content);
    EXPECT_EQ(trashed, expected);
    EXPECT_EQ(TrashInfos().size(), expected.size());
    const std::optional<Journal> journal = NewestJournal();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->records.size(), expected.size());

    Undo();
    EXPECT_EQ(report.restoredCount, static_cast<int>(expected.size()));
    EXPECT_EQ(StampedListing(), before);
}

} // namespace
} // namespace twinfol::test
