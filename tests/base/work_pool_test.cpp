// Pooled work: the parts a piece splits off are each done exactly once, a Wait returns only once its
// own parts are done, and away from a pool they are done at once, in order; a thread waiting for an
// outcome does what it was given to do meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "base/work_pool.h"
#include "engine/walk/ordered_results.h"

namespace twinfol {
namespace {

TEST(WorkSplit, AwayFromAPoolEachPartIsDoneAtOnceInOrder)
{
    std::vector<int> done;
    WorkSplit split;
    EXPECT_FALSE(split.Spreads());
    for (int part = 0; part < 3; ++part) {
        split.Split([&done, part] { done.push_back(part); });
        EXPECT_EQ(done.size(), static_cast<std::size_t>(part + 1));
    }
    split.Wait();
    EXPECT_EQ(done, (std::vector<int>{0, 1, 2}));
}

// Three levels of eight parts each, the way a tree delete splits its sub-folders, on a pool whose
// every worker is kept waiting in splits of its own.
TEST(WorkSplit, NestedPartsOnAPoolAreEachDoneOnceBeforeTheirWaitReturns)
{
    WorkPool pool(3);
    constexpr int fanOut = 8;
    std::vector<std::atomic<int>> leaves(fanOut * fanOut * fanOut);
    std::atomic<int> waitsBeforeTheirParts{0};
    const auto level = [&](auto& self, int depth, int index) -> void {
        if (depth == 3) {
            leaves[static_cast<std::size_t>(index)].fetch_add(1);
            return;
        }
        std::atomic<int> finished{0};
        WorkSplit split;
        EXPECT_TRUE(split.Spreads());
        for (int part = 0; part < fanOut; ++part)
            split.Split([&, part] {
                self(self, depth + 1, index * fanOut + part);
                finished.fetch_add(1);
            });
        split.Wait();
        if (finished.load() != fanOut)
            waitsBeforeTheirParts.fetch_add(1);
    };
    std::promise<void> whole;
    pool.Post([&] {
        level(level, 0, 0);
        whole.set_value();
    });
    whole.get_future().wait();
    EXPECT_EQ(waitsBeforeTheirParts.load(), 0);
    for (const std::atomic<int>& leaf : leaves)
        EXPECT_EQ(leaf.load(), 1);
}

// The default follows the cores up to eight, and is sixteen where latency bounds the work; a number
// the person gives is taken either way.
TEST(WorkerCount, TheDefaultRisesToSixteenWhereLatencyBoundsTheWorkAndAGivenNumberStands)
{
    const std::size_t cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    EXPECT_EQ(WorkerCountFor(0), cores);
    EXPECT_EQ(WorkerCountFor(0, WorkBound::Processor), cores);
    EXPECT_EQ(WorkerCountFor(0, WorkBound::Latency), 16u);
    EXPECT_EQ(WorkerCountFor(3, WorkBound::Latency), 3u);
    EXPECT_EQ(WorkerCountFor(1, WorkBound::Latency), 1u);
    EXPECT_EQ(WorkerCountFor(40, WorkBound::Processor), 40u);
}

} // namespace
} // namespace twinfol
