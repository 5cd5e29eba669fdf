// The helper that prepares items ahead: results come back in order, the helper stays within its
// window, and whatever was prepared but not taken is dropped when the run ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "engine/posix/prepare_ahead.h"

namespace twinfol::test {
namespace {

// Each item is prepared as the write end of a pipe; its read end tells whether it was closed.
class PipeItems {
public:
    explicit PipeItems(std::size_t count) : readEnds_(count, -1) {}
    ~PipeItems()
    {
        for (const int fd : readEnds_)
            if (fd >= 0)
                close(fd);
    }

    UniqueFd Prepare(std::size_t index)
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return {};
        const std::lock_guard lock(mutex_);
        readEnds_[index] = ends[0];
        ++prepareCount_;
        return UniqueFd(ends[1]);
    }

    // Whether the prepared item's write end is closed (EOF), or still open somewhere (EAGAIN).
    bool Closed(std::size_t index)
    {
        const std::lock_guard lock(mutex_);
        char byte = 0;
        return readEnds_[index] >= 0 && read(readEnds_[index], &byte, 1) == 0;
    }
    bool Prepared(std::size_t index)
    {
        const std::lock_guard lock(mutex_);
        return readEnds_[index] >= 0;
    }
    int PrepareCount()
    {
        const std::lock_guard lock(mutex_);
        return prepareCount_;
    }

private:
    std::mutex mutex_;
    std::vector<int> readEnds_;
    int prepareCount_ = 0;
};

TEST(PrepareAhead, GivesEveryItemInOrderEachPreparedOnce)
{
    constexpr std::size_t count = 200;
    PipeItems items(count);
    PrepareAhead ahead;
    std::atomic<std::size_t> taken{0};
    std::atomic<std::size_t> furthestAhead{0};
    ASSERT_TRUE(ahead.Begin(count, [&](std::size_t index) {
        const std::size_t lead = index - taken.load();
        if (index >= taken.load() && lead > furthestAhead.load())
            furthestAhead = lead;
        return items.Prepare(index);
    }));
    for (std::size_t index = 0; index < count; ++index) {
        UniqueFd item = ahead.Take(index);
        ASSERT_TRUE(item) << index;
        EXPECT_TRUE(items.Prepared(index));
        EXPECT_FALSE(items.Closed(index)) << "the caller holds item " << index;
        item.Reset();
        EXPECT_TRUE(items.Closed(index));
        taken = index + 1;
    }
    ahead.End();
    EXPECT_EQ(items.PrepareCount(), static_cast<int>(count));
    // The window is small: never more than a handful of descriptors are held ahead.
    EXPECT_LE(furthestAhead.load(), 8u);
}

TEST(PrepareAhead, EndingPartWayDropsWhatWasNotTakenAndAllowsANewRun)
{
    constexpr std::size_t count = 50;
    PipeItems items(count);
    PrepareAhead ahead;
    ASSERT_TRUE(ahead.Begin(count, [&](std::size_t index) { return items.Prepare(index); }));
    UniqueFd first = ahead.Take(0);
    UniqueFd second = ahead.Take(1);
    ASSERT_TRUE(first && second);
    // A run under way is not shared.
    EXPECT_FALSE(ahead.Begin(1, [](std::size_t) { return UniqueFd(); }));
    ahead.End();

    EXPECT_FALSE(items.Closed(0));
    EXPECT_FALSE(items.Closed(1));
    for (std::size_t index = 2; index < count; ++index) {
        if (items.Prepared(index)) {
            EXPECT_TRUE(items.Closed(index)) << "item " << index << " was prepared but never dropped";
        }
    }
    EXPECT_LT(items.PrepareCount(), static_cast<int>(count));

    // A failed preparation comes back as "not prepared".
    ASSERT_TRUE(ahead.Begin(3, [](std::size_t) { return UniqueFd(); }));
    for (std::size_t index = 0; index < 3; ++index)
        EXPECT_FALSE(ahead.Take(index));
    ahead.End();
}

} // namespace
} // namespace twinfol::test
