// The journal a run writes as it goes. The record of a move into the Trash is written before the move
// (RecordAhead), so that a killed run's journal names everything that reached the Trash; other records
// collect in a buffer that goes out with the next such record, or from a background thread at least
// once a second, which also puts what was written on the disk. A run that changes nothing writes no
// file.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/changes/journal_record.h"
#include "engine/changes/trash_can.h"
#include "engine/fs/file_system.h"

namespace twinfol {

class RunJournal {
public:
    // The file goes into the folder (made when missing), named after the header's target and the
    // clock's time at the first record.
    RunJournal(FileSystem& fileSystem, std::string folder, JournalHeader header, WallClock clock);
    // Writes what is still buffered.
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    void Record(const JournalRecord& record);
    // Writes the record, and everything buffered before it, to the journal file before it returns.
    void RecordAhead(const JournalRecord& record);
    // Gives an overwrite's record (by its trash name) the stamps of its replacement, written to the
    // journal file before it returns.
    void RecordReplaced(const JournalRecord& record);
    // Gives a trashed item's record the identity it shows in the Trash.
    void RecordMovedAs(const TrashedItem& item);
    // Says that a move recorded ahead did not happen after all.
    void RecordNotMoved(const TrashedItem& item);
    // The index records use for the trash folder; its line is written before the first such record.
    int FolderIndex(const TrashFolder& folder);
    // Writes everything buffered and stops the background writer; answers the first failure of the
    // journal, if any.
    FsStatus Finish();
    // The journal file; empty until the first record.
    const std::string& Path() const { return path_; }

private:
    FsStatus Create();
    void Start();
    void WriteOut(bool sync);
    void Flusher();

    FileSystem& fileSystem_;
    std::string folder_;
    JournalHeader header_;
    WallClock clock_;
    std::string path_;
    std::unique_ptr<AppendOnlyFile> file_;
    std::once_flag started_;
    bool unsynced_ = false;
    // Guards the trash folders, the buffer, the failure and the flusher's state; writing holds
    // writeMutex_ instead, so that the run never waits for the disk when it adds a record.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<TrashFolder> folders_;
    std::string buffer_;
    FsStatus failure_;
    bool ending_ = false;
    std::mutex writeMutex_;
    std::thread flusher_;
};

} // namespace twinfol
