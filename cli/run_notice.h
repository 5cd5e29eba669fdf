// The desktop's notification of how a run ended, sent to org.freedesktop.Notifications on the session
// bus; with --notify-wait the runner stays for the notification's "Open report" action.
#pragma once

#include <chrono>

#include "cli/run_ending.h"
#include "engine/records/sync_run_state.h"

namespace twinfol::cli {

// The longest a runner stays for the action: a notification nobody answers must not keep it forever.
inline constexpr std::chrono::minutes longestNoticeWait{10};

// Sends each ending as one notification. Without a session bus, or without a notification server on
// it, nothing is sent and nothing is said: the run's outcome and exit status stay as they were.
class DesktopNotices : public RunNotices {
public:
    // A stop request (SIGINT, SIGTERM) ends the wait for the action.
    explicit DesktopNotices(const SyncRunState& runState) : runState_(runState) {}

    void RunEnded(const RunEnding& ending) override;

private:
    const SyncRunState& runState_;
};

} // namespace twinfol::cli
