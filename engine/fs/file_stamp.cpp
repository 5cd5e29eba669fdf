// Packing and comparing file stamps.
#include "engine/fs/file_stamp.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace twinfol {
namespace {

// A target file is replaced only when its source is more than this many whole seconds newer.
constexpr std::int32_t overwriteThresholdSeconds = 120;
// A shift of local time, and how far a stamp may stray from it (FAT keeps stamps to 2 seconds).
constexpr std::int32_t hourShiftSeconds = 3600;
constexpr std::int32_t hourShiftSlackSeconds = 2;

// The last second of 32-bit signed, 32-bit unsigned and ext4's 34-bit stamps.
constexpr std::int64_t limitSeconds[] = {2147483647, 4294967295, 15032385535};

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : lengths[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date (Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t DaysOf(const FileStamp& stamp)
{
    return DaysFromCivil(stamp.Year(), static_cast<unsigned>(stamp.Month()),
                         static_cast<unsigned>(stamp.Day()));
}

std::int64_t SecondOfDay(const FileStamp& stamp)
{
    return stamp.Hour() * 3600 + stamp.Minute() * 60 + stamp.Second();
}

} // namespace

FileStamp FileStamp::FromCalendar(int year, int month, int day, int hour, int minute, int second)
{
    FileStamp stamp;
    const bool dateValid = year >= 0 && year <= 0xFFFF && month >= 1 && month <= 12 && day >= 1 &&
                           day <= DaysInMonth(year, month);
    if (dateValid)
        stamp.date = static_cast<std::uint32_t>(year) * 65536 + static_cast<std::uint32_t>(month) * 256 +
                     static_cast<std::uint32_t>(day);
    const auto field = [](int value, int limit) {
        return value >= 0 && value < limit ? static_cast<std::uint32_t>(value) : 0u;
    };
    stamp.time = field(hour, 24) * 4096 + field(minute, 60) * 64 + field(second, 60);
    return stamp;
}

FileStamp FileStamp::FromUnixTime(std::time_t seconds)
{
    std::tm fields{};
    if (gmtime_r(&seconds, &fields) == nullptr)
        return {};
    return FromCalendar(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                        fields.tm_min, fields.tm_sec);
}

std::int32_t StampDifference(const FileStamp& a, const FileStamp& b)
{
    std::int64_t days = 0;
    if (a.date != 0 && b.date != 0)
        days = DaysOf(a) - DaysOf(b);
    const std::int64_t seconds = days * 86400 + SecondOfDay(a) - SecondOfDay(b);
    if (seconds > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (seconds < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(seconds);
}

bool IsOutsideEveryFileSystemRange(std::int64_t seconds)
{
    return seconds < 0 || seconds > std::numeric_limits<std::int32_t>::max();
}

bool IsAtFileSystemLimit(const FileStamp& stamp)
{
    if (std::any_of(std::begin(limitSeconds), std::end(limitSeconds), [&](std::int64_t seconds) {
            return stamp == FileStamp::FromUnixTime(static_cast<std::time_t>(seconds));
        }))
        return true;
    const FileStamp fatFirst = FileStamp::FromCalendar(2107, 12, 30, 0, 0, 0);
    const FileStamp fatLast = FileStamp::FromCalendar(2108, 1, 1, 23, 59, 59);
    return stamp >= fatFirst && stamp <= fatLast;
}

bool IsNewerForOverwrite(const FileStamp& source, const FileStamp& target)
{
    return source > target && StampDifference(source, target) > overwriteThresholdSeconds &&
           !IsAtFileSystemLimit(target);
}

bool IsHourShift(const FileStamp& a, const FileStamp& b)
{
    // Widened before the sign is dropped: a difference that saturated at the smallest 32-bit value
    // has no 32-bit negation.
    const std::int64_t difference = StampDifference(a, b);
    const std::int64_t distance = difference < 0 ? -difference : difference;
    return distance >= hourShiftSeconds - hourShiftSlackSeconds &&
           distance <= hourShiftSeconds + hourShiftSlackSeconds;
}

} // namespace twinfol
