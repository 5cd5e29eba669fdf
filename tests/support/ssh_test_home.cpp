// The SSH tests' shared server and private home folders.
#include "support/ssh_test_home.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace twinfol::test {
namespace {

std::optional<std::string> Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void Restore(const char* name, const std::optional<std::string>& value)
{
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

std::string ReadWhole(const std::string& path)
{
    std::ostringstream content;
    content << std::ifstream(path).rdbuf();
    return content.str();
}

} // namespace

LoopbackSshd& SharedLoopbackSshd()
{
    static TempTree folder;
    static LoopbackSshd server(folder.Root());
    return server;
}

SshTestHome::SshTestHome() : oldHome_(Environment("HOME")), oldAgent_(Environment("SSH_AUTH_SOCK"))
{
    tree_.MakeFolder(".ssh");
    chmod(SshFolder().c_str(), 0700);
    setenv("HOME", Folder().c_str(), 1);
    unsetenv("SSH_AUTH_SOCK");
}

SshTestHome::~SshTestHome()
{
    Restore("HOME", oldHome_);
    Restore("SSH_AUTH_SOCK", oldAgent_);
}

std::string SshTestHome::Folder() const
{
    const std::string& root = tree_.Root();
    return root.substr(0, root.size() - 1);
}

void SshTestHome::AppendKnownHost(const LoopbackSshd& server, const std::string& publicKeyFile) const
{
    std::ofstream(SshFolder() + "known_hosts", std::ios::app)
        << "[127.0.0.1]:" << server.Port() << " " << ReadWhole(publicKeyFile);
}

void SshTestHome::KnowServerKey(const LoopbackSshd& server) const
{
    AppendKnownHost(server, server.HostPublicKeyFile());
}

void SshTestHome::KnowOtherKeyForServer(const LoopbackSshd& server) const
{
    const std::string key = Folder() + "/other_host_key";
    std::system(("ssh-keygen -q -t ed25519 -N '' -f '" + key + "' >/dev/null 2>&1").c_str());
    AppendKnownHost(server, key + ".pub");
}

void SshTestHome::InstallDefaultKey(const LoopbackSshd& server) const
{
    const std::string key = SshFolder() + "id_ed25519";
    std::ofstream(key) << ReadWhole(server.UserKey());
    chmod(key.c_str(), 0600);
}

void SshTestHome::WriteConfig(const std::string& text) const
{
    std::ofstream(SshFolder() + "config") << text;
}

std::string CommandOutput(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    while (const std::size_t read = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, read);
    pclose(pipe);
    return output;
}

std::string KeyFingerprint(const std::string& publicKeyFile)
{
    // "256 SHA256:... comment (ED25519)"
    std::istringstream line(CommandOutput("ssh-keygen -l -E sha256 -f '" + publicKeyFile + "'"));
    std::string bits;
    std::string fingerprint;
    line >> bits >> fingerprint;
    return fingerprint;
}

} // namespace twinfol::test
