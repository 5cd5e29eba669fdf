// Prepares the items of a run on a helper thread, a few ahead of the caller, who takes the results
// strictly in order. What a preparation makes must be invisible until the caller uses it (an unnamed
// temporary file, say), so that stopping part-way leaves exactly what working alone would have.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/unique_fd.h"

namespace twinfol {

class PrepareAhead {
public:
    // Prepares one item; an invalid descriptor means "not prepared", and the caller does the item
    // itself from the start.
    using Prepare = std::function<UniqueFd(std::size_t index)>;

    PrepareAhead() = default;
    ~PrepareAhead();
    PrepareAhead(const PrepareAhead&) = delete;
    PrepareAhead& operator=(const PrepareAhead&) = delete;

    // Starts a run of count items. False when a run is already under way (from another thread):
    // the caller then works alone.
    bool Begin(std::size_t count, Prepare prepare);
    // The prepared item, taken in order from 0; prepared here when the helper has not begun it.
    UniqueFd Take(std::size_t index);
    // The first item, counted from the one to be taken next, that is not prepared yet: every item
    // before it is complete.
    std::size_t DoneEnd();
    // Ends the run, whether or not every item was taken: waits for the helper's item in progress
    // and discards every prepared item not taken.
    void End();

private:
    enum class SlotState { Free, Claimed, Done };
    struct Slot {
        SlotState state = SlotState::Free;
        UniqueFd prepared;
    };

    void Work();

    // How many items the helper may prepare beyond the one the caller waits for: each holds a
    // descriptor until it is taken.
    static constexpr std::size_t window = 6;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false;
    bool ending_ = false;
    Prepare prepare_;
    std::vector<Slot> slots_;
    std::size_t nextUnclaimed_ = 0;
    std::size_t taken_ = 0;
    std::size_t inProgress_ = 0;
    std::thread helper_;
};

} // namespace twinfol
