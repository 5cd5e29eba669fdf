// Ignore patterns and size limits in a run: what is left out is neither copied nor deleted, folders
// that hold something ignored are walked around it, and the plan says the same as the run, at one job
// and at four.
#include <filesystem>
#include <random>
#include <set>

#include "base/temporary_name.h"
#include "engine/changes/run_undo.h"
#include "engine/walk/plan_reasons.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

SyncOptions WithPatterns(SyncOptions options, std::vector<std::string> patterns)
{
    for (std::string& text : patterns)
        options.ignorePatterns.push_back({std::move(text), "job.twp"});
    return options;
}

class SyncEngineIgnoreTest : public SyncEngineTest {
protected:
    // A target whose ignored items stand at every place a delete could reach them: at the top, in a
    // target-only folder beside items that are not ignored, deep in one, and in an ignored folder.
    void MakeTargetWithIgnoredItems()
    {
        tree.WriteFile(Source("kept.txt"), "k");
        tree.WriteFile(Target("kept.txt"), "k");
        tree.WriteFile(Target("a.tmp"), "t");
        tree.WriteFile(Target("node_modules/pkg/index.js"), "js");
        tree.WriteFile(Target("old/b.tmp"), "t");
        tree.WriteFile(Target("old/notes.txt"), "n");
        tree.WriteFile(Target("old/deep/er/c.tmp"), "t");
        tree.WriteFile(Target("old/deep/d.txt"), "d");
        tree.WriteFile(Target("old/plain/e.txt"), "e");
        tree.WriteFile(Target("gone/f.txt"), "f");
    }
    // What must survive every run without --delete-ignored.
    void ExpectIgnoredItemsKept() const
    {
        for (const char* path : {"a.tmp", "node_modules/pkg/index.js", "old/b.tmp", "old/deep/er/c.tmp"})
            EXPECT_TRUE(tree.Exists(Target(path))) << path;
    }
    const std::vector<std::string> patterns = {"*.tmp", "node_modules/"};
};
INSTANTIATE_TEST_SUITE_P(, SyncEngineIgnoreTest, bothWalks, JobsName);

TEST_P(SyncEngineIgnoreTest, AnIgnoredTargetItemIsNeverDeletedAndItsFolderIsDeletedAroundIt)
{
    MakeTargetWithIgnoredItems();
    Run(WithPatterns(unconfirmed, patterns));
    ExpectIgnoredItemsKept();
    // Around the ignored items, everything else of the target-only folder went, item by item.
    for (const char* path : {"old/notes.txt", "old/deep/d.txt", "old/plain/e.txt", "gone/f.txt"})
        EXPECT_FALSE(tree.Exists(Target(path))) << path;
    EXPECT_EQ(Items(report.deletedFolders), (std::vector<std::string>{T("gone"), T("old/plain")}));
    EXPECT_EQ(Items(report.deletedFiles),
              (std::vector<std::string>{T("old/deep/d.txt"), T("old/notes.txt")}));
    EXPECT_TRUE(report.problemLog.empty());
    std::vector<std::string> ignored;
    for (const IgnoredItem& item : report.ignoredItems)
        ignored.push_back(item.path);
    EXPECT_EQ(ignored, (std::vector<std::string>{T("a.tmp"), T("node_modules/"), T("old/b.tmp"),
                                                 T("old/deep/er/c.tmp")}));
    EXPECT_EQ(report.ignoredItems[1].reason, "excluded by pattern `node_modules/` (from job.twp)");
}

TEST_P(SyncEngineIgnoreTest, ConfirmedDeletesNeverAskAboutAnIgnoredItem)
{
    MakeTargetWithIgnoredItems();
    for (int answer = 0; answer < 10; ++answer)
        host.AddAnswer(ConfirmAnswer::Yes);
    Run(WithPatterns({.confirmDeletes = true, .useTrash = false}, patterns));
    ExpectIgnoredItemsKept();
    for (const std::string& line : host.QuestionLines()) {
        EXPECT_EQ(line.find(".tmp"), std::string::npos) << line;
        EXPECT_EQ(line.find("node_modules"), std::string::npos) << line;
        EXPECT_NE(line, "Delete sub-folder: " + T("old"));
    }
    EXPECT_EQ(host.Questions().size(), 4u);
}

TEST_P(SyncEngineIgnoreTest, EachItemDeletedAroundAnIgnoredOneCountsAgainstTheLimit)
{
    MakeTargetWithIgnoredItems();
    SyncOptions options = WithPatterns(unconfirmed, patterns);
    options.maxDeletes = 2;
    Run(options);
    ExpectIgnoredItemsKept();
    EXPECT_EQ(report.deletedFileCount + report.deletedFolderCount, 2);
    EXPECT_EQ(report.problemLog.size(), 2u);
}

TEST_P(SyncEngineIgnoreTest, DeleteIgnoredRemovesWhatThePatternsLeaveOutOnTheTargetSide)
{
    MakeTargetWithIgnoredItems();
    tree.WriteFile(Source("twin.tmp"), "source");
    tree.WriteFile(Target("twin.tmp"), "target");
    SyncOptions options = WithPatterns(unconfirmed, patterns);
    options.deleteIgnored = true;
    Run(options);
    for (const char* path : {"a.tmp", "twin.tmp", "node_modules", "old", "gone"})
        EXPECT_FALSE(tree.Exists(Target(path))) << path;
    EXPECT_TRUE(tree.Exists(Source("twin.tmp")));
    EXPECT_TRUE(tree.Exists(Target("kept.txt")));
    // With deletes off, the option deletes nothing.
    tree.WriteFile(Target("again.tmp"), "t");
    options.deleteMissing = false;
    Run(options);
    EXPECT_TRUE(tree.Exists(Target("again.tmp")));
}

TEST_P(SyncEngineIgnoreTest, ANewFolderIsAddedWithoutWhatItHoldsThatIsIgnored)
{
    tree.WriteFile(Source("new/a.txt"), "a");
    tree.WriteFile(Source("new/b.tmp"), "b");
    tree.WriteFile(Source("new/node_modules/m.js"), "m");
    tree.WriteFile(Source("new/sub/c.txt"), "c");
    tree.WriteFile(Source("whole/d.txt"), "d");
    Run(WithPatterns(unconfirmed, patterns));
    EXPECT_EQ(SideSnapshot("target"), (std::map<std::string, std::string>{{"new/", ""},
                                                                          {"new/a.txt", "a"},
                                                                          {"new/sub/", ""},
                                                                          {"new/sub/c.txt", "c"},
                                                                          {"whole/", ""},
                                                                          {"whole/d.txt", "d"}}));
    EXPECT_EQ(Items(report.addedFolders), (std::vector<std::string>{T("new"), T("new/sub"), T("whole")}));
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("new/a.txt")});
    EXPECT_EQ(report.filesCopied, 3u);
    EXPECT_EQ(report.ignoredItems.size(), 2u);
    // The next run finds nothing to do.
    report.ResetForRun();
    Run(WithPatterns(unconfirmed, patterns));
    EXPECT_EQ(report.addedFileCount + report.addedFolderCount + report.overwrittenFileCount, 0);
}

TEST_P(SyncEngineIgnoreTest, AReservedNameThePatternsLeaveOutIsNotRefused)
{
    const std::string reserved = MakeTemporaryName();
    tree.WriteFile(Source(reserved), "mine");
    tree.WriteFile(Target("sub/" + reserved), "old leftover", baseTime);
    tree.MakeFolder(Source("sub"));
    Run(WithPatterns(unconfirmed, {".twinfol-*"}));
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_TRUE(tree.Exists(Target("sub/" + reserved)));
    // Without the pattern the source's is refused with its problem line.
    report.ResetForRun();
    Run(unconfirmed);
    EXPECT_EQ(report.problemLog.size(), 1u);
}

TEST_P(SyncEngineIgnoreTest, SizeLimitsLeaveFilesOutOnEitherSideAndNeverFolders)
{
    tree.WriteFile(Source("big.bin"), std::string(2048, 'x'), baseTime + 3600);
    tree.WriteFile(Target("big.bin"), "small twin", baseTime);
    tree.WriteFile(Source("tiny.txt"), "1");
    tree.WriteFile(Source("fine.txt"), std::string(100, 'f'));
    tree.WriteFile(Target("huge-only-here.bin"), std::string(4096, 'h'));
    SyncOptions options = unconfirmed;
    options.maxFileSize = 1024;
    options.minFileSize = 10;
    Run(options);
    // The target's twin of a file too large stays as it was: not overwritten, and not deleted either.
    EXPECT_EQ(tree.ReadFile(Target("big.bin")), "small twin");
    EXPECT_TRUE(tree.Exists(Target("huge-only-here.bin")));
    EXPECT_FALSE(tree.Exists(Target("tiny.txt")));
    EXPECT_TRUE(tree.Exists(Target("fine.txt")));
    std::map<std::string, std::string> reasons;
    for (const IgnoredItem& item : report.ignoredItems)
        reasons[item.path] = item.reason;
    EXPECT_EQ(reasons, (std::map<std::string, std::string>{{T("big.bin"), "larger than 1 KiB"},
                                                           {T("huge-only-here.bin"), "larger than 1 KiB"},
                                                           {S("tiny.txt"), "smaller than 10 B"}}));
}

TEST_P(SyncEngineIgnoreTest, ThePlanNamesTheRuleOfEveryItemLeftOutAndAgreesWithTheRun)
{
    MakeTargetWithIgnoredItems();
    tree.WriteFile(Source("new/b.tmp"), "b");
    tree.WriteFile(Source("new/a.txt"), "a");
    exclusions = ExclusionList({T("gone/")});
    const SyncOptions options = WithPatterns(WithJobs(unconfirmed), patterns);
    const ExplainedPlan explained = MakeExplainedPlan(fileSystem, source, target, options, exclusions,
                                                      [](const std::string&) { return true; });
    std::map<std::string, std::string> excluded;
    std::set<std::string> deleted;
    for (const PlanRow& row : explained.rows) {
        if (row.action == PlanAction::Excluded)
            excluded[row.path] = row.reason;
        if (row.action == PlanAction::DeleteFile || row.action == PlanAction::DeleteFolder)
            deleted.insert(row.path);
    }
    EXPECT_EQ(excluded["gone"], "excluded by path");
    EXPECT_EQ(excluded["new/b.tmp"], "excluded by pattern `*.tmp` (from job.twp)");
    EXPECT_EQ(excluded["old/deep/er/c.tmp"], "excluded by pattern `*.tmp` (from job.twp)");
    EXPECT_EQ(excluded.size(), 6u);
    Run(options);
    std::set<std::string> done;
    for (const auto* list : {&report.deletedFiles, &report.deletedFolders})
        for (const std::string& path : *list)
            done.insert(path.substr(target.size()));
    EXPECT_EQ(deleted, done);
    EXPECT_TRUE(tree.Exists(Target("gone/f.txt")));
}

// Random trees on both sides and random pattern sets: one job and four give the same target and the
// same report, the plan foretells the run's deletes, and no item the patterns ignore in the target
// (as git decides it: below an ignored folder too) is changed or deleted.
class IgnoreRandomTreeTest : public SyncEngineFixture {
protected:
    void Build(std::mt19937& random, const std::string& folder, int depth)
    {
        static const char* names[] = {"a", "b.tmp", "c.log",    "node_modules",
                                      "d", "e.txt", "keep.tmp", "build"};
        for (const char* name : names) {
            const int shape = std::uniform_int_distribution<int>(0, 6)(random);
            const std::string path = folder + name;
            const bool inSource = shape == 0 || shape == 2 || shape == 4;
            const bool inTarget = shape == 1 || shape == 2 || shape == 5;
            if (depth > 0 && shape >= 3) {
                for (const char* side : {"one/", "four/"}) {
                    if (shape != 5)
                        tree.MakeFolder(side + std::string("source/") + path);
                    if (shape != 4)
                        tree.MakeFolder(side + std::string("target/") + path);
                }
                Build(random, path + "/", depth - 1);
                continue;
            }
            for (const char* side : {"one/", "four/"}) {
                if (inSource)
                    tree.WriteFile(side + std::string("source/") + path, "new " + path, baseTime + 1000);
                if (inTarget)
                    tree.WriteFile(side + std::string("target/") + path, "old " + path, baseTime);
            }
        }
    }

    struct Outcome {
        std::map<std::string, std::string> target;
        std::vector<std::vector<std::string>> lists;
        std::vector<std::string> ignored;
        std::set<std::string> plannedDeletes;
    };

    Outcome RunBelow(const std::string& side, const SyncOptions& options)
    {
        const std::string sourceRoot = tree.Path(side + "source/");
        const std::string targetRoot = tree.Path(side + "target/");
        Outcome outcome;
        const ExplainedPlan plan = MakeExplainedPlan(fileSystem, sourceRoot, targetRoot, options, exclusions,
                                                     [](const std::string&) { return true; });
        for (const PlanRow& row : plan.rows)
            if (row.action == PlanAction::DeleteFile || row.action == PlanAction::DeleteFolder)
                outcome.plannedDeletes.insert(row.path);
        SyncReport own;
        SyncRunState state;
        ScriptedSyncHost ownHost;
        SyncEngine(fileSystem, exclusions, state, own, ownHost).Run(sourceRoot, targetRoot, options);
        for (const ReportList list :
             {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
              ReportList::AddedFolders, ReportList::DeletedFolders}) {
            outcome.lists.emplace_back();
            for (const std::string& path : own.List(list))
                outcome.lists.back().push_back(path.substr(targetRoot.size()));
        }
        for (const IgnoredItem& item : own.ignoredItems)
            outcome.ignored.push_back(item.path.substr(item.path.find(side) + side.size()) + " " +
                                      item.reason);
        EXPECT_TRUE(own.problemLog.empty());
        std::set<std::string> deleted;
        for (const std::size_t list : {2u, 4u})
            deleted.insert(outcome.lists[list].begin(), outcome.lists[list].end());
        EXPECT_EQ(outcome.plannedDeletes, deleted);
        outcome.target = SideSnapshot(side + "target");
        return outcome;
    }
};

TEST_F(IgnoreRandomTreeTest, OneJobAndFourAgreeAndNothingIgnoredInTheTargetIsTouched)
{
    static const char* pool[] = {"*.tmp", "node_modules/", "/d", "d/e.txt",  "!keep.tmp", "**/c.log",
                                 "b*",    "build/**",      "a/", "!a/e.txt", "*.txt",     "/e.txt"};
    std::size_t ignoredSeen = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        Build(random, "", 2);
        SyncOptions options = unconfirmed;
        for (const char* pattern : pool)
            if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
                options.ignorePatterns.push_back({pattern, "test"});
        const auto before = SideSnapshot("one/target");
        options.jobs = 1;
        const Outcome one = RunBelow("one/", options);
        options.jobs = 4;
        const Outcome four = RunBelow("four/", options);
        EXPECT_EQ(four.target, one.target);
        EXPECT_EQ(four.lists, one.lists);
        EXPECT_EQ(four.ignored, one.ignored);
        const IgnorePatternSet set(options.ignorePatterns);
        for (const auto& [path, content] : before) {
            const bool folder = path.ends_with('/');
            if (set.IgnoredBy(folder ? path.substr(0, path.size() - 1) : path, folder) == nullptr)
                continue;
            ++ignoredSeen;
            const auto after = one.target.find(path);
            EXPECT_TRUE(after != one.target.end() && after->second == content) << path;
        }
        std::filesystem::remove_all(tree.Path("one"));
        std::filesystem::remove_all(tree.Path("four"));
    }
    EXPECT_GT(ignoredSeen, 30u) << "the trees hold too few ignored target items";
}

using SyncEngineIgnoreTrashTest = TrashRunTest;
INSTANTIATE_TEST_SUITE_P(, SyncEngineIgnoreTrashTest, bothWalks, JobsName);

// Around an ignored item, each item is its own move to the Trash and its own line of the journal, so
// an undo brings each back, and leaves the ignored item as it was.
TEST_P(SyncEngineIgnoreTrashTest, AnUndoBringsBackEachItemDeletedAroundAnIgnoredOne)
{
    tree.WriteFile(Target("old/b.tmp"), "ignored");
    tree.WriteFile(Target("old/notes.txt"), "n");
    tree.WriteFile(Target("old/plain/e.txt"), "e");
    const auto before = SideSnapshot("target");
    SyncOptions options = withTrash;
    options.ignorePatterns.push_back({"*.tmp", "job.twp"});
    RunWithTrash(options);
    EXPECT_EQ(SideSnapshot("target"),
              (std::map<std::string, std::string>{{"old/", ""}, {"old/b.tmp", "ignored"}}));
    EXPECT_EQ(TrashFiles().count("notes.txt"), 1u);
    EXPECT_EQ(TrashFiles().count("plain/e.txt"), 1u);
    UndoSearch search = FindLastRun(fileSystem, places, target);
    ASSERT_TRUE(search.run);
    runState.ResetForRun();
    report.ResetForRun();
    RunUndo(fileSystem, places, runState, report, host, &TestClock).Undo(*search.run, target);
    EXPECT_EQ(SideSnapshot("target"), before);
    EXPECT_EQ(report.restoredCount, 2);
}

} // namespace
} // namespace twinfol::test
