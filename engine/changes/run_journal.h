// The journal a run writes as it goes: records collect in a buffer that a background thread appends to
// the journal file at least once a second, and the rest at the end. A run that changes nothing writes
// no file; a killed run's file holds all but its last second.
#pragma once

#include <condition_variable>
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
    // The index records use for the trash folder; its line is written before the first such record.
    int FolderIndex(const TrashFolder& folder);
    // Writes everything buffered and stops the background writer; answers the first failure of the
    // journal, if any.
    FsStatus Finish();
    // The journal file; empty until the first record.
    const std::string& Path() const { return path_; }

private:
    FsStatus Create();
    void WriteOut();
    void Flusher();

    FileSystem& fileSystem_;
    std::string folder_;
    JournalHeader header_;
    WallClock clock_;
    std::string path_;
    bool started_ = false;
    std::vector<TrashFolder> folders_;
    // Guards the buffer, the failure and the flusher's state; writing holds writeMutex_ instead, so
    // that the run never waits for the disk when it adds a record.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string buffer_;
    FsStatus failure_;
    bool ending_ = false;
    std::mutex writeMutex_;
    std::thread flusher_;
};

} // namespace twinfol
