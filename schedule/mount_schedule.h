// The schedules that run a profile when a disk is plugged in: one small file each under
// $XDG_CONFIG_HOME/twinfol/on-mount/, kept apart from the profile, which stays as the person saved it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "schedule/disk_identity.h"
#include "schedule/unit_files.h"

namespace twinfol {

// Which of the run's two folders lies on the disk.
enum class RunSide { Source, Target };

struct MountSchedule {
    ScheduledRun run;
    DiskIdentity disk;
    // The folder's path from the disk's top, as PlaceOnOtherDisk gives it.
    std::string below;
    RunSide side = RunSide::Target;
};

// The file that holds the schedule of the run: the folder and the unit's name with ".on-mount".
std::string MountScheduleFile(const std::string& folder, const std::string& unitName);

// The "key=value" lines of the file.
std::string MountScheduleText(const MountSchedule& schedule);
// Nothing for a text that does not name a profile, a unit, a disk and a folder.
std::optional<MountSchedule> ReadMountScheduleText(const std::string& text);

// Every schedule of the folder that reads back; files that do not are left out.
std::vector<MountSchedule> ReadMountSchedules(const std::string& folder);

} // namespace twinfol
