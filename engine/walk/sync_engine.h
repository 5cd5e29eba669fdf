// The synchronisation engine: makes a target folder tree follow a source folder tree, one folder
// level at a time, recording every outcome in the run's report.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

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
#include "engine/walk/plan_observer.h"
#include "engine/walk/target_spellings.h"

namespace twinfol {

class OrderedResults;

// The reason of a delete skipped because the source root is empty.
inline constexpr const char* emptySourceReason = "the source folder is empty: is its disk mounted?";

class SyncEngine : private CopyProgress {
public:
    // The engine keeps references only; everything it is given must outlive the run.
    SyncEngine(FileSystem& fileSystem, const ExclusionList& exclusions, SyncRunState& runState,
               SyncReport& report, SyncHost& host);

    // The places where runs keep their journals and the user's home trash, and the clock that dates
    // them. Without them a run writes no journal, and the Trash option has no Trash to use.
    void SetUserPlaces(const UserPlaces& places, WallClock clock = &std::chrono::system_clock::now);
    // Someone to tell of each item the walk decides on (a plan's preview); nobody by default.
    void SetPlanObserver(PlanObserver* observer) { observer_ = observer; }

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
    // A pair of twin folders whose listings the workers may read ahead of the walk (sync_engine_ahead.h).
    struct ListedPair;
    // The entry names of one folder, in byte order, split by kind.
    struct Listing {
        std::set<std::string> files;
        std::set<std::string> folders;
        // Reads the stamps of the folder's files; let go before the walk goes deeper, so that no
        // folder stays open per level.
        std::unique_ptr<FolderStampReader> stamps;
        // Trash folders the listing met: left out, and their names left alone on the other side too.
        std::set<std::string> trashFolders;
        // Temporary files of the one reserved shape: never the person's, and on the target side
        // removed once they are old enough to be a killed run's.
        std::vector<std::string> leftovers;
    };
    struct Level {
        const std::string& sourceDir;
        const std::string& targetDir;
        Listing source;
        Listing target;
        std::string progress;
        // The stamps of the file compared last, kept for a plan's observer.
        std::optional<FileStamp> sourceStamp;
        std::optional<FileStamp> targetStamp;
        // The twin files whose source is newer, when a worker compared them all ahead of the walk.
        std::optional<std::set<std::string>> newerTwins;
        // The pair the level was read as, when it had one: it holds the pairs of the level's twin
        // sub-folders once the worker that read it has made them.
        std::shared_ptr<ListedPair> pair;
    };
    class ReadAhead;
    class TwinPairs;

    // A sub-folder's path, ending with the separator like every folder path of the walk.
    static std::string FolderPath(std::string_view folder, std::string_view name);
    bool IsStopped() const { return runState_.IsStopped(); }
    bool IsExcluded(std::string_view path) const { return exclusions_.IsExcluded(path); }
    FsStatus ListInto(const std::string& folder, Listing& listing);
    // SynchroniseFolder with the pair's listings, when they were read ahead.
    void SynchronisePair(const std::string& sourceDir, const std::string& targetDir,
                         const SyncOptions& options, const std::shared_ptr<ListedPair>& ahead);
    void ShowProgress(Level& level, std::string_view prefix, std::string_view name);
    // Shows a text ahead of the record that shows it, while the engine thread waits for a worker's
    // work: the record's own showing of it is then left out, so the texts shown stay the same.
    void Foretell(Level& level, std::string_view prefix, std::string_view name);
    // Compares the source file with its target twin, which the target may hold under another spelling
    // (targetName; empty: the same name).
    bool IsSourceNewer(Level& level, const std::string& name, const SyncOptions& options,
                       const std::string& targetName);
    // The comparison itself, leaving the stamps it read in the two places given; safe on a worker.
    bool CompareStamps(Listing& source, const std::string& sourceDir, Listing& target,
                       const std::string& targetDir, const std::string& name, const std::string& targetName,
                       const SyncOptions& options, std::optional<FileStamp>& sourceStamp,
                       std::optional<FileStamp>& targetStamp);
    // Gives a target file held under another spelling the source's and overwrites it when the source is
    // newer; the rename is a note of the report, the overwrite an entry of its list.
    void RespellTwin(Level& level, const std::string& name, const std::string& listedName,
                     const SyncOptions& options);
    void LeaveTrashFoldersAlone(Level& level);
    // Tells the observer, when there is one, of a step; the stamps are those the level compared last.
    void TellObserver(PlanStep step, const std::string& sourcePath, const std::string& targetPath,
                      const FsStatus& outcome = {}, const Level* compared = nullptr);

    void HandleSourceFiles(Level& level, const SyncOptions& options);
    void DeleteTargetOnlyFiles(Level& level, const SyncOptions& options);
    void HandleSourceFolders(Level& level, const SyncOptions& options);
    // Copies a folder found only in the source whole, recording what it held.
    void AddFolder(Level& level, const std::string& name, const std::string& sourceFolder,
                   const std::string& targetFolder);
    void DeleteTargetOnlyFolders(Level& level, const SyncOptions& options);
    ConfirmResult ConfirmDelete(std::string_view caption, std::string_view textPrefix,
                                const std::string& path, bool& yesToAll, bool& noToAll);
    // Why the next delete of the run must not happen (the source root is empty, or the run has used
    // up its deletes); empty when it may.
    std::string DeleteRefusal(const SyncOptions& options) const;

    // The same four steps with the file work done by the pool and recorded here in walk order
    // (sync_engine_pool.cpp).
    WorkPool* PoolFor(const SyncOptions& options);
    void HandleSourceFilesOnPool(Level& level, const SyncOptions& options, WorkPool& pool);
    void DeleteTargetOnlyFilesOnPool(Level& level, const SyncOptions& options, WorkPool& pool);
    void HandleSourceFoldersOnPool(Level& level, const SyncOptions& options, WorkPool& pool);
    void DeleteTargetOnlyFoldersOnPool(Level& level, const SyncOptions& options, WorkPool& pool);
    struct PooledFile;
    struct TreeWork;
    class CopyTally;
    void CompareAndCopy(Level& level, std::vector<PooledFile>& piece, const SyncOptions& options);
    // The spelling check of an add on a target that may fold case, on this thread and after every add
    // whose name folds alike: true when the add goes ahead, else its outcome is handled or recorded.
    bool AddSpelledAsListed(Level& level, const std::string& name, const SyncOptions& options,
                            OrderedResults& results, std::set<std::string>& addedFolds,
                            const std::function<void()>& handOut);
    bool FolderSpelledAsListed(Level& level, const std::string& name, const SyncOptions& options,
                               OrderedResults& results, std::set<std::string>& addedFolds);
    void RecordFiles(Level& level, std::vector<PooledFile>& piece);
    // Copies a file once more, here, when a worker's copy of it found the disk full.
    FsStatus CopyAgainIfCrowdedOut(Level& level, const std::string& name, FsStatus copied);
    void ForetellFirstFile(Level& level, const std::string& name, bool twin, bool knownNewer);
    // The files a level copies as far as the walk knows before comparing: its adds, and the twins a
    // worker found newer ahead of the walk.
    static std::size_t KnownCopies(const Level& level);
    // On a worker: lists both folders of the pair, compares their twin files and makes the pairs of
    // their twin sub-folders.
    void ReadPairAhead(ListedPair& pair, const SyncOptions& options);
    // The pairs of twin sub-folders of two listed folders, in walk order, the excluded ones left out.
    std::vector<std::shared_ptr<ListedPair>> TwinPairsOf(const ListedPair* parent,
                                                         const std::string& sourceDir,
                                                         const std::string& targetDir, const Listing& source,
                                                         const Listing& target) const;
    // Counts files a worker copied, as FileCopied would have one by one.
    void AddCopied(const CopyTally& tally);
    // Shows the bytes the workers' copies have written so far; what the engine thread does while it
    // waits for them (none when the host shows no file's progress).
    void ShowBytesInFlight();
    std::function<void()> WhileWaiting();
    std::atomic<std::uint64_t>* InFlightCounter();

    void DataCopied(std::uint64_t copied, std::uint64_t size) override;
    void FileCopied(std::uint64_t size) override;
    bool FollowsChunks() const override { return host_.ShowsFileProgress(); }

    FileSystem& fileSystem_;
    const ExclusionList& exclusions_;
    SyncRunState& runState_;
    SyncReport& report_;
    SyncHost& host_;
    std::optional<UserPlaces> places_;
    PlanObserver* observer_ = nullptr;
    WallClock clock_ = &std::chrono::system_clock::now;
    TrashFolderFilter trashFolders_;
    TargetChanges changes_;
    TargetSpellings spellings_;
    LeftoverSweep leftovers_;
    // Where the copies of the run stand; the files and bytes copied are also kept in the report.
    CopyCounters copies_;
    // The deletes of the run begun so far (asked and answered Yes, or not asked).
    std::int64_t deletesBegun_ = 0;
    // Set by Run when an empty source root must keep the run from deleting, until the root is listed.
    bool checkEmptySource_ = false;
    bool sourceRootEmpty_ = false;
    // The texts foretold and not yet reached by the records that show them, oldest first.
    std::deque<std::string> foretold_;
    // The chunks of the files the workers are copying, told so far and not yet recorded.
    std::atomic<std::uint64_t> bytesInFlight_{0};
    // Reads listings ahead on the pool while a walk with more than one job goes on.
    ReadAhead* readAhead_ = nullptr;
    // The workers of runs with more than one job, kept for the engine's life.
    std::unique_ptr<WorkPool> pool_;
};

} // namespace twinfol
