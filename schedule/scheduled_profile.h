// What a schedule needs to know of a profile before it may run it unattended: its absolute path, the
// direction it runs in and its two folders in that direction, or why it cannot be scheduled.
#pragma once

#include <string>

namespace twinfol {

struct ScheduledProfile {
    // The profile's absolute path with symbolic links resolved.
    std::string path;
    // "1to2" or "2to1" as given; empty when the profile's automatic start gives the direction.
    std::string givenDirection;
    std::string source;
    std::string target;
    // Why the profile cannot be scheduled; empty when it can.
    std::string error;
};

// Reads the profile and checks that a run nobody watches can carry it out: it must not ask before
// deletes, and it needs a direction, from `direction` ("1to2", "2to1" or empty) or from its automatic
// start.
ScheduledProfile CheckScheduledProfile(const std::string& profilePath, const std::string& direction);

} // namespace twinfol
