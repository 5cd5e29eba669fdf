// A file's last-write time in UTC to the whole second, packed so that integer order is calendar order.
#pragma once

#include <compare>
#include <cstdint>
#include <ctime>

namespace twinfol {

struct FileStamp {
    // year * 65536 + month * 256 + day; 0 when the calendar date was out of range.
    std::uint32_t date = 0;
    // hour * 4096 + minute * 64 + second.
    std::uint32_t time = 0;

    // Builds a stamp from calendar fields. A month or day out of range leaves the date 0; an hour,
    // minute or second out of range is stored as 0.
    static FileStamp FromCalendar(int year, int month, int day, int hour, int minute, int second);
    // The stamp of a POSIX time (seconds since the epoch), read in UTC.
    static FileStamp FromUnixTime(std::time_t seconds);

    int Year() const { return static_cast<int>(date >> 16); }
    int Month() const { return static_cast<int>((date >> 8) & 0xFF); }
    int Day() const { return static_cast<int>(date & 0xFF); }
    int Hour() const { return static_cast<int>(time >> 12); }
    int Minute() const { return static_cast<int>((time >> 6) & 0x3F); }
    int Second() const { return static_cast<int>(time & 0x3F); }

    friend auto operator<=>(const FileStamp&, const FileStamp&) = default;
};

// a minus b in seconds, exact over any span. A difference that does not fit 32 bits saturates to
// the largest value of its sign.
std::int32_t StampDifference(const FileStamp& a, const FileStamp& b);

} // namespace twinfol
