// How many workers copy at once by default: sixteen where the layer says a root's disk waits on a
// server, no more than the cores (at most eight) elsewhere, and what --jobs says whenever it is given.
// The copies of one level meet in the layer: with a number to meet at, each waits there until that
// many copy at once, so the test ends as soon as enough workers have come, and never meets a count
// that no worker can reach by chance of timing.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/fs/forwarding_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

// Files enough to give sixteen workers a piece each, several times over.
constexpr int levelFiles = 400;

class ServerDiskLayer : public ForwardingFileSystem {
public:
    ServerDiskLayer(FileSystem& inner, bool latencyBound, int meetAt)
        : ForwardingFileSystem(inner), latencyBound_(latencyBound), meetAt_(meetAt)
    {
    }

    DiskKind DiskKindOf(const std::string&) override { return {NameRules::Posix, latencyBound_}; }

    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override
    {
        {
            std::unique_lock lock(mutex_);
            peak_ = std::max(peak_, ++inside_);
            met_ = met_ || inside_ >= meetAt_;
            arrived_.notify_all();
            // A count no worker reaches ends the first wait by the clock, and nobody waits after it:
            // the assertions then fail, rather than the test hanging.
            if (!arrived_.wait_for(lock, std::chrono::seconds(20), [this] { return met_ || gaveUp_; })) {
                gaveUp_ = true;
                arrived_.notify_all();
            }
        }
        const FsStatus copied = ForwardingFileSystem::CopyFile(from, to, progress);
        const std::lock_guard lock(mutex_);
        --inside_;
        return copied;
    }

    int Peak() const
    {
        const std::lock_guard lock(mutex_);
        return peak_;
    }

private:
    const bool latencyBound_;
    const int meetAt_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    int inside_ = 0;
    int peak_ = 0;
    bool met_ = false;
    bool gaveUp_ = false;
};

class LatencyWorkersTest : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        for (int file = 0; file < levelFiles; ++file)
            tree.WriteFile(Source("f" + std::to_string(1000 + file)), "x", baseTime);
    }

    // Runs with the jobs as given, not the fixture's: the default is what is checked.
    int PeakOf(ServerDiskLayer& layer, int jobs)
    {
        SyncEngine engine(layer, exclusions, runState, report, host);
        engine.Run(source, target, {.confirmDeletes = false, .useTrash = false, .jobs = jobs});
        EXPECT_EQ(report.addedFileCount, levelFiles);
        EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
        return layer.Peak();
    }
};

TEST_F(LatencyWorkersTest, ByDefaultSixteenCopyAtOnceOntoADiskThatWaitsOnAServer)
{
    ServerDiskLayer layer(fileSystem, true, 16);
    EXPECT_GE(PeakOf(layer, 0), 16);
}

TEST_F(LatencyWorkersTest, ByDefaultALocalDiskGetsNoMoreThanTheCoresAtMostEight)
{
    // Nobody waits to meet: the peak can only be lower than the workers, never higher.
    ServerDiskLayer layer(fileSystem, false, 1);
    const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    // The walk's own thread takes a piece too rather than wait for a worker.
    EXPECT_LE(PeakOf(layer, 0), cores + 1);
}

TEST_F(LatencyWorkersTest, GivenJobsDecideAlsoOntoADiskThatWaitsOnAServer)
{
    ServerDiskLayer layer(fileSystem, true, 1);
    EXPECT_LE(PeakOf(layer, 2), 3);
}

} // namespace
} // namespace twinfol::test
