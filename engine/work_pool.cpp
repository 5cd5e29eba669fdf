// The workers of a run: each takes the oldest piece of work, runs it outside the lock, and waits for
// more when there is none.
#include "engine/work_pool.h"

#include <algorithm>
#include <system_error>

namespace twinfol {

namespace {
constexpr unsigned mostDefaultWorkers = 8;
thread_local bool onWorkerThread = false;
} // namespace

bool WorkPool::OnWorkerThread()
{
    return onWorkerThread;
}

std::size_t WorkerCountFor(int jobs)
{
    if (jobs > 0)
        return static_cast<std::size_t>(jobs);
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
    onWorkerThread = true;
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

} // namespace twinfol
