// The figures of a run's copies as the host shows them: files named in the target, and the bytes
// written by every copy, finished or under way, on whichever thread it runs. Each copy tells a tally
// of its own; the tallies add to the run's figures at once (atomics) and draw them, so the host sees
// what is on disk while the walk records its items in order, later.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/fs/fs_status.h"

#include "engine/records/copy_progress.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_report.h"

namespace twinfol {

class CopyFigures;

// An entry a tree copy left out, and why: whole paths, a folder's with its trailing separator.
struct NotCopiedEntry {
    std::string sourcePath;
    std::string targetPath;
    FsStatus why;
};

// What one copy told of its progress: the files and bytes it copied, for its record, and what it
// added to the run's figures meanwhile. Attached to the figures before the copy starts; the copy may
// run on any thread.
class CopyTally : public CopyProgress {
public:
    CopyTally() = default;
    // A tally moves only before its copy starts.
    CopyTally(CopyTally&& other) noexcept;
    CopyTally& operator=(CopyTally&&) = delete;

    void DataCopied(std::uint64_t copied, std::uint64_t size) override;
    void FileCopied(std::uint64_t size) override;
    void DataFilledAhead(std::int64_t bytes) override;
    void FilledFileCopied(std::uint64_t size) override;
    void CopyCutShort() override { cutShort = true; }
    void EntryNotCopied(const std::string& sourcePath, const std::string& targetPath,
                        const FsStatus& why) override
    {
        notCopied.push_back({sourcePath, targetPath, why});
    }
    bool FollowsChunks() const override { return followsChunks_; }

    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    // Whether a stop ended a tree copy with entries of it still uncopied.
    bool cutShort = false;
    // The entries a tree copy left out, in the order it met them.
    std::vector<NotCopiedEntry> notCopied;

private:
    friend class CopyFigures;

    CopyFigures* figures_ = nullptr;
    bool followsChunks_ = false;
    // What was told of the file being copied on the copy's own thread: a copy that failed leaves it
    // until the next file's first report, or until the record takes it back.
    std::uint64_t partial_ = 0;
    // Bytes told of files filled ahead that have no name yet, from the filling thread.
    std::atomic<std::int64_t> filledAhead_{0};
};

class CopyFigures : public CopyProgress {
public:
    // The files and bytes copied are kept in the report too.
    CopyFigures(SyncReport& report, SyncHost& host) : report_(report), host_(host) {}

    // Nothing copied yet.
    void BeginRun();
    // Takes back what a copy cut short on the engine thread left, and shows the final figures.
    void EndRun();

    // A copy of one file on the engine thread.
    void DataCopied(std::uint64_t copied, std::uint64_t size) override;
    void FileCopied(std::uint64_t size) override;
    bool FollowsChunks() const override { return host_.ShowsFileProgress(); }

    // Readies a tally for a copy on any thread; AddCopied keeps what it copied once the copy is
    // recorded, and takes back the data of what it left unfinished.
    void Attach(CopyTally& tally);
    void AddCopied(CopyTally& tally);

private:
    friend class CopyTally;

    // Called by the tallies, from their copies' threads.
    void AddBytes(std::int64_t bytes);
    void AddFile(std::int64_t unseenBytes);
    // Shows the figures; copied and size describe the file whose copy drew them, when one did.
    void Draw(std::uint64_t copied = 0, std::uint64_t size = 0);
    CopyCounters Snapshot(std::uint64_t copied, std::uint64_t size) const;
    // Takes back the data of a copy that ended without its file taking its name.
    void Retract(CopyTally& tally);

    SyncReport& report_;
    SyncHost& host_;
    CopyTally own_;
    std::atomic<std::uint64_t> files_{0};
    // Data of the files named and of the copies under way.
    std::atomic<std::int64_t> bytes_{0};
    // Copies with part of a file told on their own thread and no name yet.
    std::atomic<int> underWay_{0};
    // One drawing at a time, each from the figures as they stand then, so that what the host is shown
    // never goes back.
    std::mutex drawing_;
    CopyCounters drawn_;
};

} // namespace twinfol
