// A folder added whole copies all it can: an entry the target cannot take (a special file, a file or
// folder that cannot be read) gets a problem line of its own and the rest of the tree is copied. The
// folder counts as added and is marked incomplete, and the counts add up. The dry run and the Preview
// say the same; a lost connection still ends the copy at once.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/fs/dry_run_file_system.h"
#include "engine/records/refusal_reasons.h"
#include "engine/walk/plan_reasons.h"
#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class AddedFolderFixture : public SyncEngineFixture {
protected:
    // Each problem line with its reason.
    std::set<std::pair<std::string, std::string>> Problems() const
    {
        std::set<std::pair<std::string, std::string>> problems;
        for (const ProblemRecord& problem : report.problemLog)
            problems.emplace(problem.line, problem.reason);
        return problems;
    }
    void RunAgain(FileSystem& layer, const SyncOptions& options = unconfirmed)
    {
        runState.ResetForRun();
        report.ResetForRun();
        RunWith(layer, options);
    }
    // What the report says was copied equals what it lists as added, and what the disk holds.
    void ExpectCountsAddUp(std::uint64_t filesInside) const
    {
        std::uint64_t listed = report.addedFiles.size();
        for (const auto& [folder, contents] : report.addedFolderContents)
            listed += contents.files;
        EXPECT_EQ(report.filesCopied, listed);
        EXPECT_EQ(report.addedFolderContents.at(T("new")).files, filesInside);
    }
};

using AddedFolderTest = BothWalks<AddedFolderFixture>;

TEST_P(AddedFolderTest, ASpecialFileLeavesOnlyItselfOut)
{
    for (int file = 1; file <= 8; ++file)
        tree.WriteFile(Source("new/file" + std::to_string(file) + ".txt"), "content", baseTime);
    tree.MakeFifo(Source("new/pipe"));
    tree.WriteFile(Source("new/sub/inner.txt"), "inner", baseTime);
    tree.WriteFile(Source("after.txt"), "after", baseTime);
    const std::set<std::pair<std::string, std::string>> expected{
        {"Could not copy file: " + T("new/pipe"), sourceIsSpecialReason}};

    DryRunFileSystem dryRun(fileSystem);
    RunWith(dryRun);
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("new")});
    EXPECT_EQ(Items(report.partlyCopiedFolders), std::vector<std::string>{T("new")});
    ExpectCountsAddUp(9);

    RunAgain(fileSystem);
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("new")});
    EXPECT_EQ(report.MarkedList(ReportList::AddedFolders),
              std::vector<std::string>{T("new") + std::string(partlyCopiedMark)});
    EXPECT_TRUE(report.incompleteFolders.empty());
    ExpectCountsAddUp(9);
    EXPECT_EQ(report.filesCopied, 10u);
    for (int file = 1; file <= 8; ++file)
        EXPECT_EQ(tree.ReadFile(Target("new/file" + std::to_string(file) + ".txt")), "content");
    EXPECT_EQ(tree.ReadFile(Target("new/sub/inner.txt")), "inner");
    EXPECT_EQ(tree.ReadFile(Target("after.txt")), "after");

    // The next run meets the folder as a twin: only the special file is still a problem.
    RunAgain(fileSystem);
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(report.filesCopied, 0u);
}

TEST_P(AddedFolderTest, AFileOrFolderThatCannotBeReadIsOneProblemEachAndTheRestIsCopied)
{
    tree.WriteFile(Source("new/a.txt"), "a", baseTime);
    tree.WriteFile(Source("new/b-unreadable.txt"), "b", baseTime);
    tree.WriteFile(Source("new/c.txt"), "c", baseTime);
    tree.WriteFile(Source("new/closed/x.txt"), "x", baseTime);
    tree.WriteFile(Source("new/closed/y.txt"), "y", baseTime);
    tree.WriteFile(Source("new/open/z.txt"), "z", baseTime);
    FaultInjectingFileSystem faults(fileSystem);
    faults.FailPath(S("new/b-unreadable.txt"), EACCES, FsOperation::CopyFile);
    faults.FailPath(S("new/closed/"), EACCES, FsOperation::List);

    RunWith(faults);
    const std::set<std::string> lines{"Could not copy file: " + T("new/b-unreadable.txt"),
                                      "Could not copy folder: " + S("new/closed")};
    const std::vector<std::string> problems = report.ProblemLines();
    EXPECT_EQ(std::set<std::string>(problems.begin(), problems.end()), lines);
    EXPECT_EQ(problems.size(), 2u);
    EXPECT_EQ(tree.ReadFile(Target("new/a.txt")), "a");
    EXPECT_EQ(tree.ReadFile(Target("new/c.txt")), "c");
    EXPECT_EQ(tree.ReadFile(Target("new/open/z.txt")), "z");
    EXPECT_FALSE(tree.Exists(Target("new/b-unreadable.txt")));
    EXPECT_FALSE(tree.Exists(Target("new/closed/x.txt")));
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("new")});
    ExpectCountsAddUp(3);
}

TEST_P(AddedFolderTest, ALostConnectionStillEndsTheCopyAtOnce)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
        tree.WriteFile(Source(std::string("new/") + name), name, baseTime);
    FaultInjectingFileSystem faults(fileSystem);
    faults.FailPath(S("new/b.txt"), ENOTCONN, FsOperation::CopyFile);

    RunWith(faults);
    // The roots are still there, so the walk does not take the disk for lost: one line for the
    // entry that failed, and no attempt at the entries after it.
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not copy file: " + T("new/b.txt")});
    // Entries are copied in listing order: those before the failed one are there, none after it
    // was tried.
    std::vector<std::string> copied;
    for (const FsCall& call : faults.Calls())
        if (call.operation == FsOperation::CopyFile)
            copied.push_back(call.path);
    ASSERT_FALSE(copied.empty());
    EXPECT_EQ(copied.back(), S("new/b.txt"));
    for (std::size_t index = 0; index + 1 < copied.size(); ++index)
        EXPECT_TRUE(tree.Exists(Target("new/" + copied[index].substr(S("new/").size())))) << copied[index];
    EXPECT_EQ(report.addedFolderContents.at(T("new")).files, copied.size() - 1);
}

TEST_P(AddedFolderTest, ThePreviewShowsEachEntryThatWillFailInsideTheNewFolder)
{
    tree.WriteFile(Source("new/fine.txt"), "fine", baseTime);
    tree.MakeFifo(Source("new/deeper/pipe"));
    const ExplainedPlan plan = MakeExplainedPlan(fileSystem, source, target, unconfirmed, exclusions, {});
    const auto row = std::find_if(plan.rows.begin(), plan.rows.end(),
                                  [](const PlanRow& each) { return each.path == "new/deeper/pipe"; });
    ASSERT_NE(row, plan.rows.end());
    EXPECT_EQ(row->action, PlanAction::WillFail);
    EXPECT_NE(row->reason.find(sourceIsSpecialReason), std::string::npos) << row->reason;
    const auto folder = std::find_if(plan.rows.begin(), plan.rows.end(),
                                     [](const PlanRow& each) { return each.path == "new"; });
    ASSERT_NE(folder, plan.rows.end());
    EXPECT_NE(folder->action, PlanAction::WillFail);
}

INSTANTIATE_TEST_SUITE_P(, AddedFolderTest, bothWalks, JobsName);

} // namespace
} // namespace twinfol::test
