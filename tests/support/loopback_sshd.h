// An SSH server of the tests' own on the loopback interface, with keys made for it and thrown away
// with its folder: what an sshfs mount of "a server" is made of without any server. Starting it needs
// root and openssh-server; a test skips with the reason when it could not start.
#pragma once

#include <sys/types.h>

#include <string>

namespace twinfol::test {

class LoopbackSshd {
public:
    // Starts /usr/sbin/sshd on a free port of 127.0.0.1, its keys, configuration and log in the folder
    // (which must exist; its path ends with the separator), and waits until it takes connections.
    explicit LoopbackSshd(const std::string& folder);
    LoopbackSshd(const LoopbackSshd&) = delete;
    LoopbackSshd& operator=(const LoopbackSshd&) = delete;
    // Stops the server.
    ~LoopbackSshd();

    bool IsRunning() const { return pid_ > 0; }
    // Why the server is not running: for GTEST_SKIP.
    const std::string& Failure() const { return failure_; }
    int Port() const { return port_; }
    // The private key the server lets in, for this process's user.
    const std::string& UserKey() const { return userKey_; }
    // The public half of the server's host key, as known_hosts records it after the host's name.
    std::string HostPublicKeyFile() const { return folder_ + "host_key.pub"; }
    // "user@127.0.0.1:" followed by the folder: what sshfs mounts.
    std::string RemoteFolder(const std::string& folder) const;

private:
    bool Start(const std::string& folder);

    pid_t pid_ = -1;
    int port_ = 0;
    std::string folder_;
    std::string userKey_;
    std::string failure_;
};

// A port of 127.0.0.1 that nothing listens on at the moment; 0 when none could be found.
int FreeLoopbackPort();

} // namespace twinfol::test
