// What a job's ignore patterns and size limits leave out of a run, decided for one item at a time
// from its path below its side's root. Compiled once per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ignore_patterns.h"
#include "engine/records/sync_options.h"

namespace twinfol {

class IgnoreRules {
public:
    // The roots end with the separator; paths given later lie below one of them.
    IgnoreRules(const SyncOptions& options, std::string sourceRoot, std::string targetRoot);

    // Whether anything at all can be left out.
    bool IsActive() const { return !patterns_.IsEmpty() || maxSize_ || minSize_; }
    // Whether a file's size decides too, so that a walk must read it.
    bool LimitsSize() const { return maxSize_ || minSize_; }
    // Whether ignored target items are deleted after all: the job asks for it and deletes are on.
    bool DeletesIgnored() const { return deletesIgnored_; }

    // The rule that leaves the entry out, in words, or empty when nothing does. The path is the
    // entry's whole path below one of the roots (a folder's may end with the separator); the size
    // counts only for a file, where it is known.
    std::string ReasonFor(const std::string& path, bool folder, std::optional<std::int64_t> size = {}) const;

    // Whether a level's two folders lie at the same path below their roots (not so below a twin the
    // target spells otherwise), where a pattern decides the entries of a name alike on both sides.
    bool SamePlace(const std::string& sourceDir, const std::string& targetDir) const;

private:
    std::string_view BelowRoot(const std::string& path) const;

    IgnorePatternSet patterns_;
    std::optional<std::int64_t> maxSize_;
    std::optional<std::int64_t> minSize_;
    bool deletesIgnored_;
    std::string sourceRoot_;
    std::string targetRoot_;
};

} // namespace twinfol
