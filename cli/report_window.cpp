// Starting the window apart from the runner that received the notification's action.
#include "cli/report_window.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <array>
#include <string>

extern char** environ;

namespace twinfol::cli {
namespace {

// The folder of the running program, with a trailing separator; empty when it cannot be read.
std::string ProgramFolder()
{
    std::array<char, 4096> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return {};
    const std::string program(path.data(), static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

// Owns the attributes and file actions a spawn is made with.
class SpawnSettings {
public:
    SpawnSettings()
    {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSettings()
    {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    // A session of its own, no signal blocked, the stop signals back to their defaults, and the
    // standard streams on /dev/null.
    bool Detach()
    {
        sigset_t none;
        sigemptyset(&none);
        sigset_t stops;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                          POSIX_SPAWN_SETSIGDEF) == 0 &&
               posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
               posix_spawnattr_setsigdefault(&attributes_, &stops) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
    }

    const posix_spawnattr_t* Attributes() const { return &attributes_; }
    const posix_spawn_file_actions_t* Actions() const { return &actions_; }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

} // namespace

std::string WindowProgram()
{
    const std::string beside = ProgramFolder() + "twinfol";
    if (beside.front() == '/' && access(beside.c_str(), X_OK) == 0)
        return beside;
    return "twinfol";
}

bool StartReportWindow(const std::string& reportFile)
{
    SpawnSettings settings;
    if (!settings.Detach())
        return false;
    std::string program = WindowProgram();
    std::string option = "--report";
    std::string file = reportFile;
    std::array<char*, 4> arguments{program.data(), option.data(), file.data(), nullptr};
    pid_t child = 0;
    // posix_spawnp takes a name with a separator as a path and looks a bare name up in PATH.
    return posix_spawnp(&child, program.c_str(), settings.Actions(), settings.Attributes(), arguments.data(),
                        environ) == 0;
}

} // namespace twinfol::cli
