// The one shape of every temporary file the program makes (a copy's data before it takes the target's
// name, a profile or settings file before it replaces the old one): ".twinfol-", 16 lower-case hex
// digits, ".part". A file of that shape left behind by a killed process is recognised by its name
// and never taken for a user's file; a user's file of exactly that shape is reserved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace twinfol {

inline constexpr std::string_view temporaryNamePrefix = ".twinfol-";
inline constexpr std::string_view temporaryNameSuffix = ".part";
inline constexpr std::size_t temporaryNameDigits = 16;

// A fresh name of the shape: its first eight digits are the second it was made (since the epoch, in
// hex), the other eight random; a caller creates it exclusively and tries another name when it is taken.
std::string MakeTemporaryName();
// The second a name of the shape says it was made. A disk that keeps no change time of its own (exFAT,
// FAT) shows a killed copy's leftover with the old stamps the copy had set; its name still tells how
// young it is. Names made before the time went into them read as a random second.
std::int64_t TemporaryNameTime(std::string_view name);
// Whether the name has exactly the shape: ".twinfol-notes.part" is a user's file like any other.
bool IsTemporaryName(std::string_view name);

} // namespace twinfol
