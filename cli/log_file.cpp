// Appending to the log with O_APPEND, which places each write at the end even when another process
// writes to the same file.
#include "cli/log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace twinfol::cli {

FsStatus LogFile::Open(const std::string& path)
{
    fd_.Reset(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666));
    return fd_ ? FsStatus() : FsStatus::Failure(errno);
}

FsStatus LogFile::Append(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = write(fd_.Get(), text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

} // namespace twinfol::cli
