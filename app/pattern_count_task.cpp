// The pattern counts' threads and the hand-over of their figures to the window thread.
#include "app/pattern_count_task.h"

namespace twinfol {

PatternCountTask::PatternCountTask(FileSystem& fileSystem, std::vector<std::string> folders, QObject* parent)
    : QObject(parent), fileSystem_(fileSystem), folders_(std::move(folders))
{
}

// Each thread's destructor asks it to stop and joins it; they end at their next entry. They go before
// the QObject, which drops any figures they posted and that were not yet delivered.
PatternCountTask::~PatternCountTask()
{
    for (Worker& worker : workers_)
        worker.thread.request_stop();
    workers_.clear();
}

void PatternCountTask::Start(std::vector<IgnorePattern> patterns)
{
    JoinEnded();
    for (Worker& worker : workers_)
        worker.thread.request_stop();
    const std::uint64_t generation = ++generation_;
    counting_ = true;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread([this, generation, done, patterns = std::move(patterns)](std::stop_token stop) {
        PatternMatchCounts counts =
            CountPatternMatches(fileSystem_, folders_, patterns, patternCountEntryLimit, stop);
        if (!stop.stop_requested())
            QMetaObject::invokeMethod(
                this, [this, generation, counts = std::move(counts)] { Deliver(generation, counts); },
                Qt::QueuedConnection);
        done->store(true);
    });
    workers_.push_back({std::move(thread), std::move(done)});
}

void PatternCountTask::Deliver(std::uint64_t generation, PatternMatchCounts counts)
{
    if (generation != generation_)
        return;
    counting_ = false;
    emit Counted(counts);
}

void PatternCountTask::JoinEnded()
{
    workers_.remove_if([](const Worker& worker) { return worker.done->load(); });
}

} // namespace twinfol
