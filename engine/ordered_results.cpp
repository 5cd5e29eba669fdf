// In-order collection of pooled work: workers mark their item done; the engine thread records the
// first item as soon as it is done, and waits only when the window is full or everything is wanted.
#include "engine/ordered_results.h"

namespace twinfol {

OrderedResults::OrderedResults(WorkPool& pool, std::size_t window)
    : pool_(pool), window_(window < 1 ? 1 : window)
{
}

OrderedResults::~OrderedResults()
{
    std::unique_lock lock(mutex_);
    waiting_ = true;
    finished_.wait(lock, [this] {
        for (const Item& item : items_)
            if (!item.done)
                return false;
        return true;
    });
}

void OrderedResults::Post(std::function<void()> work, std::function<void()> record)
{
    while (items_.size() >= window_)
        RecordFirst();
    Item* item = nullptr;
    {
        const std::lock_guard lock(mutex_);
        item = &items_.emplace_back(Item{std::move(record), false});
    }
    pool_.Post([this, item, work = std::move(work)] {
        work();
        const std::lock_guard lock(mutex_);
        item->done = true;
        if (waiting_)
            finished_.notify_one();
    });
}

void OrderedResults::Add(std::function<void()> record)
{
    if (items_.empty()) {
        record(); // Nothing earlier is outstanding: its place is now.
        return;
    }
    const std::lock_guard lock(mutex_);
    items_.push_back(Item{std::move(record), true});
}

void OrderedResults::CollectAll()
{
    while (!items_.empty())
        RecordFirst();
}

void OrderedResults::RecordFirst()
{
    std::function<void()> record;
    {
        std::unique_lock lock(mutex_);
        Item& first = items_.front();
        if (!first.done) {
            waiting_ = true;
            finished_.wait(lock, [&] { return first.done; });
            waiting_ = false;
        }
        record = std::move(first.record);
        items_.pop_front();
    }
    record();
}

} // namespace twinfol
