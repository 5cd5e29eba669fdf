// The workers of a run: each takes the oldest piece of work, runs it outside the lock, and waits for
// more when there is none.
#include "base/work_pool.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace twinfol {

namespace {
constexpr unsigned mostDefaultWorkers = 8;
constexpr unsigned latencyBoundWorkers = 16;
thread_local WorkPool* poolOfThisThread = nullptr;
} // namespace

bool WorkPool::OnWorkerThread()
{
    return poolOfThisThread != nullptr;
}

WorkPool* WorkPool::OfThisThread()
{
    return poolOfThisThread;
}

WorkPool::Helping::Helping(WorkPool& pool) : previous_(std::exchange(poolOfThisThread, &pool)) {}

WorkPool::Helping::~Helping()
{
    poolOfThisThread = previous_;
}

std::size_t WorkerCountFor(int jobs, WorkBound bound)
{
    if (jobs > 0)
        return static_cast<std::size_t>(jobs);
    if (bound == WorkBound::Latency)
        return latencyBoundWorkers;
    return std::clamp(std::thread::hardware_concurrency(), 1u, mostDefaultWorkers);
}

WorkPool::WorkPool(std::size_t workers)
{
    threads_.reserve(workers);
    for (std::size_t index = 0; index < workers; ++index) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break; // The workers started so far do the work.
        }
    }
}

WorkPool::~WorkPool()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    arrived_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void WorkPool::Post(std::function<void()> work)
{
    if (threads_.empty()) {
        work(); // No worker could be started: the caller does the work itself.
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    arrived_.notify_one();
}

void WorkPool::Work()
{
    poolOfThisThread = this;
    std::unique_lock lock(mutex_);
    for (;;) {
        arrived_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty())
            return; // Ending, and nothing is left to do.
        std::function<void()> work = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        work();
        work = nullptr;
        lock.lock();
    }
}

WorkSplit::WorkSplit() : pool_(WorkPool::OfThisThread())
{
    // A pool without workers would hand every part straight back.
    if (pool_ != nullptr && pool_->WorkerCount() == 0)
        pool_ = nullptr;
    if (pool_ != nullptr)
        shared_ = std::make_shared<Shared>();
}

WorkSplit::~WorkSplit()
{
    Wait();
}

bool WorkSplit::RunIfUnclaimed(Shared& shared, Part& part)
{
    if (part.claimed.exchange(true, std::memory_order_acq_rel))
        return false;
    std::function<void()> work = std::move(part.work);
    work();
    work = nullptr;
    const std::lock_guard lock(shared.mutex);
    if (--shared.running == 0)
        shared.finished.notify_all();
    return true;
}

void WorkSplit::Split(std::function<void()> part)
{
    if (pool_ == nullptr) {
        part();
        return;
    }
    auto shared = std::make_shared<Part>();
    shared->work = std::move(part);
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->running;
    }
    parts_.push_back(shared);
    pool_->Post([group = shared_, shared] { RunIfUnclaimed(*group, *shared); });
}

void WorkSplit::Wait()
{
    if (pool_ == nullptr)
        return;
    // The newest parts are the ones the workers reach last.
    for (auto part = parts_.rbegin(); part != parts_.rend(); ++part)
        RunIfUnclaimed(*shared_, **part);
    parts_.clear();
    std::unique_lock lock(shared_->mutex);
    shared_->finished.wait(lock, [this] { return shared_->running == 0; });
}

} // namespace twinfol
