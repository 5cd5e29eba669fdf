// One SSH connection to the server of a location, made as OpenSSH makes it: ~/.ssh/config read for
// the location's host, the server's host key checked against ~/.ssh/known_hosts, and signing in by the
// SSH agent, the default key files and then a key file named by the person. Nothing is written
// through a connection whose host key is not known.
#pragma once

#include <memory>
#include <string>

#include "engine/sftp/sftp_location.h"
#include "engine/sftp/ssh_status.h"

struct ssh_session_struct;

namespace twinfol {

struct SshSettings {
    // The home folder whose .ssh/ holds config, known_hosts and the default key files; empty for $HOME
    // as the environment gives it, else the password database's.
    std::string homeFolder;
    // A private key file tried after the agent and the default key files; empty for none.
    std::string extraKeyFile;
};

// What the server's host key is to ~/.ssh/known_hosts.
enum class HostKeyState {
    // Recorded for the server: the connection may go on.
    Known,
    // Not recorded: a person may confirm it by its fingerprint (TrustHostKey).
    Unknown,
    // Another key is recorded for the server: someone may be in the middle. Never trusted here.
    Changed,
};

struct HostKeyFacts {
    HostKeyState state = HostKeyState::Unknown;
    // "SHA256:" and the key's hash in base64, as ssh-keygen -l shows it.
    std::string fingerprint;
    // "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa" and the like.
    std::string keyType;
};

class SshConnection {
public:
    // Connects to the location's server and checks its host key, without signing in. The connection
    // is handed out whatever the host key's state: the caller asks HostKey() before Authenticate().
    static SshStatus Connect(const SftpLocation& location, const SshSettings& settings,
                             std::unique_ptr<SshConnection>& connection);
    SshConnection(const SshConnection&) = delete;
    SshConnection& operator=(const SshConnection&) = delete;
    ~SshConnection();

    const HostKeyFacts& HostKey() const { return hostKey_; }
    // Records an Unknown host key in ~/.ssh/known_hosts, once a person has confirmed its fingerprint;
    // the key is Known afterwards. A Changed key is refused.
    SshStatus TrustHostKey();
    // Signs in: the SSH agent, the default key files and IdentityFile lines, then the extra key file.
    // Refused unless the host key is Known.
    SshStatus Authenticate();
    bool IsAuthenticated() const { return authenticated_; }

    // The server as the person named it and as the connection reached it, for messages.
    const std::string& ServerName() const { return serverName_; }
    // The user the connection signs in as (from the location, ~/.ssh/config or the local user).
    std::string UserName() const;
    // The libssh session, for the SFTP layer above it.
    ssh_session_struct* Session() const { return session_; }

private:
    SshConnection(ssh_session_struct* session, SshSettings settings, std::string serverName);
    SshStatus Configure(const SftpLocation& location);
    SshStatus CheckHostKey();
    bool TryExtraKey();

    ssh_session_struct* session_;
    SshSettings settings_;
    std::string serverName_;
    HostKeyFacts hostKey_;
    bool authenticated_ = false;
};

// The home folder whose .ssh/ the connections read: $HOME when it is an absolute path, else the
// password database's home folder of the user.
std::string SshHomeFolder();

} // namespace twinfol
