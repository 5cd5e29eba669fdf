// In-order collection of pooled work: whoever comes first (a worker, or the engine thread wanting
// the first item) claims an item's work; the engine thread records the first item once it is done and
// waits only when a worker is still at it.
#include "engine/walk/ordered_results.h"

#include <utility>

namespace twinfol {

OrderedResults::OrderedResults(WorkPool& pool, std::size_t window)
    : pool_(pool), window_(window < 1 ? 1 : window)
{
}

OrderedResults::~OrderedResults()
{
    std::unique_lock lock(shared_->mutex);
    for (const std::shared_ptr<Item>& item : items_)
        if (item->state == State::Waiting)
            item->state = State::Done; // Not begun: it never will be.
    shared_->waiting = true;
    shared_->finished.wait(lock, [this] {
        for (const std::shared_ptr<Item>& item : items_)
            if (item->state != State::Done)
                return false;
        return true;
    });
}

void OrderedResults::RunIfWaiting(Shared& shared, Item& item)
{
    std::function<void()> work;
    {
        const std::lock_guard lock(shared.mutex);
        if (item.state != State::Waiting)
            return;
        item.state = State::Claimed;
        work = std::move(item.work);
    }
    work();
    const std::lock_guard lock(shared.mutex);
    item.state = State::Done;
    if (shared.waiting)
        shared.finished.notify_one();
}

void OrderedResults::Post(std::function<void()> work, std::function<void()> record,
                          std::function<void()> foretell)
{
    while (items_.size() >= window_)
        RecordFirst();
    auto item =
        std::make_shared<Item>(Item{std::move(work), std::move(record), std::move(foretell), State::Waiting});
    {
        const std::lock_guard lock(shared_->mutex);
        items_.push_back(item);
    }
    pool_.Post([shared = shared_, item] { RunIfWaiting(*shared, *item); });
}

void OrderedResults::Add(std::function<void()> record)
{
    if (items_.empty()) {
        record(); // Nothing earlier is outstanding: its place is now.
        return;
    }
    const std::lock_guard lock(shared_->mutex);
    items_.push_back(std::make_shared<Item>(Item{nullptr, std::move(record), nullptr, State::Done}));
}

void OrderedResults::CollectAll()
{
    while (!items_.empty())
        RecordFirst();
}

void OrderedResults::RecordFirst()
{
    const std::shared_ptr<Item> first = items_.front();
    bool alreadyDone = false;
    {
        const std::lock_guard lock(shared_->mutex);
        alreadyDone = first->state == State::Done;
    }
    // The work is under way, or about to be done here: what it will show can be told now.
    if (!alreadyDone && first->foretell)
        std::exchange(first->foretell, nullptr)();
    {
        // Work done here may split parts off to the pool like a worker's.
        const WorkPool::Helping helping(pool_);
        RunIfWaiting(*shared_, *first);
    }
    {
        std::unique_lock lock(shared_->mutex);
        if (first->state != State::Done) {
            shared_->waiting = true;
            shared_->finished.wait(lock, [&] { return first->state == State::Done; });
            shared_->waiting = false;
        }
        items_.pop_front();
    }
    first->record();
}

} // namespace twinfol
