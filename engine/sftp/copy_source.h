// The source of a copy onto a server, wherever it lies: its facts, and how to read its data or its
// link text. A copy from the server itself reads through SFTP; one from this machine reads the local
// file directly, without following a final symbolic link and without waiting on a FIFO.
#pragma once

#include <functional>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/sftp/sftp_transfer.h"

namespace twinfol {

struct CopySource {
    EntryFacts facts;
    // Opens the data of a file; called once, with the channel's lock held.
    std::function<FsStatus(ChunkSource&)> openData;
    // The text of a link; called with the channel's lock held.
    std::function<FsResult<std::string>()> linkText;
};

// The source for a file or link of this machine's; the facts say Missing with the failure when
// nothing can be looked at there.
FsStatus LocalCopySource(const std::string& path, CopySource& source);

} // namespace twinfol
