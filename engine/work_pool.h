// A fixed set of worker threads that run the file work a run hands out (copies, stamp reads, deletes),
// while the engine thread walks on and records the outcomes in its own order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace twinfol {

class WorkPool {
public:
    // Starts the workers; fewer when the system has no thread to spare (WorkerCount tells).
    explicit WorkPool(std::size_t workers);
    // Lets the work already handed out finish, then ends the workers.
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    std::size_t WorkerCount() const { return threads_.size(); }
    // Whether the calling thread is a worker of some pool: work there is already spread over the
    // cores, so a helper thread of its own would only add hand-offs.
    static bool OnWorkerThread();
    // Hands out one piece of work; a worker that is free takes it, in the order handed out.
    void Post(std::function<void()> work);

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> queue_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

// How many workers a run of the given jobs setting uses: 0 means one per core, at most eight.
std::size_t WorkerCountFor(int jobs);

} // namespace twinfol
