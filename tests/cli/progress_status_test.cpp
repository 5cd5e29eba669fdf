// What the progress line says: figures a person can read, the rate over the recent past, the time
// left once a plan knows the totals, and a large file's own percentage.
#include <gtest/gtest.h>

#include "cli/progress_status.h"

namespace twinfol::cli {
namespace {

using namespace std::chrono_literals;

TEST(ProgressStatus, FiguresAreReadable)
{
    EXPECT_EQ(FormatCount(0), "0");
    EXPECT_EQ(FormatCount(999), "999");
    EXPECT_EQ(FormatCount(1234567), "1,234,567");
    EXPECT_EQ(FormatBytes(1023), "1023 B");
    EXPECT_EQ(FormatBytes(1536), "1.5 KiB");
    EXPECT_EQ(FormatBytes(400ull * 1024 * 1024), "400.0 MiB");
    EXPECT_EQ(FormatBytes(5ull << 40), "5.0 TiB");
    EXPECT_EQ(FormatDuration(42s), "0:42");
    EXPECT_EQ(FormatDuration(725s), "12:05");
    EXPECT_EQ(FormatDuration(3723s), "1:02:03");
}

TEST(ProgressStatus, ShowsCountsRateTimeLeftAndTheFilesPercentage)
{
    auto now = std::chrono::steady_clock::time_point(1h);
    ProgressStatus status([&] { return now; });
    status.SetOperation("Checking file: /t/a");
    // Nothing copied and no plan: the operation alone.
    EXPECT_EQ(status.Text(80), "Checking file: /t/a");

    status.SetTotals(PlanTotals{10, 100 * 1024 * 1024});
    status.SetOperation("Adding file: /t/big.iso");
    status.SetCounters(
        {.filesCopied = 2, .bytesCopied = 10 * 1024 * 1024, .fileBytesDone = 0, .fileSize = 0});
    now += 2s;
    status.SetCounters({.filesCopied = 2,
                        .bytesCopied = 10 * 1024 * 1024,
                        .fileBytesDone = 20 * 1024 * 1024,
                        .fileSize = 80 * 1024 * 1024});
    // 20 MiB in 2 seconds; 70 MiB left at 10 MiB/s.
    EXPECT_EQ(status.Text(200),
              "2/10 files, 30.0 MiB/100.0 MiB, 10.0 MiB/s, 0:07 left | Adding file: /t/big.iso (25%)");

    // A narrow terminal keeps the figures and shortens the operation in its middle.
    const std::string narrow = status.Text(70);
    EXPECT_LE(narrow.size(), 70u);
    EXPECT_TRUE(narrow.starts_with("2/10 files, 30.0 MiB/100.0 MiB, 10.0 MiB/s, 0:07 left | Ad"));
    EXPECT_TRUE(narrow.ends_with("so (25%)")) << narrow;

    // The rate follows the recent past: after a long stall it falls.
    now += 30s;
    status.SetCounters(
        {.filesCopied = 3, .bytesCopied = 90 * 1024 * 1024, .fileBytesDone = 0, .fileSize = 0});
    now += 30s;
    EXPECT_NE(status.Text(200).find(", 0 B/s"), std::string::npos) << status.Text(200);

    // Time spent answering a question is no copying time: the rate neither falls while it waits nor
    // counts the wait afterwards.
    status.SetCounters(
        {.filesCopied = 3, .bytesCopied = 90 * 1024 * 1024, .fileBytesDone = 0, .fileSize = 0});
    now += 10s;
    status.SetCounters(
        {.filesCopied = 4, .bytesCopied = 190 * 1024 * 1024, .fileBytesDone = 0, .fileSize = 0});
    status.PauseRate();
    now += 5min;
    EXPECT_NE(status.Text(200).find(", 10.0 MiB/s"), std::string::npos) << status.Text(200);
    status.ResumeRate();
    now += 1s;
    status.SetCounters(
        {.filesCopied = 4, .bytesCopied = 200 * 1024 * 1024, .fileBytesDone = 0, .fileSize = 0});
    EXPECT_NE(status.Text(200).find(", 10.0 MiB/s"), std::string::npos) << status.Text(200);

    status.SetPlanning(true);
    status.SetOperation("Checking folder: /t/\x1B[2J");
    EXPECT_EQ(status.Text(200), "Planning: Checking folder: /t/\\x1b[2J");
}

} // namespace
} // namespace twinfol::cli
