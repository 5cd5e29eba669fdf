// The synchronisation engine: makes a target folder tree follow a source folder tree, one folder
// level at a time, recording every outcome in the run's report. Each level is listed, then every item
// of it is decided by the item rules (item_rules.h) and carried out, on the engine thread alone or with
// the pool's workers; both ways record alike.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/work_pool.h"
#include "engine/changes/leftover_sweep.h"
#include "engine/changes/target_changes.h"
#include "engine/changes/trash_folder_filter.h"
#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_options.h"
#include "engine/records/sync_report.h"
#include "engine/records/sync_run_state.h"
#include "engine/records/user_places.h"
#include "engine/walk/copy_figures.h"
#include "engine/walk/item_rules.h"
#include "engine/walk/plan_observer.h"
#include "engine/walk/target_spellings.h"
#include "engine/walk/walk_level.h"
#include "engine/walk/walk_records.h"

namespace twinfol {

class ReadAhead;

class SyncEngine : private LevelDescent {
public:
    // The engine keeps references only; everything it is given must outlive the run.
    SyncEngine(FileSystem& fileSystem, const ExclusionList& exclusions, SyncRunState& runState,
               SyncReport& report, SyncHost& host);
    ~SyncEngine() override;

    // The places where runs keep their journals and the user's home trash, and the clock that dates
    // them. Without them a run writes no journal, and the Trash option has no Trash to use.
    void SetUserPlaces(const UserPlaces& places, WallClock clock = &std::chrono::system_clock::now);
    // Someone to tell of each item the walk decides on (a plan's preview); nobody by default. Such a
    // walk stays on the engine thread, so that every item is told in walk order.
    void SetPlanObserver(PlanObserver* observer) { records_.SetObserver(observer); }

    // One whole run over two roots that passed CheckRoots (both ending with the separator): opens the
    // run's scope on the file system, so that nothing below the roots is reached through a symbolic
    // link, synchronises the roots and closes the scope. Run control calls this, not SynchroniseFolder.
    void Run(const std::string& sourceRoot, const std::string& targetRoot, const SyncOptions& options);

    // Synchronises one pair of folders (both paths end with the separator) and, when the options'
    // checkSubFolders is set, every pair of corresponding sub-folders below them, as the options'
    // four engine flags allow. Returns when the walk is complete or a stop was requested; the outcome
    // is in the report and in the run state's stop request.
    void SynchroniseFolder(const std::string& sourceDir, const std::string& targetDir,
                           const SyncOptions& options);

private:
    // The walk of one level and everything below it, with the pair's listings when they were read ahead.
    void Descend(const std::string& sourceDir, const std::string& targetDir,
                 std::shared_ptr<ListedPair> ahead) override;
    // Lists both sides of the level; false when the level is left alone (a side could not be listed, or
    // a stop came).
    bool ListLevel(Level& level);
    void WalkLevel(Level& level);
    // Walks into a target-only folder that holds something ignored, to delete what it holds that is not.
    void DescendTargetOnly(const ItemPlace& place);
    // The level's entries of the reserved temporary shape: the source's refused with a problem line
    // each, the target's swept when old and unexplained.
    void HandleReservedNames(const Level& level);
    // The workers of a walk between the two folders: as many as the jobs option says, or by default as
    // many as what holds up the work on their disks calls for.
    WorkPool* PoolFor(const SyncOptions& options, const std::string& sourceDir, const std::string& targetDir);

    FileSystem& fileSystem_;
    const ExclusionList& exclusions_;
    SyncRunState& runState_;
    SyncReport& report_;
    SyncHost& host_;
    std::optional<UserPlaces> places_;
    WallClock clock_ = &std::chrono::system_clock::now;
    TrashFolderFilter trashFolders_;
    TargetChanges changes_;
    TargetSpellings spellings_;
    LeftoverSweep leftovers_;
    WalkRecords records_;
    CopyFigures figures_;
    DiskWatch diskWatch_;
    DeleteAllowance deletes_;
    // Set for the length of one walk (SynchroniseFolder).
    std::optional<ItemRules> rules_;
    std::optional<WalkParts> parts_;
    WorkPool* pool_ = nullptr;
    // Reads listings ahead on the pool while a walk with more than one job goes on.
    ReadAhead* readAhead_ = nullptr;
    // The workers of runs with more than one job, kept for the engine's life.
    std::unique_ptr<WorkPool> ownPool_;
};

} // namespace twinfol
