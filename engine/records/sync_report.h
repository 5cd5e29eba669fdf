// The outcome of a run: its roots, five counts, five sorted lists of target paths and the problem log.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace twinfol {

// std::string orders by unsigned bytes, a prefix first: exactly the order the report lists need.
using PathSet = std::set<std::string>;

enum class ReportList { OverwrittenFiles, AddedFiles, DeletedFiles, AddedFolders, DeletedFolders };

// What filled a report: a run, whose lists say what it did to the target, or the undo of a run, whose
// lists say what it took back.
enum class ReportKind { Run, Undo };

// The lists of an undo. Restored: old content back in place of an overwrite, and deleted items back
// from the Trash; trashed: what the run had added, moved to the Trash.
enum class UndoList { Restored, Trashed };

enum class ProblemKind { CopyFile, DeleteFile, CopyFolder, DeleteFolder, ReadFolder, MoveToTrash, Undo };

// The fixed text that starts a problem-log line of the given kind.
std::string_view ProblemPrefix(ProblemKind kind);

// One problem of a run: what failed and where, the line the problem log shows, and why it failed
// (the system's text for the error, or a short text of our own).
struct ProblemRecord {
    ProblemKind kind = ProblemKind::CopyFile;
    std::string path;
    // The kind's prefix followed by the path.
    std::string line;
    std::string reason;

    friend bool operator==(const ProblemRecord&, const ProblemRecord&) = default;
};

// What a folder added whole held: its files (links included) and their bytes, at any depth.
struct FolderContents {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;

    friend bool operator==(const FolderContents&, const FolderContents&) = default;
};

// Whether the copy of a folder added whole reached the end of its tree, or a stop ended it with
// entries still uncopied.
enum class FolderCopy { Whole, CutShort };

// The mark an added folder whose copy a stop cut short carries in every text of a report.
inline constexpr std::string_view incompleteMark = " (incomplete: interrupted)";
// The mark of an added folder some of whose entries could not be copied, each with a problem line of
// its own (a stop's mark goes first where both apply).
inline constexpr std::string_view partlyCopiedMark = " (incomplete: some items could not be copied)";
// The mark an added folder carries, from the folders a stop cut short and those partly copied (either
// set may be missing): incompleteMark, partlyCopiedMark, or none.
std::string_view AddedFolderMark(const std::string& path, const PathSet* cutShort,
                                 const PathSet* partlyCopied);

// An item a pattern or a size limit left out of the run: its path (the target's, or the source's where
// only the source holds it; a folder's ends with the separator) and the rule, in words.
struct IgnoredItem {
    std::string path;
    std::string reason;

    friend bool operator==(const IgnoredItem&, const IgnoredItem&) = default;
};

struct SyncReport {
    std::string source;
    std::string target;
    std::int32_t overwrittenFileCount = 0;
    std::int32_t addedFileCount = 0;
    std::int32_t deletedFileCount = 0;
    std::int32_t addedFolderCount = 0;
    std::int32_t deletedFolderCount = 0;
    PathSet overwrittenFiles;
    PathSet addedFiles;
    PathSet deletedFiles;
    PathSet addedFolders;
    PathSet deletedFolders;
    ReportKind kind = ReportKind::Run;
    // The lists of an undo (empty for a run), with their counts.
    std::int32_t restoredCount = 0;
    std::int32_t trashedCount = 0;
    PathSet restored;
    PathSet trashed;
    // In the order the problems happened.
    std::vector<ProblemRecord> problemLog;
    // Remarks on the run as a whole that are no problem of one item (an undo that cannot bring deleted
    // items back, a journal that could not be written), in the order they were made.
    std::vector<std::string> notes;
    // Why the run did not start at all, with nothing touched (another run is writing to the target);
    // empty for a run that went ahead.
    std::string refusal;
    // Whether the run that filled this report was stopped; taken from the run state's stop request
    // when the run ends.
    bool interrupted = false;
    // When the run started, and how long it took to its end.
    std::chrono::system_clock::time_point startTime{};
    double durationSeconds = 0;
    // Every file (or link) copied into the target: overwritten, added, and inside added folders.
    std::uint64_t filesCopied = 0;
    std::uint64_t bytesCopied = 0;
    // Per entry of addedFolders, what the folder held.
    std::map<std::string, FolderContents> addedFolderContents;
    // The entries of addedFolders whose copy a stop cut short: the folder is there, part of its tree
    // is not (the next run adds the rest).
    PathSet incompleteFolders;
    // The entries of addedFolders some of whose entries could not be copied: the rest is there.
    PathSet partlyCopiedFolders;
    // Every item the run's ignore patterns or size limits left out, in the order the walk met them.
    std::vector<IgnoredItem> ignoredItems;
    // The journal the run (or undo) wrote, where its report is kept beside it; empty when it wrote
    // none (it changed nothing, or runs keep no journals).
    std::string journalFile;

    // Empties the counts, lists and problem log and makes it a run's report again; the roots keep the
    // previous run's values.
    void ResetForRun();
    // Makes this the report of an undo that starts at the time given.
    void StartUndo(std::chrono::system_clock::time_point start);
    // Sets how long the run or undo took, up to the time given.
    void Finish(std::chrono::system_clock::time_point end);
    // Records the roots (and whether it was stopped) of the run that has just ended.
    void RecordRun(std::string runSource, std::string runTarget, bool wasInterrupted);
    // Inserts a full target path into one list; its count grows only when the path was new.
    void Record(ReportList list, std::string path);
    // Inserts a full target path into one list of an undo; its count grows only when the path was new.
    void RecordUndo(UndoList list, std::string path);
    // Appends one problem record; its line is the kind's prefix followed by the path.
    void RecordProblem(ProblemKind kind, std::string_view path, std::string reason);
    // The lines of the problem log, in order.
    std::vector<std::string> ProblemLines() const;

    const PathSet& List(ReportList list) const;
    std::int32_t Count(ReportList list) const;
    const PathSet& List(UndoList list) const { return list == UndoList::Restored ? restored : trashed; }
    std::int32_t Count(UndoList list) const
    {
        return list == UndoList::Restored ? restoredCount : trashedCount;
    }
    // The entries of a list as a report's texts show them: an incomplete added folder with its mark.
    std::vector<std::string> MarkedList(ReportList list) const;
    // The mark an entry of addedFolders carries: incompleteMark, partlyCopiedMark, or none.
    std::string_view AddedFolderMark(const std::string& path) const;
    // The items an undo left alone: its problems of kind Undo, each with its reason, in order.
    std::vector<const ProblemRecord*> LeftAlone() const;
    // True when a "Last Report" can be shown: both roots are known.
    bool HasRun() const { return !source.empty() && !target.empty(); }
};

} // namespace twinfol
