// The run and the folder walk: per level, list both sides into sorted name sets, then handle the source
// files, the target-only files, the source sub-folders and the target-only sub-folders, in that order.
#include "engine/walk/sync_engine.h"

#include <cerrno>
#include <utility>

#include "engine/walk/level_filter.h"
#include "engine/walk/pooled_deletes.h"
#include "engine/walk/pooled_files.h"
#include "engine/walk/pooled_folders.h"
#include "engine/walk/read_ahead.h"
#include "engine/walk/serial_level.h"

namespace twinfol {

SyncEngine::SyncEngine(FileSystem& fileSystem, const ExclusionList& exclusions, SyncRunState& runState,
                       SyncReport& report, SyncHost& host)
    : fileSystem_(fileSystem), exclusions_(exclusions), runState_(runState), report_(report), host_(host),
      trashFolders_(fileSystem), changes_(fileSystem), spellings_(fileSystem),
      leftovers_(fileSystem, changes_, report), records_(report, host), figures_(report, host),
      diskWatch_(fileSystem)
{
}

SyncEngine::~SyncEngine() = default;

void SyncEngine::SetUserPlaces(const UserPlaces& places, WallClock clock)
{
    places_ = places;
    clock_ = clock;
    trashFolders_.SetHomeTrash(places.homeTrash);
}

void SyncEngine::Run(const std::string& sourceRoot, const std::string& targetRoot, const SyncOptions& options)
{
    SyncReport& report = report_;
    const auto started = std::chrono::steady_clock::now();
    report.startTime = std::chrono::system_clock::now();
    figures_.BeginRun();
    deletes_.BeginRun(options);
    {
        const std::unique_ptr<RunScope> scope =
            fileSystem_.BeginRun(sourceRoot, targetRoot,
                                 options.replaceReadOnly ? ReadOnlyTargets::Replace : ReadOnlyTargets::Keep);
        // Another run writing into the same target: nothing is touched, not even the journals.
        if (const FsStatus may = scope->Status(); !may) {
            report.refusal = may.Reason();
            return;
        }
        diskWatch_.BeginRun(sourceRoot, targetRoot);
        records_.WatchDisks(&diskWatch_, &runState_);
        leftovers_.BeginRun(clock_());
        if (std::string refused = changes_.BeginRun(places_ ? &*places_ : nullptr, clock_, sourceRoot,
                                                    targetRoot, options, report);
            !refused.empty()) {
            report.refusal = std::move(refused);
            return;
        }
        SynchroniseFolder(sourceRoot, targetRoot, options);
        figures_.EndRun();
        changes_.EndRun(report);
    }
    report.durationSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

WorkPool* SyncEngine::PoolFor(const SyncOptions& options, const std::string& sourceDir,
                              const std::string& targetDir)
{
    // An observer hears of every item as it is decided, so such a walk stays on this thread.
    if (records_.HasObserver())
        return nullptr;
    // Only the default asks the disks: the mount table is read for nothing when the jobs are given.
    const bool waited = options.jobs <= 0 && (fileSystem_.DiskKindOf(sourceDir).latencyBound ||
                                              fileSystem_.DiskKindOf(targetDir).latencyBound);
    const std::size_t workers =
        WorkerCountFor(options.jobs, waited ? WorkBound::Latency : WorkBound::Processor);
    if (workers <= 1)
        return nullptr;
    if (!ownPool_ || ownPool_->WorkerCount() != workers)
        ownPool_ = std::make_unique<WorkPool>(workers);
    return ownPool_->WorkerCount() > 1 ? ownPool_.get() : nullptr;
}

void SyncEngine::SynchroniseFolder(const std::string& sourceDir, const std::string& targetDir,
                                   const SyncOptions& options)
{
    rules_.emplace(options, exclusions_, sourceDir, targetDir);
    parts_.emplace(WalkParts{fileSystem_, runState_, host_, *rules_, records_, figures_, changes_, spellings_,
                             deletes_, *this});
    pool_ = PoolFor(options, sourceDir, targetDir);
    // With more than one job the workers read the listings of the twin folders ahead of the walk.
    std::optional<ReadAhead> readAhead;
    if (pool_ != nullptr)
        readAhead_ = &readAhead.emplace(
            PairReader{fileSystem_, trashFolders_, *rules_, runState_.stopRequested}, *pool_);
    Descend(sourceDir, targetDir, nullptr);
    readAhead_ = nullptr;
    readAhead.reset();
    parts_.reset();
    rules_.reset();
}

void SyncEngine::Descend(const std::string& sourceDir, const std::string& targetDir,
                         std::shared_ptr<ListedPair> ahead)
{
    Level level{sourceDir, targetDir, {}, {}, {}, {}, std::move(ahead)};
    if (ListLevel(level))
        WalkLevel(level);
}

bool SyncEngine::ListLevel(Level& level)
{
    FsStatus sourceListed;
    FsStatus targetListed;
    bool targetRead = false;
    const StopFlag& stop = runState_.stopRequested;
    if (level.sourceAbsent)
        sourceListed = {};
    else if (level.pair == nullptr ||
             !readAhead_->Take(*level.pair, level, sourceListed, targetListed, targetRead))
        sourceListed = ListLevelSide(fileSystem_, trashFolders_, stop, level.sourceDir, level.source);
    // A source folder that cannot be listed is never taken for an empty one: that would make every
    // item of its target twin look like a delete candidate. The pair is left alone instead.
    if (!sourceListed) {
        records_.FolderUnreadable(level.sourceDir, sourceListed);
        return false;
    }
    if (runState_.IsStopped())
        return false;
    // A target folder that cannot be listed is not taken for an empty one either: where it can still
    // be written, every "add" would replace a file the listing could not show, newer or not.
    if (!targetRead)
        targetListed = ListLevelSide(fileSystem_, trashFolders_, stop, level.targetDir, level.target);
    if (!targetListed) {
        records_.FolderUnreadable(level.targetDir, targetListed);
        return false;
    }
    return !runState_.IsStopped();
}

void SyncEngine::HandleReservedNames(const Level& level)
{
    for (const auto& [name, kind] : level.source.reserved) {
        const ItemPlace place = level.Place(name);
        const bool folder = kind == EntryKind::Folder;
        if (!rules_->RefusesReservedName(place, folder, level.target.reserved.contains(name)))
            continue;
        const FsStatus refused = FsStatus::Refusal(EINVAL, reservedNameReason);
        if (folder)
            records_.FolderAddRefused({place.SourceFolder(), place.TargetFolder(), level.sourceDir, name},
                                      refused);
        else
            records_.FileAddRefused(place.SourcePath(), place.TargetPath(), refused);
    }
    // A leftover the person excluded is left alone like anything else excluded.
    std::vector<std::string> leftovers;
    for (const auto& [name, kind] : level.target.reserved)
        if (kind == EntryKind::File &&
            rules_->SweepsLeftover(level.targetDir + name, level.source.reserved.contains(name)))
            leftovers.push_back(name);
    leftovers_.Sweep(level.targetDir, leftovers);
}

void SyncEngine::WalkLevel(Level& level)
{
    HandleReservedNames(level);
    LeaveTrashFoldersAlone(level.source, level.target);
    deletes_.SeeFirstLevel(level.source.IsEmpty());
    // With one job the engine thread does every step itself.
    WalkParts& parts = *parts_;
    const std::vector<std::string> aroundIgnored =
        rules_->Ignore().IsActive() ? LeaveIgnoredOut(parts, level) : std::vector<std::string>{};

    std::optional<PooledFiles> pooledFiles;
    std::optional<PooledDeletes> pooledDeletes;
    if (pool_ != nullptr) {
        pooledFiles.emplace(parts, level, *pool_);
        pooledDeletes.emplace(parts, level, *pool_);
    }
    SerialLevel serial(parts, level);
    const auto deleteTargetOnly = [&](ItemKind kind) {
        if (!runState_.IsStopped())
            pooledDeletes ? pooledDeletes->DeleteTargetOnly(kind) : serial.DeleteTargetOnly(kind);
    };
    pooledFiles ? pooledFiles->HandleSourceFiles() : serial.HandleSourceFiles();
    deleteTargetOnly(ItemKind::File);
    level.source.stamps.reset();
    level.target.stamps.reset();
    if (!rules_->WalksSubFolders())
        return;
    if (pool_ != nullptr)
        PooledFolders(parts, level, *pool_, *readAhead_).HandleSourceFolders();
    else
        serial.HandleSourceFolders();
    deleteTargetOnly(ItemKind::Folder);
    for (const std::string& name : aroundIgnored)
        if (!runState_.IsStopped())
            DescendTargetOnly(level.Place(name));
    // A folder whose content the run changed keeps its source's time, as a folder the run added does.
    // Where the target cannot take it, the folder only keeps the time of the run: no problem line.
    if (records_.TakeChanged(level.targetDir) && !level.sourceAbsent && !runState_.IsStopped())
        [[maybe_unused]]
        const FsStatus timed = fileSystem_.MatchFolderTime(level.sourceDir, level.targetDir);
}

void SyncEngine::DescendTargetOnly(const ItemPlace& place)
{
    const std::string sourceDir = place.SourceFolder();
    const std::string targetDir = place.TargetFolder();
    Level level{sourceDir, targetDir, {}, {}, {}, {}, nullptr};
    level.sourceAbsent = true;
    if (ListLevel(level))
        WalkLevel(level);
}

} // namespace twinfol
