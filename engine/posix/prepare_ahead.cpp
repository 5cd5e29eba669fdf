// The helper thread of PrepareAhead: it claims the next free item within the window, prepares it
// outside the lock and hands it back; the caller claims an item itself rather than wait for it.
#include "engine/posix/prepare_ahead.h"

#include <system_error>

namespace twinfol {

PrepareAhead::~PrepareAhead()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    if (helper_.joinable())
        helper_.join();
}

bool PrepareAhead::Begin(std::size_t count, Prepare prepare)
{
    const std::lock_guard lock(mutex_);
    if (running_)
        return false;
    if (!helper_.joinable()) {
        try {
            helper_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            return false; // No thread to spare: the caller works alone.
        }
    }
    running_ = true;
    prepare_ = std::move(prepare);
    slots_.clear();
    slots_.resize(count);
    nextUnclaimed_ = 0;
    taken_ = 0;
    changed_.notify_all();
    return true;
}

UniqueFd PrepareAhead::Take(std::size_t index)
{
    std::unique_lock lock(mutex_);
    Slot& slot = slots_[index];
    if (slot.state == SlotState::Free) {
        // Items are claimed in order, so an unclaimed item is the next one: do it here.
        slot.state = SlotState::Claimed;
        nextUnclaimed_ = index + 1;
        lock.unlock();
        UniqueFd prepared = prepare_(index);
        lock.lock();
        taken_ = index + 1;
        slot.state = SlotState::Done;
        changed_.notify_all();
        return prepared;
    }
    changed_.wait(lock, [&] { return slot.state == SlotState::Done; });
    taken_ = index + 1;
    changed_.notify_all();
    return std::move(slot.prepared);
}

std::size_t PrepareAhead::DoneEnd()
{
    const std::lock_guard lock(mutex_);
    std::size_t end = taken_;
    while (end < slots_.size() && slots_[end].state == SlotState::Done)
        ++end;
    return end;
}

void PrepareAhead::End()
{
    std::vector<Slot> discarded;
    {
        std::unique_lock lock(mutex_);
        // No new claims; the item in progress finishes first.
        nextUnclaimed_ = slots_.size();
        changed_.wait(lock, [this] { return inProgress_ == 0; });
        discarded.swap(slots_);
        prepare_ = nullptr;
        running_ = false;
    }
    // Closing an unnamed temporary file drops it: nothing of an item not taken remains.
}

void PrepareAhead::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return ending_ ||
                   (running_ && nextUnclaimed_ < slots_.size() && nextUnclaimed_ < taken_ + window);
        });
        if (ending_)
            return;
        const std::size_t index = nextUnclaimed_++;
        slots_[index].state = SlotState::Claimed;
        ++inProgress_;
        lock.unlock();
        UniqueFd prepared = prepare_(index);
        lock.lock();
        --inProgress_;
        slots_[index].prepared = std::move(prepared);
        slots_[index].state = SlotState::Done;
        changed_.notify_all();
    }
}

} // namespace twinfol
