// One folder level of the walk and what every way of carrying out its decisions shares: the level's
// listings, the run's collaborators, and the steps that one thread and the pool take alike.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "engine/changes/target_changes.h"
#include "engine/fs/file_system.h"
#include "engine/records/delete_confirmation.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_run_state.h"
#include "engine/walk/copy_figures.h"
#include "engine/walk/item_rules.h"
#include "engine/walk/level_listing.h"
#include "engine/walk/target_spellings.h"
#include "engine/walk/walk_records.h"

namespace twinfol {

struct ListedPair;

struct Level {
    const std::string& sourceDir;
    const std::string& targetDir;
    Listing source;
    Listing target;
    // The stamps of the file compared last, kept for a plan's observer.
    Compared compared;
    // The twin files whose source is newer, when a worker compared them all ahead of the walk.
    std::optional<std::set<std::string>> newerTwins;
    // The pair the level was read as, when it had one: it holds the pairs of the level's twin
    // sub-folders once the worker that read it has made them.
    std::shared_ptr<ListedPair> pair;
    // A target-only folder walked into for what it holds that is ignored: the source side is not
    // there and lists as empty.
    bool sourceAbsent = false;

    ItemPlace Place(const std::string& name) const { return {sourceDir, targetDir, name}; }
};

// Goes down into a pair of twin folders (or a folder and its twin under another spelling), with the
// pair's listings when they were read ahead.
class LevelDescent {
public:
    virtual ~LevelDescent() = default;
    virtual void Descend(const std::string& sourceDir, const std::string& targetDir,
                         std::shared_ptr<ListedPair> ahead) = 0;
};

// The run's collaborators, as every level's carrier uses them.
struct WalkParts {
    FileSystem& fileSystem;
    SyncRunState& runState;
    SyncHost& host;
    const ItemRules& rules;
    WalkRecords& records;
    CopyFigures& figures;
    TargetChanges& changes;
    TargetSpellings& spellings;
    DeleteAllowance& deletes;
    LevelDescent& descent;

    bool IsStopped() const { return runState.IsStopped(); }
    // Why the next delete must not happen; empty when it may.
    std::string DeleteRefusal() const { return deletes.Refusal(rules.Options()); }
    // Whether the delete of a file (folder false) or folder may go ahead: the question, when the job
    // asks one, answered Yes. A delete that may counts against the run's limit at once. A Cancel stops
    // the run.
    bool MayDelete(const std::string& targetPath, bool folder);
};

// The two kinds of item a level deletes, each with its own rule, paths, texts and records.
enum class ItemKind { File, Folder };

struct TargetOnlyItem {
    ItemKind kind;
    // The item's path as its rule and its records name it (a folder's ends with the separator), and as
    // the problem log and the question name it (without).
    std::string path;
    std::string problemPath;

    TargetOnlyItem(ItemKind itemKind, const ItemPlace& place);
    bool IsFolder() const { return kind == ItemKind::Folder; }
};

// What the rules decide for a target-only item of the kind: DeleteFile or DeleteFolder, Exclude, None.
ItemAction DecideTargetOnly(const ItemRules& rules, const ItemPlace& place, ItemKind kind);
// The text shown while the item is deleted.
const char* DeletingText(ItemKind kind);
// Deletes the item (to the Trash where the job says so): on the engine thread, or on a worker where
// the changes allow.
ChangeResult DeleteTargetItem(WalkParts& parts, const TargetOnlyItem& item);
// Records a delete's outcome, or the rule that held it back.
void RecordDeleted(WalkParts& parts, const TargetOnlyItem& item, const ChangeResult& result);
void RecordDeleteRefused(WalkParts& parts, const TargetOnlyItem& item, std::string refusal);

// Reads the stamps of a source file and of its target twin, which the target may hold under another
// spelling (targetName; empty: the same name), and compares them; safe on a worker when the listings
// are the worker's.
Compared CompareTwinFiles(FileSystem& fileSystem, const ItemRules& rules, Listing& source,
                          const std::string& sourceDir, Listing& target, const std::string& targetDir,
                          const std::string& name, const std::string& targetName);
// The level's comparison of a twin file: the one a worker made ahead of the walk, or a new one.
TwinComparison CompareInLevel(WalkParts& parts, Level& level, const std::string& name,
                              const std::string& targetName = ItemPlace::noOtherSpelling);

// The file the target holds under another spelling takes the source's: renamed first, so that a copy
// keeps the new spelling, but compared by the stamp it had before, as some FUSE drivers stamp a
// renamed file with the time of the rename; then overwritten when the source is newer.
void RespellTwin(WalkParts& parts, Level& level, const std::string& name, const std::string& listedName);

} // namespace twinfol
