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

// Whether a time (seconds since the epoch) lies outside what every file system holds: before
// 1970-01-01 or after 2038-01-19 03:14:07 UTC, the last second of 32-bit time stamps.
bool IsOutsideEveryFileSystemRange(std::int64_t seconds);

// Whether the stamp is where a file system's range of stamps ends, so that a later stamp is cut
// down to it when a file is copied there: 2038-01-19 03:14:07 (32-bit stamps), 2106-02-07 06:28:15
// (unsigned 32-bit ones), the last day of 2107 (FAT and exFAT; they keep local time, so a day either
// side counts too) and 2446-05-10 22:38:55 (ext4's 34-bit stamps).
bool IsAtFileSystemLimit(const FileStamp& stamp);

// Whether a source file is to replace its target: its stamp is more than 120 whole seconds later,
// and the target's stamp is not at the end of a file system's range. A target there holds the
// latest stamp its file system can, so no later source stamp makes it older: copying again would
// only cut the stamp down again, at every run.
bool IsNewerForOverwrite(const FileStamp& source, const FileStamp& target);

// Whether two stamps lie exactly one hour apart, give or take 2 seconds, either way round: what a
// FAT or exFAT disk, which keeps local time, shows after a daylight-saving change or a trip across
// time zones.
bool IsHourShift(const FileStamp& a, const FileStamp& b);

} // namespace twinfol
