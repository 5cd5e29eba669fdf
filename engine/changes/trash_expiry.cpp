// Expiring old items of the Trash and removing journals that are no longer of use. Nothing here is a
// problem of the run: what cannot be removed now is tried again at a later run.
#include "engine/changes/trash_expiry.h"

#include <map>

#include "base/path.h"
#include "engine/changes/journal_folder.h"
#include "engine/changes/journal_record.h"

namespace twinfol {
namespace {

constexpr std::int64_t secondsPerDay = 86400;

std::optional<Journal> ReadJournal(FileSystem& fileSystem, const std::string& path, std::size_t maxBytes)
{
    std::string text;
    if (!fileSystem.ReadFile(path, maxBytes, text))
        return std::nullopt;
    return ParseJournal(text);
}

// Removes the journal's items in the trash folder; answers how many of its trashed items are still in
// any trash folder as they were left. Items of a journal that does not say what they were stay where
// they are: the person empties the Trash of them.
int ExpireItems(FileSystem& fileSystem, TrashCan& trash, const Journal& journal, const TrashFolder& folder)
{
    int left = 0;
    const StopFlag noStop{false};
    for (const JournalRecord& record : journal.records) {
        if (!record.WentToTrash() || !record.identity.known)
            continue;
        const TrashedItem item = journal.ItemOf(record);
        if (!trash.StillAsLeft(item))
            continue;
        if (item.folder == folder) {
            const bool isFolder = fileSystem.KindOf(item.FilesPath()) == EntryKind::Folder;
            const FsStatus removed = isFolder ? fileSystem.DeleteFolderTree(item.FilesPath() + "/", noStop)
                                              : fileSystem.DeleteFile(item.FilesPath());
            if (removed && fileSystem.DeleteFile(item.InfoPath()))
                continue;
        }
        ++left;
    }
    return left;
}

} // namespace

void TidyJournalsAndTrash(FileSystem& fileSystem, TrashCan& trash, const UserPlaces& places,
                          const std::optional<TrashFolder>& trashFolder, int keepDays, std::int64_t now)
{
    const std::vector<JournalFile> journals = ListJournals(fileSystem, places.journalFolder);
    std::map<std::string, std::string> newest;
    for (const JournalFile& file : journals)
        newest[file.key] = file.name;
    const bool mayExpire = keepDays > 0 && trashFolder && trash.Hold(*trashFolder, false);
    for (const JournalFile& file : journals) {
        const bool isNewest = newest[file.key] == file.name;
        if (mayExpire && now - file.started >= keepDays * secondsPerDay) {
            const std::optional<Journal> journal = ReadJournal(fileSystem, file.path, maxJournalBytes);
            if (journal && ExpireItems(fileSystem, trash, *journal, *trashFolder) == 0 && !isNewest)
                (void)fileSystem.DeleteFile(file.path);
        }
    }
}

} // namespace twinfol
