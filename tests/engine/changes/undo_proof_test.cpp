// What an undo may prove before it acts: an added folder that holds newer work stays, every move into
// the Trash is in the journal on disk before the rename that makes it (so an undo after a kill finds
// everything that reached the Trash), and a move a kill stopped before its rename is recognised.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <thread>

#include "engine/changes/run_undo.h"
#include "support/fault_injecting_file_system.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

class UndoProofTest : public TrashRunTest {
protected:
    void Undo()
    {
        UndoSearch search = FindLastRun(fileSystem, places, target);
        ASSERT_TRUE(search.run) << search.refusal;
        runState.ResetForRun();
        report.ResetForRun();
        RunUndo(fileSystem, places, runState, report, host, &TestClock).Undo(*search.run, target);
    }

    // The newest journal's text as it stands on disk now.
    std::string JournalText()
    {
        const std::vector<JournalFile> journals = Journals();
        std::string text;
        if (!journals.empty()) {
            EXPECT_TRUE(fileSystem.ReadFile(journals.back().path, maxJournalBytes, text));
        }
        return text;
    }

    // A target of deletes and overwrites, files and folders.
    void MakeDeletesAndOverwrites()
    {
        for (const char* name : {"a", "b", "c"}) {
            tree.WriteFile(Source(std::string("over-") + name), "new", baseTime + 1000);
            tree.WriteFile(Target(std::string("over-") + name), std::string("old ") + name, baseTime);
            tree.WriteFile(Target(std::string("stale-") + name), std::string("stale ") + name);
            tree.WriteFile(Target(std::string("tree-") + name + "/inner"), name);
        }
    }
};
INSTANTIATE_TEST_SUITE_P(, UndoProofTest, bothWalks, JobsName);

TEST_P(UndoProofTest, AnAddedFolderThatHoldsNewerWorkIsKeptWithTheNewerItemNamed)
{
    tree.WriteFile(Source("proj/sub/a"), "a");
    tree.WriteFile(Source("other/b"), "b");
    RunWithTrash();
    ASSERT_TRUE(report.problemLog.empty());
    // Written after the run, two levels down: the added folder's own stamp does not move.
    // Past the file system's clock tick that stamped the run's last change.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    tree.WriteFile(Target("proj/sub/notes.txt"), "my notes");

    Undo();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not undo: " + T("proj")});
    EXPECT_EQ(report.problemLog[0].reason,
              "it holds " + T("proj/sub/notes.txt") + ", which the run did not add");
    EXPECT_EQ(tree.ReadFile(Target("proj/sub/notes.txt")), "my notes");
    EXPECT_EQ(tree.ReadFile(Target("proj/sub/a")), "a");
    // The folder the person did not touch goes as usual.
    EXPECT_FALSE(tree.Exists(Target("other")));
    EXPECT_EQ(TrashFiles().count("proj/"), 0u);
}

TEST_P(UndoProofTest, EveryMoveIsInTheJournalOnDiskBeforeItsRenameAndAnUndoAfterAKillRestoresAll)
{
    MakeDeletesAndOverwrites();
    const auto before = SideSnapshot("target");
    PosixFileSystem real;
    FaultInjectingFileSystem layer(real);
    std::vector<std::string> missing;
    std::string atLastMove;
    // At four jobs the workers move at the same time; each record is written before its move, so the
    // journal read by the last of them holds them all.
    std::mutex checking;
    const auto check = [&](const FsCall& call) {
        const std::lock_guard lock(checking);
        atLastMove = JournalText();
        const std::string name(BaseNameOf(call.secondPath));
        const std::optional<Journal> journal = ParseJournal(atLastMove);
        const bool recorded =
            journal && std::any_of(journal->records.begin(), journal->records.end(),
                                   [&](const JournalRecord& r) { return r.trashName == name; });
        if (!recorded)
            missing.push_back(call.path);
    };
    layer.OnCall(FsOperation::MoveToTrash, check);
    layer.OnCall(FsOperation::LinkToTrash, check);
    RunThrough(layer);
    ASSERT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(layer.CallCount(FsOperation::MoveToTrash) + layer.CallCount(FsOperation::LinkToTrash), 9);
    EXPECT_TRUE(missing.empty()) << missing.front();

    // A kill right after the last rename: the journal holds only what was written before it.
    const std::vector<JournalFile> journals = Journals();
    ASSERT_FALSE(journals.empty());
    std::ofstream(journals.back().path, std::ios::trunc) << atLastMove;
    Undo();
    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(SideSnapshot("target"), before);
}

TEST_P(UndoProofTest, AMoveAKillStoppedBeforeItsRenameIsRecognisedAndTheRestComesBack)
{
    MakeDeletesAndOverwrites();
    const auto before = SideSnapshot("target");
    PosixFileSystem real;
    FaultInjectingFileSystem layer(real);
    // The third move never happens, as if the run was killed between its record and its rename.
    layer.FailNthCall(FsOperation::MoveToTrash, 3, EIO);
    RunThrough(layer);
    ASSERT_EQ(report.problemLog.size(), 1u);
    const std::string stopped = report.problemLog[0].path;
    const std::vector<JournalFile> journals = Journals();
    ASSERT_FALSE(journals.empty());
    // A failed move is cancelled by a line of its own; a kill leaves the record without it.
    std::string text = JournalText();
    const std::size_t cancel = text.find("not-moved\t");
    ASSERT_NE(cancel, std::string::npos);
    text.erase(cancel, text.find('\n', cancel) + 1 - cancel);
    std::ofstream(journals.back().path, std::ios::trunc) << text;

    Undo();
    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(SideSnapshot("target"), before) << stopped;
}

TEST_P(UndoProofTest, AnOverwriteStoppedWhileItsNameWasEmptyGetsItsOldContentBack)
{
    tree.WriteFile(Source("doc.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("doc.txt"), "old", baseTime);
    PosixFileSystem real;
    FaultInjectingFileSystem layer(real);
    // As on a disk without hard links: the old content is moved out before the copy takes the name.
    layer.FailNthCall(FsOperation::LinkToTrash, 1, EPERM);
    std::string duringCopy;
    layer.OnCall(FsOperation::CopyFile, [&](const FsCall&) { duringCopy = JournalText(); });
    RunThrough(layer);
    ASSERT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    ASSERT_EQ(TrashFiles().count("doc.txt"), 1u);
    // A kill during the copy: the name is empty and the journal has no replacement for it.
    const std::vector<JournalFile> journals = Journals();
    ASSERT_FALSE(journals.empty());
    std::ofstream(journals.back().path, std::ios::trunc) << duringCopy;
    ASSERT_EQ(unlink(tree.Path(Target("doc.txt")).c_str()), 0);

    Undo();
    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(tree.ReadFile(Target("doc.txt")), "old");
    EXPECT_EQ(TrashFiles().count("doc.txt"), 0u);
}

} // namespace
} // namespace twinfol::test
