// The folder of run journals: one file per run that changed a target, named by a key of the target and
// the time the run started, so that the newest journal of a target is found by its name alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fs/file_system.h"

namespace twinfol {

struct JournalFile {
    std::string path;
    std::string name;
    // Names the target: 16 hex digits.
    std::string key;
    // When the run started, in seconds since 1970.
    std::int64_t started = 0;
};

// The key of a target folder, from its absolute path with links resolved.
std::string JournalKey(std::string_view resolvedTarget);
// key-YYYYMMDDTHHMMSS.NNNNNNNNN.journal, in UTC: names of one key sort in the order the runs started.
std::string JournalFileName(std::string_view key, std::chrono::system_clock::time_point started);
// The same name with another ending in place of ".journal": the files kept beside a journal, and the
// records of runs that wrote none, sort with the journals.
std::string RunFileName(std::string_view key, std::chrono::system_clock::time_point started,
                        std::string_view suffix);
// The files of the folder named like journals but with that ending, in name order.
std::vector<JournalFile> ListRunFiles(FileSystem& fileSystem, const std::string& folder,
                                      std::string_view suffix);
// The journals in the folder, in name order; names of any other shape are left out.
std::vector<JournalFile> ListJournals(FileSystem& fileSystem, const std::string& folder);
// The newest journal of a target, of whatever kind: the one of the last run into it.
std::optional<JournalFile> NewestJournal(const std::vector<JournalFile>& journals, std::string_view key);
// The most of a journal file that is read: far beyond a run's, and still a bound.
inline constexpr std::size_t maxJournalBytes = 512u * 1024 * 1024;

} // namespace twinfol
