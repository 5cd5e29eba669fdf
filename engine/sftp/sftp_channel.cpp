// Opening the SFTP subsystem and translating its answers.
#include "engine/sftp/sftp_channel.h"

#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>

namespace twinfol {

FsStatus NoTrashOnServerRefusal()
{
    return FsStatus::Refusal(EOPNOTSUPP, "the Trash is not available on a server");
}

FsStatus ConnectionLost()
{
    // A failure of the system's, never a refusal of ours: the tree walks end at it as at a lost disk.
    return FsStatus::FailureAt("the connection to the server", ENOTCONN);
}

SftpChannel::SftpChannel(std::unique_ptr<SshConnection> connection, sftp_session_struct* sftp)
    : connection_(std::move(connection)), sftp_(sftp)
{
}

SftpChannel::~SftpChannel()
{
    sftp_free(sftp_);
}

SshStatus SftpChannel::Open(std::unique_ptr<SshConnection> connection, std::unique_ptr<SftpChannel>& channel)
{
    channel.reset();
    if (!connection || !connection->IsAuthenticated())
        return SshStatus::Failure("the SSH connection has not signed in");
    sftp_session sftp = sftp_new(connection->Session());
    if (sftp == nullptr)
        return SshStatus::Failure("could not open SFTP on " + connection->ServerName() + ": " +
                                  ssh_get_error(connection->Session()));
    if (sftp_init(sftp) != SSH_OK) {
        const std::string text = "the server " + connection->ServerName() +
                                 " does not speak SFTP: " + ssh_get_error(connection->Session());
        sftp_free(sftp);
        return SshStatus::Failure(text);
    }
    channel.reset(new SftpChannel(std::move(connection), sftp));
    return {};
}

FsStatus SftpChannel::LastFailure() const
{
    if (ssh_is_connected(connection_->Session()) == 0)
        return ConnectionLost();
    switch (sftp_get_error(sftp_)) {
    case SSH_FX_NO_SUCH_FILE:
    case SSH_FX_NO_SUCH_PATH: return FsStatus::Failure(ENOENT);
    case SSH_FX_PERMISSION_DENIED:
    case SSH_FX_WRITE_PROTECT: return FsStatus::Failure(EACCES);
    case SSH_FX_FILE_ALREADY_EXISTS: return FsStatus::Failure(EEXIST);
    case SSH_FX_OP_UNSUPPORTED: return FsStatus::Failure(EOPNOTSUPP);
    case SSH_FX_NO_CONNECTION:
    case SSH_FX_CONNECTION_LOST: return ConnectionLost();
    case SSH_FX_BAD_MESSAGE: return FsStatus::Failure(EBADMSG);
    default: return FsStatus::Failure(EIO);
    }
}

FsStatus SftpChannel::Facts(const std::string& path, EntryFacts& facts, ServerLink link)
{
    facts = {};
    sftp_attributes attributes =
        link == ServerLink::Followed ? sftp_stat(sftp_, path.c_str()) : sftp_lstat(sftp_, path.c_str());
    if (attributes == nullptr)
        return LastFailure();
    facts = FactsFromAttributes(*attributes);
    sftp_attributes_free(attributes);
    return {};
}

FsResult<std::string> SftpChannel::HomeFolder()
{
    char* home = sftp_canonicalize_path(sftp_, ".");
    if (home == nullptr)
        return LastFailure();
    std::string folder = home;
    ssh_string_free_char(home);
    if (!folder.ends_with('/'))
        folder += '/';
    return folder;
}

EntryFacts FactsFromAttributes(const sftp_attributes_struct& attributes)
{
    EntryFacts facts;
    switch (attributes.permissions & S_IFMT) {
    case S_IFREG: facts.kind = EntryKind::File; break;
    case S_IFDIR: facts.kind = EntryKind::Folder; break;
    case S_IFLNK: facts.kind = EntryKind::Link; break;
    default: facts.kind = EntryKind::Other; break;
    }
    facts.mode = attributes.permissions & 07777;
    facts.owner = attributes.uid;
    facts.size = static_cast<std::int64_t>(attributes.size);
    facts.readOnly = facts.kind == EntryKind::File && (facts.mode & 0222) == 0;
    facts.modifiedSeconds = attributes.mtime;
    facts.changedSeconds = attributes.mtime;
    return facts;
}

} // namespace twinfol
