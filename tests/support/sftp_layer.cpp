// Connecting the contract suites' SFTP layer.
#include "support/sftp_layer.h"

#include <fstream>
#include <sstream>

#include "engine/sftp/ssh_connection.h"
#include "support/ssh_test_home.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

// A home folder whose known_hosts holds the shared server's key, made once.
const std::string& TrustingHome(const LoopbackSshd& server)
{
    static TempTree home;
    static const bool made = [&] {
        std::ostringstream key;
        key << std::ifstream(server.HostPublicKeyFile()).rdbuf();
        home.WriteFile(".ssh/known_hosts", "[127.0.0.1]:" + std::to_string(server.Port()) + " " + key.str());
        return true;
    }();
    (void)made;
    return home.Root();
}

} // namespace

std::unique_ptr<SftpFileSystem> OpenLoopbackSftp(std::string& failure)
{
    LoopbackSshd& server = SharedLoopbackSshd();
    if (!server.IsRunning()) {
        failure = server.Failure();
        return nullptr;
    }
    const SshSettings settings{TrustingHome(server), server.UserKey()};
    std::unique_ptr<SshConnection> connection;
    SshStatus status = SshConnection::Connect({"", "127.0.0.1", server.Port(), "/"}, settings, connection);
    if (status)
        status = connection->Authenticate();
    std::unique_ptr<SftpChannel> channel;
    if (status)
        status = SftpChannel::Open(std::move(connection), channel);
    if (!status) {
        failure = status.Text();
        return nullptr;
    }
    return std::make_unique<SftpFileSystem>(std::move(channel));
}

} // namespace twinfol::test
