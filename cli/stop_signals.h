// SIGINT and SIGTERM as stop requests for the run in progress.
#pragma once

#include <atomic>

namespace twinfol::cli {

// From now on the first SIGINT or SIGTERM sets stopRequested (the only thing the handler does, so it
// stays async-signal-safe); the next one has its default effect and ends the program. The handlers
// do not restart an interrupted read, so a delete question that is waiting for input gives up.
void InstallStopSignals(std::atomic<bool>& stopRequested);

} // namespace twinfol::cli
