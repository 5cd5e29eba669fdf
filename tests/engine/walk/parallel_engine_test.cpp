// Runs with several workers against runs on the engine thread alone: over the same random trees, with
// the same injected failures and exclusions, they must leave the same target and give the same report
// and progress texts, and none may touch what is excluded. Also what only concurrency can break: a file's
// second name and a read-only folder's content at four jobs, and a stop while every worker is inside a copy.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <thread>

#include "support/excluded_items.h"
#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

// Builds the same random job below several prefixes ("one/", "four/"), with failures to inject and
// items to exclude. Every level holds each kind of item a fixed number of times, in an order of its
// own: more source files than one worker's piece and several deletes, so that the pool takes the
// level's files, its deletes and its folders.
class RandomJob {
public:
    RandomJob(const TempTree& tree, unsigned seed) : tree_(tree), random_(seed) {}

    void Build(const std::vector<std::string>& prefixes, const std::string& folder, int depth)
    {
        std::vector<int> kinds;
        for (const auto& [kind, count] : kindsPerLevel)
            if (depth > 0 || (kind != 6 && kind != 7))
                kinds.insert(kinds.end(), static_cast<std::size_t>(count), kind);
        std::shuffle(kinds.begin(), kinds.end(), random_);
        for (std::size_t index = 0; index < kinds.size(); ++index) {
            const std::string name = folder + "n" + std::to_string(index);
            const int kind = kinds[index];
            const bool fault = Pick(10) == 0;
            const bool excluded = Pick(4) == 0;
            const bool excludedInTarget = Pick(2) == 0;
            for (const std::string& prefix : prefixes) {
                AddCase(prefix, name, kind, depth);
                if (excluded)
                    Exclude(prefix, name, kind, excludedInTarget);
            }
            if (fault)
                AddFault(name, kind);
            if (kind == 7)
                Build(prefixes, name + "/", depth - 1);
        }
    }

    // Fails every call of the kind on each chosen item below the roots.
    void Inject(FaultInjectingFileSystem& layer, const std::string& prefix) const
    {
        for (const Fault& fault : faults_)
            layer.FailPath(tree_.Path(prefix + (fault.inTarget ? "target/" : "source/") + fault.path), EIO,
                           fault.operation);
    }

    // The excluded items below every prefix.
    ExclusionList Exclusions() const { return ExclusionList(excluded_); }

private:
    struct Fault {
        std::string path;
        FsOperation operation;
        bool inTarget;
    };

    // How many items of each kind (see AddCase) a level holds; folders (6 and 7) only above the
    // deepest level.
    static constexpr std::pair<int, int> kindsPerLevel[] = {{0, 5}, {1, 5}, {2, 3}, {3, 5}, {4, 2},
                                                            {5, 2}, {8, 3}, {6, 3}, {7, 2}};

    // A failure on the item itself, or inside the tree it copies or deletes.
    void AddFault(const std::string& name, int kind)
    {
        if (kind == 0 || kind == 1)
            faults_.push_back({name, FsOperation::CopyFile, false});
        else if (kind == 3)
            faults_.push_back({name, FsOperation::DeleteFile, true});
        else if (kind == 6)
            faults_.push_back({name + "/f1/g",
                               name.size() % 2 == 0 ? FsOperation::CopyFile : FsOperation::DeleteFile,
                               name.size() % 2 != 0});
        else if (kind == 7)
            faults_.push_back({name + "/", FsOperation::List, false});
    }

    // The item's path on one side, as the exclusion list names it: a folder's ends with the separator.
    // The side may hold nothing of that name (an add excluded by its target path): nothing stops such
    // an add, in either walk.
    void Exclude(const std::string& prefix, const std::string& name, int kind, bool inTarget)
    {
        const bool folder = kind == 6 || kind == 7;
        excluded_.push_back(
            tree_.Path(prefix + (inTarget ? "target/" : "source/") + name + (folder ? "/" : "")));
    }

    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

    void AddCase(const std::string& prefix, const std::string& name, int kind, int depth)
    {
        const std::string source = prefix + "source/" + name;
        const std::string target = prefix + "target/" + name;
        const std::string content(static_cast<std::size_t>(name.size() * 37 % 5000), 'c');
        switch (kind) {
        case 0: tree_.WriteFile(source, content); break; // an add
        case 1:                                          // an overwrite
            tree_.WriteFile(source, content, baseTime + 1000);
            tree_.WriteFile(target, "old", baseTime);
            break;
        case 2: // the same on both sides
            tree_.WriteFile(source, content, baseTime);
            tree_.WriteFile(target, content, baseTime);
            break;
        case 3: tree_.WriteFile(target, content); break; // a delete
        case 4:                                          // a read-only target that is older: refused
            tree_.WriteFile(source, content, baseTime + 1000);
            tree_.WriteFile(target, "old", baseTime);
            tree_.SetMode(target, 0444);
            break;
        case 5: tree_.MakeSymlink(source, "../" + name); break;
        case 6: // a folder of the source only, or of the target only
            for (int file = 0; file < 3 + depth; ++file)
                tree_.WriteFile((name.size() % 2 == 0 ? source : target) + "/f" + std::to_string(file) + "/g",
                                content);
            break;
        case 7: // both sides: the walk goes down
            tree_.MakeFolder(source);
            tree_.MakeFolder(target);
            break;
        default: // a target newer than its source: left alone
            tree_.WriteFile(source, "older", baseTime);
            tree_.WriteFile(target, content, baseTime + 1000);
        }
    }

    const TempTree& tree_;
    std::mt19937 random_;
    std::vector<Fault> faults_;
    std::vector<std::string> excluded_;
};

class ParallelEngineTest : public SyncEngineFixture {
protected:
    // Runs the job below the prefix through a fault-injecting layer; returns the report with every
    // path made relative to the prefix.
    struct Outcome {
        std::vector<std::vector<std::string>> lists;
        std::vector<std::string> problems;
        std::vector<std::string> progress;
        std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> folderContents;
        std::uint64_t filesCopied = 0;
        std::uint64_t bytesCopied = 0;
        std::map<std::string, std::string> target;
        std::map<std::string, std::string> targetBefore;
        bool sourceUnchanged = false;
        // The items the exclusions named that the run changed, and how many they named.
        std::vector<std::string> changedExcluded;
        std::size_t excludedItems = 0;
    };

    // Everything below a folder of a snapshot of the tree, relative to that folder.
    static std::map<std::string, std::string> Below(const std::map<std::string, std::string>& snapshot,
                                                    const std::string& folder)
    {
        std::map<std::string, std::string> entries;
        for (const auto& [path, content] : snapshot)
            if (path.starts_with(folder) && path.size() > folder.size())
                entries[path.substr(folder.size())] = content;
        return entries;
    }

    Outcome RunJob(const RandomJob& job, const std::string& prefix, int jobs)
    {
        FaultInjectingFileSystem layer{fileSystem};
        job.Inject(layer, prefix);
        Outcome outcome;
        const auto before = tree.Snapshot();
        outcome.targetBefore = Below(before, prefix + "target/");
        SyncReport own;
        SyncRunState state;
        ScriptedSyncHost ownHost;
        {
            SyncEngine engine(layer, exclusions, state, own, ownHost);
            SyncOptions options = unconfirmed;
            options.jobs = jobs;
            engine.Run(tree.Path(prefix + "source/"), tree.Path(prefix + "target/"), options);
        }
        const std::string root = tree.Path(prefix);
        const auto relative = [&](std::string text) {
            for (std::size_t at; (at = text.find(root)) != std::string::npos;)
                text.erase(at, root.size());
            return text;
        };
        for (const ReportList list :
             {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
              ReportList::AddedFolders, ReportList::DeletedFolders}) {
            outcome.lists.emplace_back();
            for (const std::string& path : own.List(list))
                outcome.lists.back().push_back(relative(path));
        }
        for (const std::string& line : own.ProblemLines())
            outcome.problems.push_back(relative(line));
        for (const std::string& text : ownHost.ProgressTexts())
            outcome.progress.push_back(relative(text));
        for (const auto& [path, contents] : own.addedFolderContents)
            outcome.folderContents[relative(path)] = {contents.files, contents.bytes};
        outcome.filesCopied = own.filesCopied;
        outcome.bytesCopied = own.bytesCopied;
        const auto after = tree.Snapshot();
        outcome.target = Below(after, prefix + "target/");
        outcome.sourceUnchanged = Below(after, prefix + "source/") == Below(before, prefix + "source/");
        outcome.changedExcluded = ChangedExcludedItems(before, after, exclusions, tree.Root(),
                                                       prefix + "source/", prefix + "target/");
        for (const std::string& entry : exclusions.Entries())
            if (entry.starts_with(tree.Path(prefix)) && before.contains(entry.substr(tree.Root().size())))
                ++outcome.excludedItems;
        return outcome;
    }

    // What holds for every run, whatever its jobs: the source is only read, and nothing excluded is
    // touched.
    static void ExpectKept(const Outcome& outcome)
    {
        EXPECT_TRUE(outcome.sourceUnchanged);
        EXPECT_EQ(outcome.changedExcluded, std::vector<std::string>{});
    }

    static void ExpectSame(const Outcome& one, const Outcome& many)
    {
        ExpectKept(many);
        EXPECT_EQ(many.lists, one.lists);
        EXPECT_EQ(many.problems, one.problems);
        EXPECT_EQ(many.progress, one.progress);
        EXPECT_EQ(many.folderContents, one.folderContents);
        EXPECT_EQ(many.filesCopied, one.filesCopied);
        EXPECT_EQ(many.bytesCopied, one.bytesCopied);
        // Several workers delete the sub-folders of one tree side by side, so when a delete fails part
        // of the way, what is left of that tree depends on which parts had begun: only that it holds
        // nothing the target did not hold before is fixed. Everywhere else, the very same target.
        std::vector<std::string> failedTrees;
        const std::string failedDelete = "Could not delete folder: target/";
        for (const std::string& line : one.problems)
            if (line.starts_with(failedDelete))
                failedTrees.push_back(line.substr(failedDelete.size()) + "/");
        const auto inFailedTree = [&](const std::string& path) {
            return std::any_of(failedTrees.begin(), failedTrees.end(),
                               [&](const std::string& tree) { return path.starts_with(tree); });
        };
        const auto outside = [&](const std::map<std::string, std::string>& target) {
            std::map<std::string, std::string> kept;
            for (const auto& [path, content] : target)
                if (!inFailedTree(path))
                    kept[path] = content;
            return kept;
        };
        EXPECT_EQ(outside(many.target), outside(one.target));
        for (const auto& [path, content] : many.target) {
            if (!inFailedTree(path))
                continue;
            const auto before = many.targetBefore.find(path);
            EXPECT_TRUE(before != many.targetBefore.end() && before->second == content) << path;
        }
    }
};

TEST_F(ParallelEngineTest, FourJobsGiveTheReportAndTargetOfOneOnRandomTreesWithFailuresAndExclusions)
{
    std::size_t problems = 0;
    std::size_t overwrites = 0;
    std::size_t excludedItems = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string run = "r" + std::to_string(seed) + "/";
        RandomJob job(tree, seed);
        job.Build({run + "one/", run + "two/", run + "fou/"}, "", 2);
        exclusions = job.Exclusions();
        const Outcome one = RunJob(job, run + "one/", 1);
        ExpectKept(one);
        problems += one.problems.size();
        overwrites += one.lists.front().size();
        excludedItems += one.excludedItems;
        ExpectSame(one, RunJob(job, run + "two/", 2));
        ExpectSame(one, RunJob(job, run + "fou/", 4));
        // Each seed's trees go once compared, so that every snapshot reads only the next seed's.
        std::filesystem::remove_all(tree.Path(run));
    }
    EXPECT_GT(problems, 40u) << "the jobs inject too few failures";
    EXPECT_GT(overwrites, 40u) << "the jobs overwrite too few files";
    EXPECT_GT(excludedItems, 100u) << "the jobs exclude too few items";
}

// The names of one inode spread over folders that different workers copy, and folders whose mode
// would stop their own content from being written if it were set first.
TEST_F(ParallelEngineTest, SecondNamesAndReadOnlyFoldersComeOutRightAtFourJobsEveryTime)
{
    for (const char* folder : {"a", "b", "c", "d", "e", "f"})
        for (int file = 0; file < 20; ++file)
            tree.WriteFile(Source(std::string(folder) + "/x" + std::to_string(file)), "own content");
    tree.WriteFile(Source("a/shared"), "one inode");
    for (const char* name : {"b/second", "d/third", "f/fourth", "a/zz-fifth"})
        ASSERT_EQ(link(tree.Path(Source("a/shared")).c_str(), tree.Path(Source(name)).c_str()), 0);
    tree.WriteFile(Source("e/locked/inside"), "in a folder of mode 0555");
    tree.SetModified(Source("e/locked"), baseTime);
    tree.SetMode(Source("e/locked"), 0555);

    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        tree.MakeFolder("target");
        Run({.confirmDeletes = false, .useTrash = false, .jobs = 4});
        EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
        struct stat first {};
        ASSERT_EQ(stat(tree.Path(Target("a/shared")).c_str(), &first), 0);
        EXPECT_EQ(first.st_nlink, 5u);
        for (const char* name : {"b/second", "d/third", "f/fourth", "a/zz-fifth"}) {
            struct stat other {};
            ASSERT_EQ(stat(tree.Path(Target(name)).c_str(), &other), 0);
            EXPECT_EQ(other.st_ino, first.st_ino) << name;
        }
        EXPECT_EQ(tree.ReadFile(Target("e/locked/inside")), "in a folder of mode 0555");
        EXPECT_EQ(tree.Mode(Target("e/locked")) & 07777, 0555u);
        EXPECT_EQ(tree.Modified(Target("e/locked")), baseTime);
        // The next round starts from an empty target again.
        tree.SetMode(Target("e/locked"), 0755);
        std::filesystem::remove_all(tree.Path("target"));
        report = {};
    }
}

TEST_F(ParallelEngineTest, AStopLetsEachWorkerFinishItsCopyAndCountsExactlyWhatIsOnDisk)
{
    for (int file = 0; file < 80; ++file)
        tree.WriteFile(Source("f" + std::to_string(100 + file)), "content");
    FaultInjectingFileSystem faulty{fileSystem};
    faulty.Hold(FsOperation::CopyFile);
    std::thread engineThread(
        [&] { RunWith(faulty, {.confirmDeletes = false, .useTrash = false, .jobs = 4}); });
    const bool held = faulty.WaitUntilHeld(std::chrono::seconds(30));
    runState.RequestStop();
    faulty.Release();
    engineThread.join();
    ASSERT_TRUE(held);
    const auto onDisk = SideSnapshot("target");
    std::vector<std::string> copied;
    for (const auto& [name, content] : onDisk)
        copied.push_back(T(name));
    EXPECT_EQ(Items(report.addedFiles), copied);
    EXPECT_GE(copied.size(), 1u);
    // One copy per worker, and one the engine thread may have taken up rather than wait.
    EXPECT_LE(copied.size(), 5u);
    EXPECT_EQ(faulty.CallCount(FsOperation::CopyFile), static_cast<int>(copied.size()));
    EXPECT_EQ(report.filesCopied, copied.size());
}

} // namespace
} // namespace twinfol::test
