// The server of a run whose target is a server location: connected, its host key checked against
// known_hosts, signed in, and a file-system layer that sends the target's paths to it and every other
// path to this machine's layer. A server that cannot be reached safely refuses the run before
// anything is touched.
#pragma once

#include <memory>
#include <string>

#include "cli/sync_job.h"
#include "engine/fs/file_system.h"
#include "engine/sftp/server_routing_file_system.h"
#include "engine/sftp/sftp_file_system.h"

namespace twinfol::cli {

class ServerSession {
public:
    // Whether the job has a folder on a server, and so needs a session.
    static bool Needed(const SyncJob& job);
    // Opens the session for the job; the refusal's text for the person when it cannot be opened.
    static std::string Open(const SyncJob& job, const std::string& sshKey, FileSystem& local,
                            std::unique_ptr<ServerSession>& session);

    // The layer for the run: the target's paths go to the server.
    FileSystem& Routing() { return *routing_; }

private:
    ServerSession() = default;

    std::unique_ptr<SftpFileSystem> server_;
    std::unique_ptr<ServerRoutingFileSystem> routing_;
};

// The refusal of a host key that known_hosts does not hold, or holds another key for.
std::string HostKeyRefusal(const std::string& server, const HostKeyFacts& key);

} // namespace twinfol::cli
