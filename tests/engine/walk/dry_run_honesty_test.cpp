// A trial run reports what the real run then does, problems and all, at either walk: both are run over
// the same randomly built trees, made of the cases the trial-run layer can see (target kinds, the
// read-only rule, links and special files in the source, read-only files and mounts inside trees to
// delete) and of exclusions on either side. The planning walk built on it counts what a run would
// copy and delete.
#include <random>

#include "engine/fs/dry_run_file_system.h"
#include "engine/records/refusal_reasons.h"
#include "engine/walk/run_plan.h"
#include "support/excluded_items.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

class TreeBuilder {
public:
    TreeBuilder(const TempTree& tree, unsigned seed) : tree_(tree), random_(seed) {}

    // Fills source/ and target/ below the folder (relative, ending with "/" or empty).
    void Fill(const std::string& folder, int items, int depth)
    {
        for (int index = 0; index < items; ++index)
            AddCase(folder + "i" + std::to_string(index), depth);
    }

    // The paths drawn for exclusion, on either side; some name nothing.
    ExclusionList Exclusions() const { return ExclusionList(excluded_); }

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
    std::string Content() { return std::string(static_cast<std::size_t>(Pick(3) * 40000 + Pick(50)), 'x'); }

    // A tree below one side: files, links, sub-folders, and where asked one special or read-only file.
    void MakeTree(const std::string& path, int depth, const std::string& oddOne)
    {
        tree_.MakeFolder(path);
        const int entries = 1 + Pick(4);
        const int odd = oddOne.empty() ? -1 : Pick(entries);
        for (int index = 0; index < entries; ++index) {
            const std::string name = path + "/e" + std::to_string(index);
            if (index == odd && oddOne == "fifo")
                tree_.MakeFifo(name);
            else if (index == odd && oddOne == "read-only")
                MakeReadOnly(name);
            else if (depth > 0 && Pick(3) == 0)
                MakeTree(name, depth - 1, Pick(2) == 0 ? oddOne : "");
            else if (Pick(5) == 0)
                tree_.MakeSymlink(name, "../elsewhere");
            else
                tree_.WriteFile(name, Content(), baseTime);
        }
    }

    void MakeReadOnly(const std::string& path)
    {
        tree_.WriteFile(path, Content(), baseTime);
        tree_.SetMode(path, 0444);
    }

    // One item in four is excluded, by one of the paths a decision on it tests: its source path or
    // its target path, each as a file's or as a folder's as the item is on that side.
    void MaybeExclude(const std::vector<std::string>& paths)
    {
        if (Pick(4) == 0)
            excluded_.push_back(
                tree_.Path(paths[static_cast<std::size_t>(Pick(static_cast<int>(paths.size())))]));
    }

    void AddCase(const std::string& name, int depth)
    {
        const std::string s = "source/" + name;
        const std::string t = "target/" + name;
        switch (Pick(depth > 0 ? 16 : 15)) {
        case 0:
            tree_.WriteFile(s, Content(), baseTime);
            MaybeExclude({s, t});
            break;
        case 1:
            tree_.WriteFile(s, Content(), baseTime + 500);
            tree_.WriteFile(t, "old", baseTime);
            MaybeExclude({s, t});
            break;
        case 2:
            tree_.WriteFile(s, Content(), baseTime + 500);
            MakeReadOnly(t);
            tree_.SetModified(t, baseTime);
            MaybeExclude({s, t});
            break;
        case 3:
            tree_.WriteFile(s, Content(), baseTime);
            MakeTree(t, 1, "");
            MaybeExclude({s, t + "/"});
            break;
        case 4:
            MakeTree(s, 1, "");
            tree_.WriteFile(t, Content(), baseTime);
            MaybeExclude({s + "/", t});
            break;
        case 5:
            tree_.MakeFifo(s);
            MaybeExclude({s});
            break;
        case 6:
            MakeTree(s, 2, "");
            MaybeExclude({s + "/"});
            break;
        case 7:
            MakeTree(s, 2, "fifo");
            MaybeExclude({s + "/"});
            break;
        case 8:
            tree_.WriteFile(t, Content(), baseTime);
            MaybeExclude({t, s});
            break;
        case 9:
            MakeReadOnly(t);
            MaybeExclude({t});
            break;
        case 10:
            MakeTree(t, 2, "");
            MaybeExclude({t + "/"});
            break;
        case 11:
            MakeTree(t, 2, "read-only");
            MaybeExclude({t + "/"});
            break;
        case 12:
            tree_.MakeSymlink(s, "../nowhere");
            MaybeExclude({s});
            break;
        case 13:
            tree_.WriteFile(s, "same", baseTime);
            tree_.WriteFile(t, "same", baseTime);
            MaybeExclude({s, t});
            break;
        case 14: // a target newer than its source: left alone
            tree_.WriteFile(s, "older", baseTime);
            tree_.WriteFile(t, Content(), baseTime + 500);
            MaybeExclude({s, t});
            break;
        default:
            tree_.MakeFolder(s);
            tree_.MakeFolder(t);
            MaybeExclude({s + "/", t + "/"});
            Fill(name + "/", 3, depth - 1);
        }
    }

    const TempTree& tree_;
    std::mt19937 random_;
    std::vector<std::string> excluded_;
};

// Runs a trial run, a plan and then the real run over the same trees, expects one report of all
// three and answers the real run's.
// With the Trash on, the places hold its home trash, on the trees' own disk.
SyncReport ExpectTrialRunTellsTheTruth(const TempTree& tree, const std::string& source,
                                       const std::string& target, const SyncOptions& options,
                                       const ExclusionList& exclusions = {},
                                       const UserPlaces* places = nullptr)
{
    PosixFileSystem fileSystem;
    SyncRunState runState;
    const auto before = tree.Snapshot();
    const auto run = [&](FileSystem& layer, SyncReport& report, ScriptedSyncHost& host) {
        SyncEngine engine(layer, exclusions, runState, report, host);
        if (places != nullptr)
            engine.SetUserPlaces(*places);
        engine.Run(source, target, options);
    };
    DryRunFileSystem trial(fileSystem);
    SyncReport trialReport;
    ScriptedSyncHost trialHost;
    run(trial, trialReport, trialHost);
    EXPECT_EQ(tree.Snapshot(), before) << "a trial run changed the trees";
    const RunPlan plan = MakeRunPlan(fileSystem, source, target, options, exclusions, {}, nullptr, places);
    EXPECT_TRUE(plan.complete);

    SyncReport report;
    ScriptedSyncHost realHost;
    run(fileSystem, report, realHost);
    EXPECT_EQ(trialReport.problemLog, report.problemLog);
    EXPECT_EQ(plan.report.problemLog, report.problemLog);
    for (auto list : {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
                      ReportList::AddedFolders, ReportList::DeletedFolders}) {
        EXPECT_EQ(trialReport.List(list), report.List(list));
        EXPECT_EQ(trialReport.Count(list), report.Count(list));
        EXPECT_EQ(plan.report.List(list), report.List(list));
    }
    EXPECT_EQ(trialReport.filesCopied, report.filesCopied);
    EXPECT_EQ(trialReport.bytesCopied, report.bytesCopied);
    EXPECT_EQ(plan.FilesToCopy(), report.filesCopied);
    EXPECT_EQ(plan.BytesToCopy(), report.bytesCopied);
    EXPECT_EQ(trialReport.addedFolderContents, report.addedFolderContents);
    EXPECT_EQ(trialHost.ProgressTexts(), realHost.ProgressTexts());
    EXPECT_EQ(ChangedExcludedItems(before, tree.Snapshot(), exclusions, tree.Root(), "source/", "target/"),
              std::vector<std::string>{});
    return report;
}

// The trial run and the plan at each walk, each against the real run at the same walk.
class DryRunHonesty : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(, DryRunHonesty, bothWalks, JobsName);

TEST_P(DryRunHonesty, RandomTreesWithExclusionsGetTheRealRunsReport)
{
    std::size_t problems = 0;
    std::size_t exclusions = 0;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const TempTree tree;
        const std::string source = tree.MakeFolder("source");
        const std::string target = tree.MakeFolder("target");
        TreeBuilder builder(tree, seed);
        // Enough items at the top that the pool takes its files and its deletes.
        builder.Fill("", 40, 2);
        SyncOptions options = unconfirmed;
        options.deleteMissing = seed % 3 != 0;
        options.addMissing = seed % 5 != 0;
        // Half the runs keep what they delete and overwrite in the Trash, whose moves refuse what a
        // delete refuses before anything moves.
        options.useTrash = seed % 2 == 0;
        options.jobs = GetParam();
        const UserPlaces places{tree.Path("home/Trash/"), tree.Path("state/"), geteuid()};
        problems += ExpectTrialRunTellsTheTruth(tree, source, target, options, builder.Exclusions(),
                                                options.useTrash ? &places : nullptr)
                        .problemLog.size();
        exclusions += builder.Exclusions().Size();
    }
    // The trees are built to hold problems and exclusions: a comparison of clean runs would prove little.
    EXPECT_GT(problems, 40u);
    EXPECT_GT(exclusions, 40u);
}

using TrialRunTest = SyncEngineTest;
INSTANTIATE_TEST_SUITE_P(, TrialRunTest, bothWalks, JobsName);

TEST_P(TrialRunTest, AFileSystemMountedInsideATreeToDeleteStopsTheTrialDeleteToo)
{
    tree.WriteFile("target/old/a", "a");
    tree.MakeFolder("target/old/mnt");
    tree.WriteFile("elsewhere/kept", "k");
    const TestMount mount = TestMount::Bind(tree.Path("elsewhere"), tree.Path("target/old/mnt"));
    if (!mount.IsMounted())
        GTEST_SKIP() << mount.Failure();
    report = ExpectTrialRunTellsTheTruth(tree, source, target, WithJobs(unconfirmed));
    ASSERT_EQ(report.problemLog.size(), 1u);
    EXPECT_EQ(report.problemLog[0].reason, mountedInside);
    EXPECT_TRUE(tree.Exists("elsewhere/kept"));
}

TEST_P(TrialRunTest, APlanCountsWhatTheRunWouldCopyAndDeleteAndChangesNothing)
{
    tree.WriteFile("source/newer", "12345", baseTime + 500);
    tree.WriteFile("target/newer", "1", baseTime);
    tree.WriteFile("source/added", "123");
    tree.WriteFile("source/tree/a", "1234567890");
    tree.WriteFile("source/tree/deep/b", "12");
    tree.MakeSymlink("source/tree/link", "a");
    tree.WriteFile("target/stale", "s");
    tree.WriteFile("target/staletree/one", "1");
    tree.WriteFile("target/staletree/two", "2");
    tree.WriteFile("target/locked", "l");
    tree.SetMode("target/locked", 0444);
    const auto before = tree.Snapshot();

    std::vector<std::string> texts;
    const RunPlan plan =
        MakeRunPlan(fileSystem, source, target, WithJobs({}), exclusions, [&](const std::string& text) {
            texts.push_back(text);
            return true;
        });
    EXPECT_EQ(tree.Snapshot(), before);
    EXPECT_TRUE(plan.complete);
    EXPECT_EQ(plan.FilesToCopy(), 5u); // newer, added, and a, b and the link inside the tree
    EXPECT_EQ(plan.BytesToCopy(), 5u + 3u + 10u + 2u);
    // stale, the tree as one item, and the read-only file whose delete would fail
    EXPECT_EQ(plan.ItemsToDelete(), 3);
    EXPECT_EQ(plan.report.addedFolderContents.at(T("tree")), (FolderContents{3, 12}));
    EXPECT_FALSE(texts.empty());

    const RunPlan givenUp = MakeRunPlan(fileSystem, source, target, WithJobs({}), exclusions,
                                        [](const std::string&) { return false; });
    EXPECT_FALSE(givenUp.complete);
}

} // namespace
} // namespace twinfol::test
