// Schedules as units of the user's systemd manager, and on-mount schedules for the disk watcher.
#include "schedule/schedules.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "schedule/mount_schedule.h"
#include "schedule/schedule_files.h"
#include "schedule/schedule_when.h"
#include "schedule/scheduled_profile.h"
#include "schedule/unit_name.h"
#include "schedule/user_manager.h"

namespace twinfol {
namespace {

// Where "systemctl enable" links a unit that its [Install] section puts under the target.
std::string WantsLink(const SchedulePlaces& places, const char* target, const std::string& unit)
{
    return places.unitFolder + target + ".wants/" + unit;
}

// Enables the unit as systemctl would: through the manager when one runs, else by the link that
// "systemctl enable" makes, so that the unit starts with the manager at the next login.
void EnableUnit(const SchedulePlaces& places, const char* target, const std::string& unit,
                UserManager manager, ScheduleOutcome& outcome)
{
    if (manager == UserManager::Running) {
        std::string failed = ReloadUserManager();
        if (failed.empty())
            failed = EnableUnitNow(unit);
        outcome.notes.push_back(failed.empty() ? unit + " is enabled and started." : failed);
        return;
    }
    const std::string link = WantsLink(places, target, unit);
    (void)MakeFolders(places.unitFolder + target + ".wants");
    (void)RemoveFile(link);
    if (symlink(("../" + unit).c_str(), link.c_str()) != 0)
        outcome.notes.push_back("could not link " + link);
    outcome.notes.push_back("No user manager is running, so " + unit +
                            " is not started now; it is linked to start with the user manager at the next "
                            "login.");
}

void DisableUnit(const SchedulePlaces& places, const char* target, const std::string& unit,
                 UserManager manager)
{
    if (manager == UserManager::Running)
        DisableUnitNow(unit);
    (void)RemoveFile(WantsLink(places, target, unit));
}

// Removes the profile's timer and service; true when there was a timer.
bool RemoveTimer(const SchedulePlaces& places, const std::string& unitName, UserManager manager)
{
    const std::string timer = places.unitFolder + unitName + ".timer";
    const bool had = access(timer.c_str(), F_OK) == 0;
    DisableUnit(places, "timers.target", unitName + ".timer", manager);
    (void)RemoveFile(timer);
    (void)RemoveFile(places.unitFolder + unitName + ".service");
    return had;
}

// Removes the profile's on-mount schedule, and the watcher's unit with the last of them.
bool RemoveMountSchedule(const SchedulePlaces& places, const std::string& unitName, UserManager manager)
{
    const std::string file = MountScheduleFile(places.mountScheduleFolder, unitName);
    const bool had = access(file.c_str(), F_OK) == 0;
    (void)RemoveFile(file);
    if (had && ReadMountSchedules(places.mountScheduleFolder).empty()) {
        DisableUnit(places, "default.target", watchUnitName, manager);
        (void)RemoveFile(places.unitFolder + watchUnitName);
    }
    return had;
}

ScheduleOutcome WriteTimer(const SchedulePlaces& places, const ScheduledRun& run, const std::string& when,
                           UserManager manager)
{
    ScheduleOutcome outcome;
    const std::string service = places.unitFolder + run.unitName + ".service";
    const std::string timer = places.unitFolder + run.unitName + ".timer";
    outcome.error = MakeFolders(places.unitFolder);
    if (outcome.error.empty())
        outcome.error = WriteWholeFile(service, ServiceText(places, run, when));
    if (outcome.error.empty())
        outcome.error = WriteWholeFile(timer, TimerText(run, when));
    if (!outcome.IsOk())
        return outcome;
    (void)MakeFolders(places.logFolder);
    outcome.notes.push_back("Scheduled " + run.profilePath + " " + when + ": wrote " + service + " and " +
                            timer + "; its runs log to " + ScheduledLogPath(places, run) + ".");
    EnableUnit(places, "timers.target", run.unitName + ".timer", manager, outcome);
    return outcome;
}

// The disk is found now, while it is plugged in: the target's when both folders lie on other disks than
// the one that holds "/", since the target is what a backup disk is.
ScheduleOutcome WriteMountSchedule(const SchedulePlaces& places, const ScheduledProfile& profile,
                                   const ScheduledRun& run, UserManager manager)
{
    MountSchedule schedule{run, {}, {}, RunSide::Target};
    DiskPlaceResult found = PlaceOnOtherDisk(profile.target);
    if (!found.place) {
        const DiskPlaceResult source = PlaceOnOtherDisk(profile.source);
        if (!source.place)
            return {"neither folder of the profile lies on a disk of its own to watch for: " + found.error +
                        "; " + source.error,
                    {}};
        found = source;
        schedule.side = RunSide::Source;
    }
    schedule.disk = found.place->disk;
    schedule.below = found.place->below;
    ScheduleOutcome outcome;
    outcome.error = MakeFolders(places.mountScheduleFolder);
    const std::string file = MountScheduleFile(places.mountScheduleFolder, run.unitName);
    if (outcome.error.empty())
        outcome.error = WriteWholeFile(file, MountScheduleText(schedule));
    if (outcome.error.empty())
        outcome.error = MakeFolders(places.unitFolder);
    if (outcome.error.empty())
        outcome.error = WriteWholeFile(places.unitFolder + watchUnitName, WatchServiceText(places));
    if (!outcome.IsOk())
        return outcome;
    (void)MakeFolders(places.logFolder);
    outcome.notes.push_back("Scheduled " + run.profilePath + " on-mount: it runs whenever the disk with " +
                            schedule.disk.Text() + " is mounted (its " +
                            (schedule.side == RunSide::Source ? "source" : "target") + " is " +
                            schedule.below + " on that disk). Wrote " + file + " and " + places.unitFolder +
                            watchUnitName + "; its runs log to " + ScheduledLogPath(places, run) + ".");
    EnableUnit(places, "default.target", watchUnitName, manager, outcome);
    return outcome;
}

} // namespace

ScheduleOutcome ScheduleProfile(const SchedulePlaces& places, const ScheduleRequest& request,
                                UserManager manager)
{
    const WhenCheck when = ReadScheduleWhen(request.when);
    if (!when.error.empty())
        return {when.error, {}};
    const ScheduledProfile profile = CheckScheduledProfile(request.profilePath, request.direction);
    if (!profile.error.empty())
        return {profile.error, {}};
    const std::optional<std::string> unitName = ScheduleUnitName(profile.path);
    if (!unitName)
        return {"the path of the profile " + profile.path + " is too long to name a systemd unit after it",
                {}};
    const ScheduledRun run{profile.path, profile.givenDirection, *unitName};
    ScheduleOutcome outcome = when.when.IsOnMount() ? WriteMountSchedule(places, profile, run, manager)
                                                    : WriteTimer(places, run, when.when.calendar, manager);
    if (!outcome.IsOk())
        return outcome;
    // A profile has one schedule: the new one replaces one of the other kind.
    if (when.when.IsOnMount())
        RemoveTimer(places, run.unitName, manager);
    else
        RemoveMountSchedule(places, run.unitName, manager);
    if (!when.note.empty())
        outcome.notes.insert(outcome.notes.begin(), when.note);
    return outcome;
}

ScheduleOutcome UnscheduleProfile(const SchedulePlaces& places, const std::string& profilePath,
                                  UserManager manager)
{
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(profilePath.c_str(), nullptr),
                                                           &std::free);
    // A profile already deleted still has its schedule removed, by the path as given.
    const std::optional<std::string> unitName = ScheduleUnitName(real ? real.get() : profilePath);
    if (!unitName)
        return {"the profile " + profilePath + " has no schedule (give its absolute path)", {}};
    const bool hadTimer = RemoveTimer(places, *unitName, manager);
    const bool hadMount = RemoveMountSchedule(places, *unitName, manager);
    if (!hadTimer && !hadMount)
        return {"the profile " + profilePath + " has no schedule", {}};
    if (manager == UserManager::Running)
        (void)ReloadUserManager();
    return {{}, {"Removed the schedule of " + profilePath + "."}};
}

} // namespace twinfol
