// Installing the stop handlers.
#include "cli/stop_signals.h"

#include <signal.h>

namespace twinfol::cli {
namespace {

std::atomic<std::atomic<bool>*> stopTarget{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<std::atomic<bool>*>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

void RequestStopOnSignal(int)
{
    if (std::atomic<bool>* target = stopTarget.load())
        target->store(true);
}

} // namespace

void InstallStopSignals(std::atomic<bool>& stopRequested)
{
    stopTarget.store(&stopRequested);
    struct sigaction action {};
    action.sa_handler = RequestStopOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace twinfol::cli
