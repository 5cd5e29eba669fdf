// File stamps: packing, order and exact differences in whole seconds.
#include <gtest/gtest.h>

#include <limits>

#include "engine/fs/file_stamp.h"

using namespace twinfol;

namespace {
FileStamp At(int y, int mo, int d, int h, int mi, int s)
{
    return FileStamp::FromCalendar(y, mo, d, h, mi, s);
}
} // namespace

TEST(FileStamp, PacksCalendarFields)
{
    const FileStamp stamp = At(2024, 2, 29, 23, 59, 58);
    EXPECT_EQ(stamp.date, 2024u * 65536 + 2 * 256 + 29);
    EXPECT_EQ(stamp.time, 23u * 4096 + 59 * 64 + 58);
}

TEST(FileStamp, OutOfRangeFieldsAreNotStored)
{
    EXPECT_EQ(At(2023, 2, 29, 1, 2, 3).date, 0u); // not a leap year
    EXPECT_EQ(At(1900, 2, 29, 0, 0, 0).date, 0u); // divisible by 100
    EXPECT_NE(At(2000, 2, 29, 0, 0, 0).date, 0u); // divisible by 400
    EXPECT_EQ(At(2024, 13, 1, 0, 0, 0).date, 0u);
    EXPECT_EQ(At(2024, 4, 31, 0, 0, 0).date, 0u);
    EXPECT_EQ(At(2024, 1, 1, 24, 60, 60).time, 0u);
    EXPECT_EQ(At(2024, 1, 1, 5, 60, 7).time, 5u * 4096 + 7);
}

TEST(FileStamp, OrderIsCalendarOrder)
{
    EXPECT_LT(At(2023, 12, 31, 23, 59, 59), At(2024, 1, 1, 0, 0, 0));
    EXPECT_LT(At(2024, 1, 31, 0, 0, 0), At(2024, 2, 1, 0, 0, 0));
    EXPECT_EQ(At(2024, 5, 5, 5, 5, 5), At(2024, 5, 5, 5, 5, 5));
}

TEST(FileStamp, FromUnixTimeIsUtcAndDropsFractions)
{
    // 2000-03-01 00:00:00 UTC.
    EXPECT_EQ(FileStamp::FromUnixTime(951868800), At(2000, 3, 1, 0, 0, 0));
    EXPECT_EQ(FileStamp::FromUnixTime(0), At(1970, 1, 1, 0, 0, 0));
}

TEST(StampDifference, ExactAcrossYearEndsAndLeapDays)
{
    EXPECT_EQ(StampDifference(At(2024, 1, 1, 0, 0, 0), At(2023, 12, 31, 23, 59, 59)), 1);
    EXPECT_EQ(StampDifference(At(2024, 3, 1, 0, 0, 0), At(2024, 2, 28, 0, 0, 0)), 2 * 86400);
    EXPECT_EQ(StampDifference(At(2023, 3, 1, 0, 0, 0), At(2023, 2, 28, 0, 0, 0)), 86400);
    EXPECT_EQ(StampDifference(At(2025, 1, 1, 0, 0, 0), At(2024, 1, 1, 0, 0, 0)), 366 * 86400);
    EXPECT_EQ(StampDifference(At(2024, 6, 1, 1, 0, 0), At(2024, 5, 31, 23, 0, 0)), 7200);
    EXPECT_EQ(StampDifference(At(2024, 6, 1, 10, 2, 0), At(2024, 6, 1, 10, 0, 0)), 120);
    EXPECT_EQ(StampDifference(At(2024, 6, 1, 10, 0, 0), At(2024, 6, 1, 10, 2, 1)), -121);
    EXPECT_EQ(StampDifference(At(2024, 6, 1, 10, 0, 0), At(2024, 6, 1, 10, 0, 0)), 0);
}

TEST(StampDifference, MatchesUnixSecondsOverCenturies)
{
    const std::time_t a = 4102444800; // 2100-01-01
    const std::time_t b = 951782400;  // 2000-02-29
    EXPECT_EQ(StampDifference(FileStamp::FromUnixTime(a), FileStamp::FromUnixTime(b)),
              std::numeric_limits<std::int32_t>::max());
    const std::time_t c = 1709164800; // 2024-02-29
    EXPECT_EQ(StampDifference(FileStamp::FromUnixTime(c), FileStamp::FromUnixTime(b)), c - b);
}

TEST(StampDifference, SaturatesKeepingTheSign)
{
    EXPECT_EQ(StampDifference(At(2100, 1, 1, 0, 0, 0), At(1980, 1, 1, 0, 0, 0)),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(StampDifference(At(1980, 1, 1, 0, 0, 0), At(2100, 1, 1, 0, 0, 0)),
              std::numeric_limits<std::int32_t>::min());
}

TEST(StampDifference, ZeroDateCountsNoDays)
{
    FileStamp bad = At(2023, 2, 30, 10, 0, 0);
    ASSERT_EQ(bad.date, 0u);
    EXPECT_EQ(StampDifference(At(2024, 1, 1, 10, 0, 5), bad), 5);
}

// A target stamp at the end of a file system's range is what a later source stamp was cut down to:
// it never counts as older, or the file would be copied again at every run.
TEST(FileStamp, ATargetAtAFileSystemsLastStampIsNeverOlder)
{
    const FileStamp year2200 = At(2200, 1, 1, 0, 0, 0);
    for (const FileStamp limit :
         {At(2038, 1, 19, 3, 14, 7), At(2106, 2, 7, 6, 28, 15), At(2107, 12, 31, 23, 59, 58),
          At(2108, 1, 1, 7, 59, 58), At(2446, 5, 10, 22, 38, 55)})
        EXPECT_FALSE(IsNewerForOverwrite(year2200, limit)) << limit.Year();
    // One second short of a limit is an ordinary stamp, and the 120 seconds still count.
    EXPECT_TRUE(IsNewerForOverwrite(year2200, At(2038, 1, 19, 3, 14, 6)));
    EXPECT_TRUE(IsNewerForOverwrite(At(2023, 1, 1, 0, 2, 1), At(2023, 1, 1, 0, 0, 0)));
    EXPECT_FALSE(IsNewerForOverwrite(At(2023, 1, 1, 0, 2, 0), At(2023, 1, 1, 0, 0, 0)));
    EXPECT_TRUE(IsOutsideEveryFileSystemRange(-1));
    EXPECT_FALSE(IsOutsideEveryFileSystemRange(2147483647));
    EXPECT_TRUE(IsOutsideEveryFileSystemRange(2147483648));
}

// What a FAT disk shows after a daylight-saving change: one hour either way, give or take the 2 seconds
// of FAT's stamps, across a day's end too; anything further off is a real difference.
TEST(FileStamp, AnHourShiftIsExactlyOneHourGiveOrTakeTwoSeconds)
{
    const FileStamp base = At(2023, 3, 26, 23, 30, 0);
    for (const int seconds : {3598, 3599, 3600, 3601, 3602}) {
        EXPECT_TRUE(IsHourShift(FileStamp::FromUnixTime(1679873400 + seconds), base)) << seconds;
        EXPECT_TRUE(IsHourShift(base, FileStamp::FromUnixTime(1679873400 + seconds))) << seconds;
    }
    for (const int seconds : {0, 120, 3597, 3603, 7200})
        EXPECT_FALSE(IsHourShift(FileStamp::FromUnixTime(1679873400 + seconds), base)) << seconds;
}

// Stamps more than 68 years apart differ by more than 32 bits hold: the difference saturates, and
// its size must still be taken without overflow, either way round. Near either end, an hour later or
// earlier (across the year's end) give or take 2 seconds is still a shift, and 3 seconds more is not.
TEST(FileStamp, AnHourShiftIsJudgedRightAtTheEndsOfTheRange)
{
    constexpr std::time_t start1980 = 315532800;
    constexpr std::time_t start2100 = 4102444800;
    const FileStamp year1980 = FileStamp::FromUnixTime(start1980);
    const FileStamp year2100 = FileStamp::FromUnixTime(start2100);
    ASSERT_EQ(year1980, At(1980, 1, 1, 0, 0, 0));
    ASSERT_EQ(year2100, At(2100, 1, 1, 0, 0, 0));
    ASSERT_EQ(StampDifference(year1980, year2100), std::numeric_limits<std::int32_t>::min());
    ASSERT_EQ(StampDifference(year2100, year1980), std::numeric_limits<std::int32_t>::max());
    EXPECT_FALSE(IsHourShift(year1980, year2100));
    EXPECT_FALSE(IsHourShift(year2100, year1980));
    EXPECT_FALSE(IsHourShift(year1980, year1980));
    EXPECT_FALSE(IsHourShift(year2100, year2100));
    for (const std::time_t start : {start1980, start2100}) {
        const FileStamp base = FileStamp::FromUnixTime(start);
        for (const std::time_t hour : {3600, -3600}) {
            for (const std::time_t off : {-2, -1, 0, 1, 2}) {
                const FileStamp shifted = FileStamp::FromUnixTime(start + hour + off);
                EXPECT_TRUE(IsHourShift(shifted, base)) << start << " " << hour + off;
                EXPECT_TRUE(IsHourShift(base, shifted)) << start << " " << hour + off;
            }
            for (const std::time_t off : {-3, 3}) {
                const FileStamp shifted = FileStamp::FromUnixTime(start + hour + off);
                EXPECT_FALSE(IsHourShift(shifted, base)) << start << " " << hour + off;
                EXPECT_FALSE(IsHourShift(base, shifted)) << start << " " << hour + off;
            }
        }
    }
}
