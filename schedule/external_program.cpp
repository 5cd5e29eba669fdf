// Starting programs through posix_spawn, which neither copies this process's memory nor runs
// anything of ours in the child.
#include "schedule/external_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/bounded_read.h"
#include "base/unique_fd.h"

extern char** environ;

namespace twinfol {
namespace {

// The tools' answers are a few lines; a megabyte is far beyond any of them.
constexpr std::size_t mostOutputBytes = 1024 * 1024;

std::vector<char*> ArgumentVector(const std::vector<std::string>& command)
{
    std::vector<char*> vector;
    for (const std::string& word : command)
        vector.push_back(const_cast<char*>(word.c_str()));
    vector.push_back(nullptr);
    return vector;
}

bool IsRunnableFile(const std::string& path)
{
    struct stat facts {};
    return stat(path.c_str(), &facts) == 0 && S_ISREG(facts.st_mode) && access(path.c_str(), X_OK) == 0;
}

int ExitStatusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : -1;
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

} // namespace

std::optional<std::string> FindProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return IsRunnableFile(name) ? std::optional<std::string>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', at), folders.size());
        const std::string folder = folders.substr(at, end - at);
        if (!folder.empty() && IsRunnableFile(folder + "/" + name))
            return folder + "/" + name;
        at = end + 1;
    }
    return std::nullopt;
}

ProgramOutcome RunProgram(const std::vector<std::string>& command)
{
    ProgramOutcome outcome;
    const std::optional<std::string> program = command.empty() ? std::nullopt : FindProgram(command[0]);
    int ends[2];
    if (!program || pipe2(ends, O_CLOEXEC) != 0)
        return outcome;
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDERR_FILENO);
    std::vector<char*> arguments = ArgumentVector(command);
    pid_t child = 0;
    if (posix_spawn(&child, program->c_str(), actions.Get(), nullptr, arguments.data(), environ) != 0)
        return outcome;
    outcome.started = true;
    writeEnd.Reset();
    (void)ReadBounded(readEnd.Get(), mostOutputBytes, outcome.output);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exitStatus = ExitStatusOf(status);
    return outcome;
}

std::optional<pid_t> StartChild(const std::vector<std::string>& command)
{
    if (command.empty())
        return std::nullopt;
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> arguments = ArgumentVector(command);
    pid_t child = 0;
    if (posix_spawn(&child, command[0].c_str(), actions.Get(), nullptr, arguments.data(), environ) != 0)
        return std::nullopt;
    return child;
}

} // namespace twinfol
