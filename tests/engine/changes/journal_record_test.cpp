// The journal's text: any name survives the round trip, and a journal cut short by a killed run reads
// up to its last complete line.
#include <gtest/gtest.h>

#include "engine/changes/journal_record.h"

namespace twinfol {
namespace {

std::string SampleJournal(std::vector<JournalRecord>& records)
{
    const JournalHeader header{JournalKind::Run, "/src\t/", "/media/stick/dst\\new\nline/", true, 1700000000};
    std::string text = FormatJournalHeader(header);
    text += FormatTrashFolderLine(0, {"/home/me/.local/share/Trash/", ""});
    text += FormatTrashFolderLine(1, {"/media/stick/.Trash-1000/", "/media/stick/"});
    JournalRecord added{JournalEntry::AddedFile, "a\tb\\c\r\nd", 1700000001, 5, 42, -1, {}, {}};
    JournalRecord folder{JournalEntry::AddedFolder, "new folder", 1700000002, 0, 0, -1, {}, {}};
    JournalRecord over{JournalEntry::Overwritten, "sub/over.txt", 1700000003, 999999999, 7, 1, "over.2.txt",
                       "2023-11-14T11:00:00"};
    JournalRecord gone{JournalEntry::DeletedFolder, "gone", 0, 0, 0, 0, "gone", "2023-11-14T11:00:01"};
    records = {added, folder, over, gone};
    for (const JournalRecord& record : records)
        AppendJournalRecord(text, record);
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
    // Cut inside the last record (even in its last field): it is left out, the ones before it stand.
    const std::optional<Journal> cut = ParseJournal(text.substr(0, text.size() - 3));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->records.size(), records.size() - 1);
    // The undo mark starts with a line end of its own, so it stands even after a cut line.
    const std::optional<Journal> marked =
        ParseJournal(text.substr(0, text.size() - 3) + std::string(journalUndoneMark));
    ASSERT_TRUE(marked);
    EXPECT_TRUE(marked->undone);
    EXPECT_EQ(marked->records.size(), records.size() - 1);
    // Lines that cannot be read, and records naming a trash folder never declared, are left out.
    const std::optional<Journal> damaged =
        ParseJournal(text + "deleted-file\tx\t7\tx\tdate\t.\noverwritten\tno-number\t.\nmystery\tline\n");
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->records.size(), records.size());
    EXPECT_FALSE(ParseJournal("not a journal\n" + text));
    EXPECT_FALSE(ParseJournal(text.substr(0, 30)));
}

} // namespace
} // namespace twinfol
