// Writing a run journal: one file per run, created exclusively and kept open for its appends.
#include "engine/changes/run_journal.h"

#include <cerrno>

#include "engine/changes/journal_folder.h"

namespace twinfol {
namespace {

constexpr auto flushInterval = std::chrono::seconds(1);
constexpr mode_t privateFolder = 0700;
constexpr mode_t privateFile = 0600;

} // namespace

RunJournal::RunJournal(FileSystem& fileSystem, std::string folder, JournalHeader header, WallClock clock)
    : fileSystem_(fileSystem), folder_(std::move(folder)), header_(std::move(header)), clock_(clock)
{
}

RunJournal::~RunJournal()
{
    (void)Finish();
}

FsStatus RunJournal::Create()
{
    if (FsStatus made = fileSystem_.MakeFolders(folder_, privateFolder); !made)
        return made;
    const std::string key = JournalKey(header_.target);
    auto started = clock_();
    // Two runs into one target within the same nanosecond are not to be expected, but a taken name
    // is never written over.
    for (int attempt = 0; attempt < 16; ++attempt, started += std::chrono::nanoseconds(1)) {
        path_ = folder_ + JournalFileName(key, started);
        const FsStatus created =
            fileSystem_.CreateAppendOnlyFile(path_, FormatJournalHeader(header_), privateFile, file_);
        if (created || created.Error() != EEXIST)
            return created;
    }
    return FsStatus::Refusal(EEXIST, "no free name for the run journal");
}

void RunJournal::Start()
{
    // Records come from the workers as well as from the engine thread; the first of them makes the file.
    std::call_once(started_, [this] {
        if (FsStatus created = Create(); !created) {
            const std::lock_guard lock(mutex_);
            failure_ = created;
            path_.clear();
        } else {
            flusher_ = std::thread(&RunJournal::Flusher, this);
        }
    });
}

void RunJournal::Record(const JournalRecord& record)
{
    Start();
    const std::lock_guard lock(mutex_);
    if (!failure_)
        return;
    AppendJournalRecord(buffer_, record);
}

void RunJournal::RecordAhead(const JournalRecord& record)
{
    Record(record);
    WriteOut(false);
}

void RunJournal::RecordReplaced(const JournalRecord& record)
{
    {
        const std::lock_guard lock(mutex_);
        if (failure_)
            AppendReplacedLine(buffer_, record);
    }
    // Written at once: until this line is in the file, an undo after a kill cannot tell the new content
    // from a person's later work, and leaves the old content in the Trash.
    WriteOut(false);
}

void RunJournal::RecordMovedAs(const TrashedItem& item)
{
    const int folder = FolderIndex(item.folder);
    const std::lock_guard lock(mutex_);
    if (failure_)
        AppendMovedAsLine(buffer_, folder, item);
}

void RunJournal::RecordNotMoved(const TrashedItem& item)
{
    const int folder = FolderIndex(item.folder);
    const std::lock_guard lock(mutex_);
    if (failure_)
        AppendMoveUndoneLine(buffer_, folder, item.name);
}

int RunJournal::FolderIndex(const TrashFolder& folder)
{
    const std::lock_guard lock(mutex_);
    for (std::size_t index = 0; index < folders_.size(); ++index)
        if (folders_[index] == folder)
            return static_cast<int>(index);
    folders_.push_back(folder);
    const int index = static_cast<int>(folders_.size() - 1);
    buffer_ += FormatTrashFolderLine(index, folder);
    return index;
}

void RunJournal::WriteOut(bool sync)
{
    const std::lock_guard writing(writeMutex_);
    std::string text;
    {
        const std::lock_guard lock(mutex_);
        if (!failure_ || !file_)
            return;
        text.swap(buffer_);
    }
    FsStatus written;
    if (!text.empty()) {
        written = file_->Append(text);
        unsynced_ = true;
    }
    // The syncs are batched: a kill loses nothing once the write returned, and only a power cut waits
    // for the next one.
    if (written && sync && unsynced_) {
        written = file_->Sync();
        unsynced_ = false;
    }
    const std::lock_guard lock(mutex_);
    if (!written && failure_)
        failure_ = written;
}

void RunJournal::Flusher()
{
    std::unique_lock lock(mutex_);
    while (!ending_) {
        wake_.wait_for(lock, flushInterval, [this] { return ending_; });
        lock.unlock();
        WriteOut(true);
        lock.lock();
    }
}

FsStatus RunJournal::Finish()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (flusher_.joinable())
        flusher_.join();
    WriteOut(true);
    {
        const std::lock_guard writing(writeMutex_);
        file_.reset();
    }
    const std::lock_guard lock(mutex_);
    return failure_;
}

} // namespace twinfol
