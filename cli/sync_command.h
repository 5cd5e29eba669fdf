// One invocation of twinfol-sync from parsed arguments to exit status, with every outside
// dependency (streams, terminals, file system, run state) passed in so that tests can drive it.
#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/exit_code.h"
#include "engine/file_system.h"
#include "engine/sync_run_state.h"
#include "engine/user_places.h"

namespace twinfol::cli {

enum class Terminal { No, Yes };

struct CommandEnvironment {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    Terminal stdinTerminal = Terminal::No;
    Terminal stderrTerminal = Terminal::No;
    std::size_t terminalWidth = 80;
    FileSystem& fileSystem;
    // The run state whose stop request the signal handlers set.
    SyncRunState& runState;
    // Where runs keep their journals and the user's home trash; without them a run keeps no journal,
    // has no Trash and cannot be undone.
    const UserPlaces* places = nullptr;
};

// Runs the command line (the arguments after the program name) and returns the exit status.
ExitCode RunSyncCommand(const std::vector<std::string>& arguments, CommandEnvironment& environment);

} // namespace twinfol::cli
