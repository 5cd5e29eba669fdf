// The synchronisation engine: makes a target folder tree follow a source folder tree, one folder
// level at a time, recording every outcome in the run's report.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "engine/exclusion_list.h"
#include "engine/file_system.h"
#include "engine/sync_host.h"
#include "engine/sync_options.h"
#include "engine/sync_report.h"
#include "engine/sync_run_state.h"
#include "engine/target_changes.h"
#include "engine/trash_folder_filter.h"
#include "engine/user_places.h"

namespace twinfol {

class SyncEngine {
public:
    // The engine keeps references only; everything it is given must outlive the run.
    SyncEngine(FileSystem& fileSystem, const ExclusionList& exclusions, SyncRunState& runState,
               SyncReport& report, SyncHost& host);

    // The places where runs keep their journals and the user's home trash, and the clock that dates
    // them. Without them a run writes no journal, and the Trash option has no Trash to use.
    void SetUserPlaces(const UserPlaces& places, WallClock clock = &std::chrono::system_clock::now);

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
    // The entry names of one folder, in byte order, split by kind.
    struct Listing {
        std::set<std::string> files;
        std::set<std::string> folders;
        // Reads the stamps of the folder's files; let go before the walk goes deeper, so that no
        // folder stays open per level.
        std::unique_ptr<FolderStampReader> stamps;
        // Trash folders the listing met: left out, and their names left alone on the other side too.
        std::set<std::string> trashFolders;
    };
    struct Level;

    bool IsStopped() const { return runState_.IsStopped(); }
    bool IsExcluded(std::string_view path) const { return exclusions_.IsExcluded(path); }
    FsStatus ListInto(const std::string& folder, Listing& listing);
    void ShowProgress(Level& level, std::string_view prefix, std::string_view name);
    bool IsSourceNewer(Level& level, const std::string& name);
    void LeaveTrashFoldersAlone(Level& level);

    void HandleSourceFiles(Level& level, const SyncOptions& options);
    void DeleteTargetOnlyFiles(Level& level, const SyncOptions& options);
    void HandleSourceFolders(Level& level, const SyncOptions& options);
    void DeleteTargetOnlyFolders(Level& level, const SyncOptions& options);
    ConfirmResult ConfirmDelete(std::string_view caption, std::string_view textPrefix,
                                const std::string& path, bool& yesToAll, bool& noToAll);

    FileSystem& fileSystem_;
    const ExclusionList& exclusions_;
    SyncRunState& runState_;
    SyncReport& report_;
    SyncHost& host_;
    std::optional<UserPlaces> places_;
    WallClock clock_ = &std::chrono::system_clock::now;
    TrashFolderFilter trashFolders_;
    TargetChanges changes_;
};

} // namespace twinfol
