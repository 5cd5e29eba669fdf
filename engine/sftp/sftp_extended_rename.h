// The rename that replaces: posix-rename@openssh.com, which libssh 0.10 does not send itself. The
// request goes over the SFTP channel as one packet and its status is read back before anything else
// is asked, which holds because every SFTP call waits for its answer under the channel's lock.
#pragma once

#include <string>

#include "engine/fs/fs_status.h"
#include "engine/sftp/sftp_channel.h"

namespace twinfol {

// Whether the server offers the replacing rename.
bool OffersReplacingRename(const SftpChannel& channel);
// Renames the entry over whatever stands at the new name, in one step on the server. Expects the
// channel's lock to be held.
FsStatus ReplacingRename(SftpChannel& channel, const std::string& from, const std::string& to);

} // namespace twinfol
