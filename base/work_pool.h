// A fixed set of worker threads that run the file work a run hands out (copies, stamp reads, deletes),
// while the engine thread walks on and records the outcomes in its own order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
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
    // Whether the calling thread works for some pool (a worker, or a thread doing pooled work itself):
    // work there is already spread over the cores, so a helper thread of its own would only add
    // hand-offs.
    static bool OnWorkerThread();
    // The pool the calling thread works for; null on a thread that works for none.
    static WorkPool* OfThisThread();

    // Makes the calling thread count as working for the pool while it does a piece of the pool's
    // work itself, so that the work it splits off goes to the pool too.
    class Helping {
    public:
        explicit Helping(WorkPool& pool);
        ~Helping();
        Helping(const Helping&) = delete;
        Helping& operator=(const Helping&) = delete;

    private:
        WorkPool* previous_;
    };
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

// The parts one piece of work splits off (the sub-folders of a tree, say), handed to the pool the
// calling thread works for. Wait does the parts no worker has taken yet itself, newest first, and
// then waits for the ones under way; a part is never waited on by anyone but the thread that split it
// off, so the waits follow the tree and cannot go round in a circle. On a thread that works for no
// pool each part is done at once, in order, as a loop would.
class WorkSplit {
public:
    WorkSplit();
    // Waits for every part.
    ~WorkSplit();
    WorkSplit(const WorkSplit&) = delete;
    WorkSplit& operator=(const WorkSplit&) = delete;

    // Whether parts may run on other threads, and so in another order than handed out.
    bool Spreads() const { return pool_ != nullptr; }
    void Split(std::function<void()> part);
    void Wait();

private:
    struct Part {
        std::atomic<bool> claimed{false};
        std::function<void()> work;
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        std::size_t running = 0;
    };

    // Runs the part unless someone has claimed it already; answers whether it ran it.
    static bool RunIfUnclaimed(Shared& shared, Part& part);

    WorkPool* pool_;
    std::shared_ptr<Shared> shared_;
    std::vector<std::shared_ptr<Part>> parts_;
};

// What holds up a run's file work: the processor and the local disk, or the round trips of a network
// or a FUSE server, where a worker mostly waits and more of them keep more requests under way.
enum class WorkBound { Processor, Latency };

// How many workers a run of the given jobs setting uses: 0 means one per core, at most eight, or
// sixteen where latency bounds the work; any other number is taken as it is.
std::size_t WorkerCountFor(int jobs, WorkBound bound = WorkBound::Processor);

} // namespace twinfol
