// The SFTP layer as the contract suites meet it: signed in to the loopback sshd, whose server sees
// this machine's files, so that every path of a test's tree, sources included, goes through SFTP.
// Where the server cannot start, a layer that must not be used stands in and the test skips.
#pragma once

#include <memory>
#include <string>

#include "engine/posix/posix_file_system.h"
#include "engine/sftp/sftp_file_system.h"

namespace twinfol::test {

// An SFTP layer over a fresh connection to the shared loopback server, with a known_hosts and key of
// the tests' own; empty, with the reason, where that cannot be made.
std::unique_ptr<SftpFileSystem> OpenLoopbackSftp(std::string& failure);

struct SftpLayer {
    std::string skipReason;
    std::unique_ptr<SftpFileSystem> sftp = OpenLoopbackSftp(skipReason);
    PosixFileSystem unused;
    FileSystem& fs = sftp ? static_cast<FileSystem&>(*sftp) : unused;
};

} // namespace twinfol::test
