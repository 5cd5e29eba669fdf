// The preview's rows: each kind of item with its reason in words, and, on random trees, exactly the
// trial run's report (every change, every problem) plus the items left alone.
#include <algorithm>
#include <random>
#include <set>

#include "engine/walk/plan_reasons.h"
#include "support/ordinary_user.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

const PlanRow* FindRow(const std::vector<PlanRow>& rows, const std::string& path)
{
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const PlanRow& row) { return row.path == path; });
    return found == rows.end() ? nullptr : &*found;
}

ExplainedPlan Explain(const TempTree& tree, std::vector<std::string> exclusions = {})
{
    PosixFileSystem fileSystem;
    return MakeExplainedPlan(fileSystem, tree.Path("source/"), tree.Path("target/"),
                             SyncOptions{.useTrash = false}, ExclusionList(std::move(exclusions)), nullptr);
}

TEST(PlanReasons, SaysWhyForEachKindOfItem)
{
    TempTree tree;
    tree.WriteFile("source/newer.txt", "12345", baseTime + 3 * 3600 + 12 * 60);
    tree.WriteFile("target/newer.txt", "old", baseTime);
    tree.WriteFile("source/close.txt", "a", baseTime + 45);
    tree.WriteFile("target/close.txt", "b", baseTime);
    tree.WriteFile("source/older.txt", "a", baseTime);
    tree.WriteFile("target/older.txt", "b", baseTime + 600);
    tree.WriteFile("source/locked.txt", "new", baseTime + 600);
    tree.WriteFile("target/locked.txt", "old", baseTime);
    tree.SetMode("target/locked.txt", 0444);
    tree.WriteFile("source/only-source.txt", "1234567", baseTime);
    tree.WriteFile("target/only-target.txt", "123", baseTime);
    tree.WriteFile("source/skip.txt", "x", baseTime);
    tree.WriteFile("source/tree/a", "12", baseTime);
    tree.WriteFile("source/tree/deep/b", "345", baseTime);
    tree.WriteFile("target/gone/a", "1", baseTime);
    tree.WriteFile("target/gone/deep/b", "22", baseTime);
    tree.WriteFile("target/gone/deep/c", "333", baseTime);

    const ExplainedPlan explained = Explain(tree, {tree.Path("source/skip.txt")});
    const std::vector<PlanRow>& rows = explained.rows;
    ASSERT_TRUE(explained.plan.complete);
    EXPECT_EQ(rows.size(), 9u);

    const auto expect = [&](const std::string& path, PlanAction action, const std::string& reason,
                            std::uint64_t bytes, std::uint64_t files) {
        const PlanRow* row = FindRow(rows, path);
        ASSERT_NE(row, nullptr) << path;
        EXPECT_EQ(row->action, action) << path;
        EXPECT_EQ(row->reason, reason) << path;
        EXPECT_EQ(row->bytes, bytes) << path;
        EXPECT_EQ(row->files, files) << path;
    };
    expect("newer.txt", PlanAction::Overwrite, "source is 3 h 12 min newer", 5, 1);
    expect("close.txt", PlanAction::LeaveAlone,
           "source is 45 s newer: within the 2-minute tolerance, left alone", 0, 0);
    expect("older.txt", PlanAction::TargetNewer, "target is 10 min newer", 0, 0);
    expect("locked.txt", PlanAction::WillFail, "target is read-only: the overwrite will fail", 3, 1);
    expect("only-source.txt", PlanAction::AddFile, "only in the source", 7, 1);
    expect("only-target.txt", PlanAction::DeleteFile, "only in the target", 3, 1);
    expect("skip.txt", PlanAction::Excluded, "excluded by path", 0, 0);
    expect("tree", PlanAction::AddFolder, "only in the source", 5, 2);
    expect("gone", PlanAction::DeleteFolder, "only in the target", 6, 3);
    EXPECT_TRUE(FindRow(rows, "tree")->folder);

    // The runner plans a Trash run without the user's places: it must not take every change for a
    // failure for want of a Trash.
    SyncOptions trashRun;
    trashRun.useTrash = true;
    PosixFileSystem fileSystem;
    const RunPlan withTrash = MakeRunPlan(fileSystem, tree.Path("source/"), tree.Path("target/"), trashRun,
                                          ExclusionList({tree.Path("source/skip.txt")}), nullptr);
    EXPECT_EQ(withTrash.report.overwrittenFiles, explained.plan.report.overwrittenFiles);
    EXPECT_EQ(withTrash.report.problemLog, explained.plan.report.problemLog);
    EXPECT_EQ(withTrash.ItemsToDelete(), explained.plan.ItemsToDelete());

    EXPECT_EQ(SpanText(59), "59 s");
    EXPECT_EQ(SpanText(125), "2 min 5 s");
    EXPECT_EQ(SpanText(7200), "2 h");
    EXPECT_EQ(SpanText(2 * 86400 + 4 * 3600 + 59), "2 d 4 h");
}

TEST(PlanReasons, AnHourShiftIsAnOverwriteUnlessTheJobIgnoresIt)
{
    TempTree tree;
    tree.WriteFile("source/shifted.txt", "s", baseTime + 3600);
    tree.WriteFile("target/shifted.txt", "t", baseTime);
    PosixFileSystem fileSystem;
    SyncOptions options;
    for (const bool ignore : {false, true}) {
        options.ignoreHourShift = ignore;
        const ExplainedPlan explained = MakeExplainedPlan(
            fileSystem, tree.Path("source/"), tree.Path("target/"), options, ExclusionList(), nullptr);
        ASSERT_EQ(explained.rows.size(), 1u);
        EXPECT_EQ(explained.rows[0].action, ignore ? PlanAction::LeaveAlone : PlanAction::Overwrite);
        EXPECT_EQ(explained.rows[0].reason,
                  ignore ? "source is 1 h newer: taken for a clock shift of one hour, left alone"
                         : "source is 1 h newer");
    }
}

// A source file nobody but root may read is foreseen as a failure, whether it would overwrite, be
// added, or be copied inside a folder to add (the folder itself is still added); the run's line names the
// target and its reason the source. Checked as a person who is not root: root reads any file.
TEST(PlanReasons, AnUnreadableSourceIsForeseenAsAFailureThatNamesTheSource)
{
    TempTree tree;
    tree.WriteFile("source/secret.txt", "new", baseTime + 7200);
    tree.WriteFile("target/secret.txt", "old", baseTime);
    tree.WriteFile("source/hidden.txt", "h", baseTime);
    tree.WriteFile("source/folder/inner.txt", "i", baseTime);
    for (const char* path : {"source/secret.txt", "source/hidden.txt", "source/folder/inner.txt"})
        tree.SetMode(path, 0);
    GiveTreeToOrdinaryUser(tree.Root());
    const auto notes = CheckAsOrdinaryUser([&](std::vector<std::string>& failures) {
        const ExplainedPlan explained = Explain(tree);
        const std::pair<const char*, const char*> expected[] = {
            {"secret.txt", "the source file cannot be read: the overwrite will fail"},
            {"hidden.txt", "the source file cannot be read: the add will fail"},
            {"folder/inner.txt", "the source file cannot be read: the add will fail"},
        };
        for (const auto& [path, reason] : expected) {
            const PlanRow* row = FindRow(explained.rows, path);
            if (row == nullptr || row->action != PlanAction::WillFail || row->reason != reason)
                failures.push_back(std::string(path) + ": " + (row ? row->reason : "no row"));
        }
        if (explained.plan.FilesToCopy() != 0 || explained.plan.report.overwrittenFileCount != 0)
            failures.push_back("the plan counts a copy that will fail");
        PosixFileSystem fileSystem;
        SyncRunState runState;
        SyncReport report;
        ScriptedSyncHost host;
        const ExclusionList none;
        SyncEngine(fileSystem, none, runState, report, host)
            .Run(tree.Path("source/"), tree.Path("target/"), unconfirmed);
        if (report.problemLog != explained.plan.report.problemLog)
            failures.push_back("the real run met other problems than the plan foresaw");
        for (const ProblemRecord& problem : report.problemLog)
            if (problem.reason != "the source file cannot be read: Permission denied")
                failures.push_back(problem.line + " (" + problem.reason + ")");
        const std::vector<std::string> lines = report.ProblemLines();
        const std::string addLine = "Could not copy file: " + tree.Path("target/hidden.txt");
        if (lines.size() != 3 || std::find(lines.begin(), lines.end(), addLine) == lines.end())
            failures.push_back("the problem lines do not name the targets");
    });
    if (!notes)
        GTEST_SKIP() << needsRootMessage;
    EXPECT_EQ(*notes, std::vector<std::string>{});
    EXPECT_EQ(tree.ReadFile("target/secret.txt"), "old");
}

// Builds both sides from a seed: every case the rows tell apart, at a few levels.
class PlanTreeBuilder {
public:
    PlanTreeBuilder(const TempTree& tree, unsigned seed) : tree_(tree), random_(seed) {}

    void Fill(const std::string& folder, int depth)
    {
        const int items = 3 + Pick(6);
        for (int index = 0; index < items; ++index)
            AddCase(folder + "n" + std::to_string(index), depth);
    }

    std::vector<std::string> exclusions;
    // Relative paths of the source files to take every permission from once the tree is built.
    std::vector<std::string> unreadable;

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
    std::string Content() { return std::string(static_cast<std::size_t>(Pick(300)), 'y'); }

    void AddCase(const std::string& name, int depth)
    {
        const std::string s = "source/" + name;
        const std::string t = "target/" + name;
        const int shift = Pick(20000) - 5000;
        switch (Pick(depth > 0 ? 12 : 11)) {
        case 0:
            if (Pick(3) == 0)
                tree_.MakeSymlink(s, "../elsewhere");
            else
                tree_.WriteFile(s, Content(), baseTime);
            break;
        case 1: tree_.WriteFile(t, Content(), baseTime); break;
        case 2:
        case 3:
            tree_.WriteFile(s, Content(), baseTime + shift);
            tree_.WriteFile(t, Content(), baseTime);
            if (Pick(4) == 0)
                tree_.SetMode(t, 0444);
            break;
        case 4: tree_.WriteFile(s + "/f", Content(), baseTime); break;
        case 5: tree_.WriteFile(t + "/f/g", Content(), baseTime); break;
        case 6:
            tree_.WriteFile(s, Content(), baseTime + 9000);
            tree_.WriteFile(t, Content(), baseTime);
            exclusions.push_back(tree_.Path(Pick(2) == 0 ? s : t));
            break;
        case 7:
            tree_.WriteFile(t, Content(), baseTime);
            exclusions.push_back(tree_.Path(t));
            break;
        case 8:
        case 9: // a source nobody but root may read: to add, to overwrite, or inside a folder to add
            unreadable.push_back(Pick(3) == 0 ? s + "/f" : s);
            tree_.WriteFile(unreadable.back(), Content(), baseTime + 9000);
            if (Pick(2) == 0 && unreadable.back() == s)
                tree_.WriteFile(t, Content(), baseTime);
            break;
        case 10: // the target days newer
            tree_.WriteFile(s, Content(), baseTime);
            tree_.WriteFile(t, Content(), baseTime + 3 * 86400 + Pick(4) * 3600);
            break;
        default:
            tree_.MakeFolder(s);
            tree_.MakeFolder(t);
            Fill(name + "/", depth - 1);
        }
    }

    const TempTree& tree_;
    std::mt19937 random_;
};

std::set<std::string> PathsOf(const std::vector<PlanRow>& rows, PlanAction action)
{
    std::set<std::string> paths;
    for (const PlanRow& row : rows)
        if (row.action == action)
            paths.insert(row.path);
    return paths;
}

std::set<std::string> BelowTarget(const PathSet& paths, const std::string& targetRoot)
{
    std::set<std::string> below;
    for (const std::string& path : paths)
        below.insert(path.substr(targetRoot.size()));
    return below;
}

// The rows of a plan against a report: each change row an item of its list, each failure row a
// problem. Mismatches are noted in words.
void CompareRows(const std::vector<PlanRow>& rows, const SyncReport& report, const std::string& target,
                 const std::string& which, std::vector<std::string>& notes)
{
    const std::pair<PlanAction, ReportList> lists[] = {
        {PlanAction::Overwrite, ReportList::OverwrittenFiles},
        {PlanAction::AddFile, ReportList::AddedFiles},
        {PlanAction::AddFolder, ReportList::AddedFolders},
        {PlanAction::DeleteFile, ReportList::DeletedFiles},
        {PlanAction::DeleteFolder, ReportList::DeletedFolders},
    };
    for (const auto& [action, list] : lists) {
        const std::set<std::string> planned = PathsOf(rows, action);
        const std::set<std::string> done = BelowTarget(report.List(list), target);
        for (const std::string& path : planned)
            if (!done.contains(path))
                notes.push_back(which + ": " + path + " has a row of action " +
                                std::to_string(static_cast<int>(action)) + " but is not in its list");
        for (const std::string& path : done)
            if (!planned.contains(path))
                notes.push_back(which + ": " + path + " is in the list of action " +
                                std::to_string(static_cast<int>(action)) + " without a row");
    }
    std::set<std::string> problems;
    for (const ProblemRecord& problem : report.problemLog)
        problems.insert(problem.path.substr(target.size()));
    if (PathsOf(rows, PlanAction::WillFail) != problems)
        notes.push_back(which + ": the failure rows differ from the problem log");
}

// Plans the trees, then runs them for real: the rows agree with the trial run's report and with the
// real run's at the walk of the jobs, row by row, and say why in the words of their rule. Answers the
// mismatches in words.
std::vector<std::string> RowsAgainstRuns(const TempTree& tree, const std::vector<std::string>& excluded,
                                         int jobs, std::set<PlanAction>& seen)
{
    std::vector<std::string> notes;
    const auto before = tree.Snapshot();
    const ExplainedPlan explained = Explain(tree, excluded);
    if (tree.Snapshot() != before)
        notes.push_back("the plan changed the trees");
    const std::string target = tree.Path("target/");
    CompareRows(explained.rows, explained.plan.report, target, "trial run", notes);
    std::uint64_t copied = 0;
    for (const PlanRow& row : explained.rows) {
        seen.insert(row.action);
        const bool overwrite = row.action == PlanAction::Overwrite;
        if (row.action == PlanAction::LeaveAlone && row.reason != "excluded" &&
            row.reason.find("within the 2-minute tolerance") == std::string::npos)
            notes.push_back(row.path + ": left alone for no rule: " + row.reason);
        if ((overwrite && row.reason.rfind("source is ", 0) != 0) ||
            (row.action == PlanAction::TargetNewer && row.reason.rfind("target is ", 0) != 0))
            notes.push_back(row.path + ": the reason does not say which side is newer: " + row.reason);
        if (overwrite || row.action == PlanAction::AddFile || row.action == PlanAction::AddFolder)
            copied += row.bytes;
    }
    if (copied != explained.plan.BytesToCopy())
        notes.push_back("the rows' bytes differ from the plan's total");

    PosixFileSystem fileSystem;
    SyncRunState runState;
    SyncReport report;
    ScriptedSyncHost host;
    const ExclusionList exclusions(excluded);
    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    SyncOptions options = unconfirmed;
    options.jobs = jobs;
    engine.Run(tree.Path("source/"), target, options);
    CompareRows(explained.rows, report, target, "real run", notes);
    return notes;
}

// Builds the trees of a seed; the unreadable files are left readable to root alone.
void BuildTrees(TempTree& tree, PlanTreeBuilder& builder)
{
    tree.MakeFolder("source");
    tree.MakeFolder("target");
    builder.Fill("", 2);
    for (const std::string& path : builder.unreadable)
        tree.SetMode(path, 0);
}

TEST(PlanReasons, RowsAgreeWithTheTrialRunAndTheRealRunOnRandomTrees)
{
    std::set<PlanAction> seen;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempTree tree;
        PlanTreeBuilder builder(tree, seed);
        BuildTrees(tree, builder);
        EXPECT_EQ(RowsAgainstRuns(tree, builder.exclusions, seed % 2 == 0 ? 4 : 1, seen),
                  std::vector<std::string>{});
    }
    EXPECT_EQ(seen.size(), 8u) << "the trees missed a kind of row";
}

// The same trees run as a person who is not root, who cannot read the files without permissions: the
// preview foresees each of those copies failing, as the real run then meets it.
TEST(PlanReasons, RowsAgreeWithTheRealRunOfAnOrdinaryUser)
{
    std::size_t unreadable = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempTree tree;
        PlanTreeBuilder builder(tree, seed);
        BuildTrees(tree, builder);
        unreadable += builder.unreadable.size();
        GiveTreeToOrdinaryUser(tree.Root());
        const auto notes = CheckAsOrdinaryUser([&](std::vector<std::string>& failures) {
            std::set<PlanAction> seen;
            failures = RowsAgainstRuns(tree, builder.exclusions, seed % 2 == 0 ? 4 : 1, seen);
            if (!builder.unreadable.empty() && !seen.contains(PlanAction::WillFail))
                failures.push_back("no unreadable source was foreseen to fail");
        });
        if (!notes)
            GTEST_SKIP() << needsRootMessage;
        EXPECT_EQ(*notes, std::vector<std::string>{});
    }
    EXPECT_GT(unreadable, 3u) << "the trees held too few unreadable files to tell anything";
}

} // namespace
} // namespace twinfol::test
