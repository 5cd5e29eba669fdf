// What the real layer tells of its copies, chunk by chunk and file by file, and what a run makes of
// it: the files and bytes it copied, per added folder too, and the host's live counters.
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

struct RecordedProgress : CopyProgress {
    void DataCopied(std::uint64_t copied, std::uint64_t size) override { chunks.emplace_back(copied, size); }
    void FileCopied(std::uint64_t size) override { files.push_back(size); }

    std::uint64_t Bytes() const
    {
        std::uint64_t total = 0;
        for (const std::uint64_t size : files)
            total += size;
        return total;
    }

    std::vector<std::pair<std::uint64_t, std::uint64_t>> chunks;
    std::vector<std::uint64_t> files;
};

class CountingHost : public ScriptedSyncHost {
public:
    void ShowCopyProgress(const CopyCounters& counters) override { shown.push_back(counters); }
    std::vector<CopyCounters> shown;
};

constexpr std::size_t largeSize = 10 * 1024 * 1024 + 7;

// The layer's own copies, and runs whose jobs are part of what they check.
using CopyProgressTest = SyncEngineFixture;
// Runs that count the same at either walk.
using CopyProgressWalkTest = SyncEngineTest;
INSTANTIATE_TEST_SUITE_P(, CopyProgressWalkTest, bothWalks, JobsName);

TEST_F(CopyProgressTest, ALargeCopyIsToldChunkByChunkAndOnceWhole)
{
    tree.WriteFile("source/large", std::string(largeSize, 'l'));
    RecordedProgress progress;
    ASSERT_TRUE(fileSystem.CopyFile(S("large"), T("large"), &progress));
    ASSERT_GE(progress.chunks.size(), 3u);
    for (std::size_t index = 1; index < progress.chunks.size(); ++index)
        EXPECT_GT(progress.chunks[index].first, progress.chunks[index - 1].first);
    EXPECT_EQ(progress.chunks.back(), std::make_pair(std::uint64_t{largeSize}, std::uint64_t{largeSize}));
    EXPECT_EQ(progress.files, std::vector<std::uint64_t>{largeSize});
}

TEST_F(CopyProgressTest, ATreeCopyTellsOfEveryFileAtEveryDepth)
{
    std::uint64_t bytes = 0;
    for (int index = 0; index < 20; ++index) {
        const std::string content(static_cast<std::size_t>(index * 100), 'f');
        tree.WriteFile("source/tree/f" + std::to_string(index), content);
        bytes += content.size();
    }
    tree.WriteFile("source/tree/sub/large", std::string(largeSize, 'l'));
    tree.MakeSymlink("source/tree/sub/link", "large");
    // Deeper than the levels the layer keeps open: the rest is walked by path.
    std::string deep = "source/tree/deep";
    for (int level = 0; level < 52; ++level)
        deep += "/d";
    tree.WriteFile(deep + "/bottom", "bottom");
    const StopFlag stop{false};
    RecordedProgress progress;
    ASSERT_TRUE(fileSystem.CopyFolderTree(S("tree/"), T("tree/"), stop, &progress));
    EXPECT_EQ(progress.files.size(), 23u);
    EXPECT_EQ(progress.Bytes(), bytes + largeSize + 6);
}

TEST_P(CopyProgressWalkTest, TheReportHoldsWhatTheRunCopiedAndWhenItRan)
{
    tree.WriteFile("source/newer", "12345", baseTime + 500);
    tree.WriteFile("target/newer", "1", baseTime);
    tree.WriteFile("source/added", "123");
    tree.WriteFile("source/dir/a", "1234567");
    tree.WriteFile("source/dir/sub/b", "12");
    tree.WriteFile("source/empty/none/.keep-not-a-file-but-a-folder/x", "");
    CountingHost counting;
    const auto before = std::chrono::system_clock::now();
    SyncEngine engine(fileSystem, exclusions, runState, report, counting);
    engine.Run(source, target, WithJobs(unconfirmed));

    EXPECT_EQ(report.filesCopied, 5u);
    EXPECT_EQ(report.bytesCopied, 5u + 3u + 7u + 2u);
    EXPECT_EQ(report.addedFolderContents.at(T("dir")), (FolderContents{2, 9}));
    EXPECT_EQ(report.addedFolderContents.at(T("empty")), (FolderContents{1, 0}));
    EXPECT_EQ(report.addedFolderContents.size(), 2u);
    EXPECT_GE(report.startTime, std::chrono::time_point_cast<std::chrono::system_clock::duration>(before));
    EXPECT_GE(report.durationSeconds, 0.0);
    ASSERT_FALSE(counting.shown.empty());
    EXPECT_EQ(counting.shown.back().filesCopied, 5u);
    EXPECT_EQ(counting.shown.back().bytesCopied, report.bytesCopied);

    // A new run starts from nothing.
    report.ResetForRun();
    EXPECT_EQ(report.filesCopied, 0u);
    EXPECT_TRUE(report.addedFolderContents.empty());
}

// Workers copy side by side and the engine thread tells their bytes while it waits: the figures a
// person watches never go back, and end at the report's with nothing left in flight.
TEST_F(CopyProgressTest, AtFourJobsTheFiguresShownNeverGoBackAndEndAtTheReports)
{
    for (const char* name : {"a", "b", "c", "d"})
        tree.WriteFile(std::string("source/") + name, std::string(largeSize, *name));
    for (int index = 0; index < 40; ++index)
        tree.WriteFile("source/dir/f" + std::to_string(index),
                       std::string(static_cast<std::size_t>(index), 'x'));
    CountingHost counting;
    SyncEngine engine(fileSystem, exclusions, runState, report, counting);
    engine.Run(source, target, {.confirmDeletes = false, .useTrash = false, .jobs = 4});

    ASSERT_EQ(report.filesCopied, 44u);
    ASSERT_FALSE(counting.shown.empty());
    for (std::size_t index = 1; index < counting.shown.size(); ++index) {
        const CopyCounters& before = counting.shown[index - 1];
        const CopyCounters& now = counting.shown[index];
        EXPECT_GE(now.bytesCopied + now.fileBytesDone, before.bytesCopied + before.fileBytesDone) << index;
    }
    EXPECT_EQ(counting.shown.back().fileBytesDone, 0u);
    EXPECT_EQ(counting.shown.back().bytesCopied, report.bytesCopied);
}

// A host without a progress line (the runner writing to a log) hears of whole files only, from any
// number of workers.
TEST_F(CopyProgressTest, AHostThatShowsNoFileProgressHearsOfWholeFilesOnlyAtFourJobs)
{
    struct WholeFilesHost : CountingHost {
        bool ShowsFileProgress() const override { return false; }
    } host;
    for (const char* name : {"a", "b", "c"})
        tree.WriteFile(std::string("source/") + name, std::string(largeSize, *name));
    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    engine.Run(source, target, {.confirmDeletes = false, .useTrash = false, .jobs = 4});

    EXPECT_EQ(report.filesCopied, 3u);
    ASSERT_FALSE(host.shown.empty());
    for (const CopyCounters& counters : host.shown)
        EXPECT_EQ(counters.fileBytesDone, 0u);
    EXPECT_EQ(host.shown.back().bytesCopied, 3 * largeSize);
}

} // namespace
} // namespace twinfol::test
