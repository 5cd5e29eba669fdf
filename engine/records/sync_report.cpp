// Filling and resetting the report of a run.
#include "engine/records/sync_report.h"

namespace twinfol {

std::string_view ProblemPrefix(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::CopyFile: return "Could not copy file: ";
    case ProblemKind::DeleteFile: return "Could not delete file: ";
    case ProblemKind::CopyFolder: return "Could not copy folder: ";
    case ProblemKind::DeleteFolder: return "Could not delete folder: ";
    case ProblemKind::ReadFolder: return "Could not read folder: ";
    case ProblemKind::MoveToTrash: return "Could not move to the Trash: ";
    case ProblemKind::Undo: return "Could not undo: ";
    }
    return {};
}

void SyncReport::ResetForRun()
{
    problemLog.clear();
    notes.clear();
    refusal.clear();
    journalFile.clear();
    overwrittenFileCount = addedFileCount = deletedFileCount = 0;
    addedFolderCount = deletedFolderCount = 0;
    overwrittenFiles.clear();
    addedFiles.clear();
    deletedFiles.clear();
    addedFolders.clear();
    deletedFolders.clear();
    kind = ReportKind::Run;
    restoredCount = trashedCount = 0;
    restored.clear();
    trashed.clear();
    interrupted = false;
    startTime = {};
    durationSeconds = 0;
    filesCopied = bytesCopied = 0;
    addedFolderContents.clear();
    ignoredItems.clear();
    incompleteFolders.clear();
    partlyCopiedFolders.clear();
}

void SyncReport::StartUndo(std::chrono::system_clock::time_point start)
{
    kind = ReportKind::Undo;
    startTime = start;
}

void SyncReport::Finish(std::chrono::system_clock::time_point end)
{
    durationSeconds = std::chrono::duration<double>(end - startTime).count();
}

void SyncReport::RecordRun(std::string runSource, std::string runTarget, bool wasInterrupted)
{
    source = std::move(runSource);
    target = std::move(runTarget);
    interrupted = wasInterrupted;
}

void SyncReport::Record(ReportList list, std::string path)
{
    PathSet* set = nullptr;
    std::int32_t* count = nullptr;
    switch (list) {
    case ReportList::OverwrittenFiles:
        set = &overwrittenFiles;
        count = &overwrittenFileCount;
        break;
    case ReportList::AddedFiles:
        set = &addedFiles;
        count = &addedFileCount;
        break;
    case ReportList::DeletedFiles:
        set = &deletedFiles;
        count = &deletedFileCount;
        break;
    case ReportList::AddedFolders:
        set = &addedFolders;
        count = &addedFolderCount;
        break;
    case ReportList::DeletedFolders:
        set = &deletedFolders;
        count = &deletedFolderCount;
        break;
    }
    if (set->insert(std::move(path)).second)
        ++*count;
}

void SyncReport::RecordUndo(UndoList list, std::string path)
{
    PathSet& set = list == UndoList::Restored ? restored : trashed;
    if (set.insert(std::move(path)).second)
        ++(list == UndoList::Restored ? restoredCount : trashedCount);
}

void SyncReport::RecordProblem(ProblemKind problemKind, std::string_view path, std::string reason)
{
    ProblemRecord record{problemKind, std::string(path), std::string(ProblemPrefix(problemKind)),
                         std::move(reason)};
    record.line += path;
    problemLog.push_back(std::move(record));
}

std::vector<std::string> SyncReport::ProblemLines() const
{
    std::vector<std::string> lines;
    lines.reserve(problemLog.size());
    for (const ProblemRecord& record : problemLog)
        lines.push_back(record.line);
    return lines;
}

std::vector<const ProblemRecord*> SyncReport::LeftAlone() const
{
    std::vector<const ProblemRecord*> leftAlone;
    for (const ProblemRecord& record : problemLog)
        if (record.kind == ProblemKind::Undo)
            leftAlone.push_back(&record);
    return leftAlone;
}

const PathSet& SyncReport::List(ReportList list) const
{
    switch (list) {
    case ReportList::OverwrittenFiles: return overwrittenFiles;
    case ReportList::AddedFiles: return addedFiles;
    case ReportList::DeletedFiles: return deletedFiles;
    case ReportList::AddedFolders: return addedFolders;
    case ReportList::DeletedFolders: break;
    }
    return deletedFolders;
}

std::vector<std::string> SyncReport::MarkedList(ReportList list) const
{
    const PathSet& paths = List(list);
    std::vector<std::string> marked(paths.begin(), paths.end());
    if (list == ReportList::AddedFolders)
        for (std::string& path : marked)
            path += AddedFolderMark(path);
    return marked;
}

std::string_view AddedFolderMark(const std::string& path, const PathSet* cutShort,
                                 const PathSet* partlyCopied)
{
    if (cutShort != nullptr && cutShort->contains(path))
        return incompleteMark;
    if (partlyCopied != nullptr && partlyCopied->contains(path))
        return partlyCopiedMark;
    return {};
}

std::string_view SyncReport::AddedFolderMark(const std::string& path) const
{
    return twinfol::AddedFolderMark(path, &incompleteFolders, &partlyCopiedFolders);
}

std::int32_t SyncReport::Count(ReportList list) const
{
    switch (list) {
    case ReportList::OverwrittenFiles: return overwrittenFileCount;
    case ReportList::AddedFiles: return addedFileCount;
    case ReportList::DeletedFiles: return deletedFileCount;
    case ReportList::AddedFolders: return addedFolderCount;
    case ReportList::DeletedFolders: break;
    }
    return deletedFolderCount;
}

} // namespace twinfol
