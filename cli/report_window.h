// Starting the window on a run's report, when a person asks for it from the run's notification.
#pragma once

#include <string>

namespace twinfol::cli {

// The window's program: "twinfol" in the folder this runner was started from (as installed, and as
// built), or else the bare name, which is then looked up in PATH.
std::string WindowProgram();

// Starts "twinfol --report FILE" apart from the runner: in a session of its own, with its standard
// streams on /dev/null, so that it outlives the runner and holds none of the runner's pipes open.
// Answers whether it could be started.
bool StartReportWindow(const std::string& reportFile);

} // namespace twinfol::cli
