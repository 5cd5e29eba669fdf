// The SFTP subsystem over one signed-in SSH connection, with the translations every SFTP call
// needs: the server's status codes into errno values (a lost connection into ENOTCONN, which the tree
// walks take as the end of the disk), and its attributes into an entry's facts. libssh's SFTP calls
// are not safe from several threads, so every call goes through the channel's lock.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/sftp/ssh_connection.h"
#include "engine/sftp/ssh_status.h"

struct sftp_session_struct;
struct sftp_attributes_struct;

namespace twinfol {

// Whether a look at an entry follows a final symbolic link.
enum class ServerLink { Kept, Followed };

class SftpChannel {
public:
    // Opens the SFTP subsystem over a connection whose host key is Known and that has signed in.
    static SshStatus Open(std::unique_ptr<SshConnection> connection, std::unique_ptr<SftpChannel>& channel);
    SftpChannel(const SftpChannel&) = delete;
    SftpChannel& operator=(const SftpChannel&) = delete;
    ~SftpChannel();

    // Held around every SFTP call and every sequence of calls that must see one state of the server.
    std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }
    sftp_session_struct* Sftp() const { return sftp_; }
    const SshConnection& Connection() const { return *connection_; }

    // The failure of the SFTP call that just failed, as an errno value: ENOTCONN once the connection
    // is gone; SSH_FX_FAILURE, which says nothing more, as EIO (callers look closer where it matters).
    FsStatus LastFailure() const;
    // The facts of the entry at the path, a final symbolic link itself or what it points to.
    FsStatus Facts(const std::string& path, EntryFacts& facts, ServerLink link = ServerLink::Kept);
    // The user's home folder on the server, ending with the separator.
    FsResult<std::string> HomeFolder();

private:
    SftpChannel(std::unique_ptr<SshConnection> connection, sftp_session_struct* sftp);

    std::unique_ptr<SshConnection> connection_;
    sftp_session_struct* sftp_;
    std::mutex mutex_;
};

// An entry's facts from the SFTP attributes (protocol version 3: times in whole seconds, and no
// change time, for which the last-write time stands in).
EntryFacts FactsFromAttributes(const sftp_attributes_struct& attributes);
// The refusal for anything that would go to a Trash on a server.
FsStatus NoTrashOnServerRefusal();
// The failure for a connection that is gone: ENOTCONN, which IsConnectionLoss recognises.
FsStatus ConnectionLost();

} // namespace twinfol
