// The outcomes of work done on a WorkPool, recorded on the engine thread strictly in the order the
// work was handed out, so that a report is the same whether one thread did the work or several.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/work_pool.h"

namespace twinfol {

class OrderedResults {
public:
    // At most window items are handed out and not yet recorded; Post waits (recording) beyond that,
    // which bounds the memory a level's work holds.
    OrderedResults(WorkPool& pool, std::size_t window);
    // Waits for the work under way and drops what no one has begun, without recording: the normal
    // end is CollectAll.
    ~OrderedResults();
    OrderedResults(const OrderedResults&) = delete;
    OrderedResults& operator=(const OrderedResults&) = delete;

    // Hands out work; record runs on this thread once the work and every earlier item are done. When
    // this thread comes to wait for the work, it first calls foretell (when given), once.
    void Post(std::function<void()> work, std::function<void()> record, std::function<void()> foretell = {});
    // An item without work of its own (a problem line, a progress text, a change done here), recorded
    // in its place among the others.
    void Add(std::function<void()> record);
    // Waits for every item handed out and records them all, in order.
    void CollectAll();

private:
    enum class State { Waiting, Claimed, Done };
    struct Item {
        std::function<void()> work;
        std::function<void()> record;
        std::function<void()> foretell;
        State state = State::Waiting;
    };
    // What the workers share with this thread; it outlives this object while a worker still holds
    // an item that was done here.
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        // Set while this thread waits, so that workers wake it only then.
        bool waiting = false;
    };

    // Runs the item's work unless someone has claimed it already.
    static void RunIfWaiting(Shared& shared, Item& item);
    // Records the first item; when no worker has begun its work yet, this thread does it rather than
    // wait, otherwise it waits for the worker.
    void RecordFirst();

    WorkPool& pool_;
    std::size_t window_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    // Only this thread adds and removes items.
    std::deque<std::shared_ptr<Item>> items_;
};

} // namespace twinfol
