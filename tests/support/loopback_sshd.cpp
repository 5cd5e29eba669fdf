// Starting sshd with throw-away keys and a configuration that lets this process's user in by key.
#include "support/loopback_sshd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace twinfol::test {
namespace {

constexpr const char* sshdPath = "/usr/sbin/sshd";

sockaddr_in LoopbackAddress(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool TakesConnections(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = LoopbackAddress(port);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

bool MakeKey(const std::string& path)
{
    const std::string command = "ssh-keygen -q -t ed25519 -N '' -f '" + path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string UserName()
{
    const passwd* user = getpwuid(geteuid());
    return user != nullptr ? user->pw_name : "root";
}

} // namespace

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = LoopbackAddress(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

LoopbackSshd::LoopbackSshd(const std::string& folder) : folder_(folder)
{
    if (!Start(folder) && pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

bool LoopbackSshd::Start(const std::string& folder)
{
    if (geteuid() != 0) {
        failure_ = "needs root to start an sshd of its own";
        return false;
    }
    if (access(sshdPath, X_OK) != 0 || std::system("command -v ssh-keygen >/dev/null 2>&1") != 0) {
        failure_ = "needs openssh-server (apt-get install openssh-server)";
        return false;
    }
    // sshd insists on its privilege separation folder.
    mkdir("/run/sshd", 0755);
    userKey_ = folder + "user_key";
    port_ = FreeLoopbackPort();
    if (port_ == 0 || !MakeKey(folder + "host_key") || !MakeKey(userKey_)) {
        failure_ = "could not make the server's keys or find a free port";
        return false;
    }
    std::ofstream(folder + "authorized_keys") << std::ifstream(userKey_ + ".pub").rdbuf();
    std::ofstream(folder + "sshd_config")
        << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << folder << "host_key\n"
        << "AuthorizedKeysFile " << folder << "authorized_keys\nPidFile none\nUsePAM no\n"
        << "StrictModes no\nPermitRootLogin prohibit-password\nPasswordAuthentication no\n"
        << "KbdInteractiveAuthentication no\nSubsystem sftp internal-sftp\n";
    pid_ = fork();
    if (pid_ == 0) {
        const int log = open((folder + "sshd.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(log, STDERR_FILENO);
        const std::string config = folder + "sshd_config";
        execl(sshdPath, sshdPath, "-D", "-e", "-f", config.c_str(), nullptr);
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (TakesConnections(port_))
            return true;
        if (pid_ < 0 || waitpid(pid_, nullptr, WNOHANG) != 0) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    failure_ = "sshd did not start (see " + folder + "sshd.log)";
    return false;
}

LoopbackSshd::~LoopbackSshd()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

std::string LoopbackSshd::RemoteFolder(const std::string& folder) const
{
    return UserName() + "@127.0.0.1:" + folder;
}

} // namespace twinfol::test
