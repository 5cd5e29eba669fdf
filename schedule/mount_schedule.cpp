// Reading and writing the on-mount schedules' files.
#include "schedule/mount_schedule.h"

#include "schedule/schedule_files.h"

namespace twinfol {
namespace {

constexpr const char* suffix = ".on-mount";

std::string Line(const char* key, const std::string& value)
{
    return std::string(key) + "=" + value + "\n";
}

} // namespace

std::string MountScheduleFile(const std::string& folder, const std::string& unitName)
{
    return folder + unitName + suffix;
}

std::string MountScheduleText(const MountSchedule& schedule)
{
    std::string text = "# Runs the profile when the disk is plugged in: twinfol-sync --watch reads this.\n";
    text += Line("profile", schedule.run.profilePath);
    text += Line("unit", schedule.run.unitName);
    if (!schedule.run.direction.empty())
        text += Line("direction", schedule.run.direction);
    if (!schedule.disk.uuid.empty())
        text += Line("uuid", schedule.disk.uuid);
    if (!schedule.disk.label.empty())
        text += Line("label", schedule.disk.label);
    text += Line("below", schedule.below);
    text += Line("side", schedule.side == RunSide::Source ? "source" : "target");
    return text;
}

std::optional<MountSchedule> ReadMountScheduleText(const std::string& text)
{
    MountSchedule schedule;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "profile")
            schedule.run.profilePath = value;
        else if (key == "unit")
            schedule.run.unitName = value;
        else if (key == "direction" && (value == "1to2" || value == "2to1"))
            schedule.run.direction = value;
        else if (key == "uuid")
            schedule.disk.uuid = value;
        else if (key == "label")
            schedule.disk.label = value;
        else if (key == "below")
            schedule.below = value;
        else if (key == "side")
            schedule.side = value == "source" ? RunSide::Source : RunSide::Target;
    }
    if (schedule.run.profilePath.empty() || schedule.run.unitName.empty() || !schedule.disk.IsKnown() ||
        !schedule.below.starts_with('/'))
        return std::nullopt;
    return schedule;
}

std::vector<MountSchedule> ReadMountSchedules(const std::string& folder)
{
    std::vector<MountSchedule> schedules;
    for (const std::string& name : NamesEndingWith(folder, suffix)) {
        const std::optional<std::string> text = ReadSmallFile(folder + name);
        if (!text)
            continue;
        if (std::optional<MountSchedule> schedule = ReadMountScheduleText(*text))
            schedules.push_back(std::move(*schedule));
    }
    return schedules;
}

} // namespace twinfol
