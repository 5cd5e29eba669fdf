// Read-only target files over real trees: a copy that only carried a read-only source's mode follows
// its source, a file a person protected stays unless the run replaces read-only files, and a trial run
// and a plan (what the Preview, --plan and --dry-run show) tell each case exactly as the run then does.
#include <sys/stat.h>

#include "engine/fs/dry_run_file_system.h"
#include "engine/records/refusal_reasons.h"
#include "engine/walk/run_plan.h"
#include "support/ordinary_user.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

using Entries = std::map<std::string, std::string>;

class ReadOnlyTargetsTest : public TrashRunTest {
protected:
    // A trial run and a plan, then the real run (its report in report): the three must report the same
    // problems, with the same reasons, and the same overwrites and deletes, and the trial runs must
    // change nothing.
    void RunAndExpectTheTrialToAgree(SyncOptions options)
    {
        options = WithJobs(options);
        const UserPlaces* trash = options.useTrash ? &places : nullptr;
        const auto before = tree.Snapshot();
        DryRunFileSystem trialLayer(fileSystem);
        SyncReport trial;
        SyncRunState trialState;
        ScriptedSyncHost trialHost;
        SyncEngine trialEngine(trialLayer, exclusions, trialState, trial, trialHost);
        if (trash != nullptr)
            trialEngine.SetUserPlaces(*trash, &TestClock);
        trialEngine.Run(source, target, options);
        const RunPlan plan = MakeRunPlan(fileSystem, source, target, options, exclusions, {}, nullptr, trash);
        EXPECT_EQ(tree.Snapshot(), before) << "a trial run changed the trees";

        RunThrough(fileSystem, options);
        EXPECT_EQ(trial.problemLog, report.problemLog);
        EXPECT_EQ(plan.report.problemLog, report.problemLog);
        for (auto list : {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
                          ReportList::DeletedFolders}) {
            EXPECT_EQ(trial.List(list), report.List(list));
            EXPECT_EQ(plan.report.List(list), report.List(list));
        }
    }

    // What a pair of runs starts from: a read-only source file changed since its read-only copy was
    // made, a file the user protected in the target while its source stayed writable, a read-only file
    // and a folder holding one that the source no longer has.
    void MakeTrees()
    {
        tree.WriteFile(Source("carried.txt"), "new", baseTime + 1000);
        tree.SetMode(Source("carried.txt"), 0444);
        tree.WriteFile(Target("carried.txt"), "old", baseTime);
        tree.SetMode(Target("carried.txt"), 0444);
        tree.WriteFile(Source("protected.txt"), "new", baseTime + 1000);
        tree.WriteFile(Target("protected.txt"), "kept", baseTime);
        tree.SetMode(Target("protected.txt"), 0444);
        tree.WriteFile(Target("stale.txt"), "stale");
        tree.SetMode(Target("stale.txt"), 0444);
        tree.WriteFile(Target("old/inner.txt"), "inner");
        tree.SetMode(Target("old/inner.txt"), 0400);
    }

    // What a run without the option leaves of the trees MakeTrees made.
    void ExpectOnlyTheCarriedCopyChanged()
    {
        EXPECT_EQ(report.ProblemLines(),
                  (std::vector<std::string>{"Could not copy file: " + T("protected.txt"),
                                            "Could not delete file: " + T("stale.txt"),
                                            "Could not delete folder: " + T("old")}));
        ASSERT_EQ(report.problemLog.size(), 3u);
        // Each reason keeps its start and names the way out.
        EXPECT_EQ(report.problemLog[0].reason,
                  "the target file is read-only (--replace-read-only replaces it)");
        EXPECT_EQ(report.problemLog[1].reason, "the file is read-only (--replace-read-only deletes it)");
        EXPECT_NE(report.problemLog[2].reason.find("--replace-read-only"), std::string::npos);
        EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("carried.txt")});
        EXPECT_EQ(SideSnapshot("target"), (Entries{{"carried.txt", "new"},
                                                   {"protected.txt", "kept"},
                                                   {"stale.txt", "stale"},
                                                   {"old/", ""},
                                                   {"old/inner.txt", "inner"}}));
        // The copy is read-only again, as its source is.
        EXPECT_EQ(tree.Mode(Target("carried.txt")), 0444u);
        EXPECT_EQ(tree.Mode(Target("protected.txt")), 0444u);
    }

    SyncOptions Deleting(bool useTrash, bool replaceReadOnly) const
    {
        SyncOptions options = withTrash;
        options.confirmDeletes = false;
        options.useTrash = useTrash;
        options.replaceReadOnly = replaceReadOnly;
        return options;
    }
};
INSTANTIATE_TEST_SUITE_P(, ReadOnlyTargetsTest, bothWalks, JobsName);

TEST_P(ReadOnlyTargetsTest, AChangedReadOnlySourceReachesItsCopyAndWhatAPersonProtectedStays)
{
    MakeTrees();
    RunAndExpectTheTrialToAgree(Deleting(false, false));
    ExpectOnlyTheCarriedCopyChanged();
    EXPECT_TRUE(TrashFiles().empty());
}

TEST_P(ReadOnlyTargetsTest, ThroughTheTrashTheCarriedCopysOldContentIsKeptAndNothingElseMoves)
{
    MakeTrees();
    RunAndExpectTheTrialToAgree(Deleting(true, false));
    ExpectOnlyTheCarriedCopyChanged();
    EXPECT_EQ(TrashFiles(), (Entries{{"carried.txt", "old"}}));
}

TEST_P(ReadOnlyTargetsTest, ReplacingReadOnlyFilesOverwritesAndDeletesThemAsAnyOther)
{
    MakeTrees();
    RunAndExpectTheTrialToAgree(Deleting(false, true));

    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(Items(report.overwrittenFiles),
              (std::vector<std::string>{T("carried.txt"), T("protected.txt")}));
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("stale.txt")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("old")});
    EXPECT_EQ(SideSnapshot("target"), (Entries{{"carried.txt", "new"}, {"protected.txt", "new"}}));
    // The copy takes the source's mode: a writable source makes a writable copy.
    EXPECT_EQ(tree.Mode(Target("protected.txt")), tree.Mode(Source("protected.txt")));
}

TEST_P(ReadOnlyTargetsTest, ReplacingReadOnlyFilesThroughTheTrashKeepsEachOfThemThere)
{
    MakeTrees();
    RunAndExpectTheTrialToAgree(Deleting(true, true));

    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(SideSnapshot("target"), (Entries{{"carried.txt", "new"}, {"protected.txt", "new"}}));
    EXPECT_EQ(TrashFiles(), (Entries{{"carried.txt", "old"},
                                     {"protected.txt", "kept"},
                                     {"stale.txt", "stale"},
                                     {"old/", ""},
                                     {"old/inner.txt", "inner"}}));
    EXPECT_EQ(TrashInfos().size(), 4u);
}

TEST_P(ReadOnlyTargetsTest, AMirroredRepositoryLosesItsStalePackFilesOnlyWithTheOption)
{
    // After "git gc" the source holds one new pack; the mirror still has the old ones, all 0444 as git
    // writes them.
    const std::string pack = ".git/objects/pack/";
    for (const char* name : {"pack-new.pack", "pack-new.idx"}) {
        tree.WriteFile(Source(pack + name), name, baseTime + 1000);
        tree.SetMode(Source(pack + name), 0444);
    }
    for (const char* name : {"pack-old.pack", "pack-old.idx"}) {
        tree.WriteFile(Target(pack + name), name, baseTime);
        tree.SetMode(Target(pack + name), 0444);
    }

    RunAndExpectTheTrialToAgree(Deleting(false, false));
    EXPECT_EQ(report.problemLog.size(), 2u);
    EXPECT_TRUE(tree.Exists(Target(pack + "pack-old.pack")));

    RunAndExpectTheTrialToAgree(Deleting(false, true));
    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(SideSnapshot("target/.git/objects/pack"),
              (Entries{{"pack-new.idx", "pack-new.idx"}, {"pack-new.pack", "pack-new.pack"}}));
    EXPECT_EQ(tree.Mode(Target(pack + "pack-new.pack")), 0444u);

    // The mirror is in step: the next run, without the option, has nothing to do and nothing to refuse.
    RunAndExpectTheTrialToAgree(Deleting(false, false));
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(report.filesCopied, 0u);
}

// Root may write any file, so the rule is the program's own; a person who is not root meets the same
// outcome, where the kernel only asks for a writable folder.
TEST_P(ReadOnlyTargetsTest, AnOrdinaryUsersRunsKeepAndReplaceWhatRootsDo)
{
    MakeTrees();
    GiveTreeToOrdinaryUser(tree.Root());
    const auto failures = CheckAsOrdinaryUser([&](std::vector<std::string>& failed) {
        for (const bool replace : {false, true}) {
            runState.ResetForRun();
            report.ResetForRun();
            Run(Deleting(false, replace));
            if (report.problemLog.size() != (replace ? 0u : 3u))
                failed.push_back("problems: " + std::to_string(report.problemLog.size()));
        }
        const Entries expected{{"carried.txt", "new"}, {"protected.txt", "new"}};
        if (SideSnapshot("target") != expected)
            failed.push_back("the target is not the source");
    });
    if (!failures)
        GTEST_SKIP() << needsRootMessage;
    EXPECT_EQ(*failures, std::vector<std::string>{});
}

} // namespace
} // namespace twinfol::test
