// Listing the installed schedules, from the units' own keys and the on-mount schedules' files.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "schedule/mount_schedule.h"
#include "schedule/schedule_files.h"
#include "schedule/schedules.h"
#include "schedule/unit_name.h"
#include "schedule/user_manager.h"

namespace twinfol {
namespace {

std::optional<ScheduleEntry> TimerEntry(const SchedulePlaces& places, const std::string& unitName,
                                        UserManager manager)
{
    const std::optional<std::string> service = ReadSmallFile(places.unitFolder + unitName + ".service");
    if (!service)
        return std::nullopt;
    ScheduleEntry entry;
    entry.unitName = unitName;
    entry.profilePath = UnitUnescapedValue(UnitValue(*service, "X-Twinfol-Profile"));
    entry.when = UnitUnescapedValue(UnitValue(*service, "X-Twinfol-When"));
    entry.direction = UnitValue(*service, "X-Twinfol-Direction");
    if (entry.profilePath.empty())
        return std::nullopt;
    if (manager == UserManager::Absent) {
        entry.next = nextRunUnknown;
        return entry;
    }
    const TimerTimes times = ReadTimerTimes(unitName + ".timer");
    entry.next = times.next.empty() ? "not planned" : times.next;
    entry.last = times.last.empty() ? "never" : times.last;
    return entry;
}

ScheduleEntry OnMountEntry(const MountSchedule& schedule)
{
    ScheduleEntry entry;
    entry.unitName = schedule.run.unitName;
    entry.profilePath = schedule.run.profilePath;
    entry.when = "on-mount";
    entry.direction = schedule.run.direction;
    entry.next = "when the disk with " + schedule.disk.Text() + " is mounted";
    return entry;
}

} // namespace

std::vector<ScheduleEntry> ListSchedules(const SchedulePlaces& places, UserManager manager)
{
    std::vector<ScheduleEntry> entries;
    for (const std::string& timer : NamesEndingWith(places.unitFolder, ".timer")) {
        if (!timer.starts_with(scheduleUnitPrefix))
            continue;
        const std::string unitName = timer.substr(0, timer.size() - std::string_view(".timer").size());
        if (std::optional<ScheduleEntry> entry = TimerEntry(places, unitName, manager))
            entries.push_back(std::move(*entry));
    }
    for (const MountSchedule& schedule : ReadMountSchedules(places.mountScheduleFolder))
        entries.push_back(OnMountEntry(schedule));
    return entries;
}

std::optional<ScheduleEntry> ScheduleOfProfile(const SchedulePlaces& places, const std::string& profilePath,
                                               UserManager manager)
{
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(profilePath.c_str(), nullptr),
                                                           &std::free);
    const std::optional<std::string> unitName = ScheduleUnitName(real ? real.get() : profilePath);
    if (!unitName)
        return std::nullopt;
    if (std::optional<ScheduleEntry> timer = TimerEntry(places, *unitName, manager))
        return timer;
    const std::optional<std::string> text =
        ReadSmallFile(MountScheduleFile(places.mountScheduleFolder, *unitName));
    const std::optional<MountSchedule> schedule = text ? ReadMountScheduleText(*text) : std::nullopt;
    if (schedule)
        return OnMountEntry(*schedule);
    return std::nullopt;
}

} // namespace twinfol
