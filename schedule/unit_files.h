// The text of the units a schedule installs, and the one command line every scheduled run goes
// through, whether a timer or the disk watcher starts it.
#pragma once

#include <string>
#include <vector>

#include "schedule/schedule_places.h"

namespace twinfol {

// One profile as its schedule runs it.
struct ScheduledRun {
    // The profile's absolute path.
    std::string profilePath;
    // "1to2" or "2to1" when the schedule gives the direction; empty for the profile's automatic start.
    std::string direction;
    // The base name of its units (ScheduleUnitName), which also names its log.
    std::string unitName;
};

// The log the run appends to: the log folder and the unit's name with ".log".
std::string ScheduledLogPath(const SchedulePlaces& places, const ScheduledRun& run);

// twinfol-sync -q --notify --log-file LOG [--direction DIR] PROFILE, the runner named by its full path.
// Extra words (a folder's current place, for a disk mounted elsewhere) come before the profile. A run
// the watcher starts stays for the notification's "Open report" (--notify-wait): the watcher is still
// there, while a timer's service has ended by the time anyone sees it.
std::vector<std::string> ScheduledCommand(const SchedulePlaces& places, const ScheduledRun& run,
                                          const std::vector<std::string>& extra = {},
                                          bool waitForAction = false);

// A one-shot service that runs the command, with the profile and the schedule recorded in keys of its
// own (X-Twinfol-Profile, X-Twinfol-When, X-Twinfol-Direction) that the listing reads back.
std::string ServiceText(const SchedulePlaces& places, const ScheduledRun& run, const std::string& when);

// The timer that starts that service; Persistent=true catches up a run missed while the machine was off.
std::string TimerText(const ScheduledRun& run, const std::string& when);

// The unit that keeps the disk watcher running for as long as the user is logged in.
std::string WatchServiceText(const SchedulePlaces& places);

inline constexpr const char* watchUnitName = "twinfol-watch.service";

// The value of a "Key=" line of a unit's text, as written (specifiers and quotes left in place);
// empty when there is none.
std::string UnitValue(const std::string& unitText, const std::string& key);

// A value as written into a unit: each "%" doubled, since the manager would take it for a specifier.
std::string UnitEscapedValue(const std::string& value);
// Undoes UnitEscapedValue.
std::string UnitUnescapedValue(const std::string& value);

} // namespace twinfol
