// Making and checking SSH connections through libssh. Every libssh failure is turned into a text
// that names the server and says what a person can do.
#include "engine/sftp/ssh_connection.h"

#include <libssh/callbacks.h>
#include <libssh/libssh.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace twinfol {
namespace {

// A key file protected by a passphrase would otherwise make libssh (through OpenSSL) ask for the
// passphrase on the terminal, which a scheduled run does not have: such a key is left to the agent.
int RefusePassphrase(const char*, char*, std::size_t, int, int, void*)
{
    return -1;
}

ssh_callbacks_struct* NoPassphraseCallbacks()
{
    static ssh_callbacks_struct callbacks = [] {
        ssh_callbacks_struct made{};
        ssh_callbacks_init(&made);
        made.auth_function = RefusePassphrase;
        return made;
    }();
    return &callbacks;
}

bool FileExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

std::string LibsshText(ssh_session session)
{
    const char* text = ssh_get_error(session);
    return text != nullptr && *text != '\0' ? text : "no reason given";
}

// The SHA256 fingerprint of a key, as ssh-keygen -l shows it.
std::string Fingerprint(ssh_key key)
{
    unsigned char* hash = nullptr;
    std::size_t length = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != SSH_OK)
        return {};
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    std::string fingerprint = text != nullptr ? text : "";
    ssh_string_free_char(text);
    ssh_clean_pubkey_hash(&hash);
    return fingerprint;
}

HostKeyState StateOf(ssh_known_hosts_e known)
{
    switch (known) {
    case SSH_KNOWN_HOSTS_OK: return HostKeyState::Known;
    // A key of another type recorded for the server is treated as a changed key, as OpenSSH does.
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: return HostKeyState::Changed;
    default: return HostKeyState::Unknown;
    }
}

} // namespace

std::string SshHomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    const passwd* user = getpwuid(geteuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
}

SshConnection::SshConnection(ssh_session_struct* session, SshSettings settings, std::string serverName)
    : session_(session), settings_(std::move(settings)), serverName_(std::move(serverName))
{
}

SshConnection::~SshConnection()
{
    if (ssh_is_connected(session_) != 0)
        ssh_disconnect(session_);
    ssh_free(session_);
}

SshStatus SshConnection::Connect(const SftpLocation& location, const SshSettings& settings,
                                 std::unique_ptr<SshConnection>& connection)
{
    connection.reset();
    ssh_session session = ssh_new();
    if (session == nullptr)
        return SshStatus::Failure("could not set up an SSH connection (out of memory)");
    SshSettings chosen = settings;
    if (chosen.homeFolder.empty())
        chosen.homeFolder = SshHomeFolder();
    std::unique_ptr<SshConnection> made(new SshConnection(session, std::move(chosen), location.host));
    SshStatus status = made->Configure(location);
    if (status && ssh_connect(session) != SSH_OK)
        status = SshStatus::Failure("could not connect to " + location.host + ": " + LibsshText(session));
    if (status)
        status = made->CheckHostKey();
    if (status)
        connection = std::move(made);
    return status;
}

// Sets the options in the order OpenSSH gives them weight: ~/.ssh/config for the host as named, then
// what the location itself says, which overrides the configuration.
SshStatus SshConnection::Configure(const SftpLocation& location)
{
    const std::string sshFolder = settings_.homeFolder + "/.ssh";
    const std::string knownHosts = sshFolder + "/known_hosts";
    const long timeoutSeconds = 30;
    ssh_options_set(session_, SSH_OPTIONS_HOST, location.host.c_str());
    ssh_options_set(session_, SSH_OPTIONS_SSH_DIR, sshFolder.c_str());
    ssh_options_set(session_, SSH_OPTIONS_KNOWNHOSTS, knownHosts.c_str());
    ssh_options_set(session_, SSH_OPTIONS_TIMEOUT, &timeoutSeconds);
    const std::string config = sshFolder + "/config";
    if (FileExists(config) && ssh_options_parse_config(session_, config.c_str()) != SSH_OK)
        return SshStatus::Failure("could not read " + config + ": " + LibsshText(session_));
    // No other configuration file is read: ~/.ssh/config is the only one the person is told about.
    bool processConfig = false;
    ssh_options_set(session_, SSH_OPTIONS_PROCESS_CONFIG, &processConfig);
    if (!location.user.empty())
        ssh_options_set(session_, SSH_OPTIONS_USER, location.user.c_str());
    if (location.port != 0) {
        const unsigned int port = static_cast<unsigned int>(location.port);
        ssh_options_set(session_, SSH_OPTIONS_PORT, &port);
    }
    ssh_set_callbacks(session_, NoPassphraseCallbacks());
    return {};
}

SshStatus SshConnection::CheckHostKey()
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session_, &key) != SSH_OK)
        return SshStatus::Failure("the server " + serverName_ +
                                  " showed no host key: " + LibsshText(session_));
    hostKey_.fingerprint = Fingerprint(key);
    hostKey_.keyType = ssh_key_type_to_char(ssh_key_type(key));
    ssh_key_free(key);
    const ssh_known_hosts_e known = ssh_session_is_known_server(session_);
    if (known == SSH_KNOWN_HOSTS_ERROR)
        return SshStatus::Failure("could not check the host key of " + serverName_ +
                                  " against known_hosts: " + LibsshText(session_));
    hostKey_.state = StateOf(known);
    return {};
}

SshStatus SshConnection::TrustHostKey()
{
    if (hostKey_.state == HostKeyState::Changed)
        return SshStatus::Failure("the host key of " + serverName_ +
                                  " has changed: it is never trusted in its place");
    if (hostKey_.state == HostKeyState::Known)
        return {};
    if (ssh_session_update_known_hosts(session_) != SSH_OK)
        return SshStatus::Failure("could not add the host key of " + serverName_ +
                                  " to known_hosts: " + LibsshText(session_));
    hostKey_.state = HostKeyState::Known;
    return {};
}

bool SshConnection::TryExtraKey()
{
    if (settings_.extraKeyFile.empty())
        return false;
    ssh_key key = nullptr;
    if (ssh_pki_import_privkey_file(settings_.extraKeyFile.c_str(), nullptr, RefusePassphrase, nullptr,
                                    &key) != SSH_OK)
        return false;
    const int result = ssh_userauth_publickey(session_, nullptr, key);
    ssh_key_free(key);
    return result == SSH_AUTH_SUCCESS;
}

SshStatus SshConnection::Authenticate()
{
    if (hostKey_.state != HostKeyState::Known)
        return SshStatus::Failure("the identity of " + serverName_ +
                                  " is not confirmed: nothing is sent to it");
    if (authenticated_)
        return {};
    authenticated_ = ssh_userauth_publickey_auto(session_, nullptr, nullptr) == SSH_AUTH_SUCCESS;
    if (!authenticated_)
        authenticated_ = TryExtraKey();
    if (authenticated_)
        return {};
    if (ssh_is_connected(session_) == 0)
        return SshStatus::Failure("the connection to " + serverName_ + " was lost: " + LibsshText(session_));
    std::string text = "the server " + serverName_ + " accepted none of the keys for " + UserName() +
                       ": the SSH agent's, the key files in " + settings_.homeFolder + "/.ssh/";
    if (!settings_.extraKeyFile.empty())
        text += ", " + settings_.extraKeyFile;
    return SshStatus::Failure(text + " (a key with a passphrase must be in the agent)");
}

std::string SshConnection::UserName() const
{
    char* user = nullptr;
    if (ssh_options_get(session_, SSH_OPTIONS_USER, &user) != SSH_OK || user == nullptr)
        return {};
    std::string name = user;
    ssh_string_free_char(user);
    return name;
}

} // namespace twinfol
