// The figures of a run's copies as the host shows them: files and bytes copied, and where the copies
// under way stand. Copies on the engine thread tell them directly; a worker's copy tells a tally of
// its own, which reaches the figures once the copy is recorded in its place in the walk.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/records/copy_progress.h"
#include "engine/records/sync_host.h"
#include "engine/records/sync_report.h"

namespace twinfol {

// What a worker's copy told of its progress. The chunks of a file's data never reach the host from the
// worker: where the host shows them, the tally adds them to the run's bytes in flight, which the
// engine thread shows while it waits for the workers.
class CopyTally : public CopyProgress {
public:
    void DataCopied(std::uint64_t copied, std::uint64_t size) override;
    bool FollowsChunks() const override { return inFlight != nullptr; }
    void FileCopied(std::uint64_t size) override;
    // What the tally added to the bytes in flight, which its record takes back.
    std::uint64_t InFlight() const { return reported_; }

    // The run's bytes in flight; none when the host does not show a file's progress.
    std::atomic<std::uint64_t>* inFlight = nullptr;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;

private:
    // The chunks told of the files finished, and of all files so far.
    std::uint64_t finished_ = 0;
    std::uint64_t reported_ = 0;
};

class CopyFigures : public CopyProgress {
public:
    // The files and bytes copied are kept in the report too.
    CopyFigures(SyncReport& report, SyncHost& host) : report_(report), host_(host) {}

    // Nothing copied yet.
    void BeginRun() { copies_ = {}; }
    const CopyCounters& Counters() const { return copies_; }

    // A copy on the engine thread.
    void DataCopied(std::uint64_t copied, std::uint64_t size) override;
    void FileCopied(std::uint64_t size) override;
    bool FollowsChunks() const override { return host_.ShowsFileProgress(); }

    // Readies a tally for a copy on a worker; AddCopied counts what it told once the copy is recorded.
    void Attach(CopyTally& tally) { tally.inFlight = InFlightCounter(); }
    void AddCopied(const CopyTally& tally);
    // What the engine thread does while it waits for the workers: shows the bytes their copies have
    // written so far (nothing when the host shows no file's progress).
    std::function<void()> WhileWaiting();

private:
    std::atomic<std::uint64_t>* InFlightCounter();
    void ShowBytesInFlight();

    SyncReport& report_;
    SyncHost& host_;
    CopyCounters copies_;
    // The chunks of the files the workers are copying, told so far and not yet recorded.
    std::atomic<std::uint64_t> bytesInFlight_{0};
};

} // namespace twinfol
