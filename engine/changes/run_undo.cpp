// Undo of the last run: its journal read back to front, each record undone where the item is still as
// the run left it.
#include "engine/changes/run_undo.h"

#include "base/path.h"
#include "base/user_name.h"
#include "engine/changes/user_places_check.h"

namespace twinfol {
namespace {

constexpr const char* changedSince = "it changed since the run";

bool Unchanged(const FsResult<EntryFacts>& now, const JournalRecord& record)
{
    if (!now)
        return false;
    const bool folder = record.entry == JournalEntry::AddedFolder;
    if (folder != (now->kind == EntryKind::Folder) || now->modifiedSeconds != record.modifiedSeconds ||
        now->modifiedNanoseconds != record.modifiedNanoseconds)
        return false;
    return folder || now->size == record.size;
}

// The first entry inside the folder that changed after the time, in nanoseconds since 1970 (a file the
// person wrote there since the run, say), by its path; empty when there is none.
std::string NewerInside(FileSystem& fileSystem, const std::string& folder, std::int64_t recordedAt)
{
    std::vector<std::string> names;
    if (!fileSystem.ListFolder(folder + pathSeparator, [&](std::string_view name, EntryKind) {
            names.emplace_back(name);
            return true;
        }))
        return folder;
    for (const std::string& name : names) {
        const std::string path = folder + pathSeparator + name;
        const FsResult<EntryFacts> facts = fileSystem.LookAt(path);
        if (!facts)
            return path;
        // What lies deepest names the person's work best: a folder changes with every entry made in it.
        if (facts->kind == EntryKind::Folder)
            if (std::string newer = NewerInside(fileSystem, path, recordedAt); !newer.empty())
                return newer;
        if (facts->changedSeconds * 1'000'000'000 + facts->changedNanoseconds > recordedAt)
            return path;
    }
    return {};
}

UndoableRun Counted(JournalFile file, Journal journal)
{
    UndoableRun run{std::move(file), std::move(journal)};
    for (const JournalRecord& record : run.journal.records) {
        switch (record.entry) {
        case JournalEntry::AddedFile:
        case JournalEntry::AddedFolder: ++run.added; break;
        case JournalEntry::Overwritten: ++run.overwritten; break;
        case JournalEntry::DeletedFile:
        case JournalEntry::DeletedFolder: ++run.deleted; break;
        }
    }
    return run;
}

} // namespace

UndoSearch FindLastRun(FileSystem& fileSystem, const UserPlaces& places, const std::string& target)
{
    const std::string shown = WithoutTrailingSeparator(target);
    if (shown.empty())
        return {std::nullopt, "No target folder was given."};
    const FsResult<std::string> resolved = fileSystem.ResolvePath(shown);
    if (!resolved || fileSystem.KindOf(*resolved) != EntryKind::Folder)
        return {std::nullopt, "The target folder does not exist or is not a folder: " + shown};
    if (const std::string untrusted = CheckUserPlacesOwner(fileSystem, places); !untrusted.empty())
        return {std::nullopt, "Nothing can be undone: " + untrusted + "."};
    const std::string real = WithTrailingSeparator(*resolved);
    const std::optional<JournalFile> newest =
        NewestJournal(ListJournals(fileSystem, places.journalFolder), JournalKey(real));
    const std::string none = "No run into " + shown + " has a journal to undo.";
    std::string text;
    if (!newest)
        return {std::nullopt, none};
    if (const FsResult<EntryFacts> owner = fileSystem.LookAt(newest->path);
        owner && owner->owner != places.uid)
        return {std::nullopt, "The journal " + newest->path + " belongs to " + DescribeUser(owner->owner) +
                                  ": nothing is undone from it."};
    if (!fileSystem.ReadFile(newest->path, maxJournalBytes, text))
        return {std::nullopt, none};
    std::optional<Journal> journal = ParseJournal(text);
    if (!journal || journal->header.target != real)
        return {std::nullopt, none};
    if (journal->version < 2)
        return {std::nullopt,
                "The last run into " + shown +
                    " was recorded by an earlier version of Twinfol, whose journal does not say "
                    "which items went to the Trash: it cannot be undone safely."};
    if (journal->header.kind == JournalKind::Undo)
        return {std::nullopt, "The last change to " + shown + " was an undo: there is no run to undo."};
    if (journal->undone)
        return {std::nullopt, "The last run into " + shown + " has already been undone."};
    return {Counted(*newest, std::move(*journal)), {}};
}

RunUndo::RunUndo(FileSystem& fileSystem, const UserPlaces& places, SyncRunState& runState, SyncReport& report,
                 SyncHost& host, WallClock clock)
    : fileSystem_(fileSystem), places_(places), runState_(runState), report_(report), host_(host),
      clock_(clock)
{
}

void RunUndo::Undo(const UndoableRun& run, const std::string& target)
{
    report_.StartUndo(clock_());
    const std::unique_ptr<RunScope> scope = fileSystem_.BeginRun(target, target);
    // Another run writing into the target: the undo waits for no one and changes nothing.
    if (const FsStatus may = scope->Status(); !may) {
        report_.refusal = may.Reason();
        return;
    }
    const Journal& journal = run.journal;
    TrashCan trash(fileSystem_, places_, target, journal.header.target, clock_);
    RunJournal undoJournal(fileSystem_, places_.journalFolder,
                           {JournalKind::Undo, journal.header.source, journal.header.target, true,
                            std::chrono::system_clock::to_time_t(clock_())},
                           clock_);
    trash_ = &trash;
    undoJournal_ = &undoJournal;
    std::string progress;
    for (auto record = journal.records.rbegin(); record != journal.records.rend() && !runState_.IsStopped();
         ++record) {
        const std::string path = target + record->relativePath;
        host_.SetProgressText(progress.assign("Undoing: ").append(path));
        switch (record->entry) {
        case JournalEntry::AddedFile:
        case JournalEntry::AddedFolder: UndoAdd(journal, *record, path); break;
        case JournalEntry::Overwritten: UndoOverwrite(journal, *record, path); break;
        case JournalEntry::DeletedFile:
        case JournalEntry::DeletedFolder: UndoDelete(journal, *record, path); break;
        }
    }
    if (const FsStatus written = undoJournal.Finish(); !written)
        report_.notes.push_back("The journal of this undo could not be written (" + written.Reason() + ").");
    else
        report_.journalFile = undoJournal.Path();
    // Marked even after a stop: what was undone stays undone, and a second undo would only meet it.
    (void)fileSystem_.AppendFile(run.file.path, journalUndoneMark, 0600);
    if (!journal.header.useTrash)
        report_.notes.push_back("That run did not use the Trash: the files and folders it deleted or "
                                "overwrote cannot come back.");
    trash_ = nullptr;
    undoJournal_ = nullptr;
    report_.Finish(clock_());
}

void RunUndo::UndoAdd(const Journal&, const JournalRecord& record, const std::string& path)
{
    const FsResult<EntryFacts> now = fileSystem_.LookAt(path);
    if (!now)
        return; // Gone already: nothing of the run is left to take away.
    if (!Unchanged(now, record)) {
        report_.RecordProblem(ProblemKind::Undo, path, changedSince);
        return;
    }
    const bool folder = record.entry == JournalEntry::AddedFolder;
    if (folder)
        if (const std::string newer = NewerInside(fileSystem_, path, record.recordedAt); !newer.empty()) {
            report_.RecordProblem(ProblemKind::Undo, path,
                                  "it holds " + newer + ", which the run did not add");
            return;
        }
    TrashedItem item;
    if (const TrashResult trashed = trash_->Trash(path, item); !trashed) {
        report_.RecordProblem(trashed.refusedByRules ? ProblemKind::Undo : ProblemKind::MoveToTrash, path,
                              trashed.status.Reason());
        return;
    }
    JournalRecord sent;
    sent.entry = folder ? JournalEntry::DeletedFolder : JournalEntry::DeletedFile;
    sent.relativePath = record.relativePath;
    sent.trashFolder = undoJournal_->FolderIndex(item.folder);
    sent.trashName = item.name;
    sent.deletionDate = item.deletionDate;
    sent.identity = item.identity;
    undoJournal_->Record(sent);
    report_.RecordUndo(UndoList::Trashed, path);
}

void RunUndo::UndoOverwrite(const Journal& journal, const JournalRecord& record, const std::string& path)
{
    const TrashedItem item = journal.ItemOf(record);
    const FsResult<EntryFacts> now = fileSystem_.LookAt(path);
    if (!record.replaced) {
        // The run was stopped before it recorded the replacement. If the old content never left its
        // name there is nothing to undo; if the name is empty (a disk without hard links moves the old
        // content out before the copy), the old content goes back; anything else standing there cannot
        // be told from a newer edit.
        if (!now && trash_->StillAsLeft(item) && trash_->Restore(item, path, ExistingEntry::Keep)) {
            report_.RecordUndo(UndoList::Restored, path);
            return;
        }
        if (!now || !item.identity.Matches(*now))
            report_.RecordProblem(
                ProblemKind::Undo, path,
                "the run was stopped while it replaced it (its old content is in the Trash)");
        return;
    }
    if (!Unchanged(now, record)) {
        report_.RecordProblem(ProblemKind::Undo, path, changedSince);
        return;
    }
    if (const FsStatus still = trash_->StillAsLeft(item); !still) {
        report_.RecordProblem(ProblemKind::Undo, path,
                              "its old content is no longer in the Trash as it went (" + still.Reason() +
                                  ")");
        return;
    }
    if (const FsStatus restored = trash_->Restore(item, path, ExistingEntry::Replace); !restored) {
        report_.RecordProblem(ProblemKind::Undo, path, restored.Reason());
        return;
    }
    report_.RecordUndo(UndoList::Restored, path);
}

void RunUndo::UndoDelete(const Journal& journal, const JournalRecord& record, const std::string& path)
{
    const TrashedItem item = journal.ItemOf(record);
    if (const FsResult<EntryFacts> now = fileSystem_.LookAt(path)) {
        // A move recorded ahead that a kill stopped before it was made: the item never left.
        if (!item.identity.Matches(*now))
            report_.RecordProblem(ProblemKind::Undo, path, "something of that name stands there now");
        return;
    }
    if (const FsStatus still = trash_->StillAsLeft(item); !still) {
        report_.RecordProblem(ProblemKind::Undo, path,
                              "it is no longer in the Trash as it went (" + still.Reason() + ")");
        return;
    }
    if (const FsStatus restored = trash_->Restore(item, path, ExistingEntry::Keep); !restored) {
        report_.RecordProblem(ProblemKind::Undo, path, restored.Reason());
        return;
    }
    report_.RecordUndo(UndoList::Restored, path);
}

} // namespace twinfol
