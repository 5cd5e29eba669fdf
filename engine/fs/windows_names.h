// The names a disk that keeps Windows' naming rules (FAT, exFAT, NTFS) cannot hold, and why, in the
// words a problem line and the Preview give.
#pragma once

#include <string_view>

#include "engine/fs/disk_kind.h"

namespace twinfol {

// The characters no name there may hold, beside the control characters (1 to 31).
inline constexpr std::string_view forbiddenNameCharacters = ":?\"*<>|\\";

// Why a disk with these rules cannot hold the name, as "the target disk (exFAT) cannot hold ':' in a
// name"; nullptr where it can, and always for Posix. A name is refused for a forbidden character or
// a control character in it, for a dot or a space at its end, and for a device name (CON, PRN, AUX,
// NUL, COM1 to COM9, LPT1 to LPT9, in any case) before its first dot or as the whole name. The text
// lives as long as the program.
const char* UnholdableNameReason(std::string_view name, NameRules rules);

} // namespace twinfol
