// The settings by which a job leaves items out beside its exclusion list (ignore patterns, size limits,
// and whether ignored items in the target may be deleted), as the Exclusions dialog edits them, and
// the checks of what the person typed there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "base/ignore_patterns.h"
#include "engine/records/sync_options.h"

namespace twinfol {

struct IgnoreSettings {
    std::vector<IgnorePattern> patterns;
    std::optional<std::int64_t> maxFileSize;
    std::optional<std::int64_t> minFileSize;
    bool deleteIgnored = false;

    friend bool operator==(const IgnoreSettings&, const IgnoreSettings&) = default;
};

IgnoreSettings IgnoreSettingsOf(const SyncOptions& options);
// Puts the settings into the options, leaving every other option as it is.
void PutIgnoreSettings(const IgnoreSettings& ignoring, SyncOptions& options);

// The message for a line that cannot be taken as a pattern; empty when it can.
QString PatternLineProblem(const std::string& line);

// A size limit's box and the text of its field, as the person left them.
struct SizeField {
    bool on = false;
    std::string text;
};

// What the two size fields come to: the limits (nothing where a box is clear), or the message for
// the person when a checked field holds no size or the smallest size lies above the largest.
struct SizeLimits {
    std::optional<std::int64_t> maxFileSize;
    std::optional<std::int64_t> minFileSize;
    QString problem;
};
SizeLimits ReadSizeLimits(const SizeField& larger, const SizeField& smaller);

// The text a field shows for a limit ("100 MiB"); a text that is no size is shown as it stands.
std::string SizeFieldText(const std::string& typed);

} // namespace twinfol
