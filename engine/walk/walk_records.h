// What the walk tells as it goes: the progress texts, each outcome's line in the report (a list entry
// or a problem) and, during a plan, the observer's step. Every walk records through here, on the engine
// thread and in walk order, so that one-thread and pooled runs report alike.
#pragma once

#include <deque>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/path.h"
#include "engine/changes/target_changes.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_report.h"
#include "engine/records/sync_run_state.h"
#include "engine/walk/copy_figures.h"
#include "engine/walk/disk_watch.h"
#include "engine/walk/plan_observer.h"

namespace twinfol {

// The stamps of a file and its target twin as the walk compared them.
struct Compared {
    std::optional<FileStamp> source;
    std::optional<FileStamp> target;
    TwinComparison comparison = TwinComparison::Unreadable;
};

// A folder item's two paths (each ending with the separator), and the folder that holds it in the
// source with its name, which a problem with the add names.
struct FolderItem {
    const std::string& sourceFolder;
    const std::string& targetFolder;
    const std::string& sourceDir;
    const std::string& name;
};

class WalkRecords {
public:
    WalkRecords(SyncReport& report, SyncHost& host) : report_(report), host_(host) {}

    // Someone to tell of each item the walk decides on (a plan's preview); nobody by default.
    void SetObserver(PlanObserver* observer) { observer_ = observer; }
    bool HasObserver() const { return observer_ != nullptr; }
    // Whom to ask whether a failure means a root's disk was lost: the first such failure stops the
    // run with one problem line naming the root, and no problem line follows it. Nobody by default.
    void WatchDisks(DiskWatch* watch, SyncRunState* runState)
    {
        diskWatch_ = watch;
        runState_ = runState;
        diskLost_ = false;
    }

    // Shows the prefix followed by the path of the name in the folder.
    void Show(std::string_view prefix, const std::string& folder, std::string_view name);
    // Shows the text ahead of the record that shows it, while the engine thread waits for a worker's
    // work: the record's own showing of it is then left out, so the texts shown stay the same.
    void Foretell(std::string_view prefix, const std::string& folder, std::string_view name);

    void FileAdded(const std::string& sourcePath, const std::string& targetPath, const ChangeResult& result);
    void FileOverwritten(const std::string& sourcePath, const std::string& targetPath,
                         const ChangeResult& result, const Compared& compared);
    void FileLeftAlone(const std::string& sourcePath, const std::string& targetPath,
                       const Compared& compared);
    void Excluded(const std::string& sourcePath, const std::string& targetPath);
    // An item the ignore patterns or size limits left out, with the rule in words; either path may be
    // empty where that side does not hold it.
    void Ignored(const std::string& sourcePath, const std::string& targetPath, std::string rule);
    void FileDeleted(const std::string& targetPath, const ChangeResult& result);
    // A folder made, or added whole by a tree copy whose tally tells what it copied and left out: an
    // entry left out has a problem line of its own, and the folder still counts as added.
    void FolderAdded(const FolderItem& folder, const ChangeResult& result, const CopyTally* tally = nullptr);
    void FolderDeleted(const std::string& targetFolder, const ChangeResult& result);
    // An add refused before anything was done (another spelling of the name stands in the target).
    void FileAddRefused(const std::string& sourcePath, const std::string& targetPath, const FsStatus& status);
    void FolderAddRefused(const FolderItem& folder, const FsStatus& status);
    // A delete the run's rules held back before anyone was asked.
    void DeleteRefused(ProblemKind kind, const std::string& path, std::string reason);
    void FolderUnreadable(const std::string& folder, const FsStatus& status);
    // A target entry given the source's spelling of its name.
    void Respelled(const std::string& targetDir, const std::string& listedName, const std::string& name);

    // Notes that the run changed (or tried to change) what the target folder (ending with the
    // separator) holds; the records of adds, overwrites, deletes and new spellings note it themselves.
    void MarkChanged(const std::string& targetFolder) { changedFolders_.insert(targetFolder); }
    // Whether the run changed what the folder holds; forgets it.
    bool TakeChanged(const std::string& targetFolder) { return changedFolders_.erase(targetFolder) != 0; }

private:
    // Notes the change of an entry (a folder's path may end with the separator) in its folder.
    void EntryChanged(const std::string& targetPath)
    {
        MarkChanged(FolderOf(WithoutTrailingSeparator(targetPath)));
    }
    // Records the problem of an item, unless the failure means a disk was lost.
    void Problem(ProblemKind kind, std::string_view path, const FsStatus& status);
    // An entry a tree copy left out: a problem line of its own, and a step of the plan.
    void EntryNotCopied(const NotCopiedEntry& entry);
    void Tell(PlanStep step, const std::string& sourcePath, const std::string& targetPath,
              const FsStatus& outcome = {}, const Compared* compared = nullptr, std::string rule = {});
    void SetText(std::string_view prefix, const std::string& folder, std::string_view name);

    SyncReport& report_;
    SyncHost& host_;
    PlanObserver* observer_ = nullptr;
    DiskWatch* diskWatch_ = nullptr;
    SyncRunState* runState_ = nullptr;
    bool diskLost_ = false;
    std::set<std::string> changedFolders_;
    // The last text shown, rebuilt in place.
    std::string text_;
    // The texts foretold and not yet reached by the records that show them, oldest first.
    std::deque<std::string> foretold_;
};

} // namespace twinfol
