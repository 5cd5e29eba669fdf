// Writing on a server so that a name only ever holds a complete content: data goes to a file of the
// one temporary shape beside the target, which takes the target's name by a rename once it is
// complete. Every function here expects the channel's lock to be held.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/fs/file_system.h"
#include "engine/sftp/sftp_channel.h"

namespace twinfol {

// Hands out the next piece of a content into the buffer: its length, 0 at its end.
using ChunkSource = std::function<FsResult<std::size_t>(char* buffer, std::size_t size)>;

// What the temporary file gets before it takes its name.
struct TemporaryFinish {
    mode_t mode = 0600;
    // The last-write time to set (also as the last-access time), or none.
    bool setTime = false;
    std::int64_t modifiedSeconds = 0;
};

// How the temporary file takes the target's name.
enum class ServerPlacement {
    // The target must not exist: the rename fails with EEXIST when something has taken the name.
    Add,
    // Whatever file or link stands at the target is replaced in one step (posix-rename@openssh.com).
    Overwrite,
};

// Writes the content into a fresh temporary file beside the target, gives it the finish and renames
// it to the target. Progress, when given, hears of each chunk; on failure no temporary file is left.
FsStatus WriteThroughTemporary(SftpChannel& channel, const std::string& target, const ChunkSource& source,
                               const TemporaryFinish& finish, ServerPlacement placement,
                               CopyProgress* progress, std::uint64_t size);
// Makes a symbolic link with the text under a temporary name beside the target and renames it there.
FsStatus PlaceLink(SftpChannel& channel, const std::string& target, const std::string& text,
                   ServerPlacement placement);
// Renames an entry: with Add only when nothing stands at the new name.
FsStatus RenameEntry(SftpChannel& channel, const std::string& from, const std::string& to,
                     ServerPlacement placement);
// A source of the whole content of a file on the server, opened for reading; empty when it cannot be.
FsStatus OpenServerSource(SftpChannel& channel, const std::string& path, ChunkSource& source);
// A source of a text in memory.
ChunkSource TextSource(std::string_view text);

} // namespace twinfol
