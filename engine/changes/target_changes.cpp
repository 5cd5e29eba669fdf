// Each change to the target: the operation, the Trash where asked for, and the journal's record.
#include "engine/changes/target_changes.h"

#include <cerrno>

#include "base/path.h"
#include "engine/changes/journal_folder.h"
#include "engine/changes/run_history.h"
#include "engine/changes/trash_expiry.h"
#include "engine/changes/user_places_check.h"

namespace twinfol {
namespace {

JournalRecord RecordOf(JournalEntry entry, std::string relativePath, const std::optional<EntryFacts>& facts)
{
    JournalRecord record;
    record.entry = entry;
    record.relativePath = std::move(relativePath);
    // An item that cannot be looked at is recorded without stamps: an undo then finds it changed and
    // leaves it alone.
    if (facts) {
        record.modifiedSeconds = facts->modifiedSeconds;
        record.modifiedNanoseconds = facts->modifiedNanoseconds;
        record.size = facts->size;
    }
    return record;
}

} // namespace

// Records each move into the Trash in the journal before it is made, and cancels the record when the
// move then fails or is taken back.
class TargetChanges::Witness : public TrashWitness {
public:
    Witness(TargetChanges& changes, JournalEntry entry, const std::string& path)
        : changes_(changes), entry_(entry), path_(path)
    {
    }

    void BeforeMove(const TrashedItem& item) override
    {
        if (changes_.journal_)
            changes_.journal_->RecordAhead(changes_.TrashedRecord(entry_, path_, item));
    }
    void MovedAs(const TrashedItem& item) override
    {
        if (changes_.journal_)
            changes_.journal_->RecordMovedAs(item);
    }
    void MoveUndone(const TrashedItem& item) override
    {
        if (changes_.journal_)
            changes_.journal_->RecordNotMoved(item);
    }

private:
    TargetChanges& changes_;
    JournalEntry entry_;
    const std::string& path_;
};

std::string TargetChanges::BeginRun(const UserPlaces* places, WallClock clock, const std::string& sourceRoot,
                                    const std::string& targetRoot, const SyncOptions& options,
                                    SyncReport& report)
{
    targetRoot_ = targetRoot;
    useTrash_ = options.useTrash;
    clock_ = clock;
    journal_.reset();
    trash_.reset();
    if (places == nullptr)
        return {};
    if (const std::string untrusted = CheckUserPlacesOwner(fileSystem_, *places); !untrusted.empty()) {
        if (useTrash_)
            return "The Trash cannot be used: " + untrusted + ".";
        report.notes.push_back("No run journal was written and the Trash was not tidied: " + untrusted + ".");
        return {};
    }
    const auto resolved = [&](const std::string& root) {
        return WithTrailingSeparator(fileSystem_.ResolvePath(root).value_or(root));
    };
    JournalHeader header{JournalKind::Run, resolved(sourceRoot), resolved(targetRoot), useTrash_,
                         std::chrono::system_clock::to_time_t(clock())};
    trash_ = std::make_unique<TrashCan>(fileSystem_, *places, targetRoot, header.target, clock);
    TidyJournalsAndTrash(fileSystem_, *trash_, *places, trash_->TrashFolderFor(targetRoot),
                         options.trashKeepDays, header.started);
    PruneRunHistory(fileSystem_, places->journalFolder, options.trashKeepDays, header.started);
    journal_ = std::make_unique<RunJournal>(fileSystem_, places->journalFolder, std::move(header), clock);
    return {};
}

void TargetChanges::EndRun(SyncReport& report)
{
    if (!journal_)
        return;
    if (const FsStatus written = journal_->Finish(); !written)
        report.notes.push_back("The run journal could not be written (" + written.Reason() +
                               "): this run cannot be undone.");
    else
        report.journalFile = journal_->Path();
    journal_.reset();
}

void TargetChanges::NoteAdded(JournalEntry entry, const std::string& path)
{
    if (!journal_)
        return;
    const std::optional<EntryFacts> facts = fileSystem_.LookAt(WithoutTrailingSeparator(path)).ToOptional();
    JournalRecord record = RecordOf(entry, WithoutTrailingSeparator(path.substr(targetRoot_.size())), facts);
    // The added folder's own change time: its stamps are set after everything inside was copied, by the
    // clock the file system stamps with, so whatever inside changed later is not the run's.
    if (entry == JournalEntry::AddedFolder && facts)
        record.recordedAt = facts->changedSeconds * 1'000'000'000 + facts->changedNanoseconds;
    journal_->Record(record);
}

JournalRecord TargetChanges::TrashedRecord(JournalEntry entry, const std::string& path,
                                           const TrashedItem& item)
{
    JournalRecord record = RecordOf(entry, WithoutTrailingSeparator(path.substr(targetRoot_.size())), {});
    record.trashFolder = journal_->FolderIndex(item.folder);
    record.trashName = item.name;
    record.deletionDate = item.deletionDate;
    record.identity = item.identity;
    record.replaced = entry != JournalEntry::Overwritten;
    return record;
}

ChangeResult TargetChanges::AddFile(const std::string& from, const std::string& to, CopyProgress* progress)
{
    return FinishAddFile(to, CopyNewFile(from, to, progress));
}

FsStatus TargetChanges::CopyNewFile(const std::string& from, const std::string& to, CopyProgress* progress)
{
    return fileSystem_.CopyFile(from, to, progress);
}

FsStatus TargetChanges::CopyNewFolder(const std::string& fromFolder, const std::string& toFolder,
                                      const StopFlag& stop, CopyProgress* progress)
{
    return fileSystem_.CopyFolderTree(fromFolder, toFolder, stop, progress);
}

FsStatus TargetChanges::Respell(const std::string& path, const std::string& newName)
{
    return fileSystem_.Respell(path, newName);
}

ChangeResult TargetChanges::FinishAddFile(const std::string& to, FsStatus copied)
{
    if (copied)
        NoteAdded(JournalEntry::AddedFile, to);
    return {std::move(copied)};
}

ChangeResult TargetChanges::AddFolder(const std::string& fromFolder, const std::string& toFolder,
                                      const StopFlag& stop, CopyProgress* progress)
{
    return FinishAddFolder(toFolder, CopyNewFolder(fromFolder, toFolder, stop, progress));
}

ChangeResult TargetChanges::FinishAddFolder(const std::string& toFolder, FsStatus copied)
{
    // A tree copy that failed part-way leaves the folder it made: an undo removes that too.
    if (copied || fileSystem_.KindOf(WithoutTrailingSeparator(toFolder)) == EntryKind::Folder)
        NoteAdded(JournalEntry::AddedFolder, toFolder);
    return {std::move(copied)};
}

ChangeResult TargetChanges::Overwrite(const std::string& from, const std::string& to, CopyProgress* progress)
{
    if (!useTrash_)
        return {fileSystem_.CopyFile(from, to, progress)};
    if (!trash_)
        return {FsStatus::Refusal(ENOENT, "no Trash is known for this user"), true};
    TrashedItem item;
    OldContent how = OldContent::Linked;
    Witness witness(*this, JournalEntry::Overwritten, to);
    if (const TrashResult kept = trash_->KeepOldContent(to, from, item, how, &witness); !kept)
        return {kept.status, !kept.refusedByRules};
    const FsStatus copied = fileSystem_.CopyFile(from, to, progress);
    if (!copied) {
        trash_->GiveBack(item, to, how, &witness);
        return {copied};
    }
    if (journal_) {
        JournalRecord record = TrashedRecord(JournalEntry::Overwritten, to, item);
        if (const FsResult<EntryFacts> now = fileSystem_.LookAt(to)) {
            record.modifiedSeconds = now->modifiedSeconds;
            record.modifiedNanoseconds = now->modifiedNanoseconds;
            record.size = now->size;
            journal_->RecordReplaced(record);
        }
    }
    return {copied};
}

ChangeResult TargetChanges::TrashItem(JournalEntry entry, const std::string& path)
{
    if (!trash_)
        return {FsStatus::Refusal(ENOENT, "no Trash is known for this user"), true};
    TrashedItem item;
    Witness witness(*this, entry, path);
    const TrashResult trashed = trash_->Trash(path, item, &witness);
    if (!trashed)
        return {trashed.status, !trashed.refusedByRules};
    return {};
}

ChangeResult TargetChanges::DeleteFile(const std::string& path)
{
    if (useTrash_)
        return TrashItem(JournalEntry::DeletedFile, path);
    return {fileSystem_.DeleteFile(path)};
}

ChangeResult TargetChanges::DeleteFolder(const std::string& folder, const StopFlag& stop)
{
    if (useTrash_)
        return TrashItem(JournalEntry::DeletedFolder, folder);
    return {fileSystem_.DeleteFolderTree(folder, stop)};
}

ChangeResult TargetChanges::RemoveLeftover(const std::string& path)
{
    return DeleteFile(path);
}

} // namespace twinfol
