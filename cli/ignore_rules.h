// The command line's ignore rules turned into the patterns a run matches: --ignore patterns as they
// stand, ignore files read through the file-system layer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/ignore_patterns.h"
#include "cli/run_arguments.h"
#include "engine/fs/file_system.h"

namespace twinfol::cli {

// An ignore file is a list of patterns a person keeps by hand; anything far larger is the wrong file.
inline constexpr std::size_t maxIgnoreFileBytes = 4 * 1024 * 1024;

struct IgnoreRulesResult {
    std::vector<IgnorePattern> patterns;
    // Why the rules cannot be used (an ignore file that cannot be read); empty when they can.
    std::string refusal;
};

// The patterns of the rules in the order given: a --ignore pattern with the origin "--ignore", the
// pattern lines of an ignore file with its path as given for origin. A relative path is read below the
// working folder.
IgnoreRulesResult ReadIgnoreRules(FileSystem& fileSystem, const std::vector<IgnoreRule>& rules,
                                  const std::string& workingFolder);

// The refusal for size limits that leave no file to copy, the smallest above the largest (which a
// profile's limit and the command line's can come to together); empty when there is a file size left.
std::string SizeLimitsRefusal(const SyncOptions& options);

} // namespace twinfol::cli
