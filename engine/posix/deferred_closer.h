// Closes descriptors on a few background threads. A file whose last name has just been removed is
// freed when its last descriptor closes, and on some file systems (online discard, a busy journal)
// freeing waits on the disk for a millisecond or more; waiters on several threads share those waits,
// so deletes and replacements go on at once while the space comes back a moment later.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace twinfol {

class DeferredCloser {
public:
    DeferredCloser() = default;
    // Closes everything still pending before it returns.
    ~DeferredCloser();
    DeferredCloser(const DeferredCloser&) = delete;
    DeferredCloser& operator=(const DeferredCloser&) = delete;

    // Takes ownership of the descriptor and closes it soon. Waits while too many are pending, so a
    // long run never holds more than a bounded number of descriptors.
    void Close(int fd);
    // Waits until every descriptor handed over so far is closed; answers whether any was pending.
    bool Drain();

private:
    void Work();

    static constexpr std::size_t threadCount = 8;
    static constexpr std::size_t mostPending = 256;

    std::mutex mutex_;
    std::condition_variable workArrived_;
    std::condition_variable progressed_;
    std::vector<int> pending_;
    std::size_t closing_ = 0;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

} // namespace twinfol
