// The background closing of descriptors, on threads started when the first one is handed over.
#include "engine/posix/deferred_closer.h"

#include <unistd.h>

#include <system_error>

namespace twinfol {

DeferredCloser::~DeferredCloser()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    workArrived_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    // Without threads (none could be started) whatever is left is closed here.
    for (const int fd : pending_)
        ::close(fd);
}

void DeferredCloser::Close(int fd)
{
    std::unique_lock lock(mutex_);
    if (threads_.size() < threadCount) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // No thread to spare: closing here is slower but just as correct.
            if (threads_.empty()) {
                lock.unlock();
                ::close(fd);
                return;
            }
        }
    }
    progressed_.wait(lock, [this] { return pending_.size() < mostPending; });
    pending_.push_back(fd);
    lock.unlock();
    workArrived_.notify_one();
}

bool DeferredCloser::Drain()
{
    std::unique_lock lock(mutex_);
    const bool anyPending = !pending_.empty() || closing_ > 0;
    progressed_.wait(lock, [this] { return pending_.empty() && closing_ == 0; });
    return anyPending;
}

void DeferredCloser::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        workArrived_.wait(lock, [this] { return ending_ || !pending_.empty(); });
        if (pending_.empty())
            return; // Ending, and nothing left to close.
        const int fd = pending_.back();
        pending_.pop_back();
        ++closing_;
        lock.unlock();
        ::close(fd);
        lock.lock();
        --closing_;
        progressed_.notify_all();
    }
}

} // namespace twinfol
