// The names of the systemd user units that run a profile: its absolute path escaped the way
// "systemd-escape --path" escapes it, so that the name tells which profile a unit runs.
#pragma once

#include <optional>
#include <string>

namespace twinfol {

// The path escaped as "systemd-escape --path" does: slashes at both ends dropped, the others turned
// into "-", and every byte other than letters, digits, ":", "_" and "." (and a leading ".") written as
// \xNN. "/" becomes "-". Nothing for a path that is not absolute or holds "." or ".." components, which
// systemd refuses too.
std::optional<std::string> EscapedPath(const std::string& path);

// The base name of the units that run the profile at this absolute path ("twinfol-sync-" and the
// escaped path); nothing when the path cannot be escaped or the names would be longer than systemd's
// limit of 255 bytes.
std::optional<std::string> ScheduleUnitName(const std::string& profilePath);

// The prefix every such unit name starts with.
inline constexpr const char* scheduleUnitPrefix = "twinfol-sync-";

} // namespace twinfol
