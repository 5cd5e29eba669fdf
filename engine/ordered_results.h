// The outcomes of work done on a WorkPool, recorded on the engine thread strictly in the order the
// work was handed out, so that a report is the same whether one thread did the work or several.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/work_pool.h"

namespace twinfol {

class OrderedResults {
public:
    // At most window items are handed out and not yet recorded; Post waits (recording) beyond that,
    // which bounds the memory a level's work holds.
    OrderedResults(WorkPool& pool, std::size_t window);
    // Waits for the work still out, without recording it: the normal end is CollectAll.
    ~OrderedResults();
    OrderedResults(const OrderedResults&) = delete;
    OrderedResults& operator=(const OrderedResults&) = delete;

    // Hands out work; record runs on this thread once the work and every earlier item are done.
    void Post(std::function<void()> work, std::function<void()> record);
    // An item without work of its own (a problem line, a progress text, a change done here), recorded
    // in its place among the others.
    void Add(std::function<void()> record);
    // Waits for every item handed out and records them all, in order.
    void CollectAll();

private:
    struct Item {
        std::function<void()> record;
        bool done = false;
    };

    // Records the first item, waiting for it when its work is still going on.
    void RecordFirst();

    WorkPool& pool_;
    std::size_t window_;
    std::mutex mutex_;
    std::condition_variable finished_;
    // Set while this thread waits, so that workers wake it only then.
    bool waiting_ = false;
    // Only this thread adds and removes items; a deque keeps the others in place meanwhile.
    std::deque<Item> items_;
};

} // namespace twinfol
