// One invocation of twinfol-sync from parsed arguments to exit status, with every outside
// dependency (streams, terminals, file system, run state) passed in so that tests can drive it.
#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/exit_code.h"
#include "cli/run_ending.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_run_state.h"
#include "engine/records/user_places.h"

namespace twinfol::cli {

enum class Terminal { No, Yes };

// What standard error is, which decides how progress is shown there.
enum class ErrorStream {
    // Not a terminal: no progress line.
    NotATerminal,
    // A terminal: one line redrawn in place.
    Terminal,
    // A terminal without cursor control (TERM=dumb): a plain line now and then.
    DumbTerminal,
};

struct CommandEnvironment {
    std::ostream& out;
    std::ostream& err;
    // The controlling terminal, where delete questions are put even when standard input or error go
    // elsewhere; tty says whether the process has one.
    std::istream& ttyIn;
    std::ostream& ttyOut;
    Terminal tty = Terminal::No;
    ErrorStream errorStream = ErrorStream::NotATerminal;
    std::size_t terminalWidth = 80;
    // The folder relative paths are read against (exclusions typed as relative paths).
    std::string workingFolder;
    FileSystem& fileSystem;
    // The run state whose stop request the signal handlers set.
    SyncRunState& runState;
    // Where runs keep their journals and the user's home trash; without them a run keeps no journal,
    // has no Trash and cannot be undone.
    const UserPlaces* places = nullptr;
    // Where the end of a run is told when --notify or --notify-wait asks for it; without it nothing is.
    RunNotices* notices = nullptr;
    // The runner's own absolute path, which schedules write into their units; empty where it is not
    // known, and then schedules cannot be made.
    std::string runnerPath;
};

// Runs the command line (the arguments after the program name) and returns the exit status.
ExitCode RunSyncCommand(const std::vector<std::string>& arguments, CommandEnvironment& environment);

} // namespace twinfol::cli
