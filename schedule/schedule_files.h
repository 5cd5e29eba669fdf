// The small text files schedules are made of (units, on-mount schedules), written whole or not at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace twinfol {

// Creates the folder and the folders above it that are missing (mode 0755 less the umask); the reason
// when one could not be made, empty on success.
std::string MakeFolders(const std::string& folder);

// Writes the text under a temporary name beside the file and renames it into place, so that a reader
// sees the old file or the new one; the reason when it failed, empty on success.
std::string WriteWholeFile(const std::string& path, const std::string& text);

// The file's text; nothing when it cannot be read or is larger than a schedule file ever is.
std::optional<std::string> ReadSmallFile(const std::string& path);

// Removes the file; true when it is gone, also when it was not there.
bool RemoveFile(const std::string& path);

// The names of the folder's entries that end with the suffix, sorted; none when it cannot be read.
std::vector<std::string> NamesEndingWith(const std::string& folder, const std::string& suffix);

} // namespace twinfol
