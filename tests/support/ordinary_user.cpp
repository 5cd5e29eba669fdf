// Forking a child that runs as nobody.
#include "support/ordinary_user.h"

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

void GiveTreeToOrdinaryUser(const std::string& root)
{
    const auto give = [](const char* path, const struct stat*, int, struct FTW*) {
        return lchown(path, ordinaryUser, ordinaryGroup) == 0 ? 0 : 1;
    };
    if (nftw(root.c_str(), give, 32, FTW_PHYS) != 0)
        throw std::runtime_error("could not give the tree " + root + " to the ordinary user");
}

std::optional<std::vector<std::string>>
CheckAsOrdinaryUser(const std::function<void(std::vector<std::string>& failures)>& body)
{
    if (geteuid() != 0)
        return std::nullopt;
    char name[] = "/tmp/twinfol-checks-XXXXXX";
    const int file = mkstemp(name);
    if (file < 0 || fchown(file, ordinaryUser, ordinaryGroup) != 0)
        throw std::runtime_error("could not make the file the checks are noted in");
    close(file);
    const std::string notes = name;
    const std::optional<int> status = RunAsOrdinaryUser([&] {
        std::vector<std::string> failures;
        body(failures);
        std::ofstream out(notes);
        for (const std::string& failure : failures)
            out << failure << '\n';
        return out.good() ? 0 : 1;
    });
    std::ifstream in(notes);
    std::vector<std::string> failures;
    for (std::string line; std::getline(in, line);)
        failures.push_back(line);
    std::remove(notes.c_str());
    if (status != 0)
        failures.push_back("the checks could not be noted (status " + std::to_string(status.value_or(-1)) +
                           ")");
    return failures;
}

} // namespace twinfol::test
