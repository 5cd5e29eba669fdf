// twinfol-sync: the headless runner. Everything but the process's own streams, terminals and
// signals lives in the twinfol_cli library.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "cli/run_notice.h"
#include "cli/stop_signals.h"
#include "cli/sync_command.h"
#include "engine/posix/posix_file_system.h"

namespace {

std::size_t TerminalWidth()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

twinfol::cli::ErrorStream WhatStandardErrorIs()
{
    if (isatty(STDERR_FILENO) != 1)
        return twinfol::cli::ErrorStream::NotATerminal;
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "dumb") == 0)
        return twinfol::cli::ErrorStream::DumbTerminal;
    return twinfol::cli::ErrorStream::Terminal;
}

std::string WorkingFolder()
{
    const std::unique_ptr<char, decltype(&std::free)> folder(getcwd(nullptr, 0), &std::free);
    return folder ? std::string(folder.get()) : std::string("/");
}

// The schedules' units start the runner by its full path, whatever PATH the user manager has.
std::string RunnerPath()
{
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(length));
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace twinfol;
    SyncRunState runState;
    cli::InstallStopSignals(runState.stopRequested);
    PosixFileSystem fileSystem;
    const UserPlaces places = UserPlaces::ForCurrentUser();
    // Delete questions go to the controlling terminal itself, so that "2>file" or "</dev/null" does
    // not hide a question the run then waits for; it fails to open when the process has none.
    std::ifstream ttyIn("/dev/tty");
    std::ofstream ttyOut("/dev/tty");
    const bool tty = ttyIn.is_open() && ttyOut.is_open();
    const cli::ErrorStream errorStream = WhatStandardErrorIs();
    cli::DesktopNotices notices(runState);
    cli::CommandEnvironment environment{std::cout,
                                        std::cerr,
                                        ttyIn,
                                        ttyOut,
                                        tty ? cli::Terminal::Yes : cli::Terminal::No,
                                        errorStream,
                                        errorStream != cli::ErrorStream::NotATerminal ? TerminalWidth() : 80,
                                        WorkingFolder(),
                                        fileSystem,
                                        runState,
                                        &places,
                                        &notices,
                                        RunnerPath()};
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return static_cast<int>(cli::RunSyncCommand(arguments, environment));
}
