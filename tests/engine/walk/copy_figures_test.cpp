// The figures a host is shown against the target as it is on the disk at the moment they are drawn,
// with large files copied side by side; and the mark of a folder whose copy a stop cut short.
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>

#include "engine/fs/forwarding_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t megabyte = 1024 * 1024;

// What the target held, counted when a figure arrived: named files and their bytes (a copy's
// temporary file, unnamed or not, is no file of the user's yet).
struct DiskCount {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

DiskCount CountTarget(const std::string& target)
{
    // Files come and go under the walk (a named temporary file is renamed): one that is gone by the
    // time it is looked at is not counted.
    DiskCount count;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(target, error); !error && it != fs::end(it);
         it.increment(error)) {
        const bool file =
            it->is_regular_file(error) && !it->path().filename().string().starts_with(".twinfol-");
        const std::uintmax_t size = file ? it->file_size(error) : 0;
        if (!file || error) {
            error.clear();
            continue;
        }
        ++count.files;
        count.bytes += size;
    }
    return count;
}

struct Drawn {
    CopyCounters shown;
    DiskCount disk;
};

// Checks the disk each time a figure arrives, and lets a test wait for a figure.
class DiskCheckingHost : public ScriptedSyncHost {
public:
    explicit DiskCheckingHost(std::string target) : target_(std::move(target)) {}

    void ShowCopyProgress(const CopyCounters& counters) override
    {
        const DiskCount disk = CountTarget(target_);
        const std::lock_guard lock(mutex_);
        drawn_.push_back({counters, disk});
        shownFiles_ = counters.filesCopied;
        changed_.notify_all();
    }

    // Whether the host was shown at least files files within a generous time; a run that never
    // shows them would otherwise hang the test.
    bool WaitForShownFiles(std::uint64_t files)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return shownFiles_ >= files; });
    }

    std::vector<Drawn> Drawings()
    {
        const std::lock_guard lock(mutex_);
        return drawn_;
    }

private:
    std::string target_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Drawn> drawn_;
    std::uint64_t shownFiles_ = 0;
};

// Holds the copy of one file until the host has been shown every other file of the run as copied.
class HoldingFileSystem : public ForwardingFileSystem {
public:
    HoldingFileSystem(FileSystem& inner, std::string held, DiskCheckingHost& host, std::uint64_t others)
        : ForwardingFileSystem(inner), held_(std::move(held)), host_(host), others_(others)
    {
    }
    using ForwardingFileSystem::CopyFile;
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override
    {
        if (to == held_)
            released = host_.WaitForShownFiles(others_);
        return ForwardingFileSystem::CopyFile(from, to, progress);
    }

    bool released = false;

private:
    std::string held_;
    DiskCheckingHost& host_;
    std::uint64_t others_;
};

// What is shown never claims a file that has no name yet, nor falls behind the named files by more
// than the copies that may be between naming a file and counting it (four workers and the engine
// thread); the bytes shown always cover the named files' data.
void ExpectDrawingsMatchTheDisk(const std::vector<Drawn>& drawings)
{
    constexpr std::uint64_t copiesAtOnce = 5;
    for (std::size_t index = 0; index < drawings.size(); ++index) {
        const Drawn& drawn = drawings[index];
        EXPECT_LE(drawn.shown.filesCopied, drawn.disk.files) << index;
        EXPECT_LE(drawn.disk.files, drawn.shown.filesCopied + copiesAtOnce) << index;
        EXPECT_GE(drawn.shown.bytesCopied + drawn.shown.fileBytesDone, drawn.disk.bytes) << index;
    }
}

using CopyFiguresTest = SyncEngineFixture;

TEST_F(CopyFiguresTest, AFolderAddedWholeShowsItsBytesAsTheyAreWrittenAndEachFileAsItIsNamed)
{
    constexpr std::uint64_t files = 8;
    for (std::uint64_t index = 0; index < files; ++index)
        tree.WriteFile("source/big/file" + std::to_string(index), std::string(6 * megabyte, 'b'));
    DiskCheckingHost checking(target);
    SyncEngine engine(fileSystem, exclusions, runState, report, checking);
    engine.Run(source, target, {.confirmDeletes = false, .useTrash = false, .jobs = 4});

    ASSERT_EQ(report.filesCopied, files);
    const std::vector<Drawn> drawings = checking.Drawings();
    ExpectDrawingsMatchTheDisk(drawings);
    // Bytes are shown before the first file has its name, and every count on the way is shown.
    bool bytesBeforeFirstName = false;
    std::set<std::uint64_t> counts;
    for (const Drawn& drawn : drawings) {
        bytesBeforeFirstName |=
            drawn.shown.filesCopied == 0 && drawn.shown.bytesCopied + drawn.shown.fileBytesDone > 0;
        counts.insert(drawn.shown.filesCopied);
    }
    EXPECT_TRUE(bytesBeforeFirstName);
    for (std::uint64_t count = 1; count <= files; ++count)
        EXPECT_TRUE(counts.contains(count)) << count;
    ASSERT_FALSE(drawings.empty());
    EXPECT_EQ(drawings.back().shown.filesCopied, files);
    EXPECT_EQ(drawings.back().shown.bytesCopied, report.bytesCopied);
    EXPECT_EQ(drawings.back().shown.fileBytesDone, 0u);
}

// The first file's copy waits until the others have been shown: the walk records files in order, and
// the figures must not wait for that.
TEST_F(CopyFiguresTest, FilesAddedOneByOneAreShownWhileAnEarlierFileIsStillBeingCopied)
{
    tree.MakeFolder("target/dir");
    tree.WriteFile("source/dir/a-first", std::string(5 * megabyte, 'a'));
    constexpr std::uint64_t others = 7;
    for (std::uint64_t index = 0; index < others; ++index)
        tree.WriteFile("source/dir/b" + std::to_string(index), std::string(5 * megabyte, 'b'));
    DiskCheckingHost checking(target);
    HoldingFileSystem holding(fileSystem, T("dir/a-first"), checking, others);
    SyncEngine engine(holding, exclusions, runState, report, checking);
    engine.Run(source, target, {.confirmDeletes = false, .useTrash = false, .jobs = 4});

    EXPECT_TRUE(holding.released);
    EXPECT_EQ(report.addedFileCount, 8);
    ExpectDrawingsMatchTheDisk(checking.Drawings());
    EXPECT_EQ(checking.Drawings().back().shown.filesCopied, 8u);
}

// A stop while a folder is being added whole: the folder counts as added, carries the mark, and the
// next run adds the rest.
class IncompleteFolderTest : public SyncEngineTest {
protected:
    void WriteBigFolder()
    {
        for (int index = 0; index < folderFiles; ++index)
            tree.WriteFile("source/big/f" + std::to_string(index), std::string(64 * 1024, 'f'));
    }
    // Stops the run once the host has been shown the files given as copied.
    void StopAfter(std::uint64_t files)
    {
        stopAfter = files;
        SyncEngine engine(fileSystem, exclusions, runState, report, stopping);
        engine.Run(source, target, WithJobs(unconfirmed));
    }

    static constexpr int folderFiles = 12;
    std::uint64_t stopAfter = 0;
    struct StoppingHost : ScriptedSyncHost {
        explicit StoppingHost(IncompleteFolderTest& test) : test(test) {}
        void ShowCopyProgress(const CopyCounters& counters) override
        {
            if (counters.filesCopied >= test.stopAfter)
                test.runState.RequestStop();
        }
        IncompleteFolderTest& test;
    } stopping{*this};
};
INSTANTIATE_TEST_SUITE_P(, IncompleteFolderTest, bothWalks, JobsName);

TEST_P(IncompleteFolderTest, AFolderAStopCutShortIsMarkedAndTheNextRunCompletesIt)
{
    WriteBigFolder();
    StopAfter(3);
    // The snapshot names the folder too.
    const std::size_t copied = SideSnapshot("target").size() - 1;
    ASSERT_LT(copied, static_cast<std::size_t>(folderFiles));
    EXPECT_TRUE(runState.IsStopped());
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("big")});
    EXPECT_EQ(Items(report.incompleteFolders), std::vector<std::string>{T("big")});
    EXPECT_EQ(report.MarkedList(ReportList::AddedFolders),
              std::vector<std::string>{T("big") + " (incomplete: interrupted)"});

    runState.ResetForRun();
    report.ResetForRun();
    Run();
    EXPECT_EQ(SideSnapshot("target"), SideSnapshot("source"));
    EXPECT_TRUE(report.incompleteFolders.empty());
    EXPECT_TRUE(report.addedFolders.empty());
    EXPECT_EQ(report.addedFileCount, static_cast<std::int32_t>(folderFiles - copied));
}

TEST_P(IncompleteFolderTest, AStopAfterTheFoldersLastFileLeavesItUnmarked)
{
    WriteBigFolder();
    StopAfter(folderFiles);
    EXPECT_EQ(SideSnapshot("target").size(), static_cast<std::size_t>(folderFiles) + 1);
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("big")});
    EXPECT_TRUE(report.incompleteFolders.empty());
}

} // namespace
} // namespace twinfol::test
