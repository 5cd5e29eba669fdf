// The path helpers of every layer. A folder path ends with the separator and paths are built by
// plain concatenation, so that the folder part of a path followed by its name gives the path back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twinfol {

inline constexpr char pathSeparator = '/';

// The folder part of a path, up to and including its last separator; empty for a bare name, which
// lies in the current folder.
std::string FolderOf(std::string_view path);
// What follows the last separator; the whole path when it has none.
std::string_view BaseNameOf(std::string_view path);
// The folder path with a separator at its end (an empty path stays empty).
std::string WithTrailingSeparator(std::string folder);
// The path without one trailing separator; "/" stays as it is. Asking about an entry itself (not
// what a final symbolic link points to) means asking without the separator.
std::string WithoutTrailingSeparator(std::string_view path);
// A folder path (ending with the separator) followed by a name.
std::string JoinPath(std::string_view folder, std::string_view name);
// The absolute path with ".", ".." and every symbolic link resolved; nothing when some part of it
// cannot be reached.
std::optional<std::string> RealPath(const std::string& path);

} // namespace twinfol
