// The run journal's content: what one run did to its target, item by item, in a text of tab-separated
// lines that a killed run leaves readable up to its last complete line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/changes/trash_can.h"

namespace twinfol {

enum class JournalKind { Run, Undo };

enum class JournalEntry { AddedFile, AddedFolder, Overwritten, DeletedFile, DeletedFolder };

// Who wrote the journal and for which folders.
struct JournalHeader {
    JournalKind kind = JournalKind::Run;
    std::string source;
    // The target's absolute path, links resolved, ending with the separator.
    std::string target;
    bool useTrash = false;
    // Seconds since 1970 when the run started.
    std::int64_t started = 0;
};

struct JournalRecord {
    JournalEntry entry = JournalEntry::AddedFile;
    // Below the target; a folder without its trailing separator.
    std::string relativePath;
    // An added or overwritten item as the run left it, so that a later change to it can be told.
    std::int64_t modifiedSeconds = 0;
    std::uint32_t modifiedNanoseconds = 0;
    std::int64_t size = 0;
    // Where an overwritten file's old content or a deleted item went: an index into the journal's
    // trash folders, the name in that folder and the info file's deletion date.
    int trashFolder = -1;
    std::string trashName;
    std::string deletionDate;
    // What the trashed item was when it went; unknown in journals of the first version.
    TrashedIdentity identity;
    // An overwrite's record is written before the old content goes to the Trash, and its replacement's
    // stamps (above) follow once the copy is in place: without them (a killed run) the replacement is
    // not known.
    bool replaced = true;
    // When an added folder's record was made, in nanoseconds since 1970: whatever inside it changed
    // later is not the run's. 0 where the journal does not say.
    std::int64_t recordedAt = 0;

    bool WentToTrash() const { return trashFolder >= 0; }
};

struct Journal {
    // 1 for journals written before moves were recorded ahead of them; those say too little for an
    // undo to prove what it takes back.
    int version = 2;
    JournalHeader header;
    std::vector<TrashFolder> trashFolders;
    std::vector<JournalRecord> records;
    // An undo has already been done for this run.
    bool undone = false;

    // The trashed item a record names, its original path taken below the header's target.
    TrashedItem ItemOf(const JournalRecord& record) const;
};

// The lines that open a journal.
std::string FormatJournalHeader(const JournalHeader& header);
// The line that names a trash folder the records after it refer to by its index.
std::string FormatTrashFolderLine(int index, const TrashFolder& folder);
void AppendJournalRecord(std::string& text, const JournalRecord& record);
// The line that gives an overwrite's record the stamps of its replacement.
void AppendReplacedLine(std::string& text, const JournalRecord& record);
// The line that gives a trashed item's record the identity the item shows in the Trash.
void AppendMovedAsLine(std::string& text, int trashFolder, const TrashedItem& item);
// The line that says a move recorded ahead did not happen (it failed, or was taken back).
void AppendMoveUndoneLine(std::string& text, int trashFolder, const std::string& trashName);
// The line that marks a run as undone; it starts with a line end, since a killed run may have left its
// last line unfinished.
inline constexpr std::string_view journalUndoneMark = "\nundone\n";

// Reads a journal; nothing when the text does not start like one. Lines that cannot be read (an
// unfinished last line of a killed run) are left out.
std::optional<Journal> ParseJournal(std::string_view text);

} // namespace twinfol
