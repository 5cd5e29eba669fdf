// Reading a profile for a schedule. The refusals name the profile's own settings, so that the person
// knows what to change.
#include "schedule/scheduled_profile.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/posix/posix_file_system.h"
#include "profile/profile.h"

namespace twinfol {
namespace {

ScheduledProfile Refused(std::string error)
{
    ScheduledProfile refused;
    refused.error = std::move(error);
    return refused;
}

bool RunsForward(const std::string& direction, AutoStart autoStart, bool& known)
{
    known = true;
    if (direction == "1to2")
        return true;
    if (direction == "2to1")
        return false;
    known = autoStart == AutoStart::Location1ToLocation2 || autoStart == AutoStart::Location2ToLocation1;
    return autoStart == AutoStart::Location1ToLocation2;
}

} // namespace

ScheduledProfile CheckScheduledProfile(const std::string& profilePath, const std::string& direction)
{
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(profilePath.c_str(), nullptr),
                                                           &std::free);
    if (!real)
        return Refused("Could not open file: " + profilePath + " (" + std::strerror(errno) + ")");
    PosixFileSystem fileSystem;
    Profile profile;
    const ProfileLoadResult loaded = profile.ReadFile(fileSystem, real.get());
    if (loaded.status == ProfileLoadStatus::CannotOpen)
        return Refused("Could not open file: " + profilePath);
    if (loaded.status == ProfileLoadStatus::NotAProfile)
        return Refused(profilePath + " is not a valid Twinfol profile");
    if (profile.options.confirmDeletes && profile.options.deleteMissing)
        return Refused("the profile " + profilePath +
                       " asks before each delete (its setting \"Ask for confirmation on all deletes\", "
                       "confirm_deletes=1), and a scheduled run has nobody to ask; clear that setting "
                       "in the profile to schedule it");
    bool known = false;
    const bool forward = RunsForward(direction, profile.options.autoStart, known);
    if (!known)
        return Refused("the profile " + profilePath +
                       " does not start by itself in either direction; give --direction 1to2 or "
                       "--direction 2to1");
    ScheduledProfile checked;
    checked.path = real.get();
    if (checked.path.find('\n') != std::string::npos)
        return Refused("the path of the profile " + profilePath + " holds a line break, which a unit cannot");
    checked.givenDirection = direction;
    checked.source = forward ? profile.location1 : profile.location2;
    checked.target = forward ? profile.location2 : profile.location1;
    return checked;
}

} // namespace twinfol
