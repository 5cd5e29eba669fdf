// The journal's text: any name survives the round trip, and a journal cut short by a killed run reads
// up to its last complete line.
#include <gtest/gtest.h>

#include "engine/changes/journal_record.h"

namespace twinfol {
namespace {

JournalRecord Added(JournalEntry entry, std::string path, std::int64_t seconds, std::uint32_t nanoseconds,
                    std::int64_t sizeOrTime)
{
    JournalRecord record;
    record.entry = entry;
    record.relativePath = std::move(path);
    record.modifiedSeconds = seconds;
    record.modifiedNanoseconds = nanoseconds;
    (entry == JournalEntry::AddedFolder ? record.recordedAt : record.size) = sizeOrTime;
    return record;
}

JournalRecord Trashed(JournalEntry entry, std::string path, int folder, std::string name, std::string date)
{
    JournalRecord record;
    record.entry = entry;
    record.relativePath = std::move(path);
    record.trashFolder = folder;
    record.trashName = std::move(name);
    record.deletionDate = std::move(date);
    record.identity = {true, 2049, std::uint64_t{1} << 40, 1000, 77, 1600000000, 123};
    return record;
}

std::string SampleJournal(std::vector<JournalRecord>& records)
{
    const JournalHeader header{JournalKind::Run, "/src\t/", "/media/stick/dst\\new\nline/", true, 1700000000};
    std::string text = FormatJournalHeader(header);
    text += FormatTrashFolderLine(0, {"/home/me/.local/share/Trash/", ""});
    text += FormatTrashFolderLine(1, {"/media/stick/.Trash-1000/", "/media/stick/"});
    JournalRecord added = Added(JournalEntry::AddedFile, "a\tb\\c\r\nd", 1700000001, 5, 42);
    JournalRecord folder = Added(JournalEntry::AddedFolder, "new folder", 1700000002, 0, 1700000009);
    JournalRecord over =
        Trashed(JournalEntry::Overwritten, "sub/over.txt", 1, "over.2.txt", "2023-11-14T11:00:00");
    JournalRecord gone = Trashed(JournalEntry::DeletedFolder, "gone", 0, "gone", "2023-11-14T11:00:01");
    records = {added, folder, over, gone};
    for (const JournalRecord& record : records)
        AppendJournalRecord(text, record);
    // The overwrite's replacement, told once its copy was in place.
    records[2].modifiedSeconds = 1700000003;
    records[2].modifiedNanoseconds = 999999999;
    records[2].size = 7;
    AppendReplacedLine(text, records[2]);
    return text;
}

void ExpectSame(const JournalRecord& read, const JournalRecord& written)
{
    EXPECT_EQ(read.entry, written.entry);
    EXPECT_EQ(read.relativePath, written.relativePath);
    EXPECT_EQ(read.modifiedSeconds, written.modifiedSeconds);
    EXPECT_EQ(read.modifiedNanoseconds, written.modifiedNanoseconds);
    EXPECT_EQ(read.size, written.size);
    EXPECT_EQ(read.trashFolder, written.trashFolder);
    EXPECT_EQ(read.trashName, written.trashName);
    EXPECT_EQ(read.deletionDate, written.deletionDate);
    EXPECT_EQ(read.recordedAt, written.recordedAt);
    EXPECT_EQ(read.identity.known, written.identity.known);
    EXPECT_EQ(read.identity.device, written.identity.device);
    EXPECT_EQ(read.identity.inode, written.identity.inode);
    EXPECT_EQ(read.identity.owner, written.identity.owner);
    EXPECT_EQ(read.identity.size, written.identity.size);
    EXPECT_EQ(read.identity.modifiedSeconds, written.identity.modifiedSeconds);
    EXPECT_EQ(read.identity.modifiedNanoseconds, written.identity.modifiedNanoseconds);
    EXPECT_TRUE(read.replaced);
}

TEST(JournalRecord, EveryFieldAndAnyNameReadsBackAsWritten)
{
    std::vector<JournalRecord> records;
    const std::optional<Journal> journal = ParseJournal(SampleJournal(records));
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->header.source, "/src\t/");
    EXPECT_EQ(journal->header.target, "/media/stick/dst\\new\nline/");
    EXPECT_TRUE(journal->header.useTrash);
    EXPECT_EQ(journal->header.started, 1700000000);
    EXPECT_FALSE(journal->undone);
    ASSERT_EQ(journal->records.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        ExpectSame(journal->records[i], records[i]);
    const TrashedItem item = journal->ItemOf(journal->records[2]);
    EXPECT_EQ(item.FilesPath(), "/media/stick/.Trash-1000/files/over.2.txt");
    EXPECT_EQ(item.InfoText(),
              "[Trash Info]\nPath=dst%5Cnew%0Aline/sub/over.txt\nDeletionDate=2023-11-14T11:00:00\n");
}

TEST(JournalRecord, AKilledRunsJournalReadsToItsLastCompleteLineAndAnUndoMarksItDone)
{
    std::vector<JournalRecord> records;
    const std::string text = SampleJournal(records);
    // Cut inside the last line (even in its last field): it is left out, the ones before it stand. The
    // last line is the overwrite's replacement, so that overwrite's replacement is not known.
    const std::optional<Journal> cut = ParseJournal(text.substr(0, text.size() - 3));
    ASSERT_TRUE(cut);
    ASSERT_EQ(cut->records.size(), records.size());
    EXPECT_FALSE(cut->records[2].replaced);
    EXPECT_TRUE(cut->records[3].replaced);
    // The undo mark starts with a line end of its own, so it stands even after a cut line.
    const std::optional<Journal> marked =
        ParseJournal(text.substr(0, text.size() - 3) + std::string(journalUndoneMark));
    ASSERT_TRUE(marked);
    EXPECT_TRUE(marked->undone);
    EXPECT_EQ(marked->records.size(), records.size());
    // Lines that cannot be read, and records naming a trash folder never declared, are left out.
    const std::optional<Journal> damaged =
        ParseJournal(text + "deleted-file\tx\t7\tx\tdate\t1\t2\t3\t4\t5\t6\t.\n"
                            "deleted-file\ty\t0\ty\tdate\t.\noverwritten\tno-number\t.\nmystery\tline\n");
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->records.size(), records.size());
    EXPECT_FALSE(ParseJournal("not a journal\n" + text));
    EXPECT_FALSE(ParseJournal(text.substr(0, 30)));
}

TEST(JournalRecord, AMoveRecordedAheadIsCancelledWhenItDidNotHappenAndAnOverwriteWaitsForItsReplacement)
{
    const JournalHeader header{JournalKind::Run, "/s/", "/t/", true, 1700000000};
    std::string text = FormatJournalHeader(header) + FormatTrashFolderLine(0, {"/h/Trash/", ""});
    AppendJournalRecord(text, Trashed(JournalEntry::DeletedFile, "kept", 0, "kept", "d"));
    AppendJournalRecord(text, Trashed(JournalEntry::DeletedFile, "failed", 0, "failed", "d"));
    AppendJournalRecord(text, Trashed(JournalEntry::Overwritten, "cut", 0, "cut", "d"));
    AppendMoveUndoneLine(text, 0, "failed");
    // A follow-up line for a name no record has is no record either.
    AppendMoveUndoneLine(text, 0, "unknown");
    const std::optional<Journal> journal = ParseJournal(text);
    ASSERT_TRUE(journal);
    ASSERT_EQ(journal->records.size(), 2u);
    EXPECT_EQ(journal->records[0].relativePath, "kept");
    EXPECT_TRUE(journal->records[0].replaced);
    EXPECT_EQ(journal->records[1].relativePath, "cut");
    EXPECT_FALSE(journal->records[1].replaced);
}

TEST(JournalRecord, AJournalOfTheFirstVersionReadsWithoutIdentities)
{
    const std::string text = "twinfol-journal 1\nkind\trun\nsource\t/s/\ntarget\t/t/\ntrash\ton\nstarted\t5\n"
                             "folder\t0\t/h/Trash/\t\t.\n"
                             "overwritten\tf\t1\t2\t3\t0\tf\tdate\t.\n"
                             "added-folder\tnew\t1\t2\t.\n";
    const std::optional<Journal> journal = ParseJournal(text);
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->version, 1);
    ASSERT_EQ(journal->records.size(), 2u);
    EXPECT_EQ(journal->records[0].size, 3);
    EXPECT_EQ(journal->records[0].trashName, "f");
    EXPECT_FALSE(journal->records[0].identity.known);
    EXPECT_EQ(journal->records[1].entry, JournalEntry::AddedFolder);
}

} // namespace
} // namespace twinfol
