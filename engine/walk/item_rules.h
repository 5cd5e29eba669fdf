// The rules of what a run does with each item of a folder level, one function a rule. Every walk asks
// them (the one on the engine thread, the pooled one, the trial run and the plan), and so do the checks
// before a run; nothing else decides what happens to an item. They read the job's options, its
// exclusion list and what the walk found, and touch no disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/path.h"
#include "engine/fs/file_stamp.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_options.h"
#include "engine/walk/ignore_rules.h"

namespace twinfol {

// What the walk does with one item.
enum class ItemAction {
    // The job's options leave the item out: an add or a delete they switch off, or a sub-folder of a
    // job that stays in the top folder. Nothing is done and nothing is told.
    None,
    AddFile,
    Overwrite,
    // A file on both sides whose source is not newer.
    LeaveAlone,
    DeleteFile,
    AddFolder,
    // Twin folders: the walk goes down into them.
    Descend,
    DeleteFolder,
    // A target entry reached under another spelling of the name (a target that folds case) takes the
    // source's spelling.
    Respell,
    // An exclusion keeps the walk from acting on the item.
    Exclude,
};

// What comparing the stamps of a file with its target twin's found.
enum class TwinComparison {
    // A stamp could not be read: not newer, and no problem either.
    Unreadable,
    // The source is not later than the target.
    NotNewer,
    // Exactly an hour apart (give or take 2 seconds), which the job takes for a clock shift.
    HourShift,
    // Later by the 2-minute tolerance at most.
    WithinTolerance,
    // Later, but the target's stamp is the last its file system can hold.
    TargetAtLimit,
    SourceNewer,
};

TwinComparison CompareTwin(const std::optional<FileStamp>& source, const std::optional<FileStamp>& target,
                           bool ignoreHourShift);

// One item of a level: the level's two folders (each ending with the separator) and the item's name.
// On a target that folds case the target may hold it under another spelling, targetName; empty when
// both sides spell it alike.
struct ItemPlace {
    const std::string& sourceDir;
    const std::string& targetDir;
    const std::string& name;
    const std::string& targetName = noOtherSpelling;

    std::string SourcePath() const { return sourceDir + name; }
    std::string TargetPath() const { return targetDir + (targetName.empty() ? name : targetName); }
    // The paths of a folder item, ending with the separator like every folder path of the walk.
    std::string SourceFolder() const { return SourcePath() + pathSeparator; }
    std::string TargetFolder() const { return TargetPath() + pathSeparator; }

    static const std::string noOtherSpelling;
};

class ItemRules {
public:
    // Keeps references: both must outlive the rules. The roots (each ending with the separator) are
    // what the ignore patterns match paths below.
    ItemRules(const SyncOptions& options, const ExclusionList& exclusions, std::string sourceRoot = {},
              std::string targetRoot = {});

    const SyncOptions& Options() const { return options_; }
    // Whether the walk goes below the top folder at all.
    bool WalksSubFolders() const { return options_.checkSubFolders; }
    // The job's ignore patterns and size limits, which a level applies before any of these rules.
    const IgnoreRules& Ignore() const { return ignore_; }

    // A file only the source holds: AddFile, Exclude or None.
    ItemAction ForSourceOnlyFile(const ItemPlace& place) const;
    // A file both sides hold, once compared: Overwrite, Exclude or LeaveAlone.
    ItemAction ForTwinFile(const ItemPlace& place, TwinComparison comparison) const;
    // A target file the add of a source file reached under another spelling: Respell or Exclude (the
    // entry keeps its own spelling, and is no item of the run at all).
    ItemAction ForOtherSpelling(const ItemPlace& place) const;
    // A file only the target holds: DeleteFile, Exclude or None.
    ItemAction ForTargetOnlyFile(const ItemPlace& place) const;
    // A folder only the source holds: AddFolder, Exclude or None.
    ItemAction ForSourceOnlyFolder(const ItemPlace& place) const;
    // A folder both sides hold: Descend, Exclude or None.
    ItemAction ForTwinFolder(const ItemPlace& place) const;
    // A folder only the target holds: DeleteFolder, Exclude or None.
    ItemAction ForTargetOnlyFolder(const ItemPlace& place) const;
    // A source entry named like the program's unfinished copies is never copied: in the target it could
    // not be told from a killed copy's leftover. Whether the run tells of it with a problem line: when
    // it would have reached the entry (the add is on, or the target holds the name; a folder only in a
    // job that walks sub-folders) and the person did not exclude it, by path or by an ignore pattern.
    bool RefusesReservedName(const ItemPlace& place, bool folder, bool targetHoldsName) const;
    // Whether a temporary file in the target (its whole path) may be swept away as a killed run's
    // leftover: not when the person excluded it (by path or by an ignore pattern), and not when a
    // source entry of the same name explains it (a person's own file of that name, refused above, whose
    // copy someone made by hand).
    bool SweepsLeftover(const std::string& targetPath, bool sourceHoldsName) const;
    // Whether the two stamps of twin files make the source newer, with the job's hour-shift option.
    TwinComparison Compare(const std::optional<FileStamp>& source,
                           const std::optional<FileStamp>& target) const;

private:
    bool IsExcluded(const std::string& path) const { return exclusions_.IsExcluded(path); }

    const SyncOptions& options_;
    const ExclusionList& exclusions_;
    IgnoreRules ignore_;
};

// The rule in front of every delete, kept over a whole run: no delete at all when the source root is
// empty and the job says so, and none past the run's limit of deletes.
class DeleteAllowance {
public:
    // Starts a run of the options; until the source root is seen, nothing is known to be empty.
    void BeginRun(const SyncOptions& options);
    // Called with the first level the run lists, the roots' own: whether the source root holds nothing.
    void SeeFirstLevel(bool sourceRootEmpty);
    // Why the next delete of a walk with the options must not happen; empty when it may.
    std::string Refusal(const SyncOptions& options) const;
    // A delete was asked and answered Yes, or not asked: it counts against the limit.
    void Begin() { ++begun_; }

private:
    bool checkEmptySource_ = false;
    bool sourceRootEmpty_ = false;
    std::int64_t begun_ = 0;
};

// The rule of an item the exclusion list keeps the walk from acting on, in the words a preview shows.
inline constexpr const char* excludedByPathRule = "excluded by path";

// The reason of a source entry refused for its name.
inline constexpr const char* reservedNameReason = "the name is reserved for unfinished copies";

// The reason of a delete skipped because the source root is empty.
inline constexpr const char* emptySourceReason = "the source folder is empty: is its disk mounted?";

} // namespace twinfol
