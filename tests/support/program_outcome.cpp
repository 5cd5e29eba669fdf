// Running a program to its end from a test.
#include "support/program_outcome.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace twinfol::test {

Outcome RunCommand(std::vector<std::string> command, const TempTree& scratch,
                   const std::map<std::string, std::string>& environment)
{
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string outPath = scratch.Path("stdout.txt");
    const std::string errPath = scratch.Path("stderr.txt");
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        for (const auto& [name, value] : environment)
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, scratch.ReadFile("stdout.txt").value_or(""),
            scratch.ReadFile("stderr.txt").value_or("")};
}

} // namespace twinfol::test
