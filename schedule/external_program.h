// Running the system's own tools (systemctl, systemd-analyze) and starting the runner as a child: the
// schedules' only ways out of the process.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace twinfol {

struct ProgramOutcome {
    // False when the program could not be started at all (not installed, say).
    bool started = false;
    // The exit status, or 128 and the signal's number when a signal ended it.
    int exitStatus = -1;
    // What it wrote on its standard output and standard error, in the order written.
    std::string output;

    bool Succeeded() const { return started && exitStatus == 0; }
};

// The program's full path when PATH holds it (or the name itself when it holds a slash and can be run).
std::optional<std::string> FindProgram(const std::string& name);

// Runs the command (its first word searched in PATH) with standard input from /dev/null and waits for
// its end.
ProgramOutcome RunProgram(const std::vector<std::string>& command);

// Starts the command (its first word a path) with standard input from /dev/null and the other streams
// shared with this process; the child's process id, or nothing when it could not be started.
std::optional<pid_t> StartChild(const std::vector<std::string>& command);

} // namespace twinfol
