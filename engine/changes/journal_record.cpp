// Writing and reading journal lines. Fields are separated by tabs; a backslash, tab, line feed or
// carriage return inside a path is written as \\, \t, \n or \r, so that any name fits on one line.
// Records and folder lines end with a field "." of their own: a line that a killed run cut short lacks
// it, even when a later line end completes the line.
#include "engine/changes/journal_record.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <map>

#include "base/path.h"

namespace twinfol {
namespace {

constexpr std::string_view magicLine = "twinfol-journal 2";
constexpr std::string_view firstMagicLine = "twinfol-journal 1";
constexpr std::string_view lineEnd = "\t.\n";

struct EntryName {
    JournalEntry entry;
    std::string_view name;
};

constexpr std::array<EntryName, 5> entryNames = {{
    {JournalEntry::AddedFile, "added-file"},
    {JournalEntry::AddedFolder, "added-folder"},
    {JournalEntry::Overwritten, "overwritten"},
    {JournalEntry::DeletedFile, "deleted-file"},
    {JournalEntry::DeletedFolder, "deleted-folder"},
}};

void AppendEscaped(std::string& text, std::string_view field)
{
    for (const char c : field) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '\t': text += "\\t"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        default: text += c;
        }
    }
}

std::optional<std::string> Unescaped(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i]) {
        case '\\': text += '\\'; break;
        case 't': text += '\t'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        default: return std::nullopt;
        }
    }
    return text;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

template <typename Number> bool ReadNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

void AppendField(std::string& text, std::string_view field)
{
    text += '\t';
    AppendEscaped(text, field);
}

} // namespace

TrashedItem Journal::ItemOf(const JournalRecord& record) const
{
    TrashedItem item;
    if (record.trashFolder >= 0 && static_cast<std::size_t>(record.trashFolder) < trashFolders.size())
        item.folder = trashFolders[static_cast<std::size_t>(record.trashFolder)];
    item.name = record.trashName;
    item.deletionDate = record.deletionDate;
    item.realPath = header.target + record.relativePath;
    item.identity = record.identity;
    return item;
}

std::string FormatJournalHeader(const JournalHeader& header)
{
    std::string text(magicLine);
    text += header.kind == JournalKind::Run ? "\nkind\trun" : "\nkind\tundo";
    text += "\nsource";
    AppendField(text, header.source);
    text += "\ntarget";
    AppendField(text, header.target);
    text += header.useTrash ? "\ntrash\ton" : "\ntrash\toff";
    text += "\nstarted\t" + std::to_string(header.started) + "\n";
    return text;
}

std::string FormatTrashFolderLine(int index, const TrashFolder& folder)
{
    std::string text = "folder\t" + std::to_string(index);
    AppendField(text, folder.path);
    AppendField(text, folder.topFolder);
    text += lineEnd;
    return text;
}

namespace {

void AppendNumbers(std::string& text, std::initializer_list<std::int64_t> numbers)
{
    for (const std::int64_t number : numbers)
        text += '\t' + std::to_string(number);
}

void AppendTrashReference(std::string& text, int trashFolder, const std::string& trashName)
{
    text += '\t' + std::to_string(trashFolder);
    AppendField(text, trashName);
}

void AppendIdentity(std::string& text, const TrashedIdentity& id)
{
    AppendNumbers(text, {static_cast<std::int64_t>(id.device), static_cast<std::int64_t>(id.inode), id.owner,
                         id.size, id.modifiedSeconds, id.modifiedNanoseconds});
}

} // namespace

void AppendJournalRecord(std::string& text, const JournalRecord& record)
{
    for (const EntryName& name : entryNames)
        if (name.entry == record.entry)
            text += name.name;
    AppendField(text, record.relativePath);
    if (record.entry == JournalEntry::AddedFile)
        AppendNumbers(text, {record.modifiedSeconds, record.modifiedNanoseconds, record.size});
    else if (record.entry == JournalEntry::AddedFolder)
        AppendNumbers(text, {record.modifiedSeconds, record.modifiedNanoseconds, record.recordedAt});
    if (record.WentToTrash()) {
        AppendTrashReference(text, record.trashFolder, record.trashName);
        AppendField(text, record.deletionDate);
        AppendIdentity(text, record.identity);
    }
    text += lineEnd;
}

void AppendReplacedLine(std::string& text, const JournalRecord& record)
{
    text += "replaced";
    AppendTrashReference(text, record.trashFolder, record.trashName);
    AppendNumbers(text, {record.modifiedSeconds, record.modifiedNanoseconds, record.size});
    text += lineEnd;
}

void AppendMovedAsLine(std::string& text, int trashFolder, const TrashedItem& item)
{
    text += "moved-as";
    AppendTrashReference(text, trashFolder, item.name);
    AppendIdentity(text, item.identity);
    text += lineEnd;
}

void AppendMoveUndoneLine(std::string& text, int trashFolder, const std::string& trashName)
{
    text += "not-moved";
    AppendTrashReference(text, trashFolder, trashName);
    text += lineEnd;
}

namespace {

bool ReadTrashReference(const std::vector<std::string_view>& fields, std::size_t at, JournalRecord& record)
{
    if (fields.size() < at + 3 || !ReadNumber(fields[at], record.trashFolder) || record.trashFolder < 0)
        return false;
    std::optional<std::string> name = Unescaped(fields[at + 1]);
    std::optional<std::string> date = Unescaped(fields[at + 2]);
    if (!name || !date || name->empty())
        return false;
    record.trashName = std::move(*name);
    record.deletionDate = std::move(*date);
    return true;
}

bool ReadIdentity(const std::vector<std::string_view>& fields, std::size_t at, TrashedIdentity& id)
{
    id.known = fields.size() == at + 6 && ReadNumber(fields[at], id.device) &&
               ReadNumber(fields[at + 1], id.inode) && ReadNumber(fields[at + 2], id.owner) &&
               ReadNumber(fields[at + 3], id.size) && ReadNumber(fields[at + 4], id.modifiedSeconds) &&
               ReadNumber(fields[at + 5], id.modifiedNanoseconds);
    return id.known;
}

// Reads the stamps an added or (first version) overwritten item's record starts with; answers the
// index of the field after them, or 0.
std::size_t ReadStamps(JournalEntry entry, int version, const std::vector<std::string_view>& fields,
                       JournalRecord& record)
{
    const bool sized =
        entry == JournalEntry::AddedFile || (version == 1 && entry == JournalEntry::Overwritten);
    const bool timed = version > 1 && entry == JournalEntry::AddedFolder;
    const std::size_t after = sized || timed ? 5 : 4;
    if (fields.size() < after || !ReadNumber(fields[2], record.modifiedSeconds) ||
        !ReadNumber(fields[3], record.modifiedNanoseconds) ||
        (sized && !ReadNumber(fields[4], record.size)) ||
        (timed && !ReadNumber(fields[4], record.recordedAt)))
        return 0;
    return after;
}

std::optional<JournalRecord> ParseRecord(JournalEntry entry, int version,
                                         const std::vector<std::string_view>& fields)
{
    JournalRecord record;
    record.entry = entry;
    std::optional<std::string> path = fields.size() > 1 ? Unescaped(fields[1]) : std::nullopt;
    if (!path || path->empty())
        return std::nullopt;
    record.relativePath = std::move(*path);
    std::size_t at = 2;
    const bool added = entry == JournalEntry::AddedFile || entry == JournalEntry::AddedFolder;
    if (added || (version == 1 && entry == JournalEntry::Overwritten))
        if (at = ReadStamps(entry, version, fields, record); at == 0)
            return std::nullopt;
    if (added)
        return fields.size() == at ? std::optional(std::move(record)) : std::nullopt;
    if (!ReadTrashReference(fields, at, record))
        return std::nullopt;
    if (version == 1)
        return fields.size() == at + 3 ? std::optional(std::move(record)) : std::nullopt;
    if (!ReadIdentity(fields, at + 3, record.identity))
        return std::nullopt;
    // An overwrite's replacement is told by a later line.
    record.replaced = entry != JournalEntry::Overwritten;
    return record;
}

// The records by their trash folder and name, for the lines that complete or cancel one.
using RecordsByTrashName = std::map<std::pair<int, std::string>, std::size_t>;

void ReadFollowUpLine(const std::vector<std::string_view>& fields, const RecordsByTrashName& byName,
                      Journal& journal, std::vector<bool>& cancelled)
{
    int folder = -1;
    const std::optional<std::string> name = fields.size() > 2 ? Unescaped(fields[2]) : std::nullopt;
    if (!name || !ReadNumber(fields[1], folder))
        return;
    const auto found = byName.find({folder, *name});
    if (found == byName.end())
        return;
    JournalRecord& record = journal.records[found->second];
    if (fields[0] == "not-moved" && fields.size() == 3) {
        cancelled[found->second] = true;
    } else if (fields[0] == "moved-as") {
        TrashedIdentity identity;
        if (ReadIdentity(fields, 3, identity))
            record.identity = identity;
    } else if (fields[0] == "replaced" && fields.size() == 6 && record.entry == JournalEntry::Overwritten) {
        record.replaced = ReadNumber(fields[3], record.modifiedSeconds) &&
                          ReadNumber(fields[4], record.modifiedNanoseconds) &&
                          ReadNumber(fields[5], record.size);
    }
}

void ReadHeaderLine(const std::vector<std::string_view>& fields, Journal& journal)
{
    JournalHeader& header = journal.header;
    const std::string_view key = fields[0];
    if (fields.size() == 2 && key == "kind")
        header.kind = fields[1] == "undo" ? JournalKind::Undo : JournalKind::Run;
    else if (fields.size() == 2 && key == "source")
        header.source = Unescaped(fields[1]).value_or(std::string());
    else if (fields.size() == 2 && key == "target")
        header.target = Unescaped(fields[1]).value_or(std::string());
    else if (fields.size() == 2 && key == "trash")
        header.useTrash = fields[1] == "on";
    else if (fields.size() == 2 && key == "started")
        (void)ReadNumber(fields[1], header.started);
    else if (fields.size() == 4 && key == "folder") {
        std::size_t index = 0;
        std::optional<std::string> path = Unescaped(fields[2]);
        std::optional<std::string> top = Unescaped(fields[3]);
        if (ReadNumber(fields[1], index) && index == journal.trashFolders.size() && path && top)
            journal.trashFolders.push_back({std::move(*path), std::move(*top)});
    } else if (key == "undone") {
        journal.undone = true;
    }
}

} // namespace

std::optional<Journal> ParseJournal(std::string_view text)
{
    Journal journal;
    if (text.starts_with(std::string(firstMagicLine) + "\n"))
        journal.version = 1;
    else if (!text.starts_with(std::string(magicLine) + "\n"))
        return std::nullopt;
    text.remove_prefix(magicLine.size() + 1);
    RecordsByTrashName byName;
    std::vector<bool> cancelled;
    // Only complete lines count: a killed run may have cut its last one short.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (line.empty())
            continue;
        std::vector<std::string_view> fields = SplitFields(line);
        const bool complete = fields.size() > 1 && fields.back() == ".";
        if (complete)
            fields.pop_back();
        const auto named = std::find_if(entryNames.begin(), entryNames.end(),
                                        [&](const EntryName& name) { return name.name == fields[0]; });
        if (named == entryNames.end()) {
            if (complete && (fields[0] == "replaced" || fields[0] == "not-moved" || fields[0] == "moved-as"))
                ReadFollowUpLine(fields, byName, journal, cancelled);
            else if (complete || fields[0] != "folder")
                ReadHeaderLine(fields, journal);
        } else if (!complete) {
            continue;
        } else if (std::optional<JournalRecord> record = ParseRecord(named->entry, journal.version, fields)) {
            const bool knownFolder = !record->WentToTrash() || static_cast<std::size_t>(record->trashFolder) <
                                                                   journal.trashFolders.size();
            if (!knownFolder)
                continue;
            if (record->WentToTrash())
                byName[{record->trashFolder, record->trashName}] = journal.records.size();
            journal.records.push_back(std::move(*record));
            cancelled.push_back(false);
        }
    }
    if (journal.header.target.empty())
        return std::nullopt;
    std::size_t kept = 0;
    for (std::size_t index = 0; index < journal.records.size(); ++index) {
        if (cancelled[index])
            continue;
        if (kept != index)
            journal.records[kept] = std::move(journal.records[index]);
        ++kept;
    }
    journal.records.resize(kept);
    return journal;
}

} // namespace twinfol
