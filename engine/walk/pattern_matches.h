// How many items of a job's folders each ignore pattern decides on: the figures the Exclusions dialog
// shows beside its patterns, so that a person sees what a pattern catches before a run.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "base/ignore_patterns.h"
#include "engine/fs/file_system.h"

namespace twinfol {

// Enough for the figures of a large home folder, few enough that counting never takes long.
inline constexpr std::uint64_t patternCountEntryLimit = 100000;

struct PatternMatchCounts {
    // One figure per pattern, in the order given: the items whose own match is that pattern.
    std::vector<std::uint64_t> counts;
    // The entries looked at, an entry that both folders hold counting once per folder.
    std::uint64_t entriesSeen = 0;
    // The count stopped at the entry limit, or was asked to stop: every figure is a lower bound.
    bool stoppedEarly = false;
};

// Walks the folders (each ending with the separator; empty ones are skipped) side by side as a run
// walks its two roots, and gives each item to the pattern that decides on it: the last pattern that
// matches the item's path below its root, when that is no "!" pattern. An item both folders hold
// counts once for a pattern, whichever side matched. Nothing below a folder a pattern ignores on
// either side is looked at, as a run does not go there. What cannot be listed counts as empty.
PatternMatchCounts CountPatternMatches(FileSystem& fileSystem, const std::vector<std::string>& folders,
                                       const std::vector<IgnorePattern>& patterns,
                                       std::uint64_t entryLimit = patternCountEntryLimit,
                                       std::stop_token stop = {});

} // namespace twinfol
