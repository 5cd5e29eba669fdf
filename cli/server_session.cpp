// Opening a run's server: the checks in the order OpenSSH makes them, each failure a refusal that
// says what to do.
#include "cli/server_session.h"

#include "base/path.h"
#include "engine/sftp/sftp_location.h"
#include "engine/sftp/ssh_connection.h"

namespace twinfol::cli {

bool ServerSession::Needed(const SyncJob& job)
{
    return IsSftpLocation(job.source) || IsSftpLocation(job.target);
}

std::string HostKeyRefusal(const std::string& server, const HostKeyFacts& key)
{
    if (key.state == HostKeyState::Changed)
        return "WARNING: the host key of " + server +
               " is not the one recorded in ~/.ssh/known_hosts. Someone may be listening in between "
               "(a man-in-the-middle attack), or the server's key was replaced. The key it shows now is " +
               key.keyType + " " + key.fingerprint +
               ". Nothing was sent to the server. Once you know the new key is right, remove the old one "
               "with \"ssh-keygen -R " +
               server + "\" and connect again.";
    return "the server " + server + " is not known: its " + key.keyType + " host key has the fingerprint " +
           key.fingerprint +
           ". If that is the server's key, add it to ~/.ssh/known_hosts by connecting once with ssh and "
           "answering yes.";
}

std::string ServerSession::Open(const SyncJob& job, const std::string& sshKey, FileSystem& local,
                                std::unique_ptr<ServerSession>& session)
{
    if (IsSftpLocation(job.source))
        return "a source folder on a server is not supported yet: copy from this machine to the server";
    if (job.options.useTrash)
        return "the Trash is not available on a server: run without --trash";
    const ParsedSftpLocation parsed = ParseSftpLocation(job.target);
    if (!parsed.IsOk())
        return "the target " + job.target + " is no server location: " + parsed.problem;
    const SftpLocation& location = parsed.location;
    std::unique_ptr<SshConnection> connection;
    if (SshStatus connected = SshConnection::Connect(location, {"", sshKey}, connection); !connected)
        return connected.Text();
    if (connection->HostKey().state != HostKeyState::Known)
        return HostKeyRefusal(location.host, connection->HostKey());
    if (SshStatus signedIn = connection->Authenticate(); !signedIn)
        return signedIn.Text();
    std::unique_ptr<SftpChannel> channel;
    if (SshStatus opened = SftpChannel::Open(std::move(connection), channel); !opened)
        return opened.Text();
    std::string serverFolder = location.path;
    if (location.InHome()) {
        auto lock = channel->Lock();
        const FsResult<std::string> home = channel->HomeFolder();
        if (!home)
            return "the home folder on " + location.host + " cannot be found: " + home.Status().Reason();
        serverFolder = location.PathOnServer(*home);
    }
    std::unique_ptr<ServerSession> made(new ServerSession());
    made->server_ = std::make_unique<SftpFileSystem>(std::move(channel));
    made->routing_ = std::make_unique<ServerRoutingFileSystem>(
        local, *made->server_, WithTrailingSeparator(job.target), serverFolder);
    session = std::move(made);
    return {};
}

} // namespace twinfol::cli
