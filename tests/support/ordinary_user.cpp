// Forking a child that runs as nobody.
#include "support/ordinary_user.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace twinfol::test {

std::optional<int> RunAsOrdinaryUser(const std::function<int()>& body)
{
    if (geteuid() != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(ordinaryGroup) != 0 || setuid(ordinaryUser) != 0)
            _exit(254);
        _exit(body() & 0xFF);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        throw std::runtime_error("the child running as the ordinary user did not end normally");
    return WEXITSTATUS(status);
}

void GiveToOrdinaryUser(const std::string& path, unsigned mode)
{
    if (lchown(path.c_str(), ordinaryUser, ordinaryGroup) != 0 || chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("could not give " + path + " to the ordinary user");
}

} // namespace twinfol::test
