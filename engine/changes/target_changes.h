// The changes a run makes to its target, each recorded in the run's journal, and with the Trash option
// each delete, and the old content of each overwrite, kept in the Trash instead of removed for good.
#pragma once

#include <memory>
#include <string>

#include "engine/changes/run_journal.h"
#include "engine/changes/trash_can.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_options.h"
#include "engine/records/sync_report.h"
#include "engine/records/user_places.h"

namespace twinfol {

struct ChangeResult {
    FsStatus status;
    // The item could not be moved to the Trash, so it was left as it was.
    bool trashFailed = false;

    explicit operator bool() const { return status.IsOk(); }
    // The problem kind of a failure: the Trash's, or the operation's own.
    ProblemKind ProblemOr(ProblemKind own) const { return trashFailed ? ProblemKind::MoveToTrash : own; }
};

// Owns the choice between the Trash and a delete for good: every change a walk makes to its target
// goes through here, and nothing else reads the job's Trash option.
class TargetChanges {
public:
    explicit TargetChanges(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

    // Starts the records of a run into targetRoot (ending with the separator). Without places nothing is
    // recorded, and with the Trash option each delete and overwrite fails with the Trash's problem. Old
    // items of the target volume's trash folder and old journals are tidied away first.
    // Places that do not belong to the user (root with another user's HOME) refuse a run with the Trash
    // (the answer says why); any other run then writes no journal and tidies nothing, with a note.
    std::string BeginRun(const UserPlaces* places, WallClock clock, const std::string& sourceRoot,
                         const std::string& targetRoot, const SyncOptions& options, SyncReport& report);
    // Writes out the journal; one that could not be written becomes a note of the report.
    void EndRun(SyncReport& report);

    // Overwrites and deletes, those through the Trash too, may be made on the workers of a run at the
    // same time, and adds copied there: the Trash keeps its names and the journal its records under
    // locks of their own, and each overwrite writes its own lines in its own order (the old content
    // kept, then the copy, then the line that tells an undo the new content is the run's). The records
    // of any change (Finish...) are made on the engine thread.

    // The copies tell progress, when given, how they advance.
    ChangeResult AddFile(const std::string& from, const std::string& to, CopyProgress* progress = nullptr);
    ChangeResult AddFolder(const std::string& fromFolder, const std::string& toFolder, const StopFlag& stop,
                           CopyProgress* progress = nullptr);
    ChangeResult Overwrite(const std::string& from, const std::string& to, CopyProgress* progress = nullptr);
    ChangeResult DeleteFile(const std::string& path);
    // An add in two steps: the copy, which may run on a worker, then its records with its outcome.
    FsStatus CopyNewFile(const std::string& from, const std::string& to, CopyProgress* progress);
    FsStatus CopyNewFolder(const std::string& fromFolder, const std::string& toFolder, const StopFlag& stop,
                           CopyProgress* progress);
    ChangeResult FinishAddFile(const std::string& to, FsStatus copied);
    ChangeResult FinishAddFolder(const std::string& toFolder, FsStatus copied);
    // Gives a target entry another spelling of its name (a target that folds case).
    FsStatus Respell(const std::string& path, const std::string& newName);
    ChangeResult DeleteFolder(const std::string& folder, const StopFlag& stop);
    // Removes a killed run's temporary file: to the Trash with the Trash option, like any delete.
    ChangeResult RemoveLeftover(const std::string& path);

private:
    class Witness;

    void NoteAdded(JournalEntry entry, const std::string& path);
    JournalRecord TrashedRecord(JournalEntry entry, const std::string& path, const TrashedItem& item);
    ChangeResult TrashItem(JournalEntry entry, const std::string& path);
    WallClock clock_ = nullptr;

    FileSystem& fileSystem_;
    std::string targetRoot_;
    bool useTrash_ = false;
    std::unique_ptr<TrashCan> trash_;
    std::unique_ptr<RunJournal> journal_;
};

} // namespace twinfol
