// Installing, removing and listing the schedules of profiles: the one place the runner's --schedule,
// --unschedule and --schedules and the window's "Schedule..." dialog go through.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "schedule/schedule_places.h"

namespace twinfol {

struct ScheduleRequest {
    std::string profilePath;
    // "hourly", "daily", "weekly", "on-mount" or a systemd calendar expression.
    std::string when;
    // "1to2" or "2to1"; empty for the profile's automatic start.
    std::string direction;
};

struct ScheduleOutcome {
    // Why nothing was scheduled or removed; empty on success.
    std::string error;
    // What the person should know: what was written, and whether the user manager took it.
    std::vector<std::string> notes;

    bool IsOk() const { return error.empty(); }
};

// Whether a user manager runs, decided once by whoever lists or changes schedules.
enum class UserManager { Absent, Running };

// Writes the schedule, replacing any the profile had.
ScheduleOutcome ScheduleProfile(const SchedulePlaces& places, const ScheduleRequest& request,
                                UserManager manager);

// Removes the profile's schedule, of either kind; an error when it had none.
ScheduleOutcome UnscheduleProfile(const SchedulePlaces& places, const std::string& profilePath,
                                  UserManager manager);

struct ScheduleEntry {
    std::string profilePath;
    std::string when;
    std::string direction;
    std::string unitName;
    // When it runs next and ran last, as the user manager says; for an on-mount schedule, the disk.
    std::string next;
    std::string last;
};

// Every installed schedule: the timers first, then the on-mount schedules, each sorted by unit name.
std::vector<ScheduleEntry> ListSchedules(const SchedulePlaces& places, UserManager manager);

// The schedule of the one profile, if it has one.
std::optional<ScheduleEntry> ScheduleOfProfile(const SchedulePlaces& places, const std::string& profilePath,
                                               UserManager manager);

// What the listing says for the next run of a timer when no user manager runs.
inline constexpr const char* nextRunUnknown = "next run unknown without a user manager";

} // namespace twinfol
