// Undoing the last run into a target from its journal: what the run added goes to the Trash, files it
// overwrote get their old content back and items it deleted come back from the Trash, each to its
// exact path with its time stamps and mode. An item changed since the run is left alone with a problem
// line: an undo never destroys a newer edit.
#pragma once

#include <optional>
#include <string>

#include "engine/changes/journal_folder.h"
#include "engine/changes/journal_record.h"
#include "engine/changes/run_journal.h"
#include "engine/changes/trash_can.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_report.h"
#include "engine/records/sync_run_state.h"
#include "engine/records/user_places.h"

namespace twinfol {

// The last run into a target, as its journal tells it, with what an undo would do.
struct UndoableRun {
    JournalFile file;
    Journal journal;
    // Added files and folders that would go to the Trash.
    int added = 0;
    // Overwritten files that would get their old content back.
    int overwritten = 0;
    // Deleted files and folders that would come back.
    int deleted = 0;
};

struct UndoSearch {
    std::optional<UndoableRun> run;
    // Why there is nothing to undo; empty when there is.
    std::string refusal;
};

// Finds the last run into the target folder and whether it can be undone.
UndoSearch FindLastRun(FileSystem& fileSystem, const UserPlaces& places, const std::string& target);

class RunUndo {
public:
    // Keeps references only; everything must outlive the undo.
    RunUndo(FileSystem& fileSystem, const UserPlaces& places, SyncRunState& runState, SyncReport& report,
            SyncHost& host, WallClock clock);

    // Undoes the run into the target (the folder FindLastRun was given, ending with the separator),
    // newest change first, and marks the journal undone. The report lists what the undo did, in the
    // lists of a run: items sent to the Trash as deleted, old content back as overwritten, items back
    // from the Trash as added.
    void Undo(const UndoableRun& run, const std::string& target);

private:
    void UndoAdd(const Journal& journal, const JournalRecord& record, const std::string& path);
    void UndoOverwrite(const Journal& journal, const JournalRecord& record, const std::string& path);
    void UndoDelete(const Journal& journal, const JournalRecord& record, const std::string& path);

    FileSystem& fileSystem_;
    const UserPlaces& places_;
    SyncRunState& runState_;
    SyncReport& report_;
    SyncHost& host_;
    WallClock clock_;
    TrashCan* trash_ = nullptr;
    RunJournal* undoJournal_ = nullptr;
};

} // namespace twinfol
