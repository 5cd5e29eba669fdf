// The background closer: everything handed over is closed by Drain and by the end of its life,
// however many descriptors pile up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "engine/posix/deferred_closer.h"

namespace twinfol::test {
namespace {

// The ends of pipes whose write ends are handed over: a read answers end of file once the write
// end is closed.
std::vector<std::pair<int, int>> MakePipes(int count)
{
    std::vector<std::pair<int, int>> pipes;
    for (int index = 0; index < count; ++index) {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
        pipes.emplace_back(ends[0], ends[1]);
    }
    return pipes;
}

bool WriteEndClosed(int readEnd)
{
    char byte = 0;
    return read(readEnd, &byte, 1) == 0;
}

TEST(DeferredCloser, DrainReturnsOnceEveryDescriptorIsClosed)
{
    // More than may be pending at once, so that handing over has to wait for the threads too.
    auto pipes = MakePipes(600);
    DeferredCloser closer;
    EXPECT_FALSE(closer.Drain());
    for (const auto& [readEnd, writeEnd] : pipes)
        closer.Close(writeEnd);
    closer.Drain();
    for (const auto& [readEnd, writeEnd] : pipes) {
        EXPECT_TRUE(WriteEndClosed(readEnd));
        close(readEnd);
    }
    EXPECT_FALSE(closer.Drain());
}

TEST(DeferredCloser, EndingClosesWhatIsStillPending)
{
    auto pipes = MakePipes(50);
    {
        DeferredCloser closer;
        for (const auto& [readEnd, writeEnd] : pipes)
            closer.Close(writeEnd);
    }
    for (const auto& [readEnd, writeEnd] : pipes) {
        EXPECT_TRUE(WriteEndClosed(readEnd));
        close(readEnd);
    }
}

} // namespace
} // namespace twinfol::test
