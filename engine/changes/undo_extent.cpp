// Counting the files and bytes an undo would move, through the file-system layer.
#include "engine/changes/undo_extent.h"

#include <cstdint>

namespace twinfol {
namespace {

// Adds the files (links included) at or below the path to the contents; a folder is walked, never
// counted itself.
void Measure(FileSystem& fileSystem, const std::string& path, FolderContents& contents)
{
    const FsResult<EntryFacts> facts = fileSystem.LookAt(path);
    if (!facts)
        return;
    if (facts->kind != EntryKind::Folder) {
        ++contents.files;
        contents.bytes += static_cast<std::uint64_t>(facts->size > 0 ? facts->size : 0);
        return;
    }
    const std::string folder = path + '/';
    (void)fileSystem.ListFolder(folder, [&](std::string_view name, EntryKind) {
        Measure(fileSystem, folder + std::string(name), contents);
        return true;
    });
}

} // namespace

UndoExtent MeasureUndo(FileSystem& fileSystem, const UndoableRun& run, const std::string& target)
{
    UndoExtent extent;
    const Journal& journal = run.journal;
    for (const JournalRecord& record : journal.records) {
        switch (record.entry) {
        case JournalEntry::AddedFile:
        case JournalEntry::AddedFolder:
            Measure(fileSystem, target + record.relativePath, extent.added);
            break;
        case JournalEntry::Overwritten:
            if (record.WentToTrash())
                Measure(fileSystem, journal.ItemOf(record).FilesPath(), extent.overwritten);
            break;
        case JournalEntry::DeletedFile:
        case JournalEntry::DeletedFolder:
            if (record.WentToTrash())
                Measure(fileSystem, journal.ItemOf(record).FilesPath(), extent.deleted);
            break;
        }
    }
    return extent;
}

} // namespace twinfol
