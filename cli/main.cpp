// twinfol-sync: the headless runner. Everything but the process's own streams, terminals and
// signals lives in the twinfol_cli library.
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/stop_signals.h"
#include "cli/sync_command.h"
#include "engine/posix_file_system.h"

namespace {

std::size_t TerminalWidth()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace twinfol;
    SyncRunState runState;
    cli::InstallStopSignals(runState.stopRequested);
    PosixFileSystem fileSystem;
    const UserPlaces places = UserPlaces::ForCurrentUser();
    const bool stderrTerminal = isatty(STDERR_FILENO) == 1;
    cli::CommandEnvironment environment{std::cin,
                                        std::cout,
                                        std::cerr,
                                        isatty(STDIN_FILENO) == 1 ? cli::Terminal::Yes : cli::Terminal::No,
                                        stderrTerminal ? cli::Terminal::Yes : cli::Terminal::No,
                                        stderrTerminal ? TerminalWidth() : 80,
                                        fileSystem,
                                        runState,
                                        &places};
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return static_cast<int>(cli::RunSyncCommand(arguments, environment));
}
