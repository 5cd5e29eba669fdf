// Runs with several workers against runs on the engine thread alone: over the same random trees, with
// the same injected failures, they must leave the same target and give the same report and progress
// texts. Also what only concurrency can break: a file's second name and a read-only folder's content
// at four jobs, and a stop while every worker is inside a copy.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <thread>

#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

// Builds the same random job below several prefixes ("one/", "four/"), with failures to inject.
class RandomJob {
public:
    RandomJob(const TempTree& tree, unsigned seed) : tree_(tree), random_(seed) {}

    void Build(const std::vector<std::string>& prefixes, const std::string& folder, int items, int depth)
    {
        for (int index = 0; index < items; ++index) {
            const std::string name = folder + "n" + std::to_string(index);
            const int kind = Pick(depth > 0 ? 8 : 6);
            const bool fault = Pick(10) == 0;
            for (const std::string& prefix : prefixes)
                AddCase(prefix, name, kind, depth);
            if (fault)
                AddFault(name, kind);
            if (kind == 7)
                Build(prefixes, name + "/", items, depth - 1);
        }
    }

    // Fails every call of the kind on each chosen item below the roots.
    void Inject(FaultInjectingFileSystem& layer, const std::string& prefix) const
    {
        for (const Fault& fault : faults_)
            layer.FailPath(tree_.Path(prefix + (fault.inTarget ? "target/" : "source/") + fault.path), EIO,
                           fault.operation);
    }

private:
    struct Fault {
        std::string path;
        FsOperation operation;
        bool inTarget;
    };

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

    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

    void AddCase(const std::string& prefix, const std::string& name, int kind, int depth)
    {
        const std::string source = prefix + "source/" + name;
        const std::string target = prefix + "target/" + name;
        const std::string content(static_cast<std::size_t>(name.size() * 37 % 5000), 'c');
        switch (kind) {
        case 0: tree_.WriteFile(source, content); break; // an add
        case 1:                                          // an overwrite
            tree_.WriteFile(source, content, baseTime + 100);
            tree_.WriteFile(target, "old", baseTime);
            break;
        case 2: // the same on both sides
            tree_.WriteFile(source, content, baseTime);
            tree_.WriteFile(target, content, baseTime);
            break;
        case 3: tree_.WriteFile(target, content); break; // a delete
        case 4:                                          // a read-only target that is older: refused
            tree_.WriteFile(source, content, baseTime + 100);
            tree_.WriteFile(target, "old", baseTime);
            tree_.SetMode(target, 0444);
            break;
        case 5: tree_.MakeSymlink(source, "../" + name); break;
        case 6: // a folder of the source only, or of the target only
            for (int file = 0; file < 3 + depth; ++file)
                tree_.WriteFile((name.size() % 2 == 0 ? source : target) + "/f" + std::to_string(file) + "/g",
                                content);
            break;
        default: // both sides: the walk goes down
            tree_.MakeFolder(source);
            tree_.MakeFolder(target);
            break;
        }
    }

    const TempTree& tree_;
    std::mt19937 random_;
    std::vector<Fault> faults_;
};

class ParallelEngineTest : public SyncEngineTest {
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
    };

    Outcome RunJob(const RandomJob& job, const std::string& prefix, int jobs)
    {
        FaultInjectingFileSystem layer{fileSystem};
        job.Inject(layer, prefix);
        Outcome outcome;
        outcome.targetBefore = SideSnapshot(prefix + "target");
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
        outcome.target = SideSnapshot(prefix + "target");
        return outcome;
    }

    static void ExpectSame(const Outcome& one, const Outcome& many)
    {
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

TEST_F(ParallelEngineTest, FourJobsGiveTheReportAndTargetOfOneOnRandomTreesWithFailures)
{
    std::size_t problems = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string run = "r" + std::to_string(seed) + "/";
        RandomJob job(tree, seed);
        job.Build({run + "one/", run + "two/", run + "fou/"}, "", 20, 2);
        const Outcome one = RunJob(job, run + "one/", 1);
        problems += one.problems.size();
        ExpectSame(one, RunJob(job, run + "two/", 2));
        ExpectSame(one, RunJob(job, run + "fou/", 4));
    }
    EXPECT_GT(problems, 5u) << "the jobs inject too few failures";
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
