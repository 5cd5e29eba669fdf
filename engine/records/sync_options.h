// The options of one synchronisation job and the direction values of a run.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/ignore_patterns.h"

namespace twinfol {

enum class SyncDirection : int { None = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

// Whether a job starts by itself when it is opened, and in which direction. The values are those a
// profile file keeps.
enum class AutoStart : int { Off = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

inline constexpr int defaultTrashKeepDays = 30;
// What a run does with deletes when the source root is empty. An empty source is far more often a
// disk that is not mounted, or a wrong folder, than a wish to empty the target.
enum class EmptySource {
    // Target-only items are deleted as in any other run.
    Allow,
    // Every delete of the run is skipped, with a problem line each.
    Refuse,
};

// What a job may do, as one value that travels from the window or the command line down to the
// engine. The defaults are those of a new job; a new run option is a new field with its default here,
// so that every caller that does not know it keeps today's behaviour.
struct SyncOptions {
    // The engine's four flags.
    bool addMissing = true;
    bool deleteMissing = true;
    bool confirmDeletes = true;
    bool checkSubFolders = true;
    // Deleted files and folders, and the old content of overwritten files, go to the Trash instead of
    // being removed for good. On for a new job; a profile made before the option and a command line
    // without --trash say off.
    bool useTrash = true;
    // Items a run put in the Trash are removed from it this many days later, at the start of a later
    // run into the same volume; 0 keeps them until the person empties the Trash.
    int trashKeepDays = defaultTrashKeepDays;
    // Read by whoever opens the job, never by the engine.
    AutoStart autoStart = AutoStart::Off;
    // Safety limits of one run, set by whoever starts it; a job does not keep them.
    EmptySource emptySource = EmptySource::Allow;
    // How many items the run may delete at most, a folder tree counting as one; every delete after
    // that is skipped with a problem line. Nothing: no limit.
    std::optional<std::int64_t> maxDeletes{};
    // Two files whose stamps lie exactly one hour apart (give or take 2 seconds) count as the same age:
    // a FAT or exFAT disk keeps local time, so after a daylight-saving change every file there reads
    // one hour off.
    bool ignoreHourShift = false;
    // How many workers do a run's file work: 0 one per core (at most eight), or sixteen where the source
    // or the target lies on a FUSE or network mount, whose calls wait on a server; 1 the engine thread
    // alone. Whatever the number, the report is the same.
    int jobs = 0;
    // What the run leaves out beside the exclusion list: patterns in gitignore syntax, matched on both
    // sides against the path below the root, and files larger or smaller than the limits (in bytes).
    // An ignored item is neither copied nor compared, and never deleted unless deleteIgnored says so
    // (and deletes are on).
    std::vector<IgnorePattern> ignorePatterns{};
    std::optional<std::int64_t> maxFileSize{};
    std::optional<std::int64_t> minFileSize{};
    bool deleteIgnored = false;
    // Target files without any write bit are overwritten and deleted (to the Trash too) like any other.
    // Without it they are kept as a person protected them, except one whose source twin is read-only
    // too, which only carries the source's mode.
    bool replaceReadOnly = false;

    friend bool operator==(const SyncOptions&, const SyncOptions&) = default;
};

} // namespace twinfol
