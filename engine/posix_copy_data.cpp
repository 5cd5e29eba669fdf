// Data copies between open files.
#include "engine/posix_copy_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace twinfol {
namespace {

constexpr std::size_t readWriteBufferSize = 128 * 1024;
// copy_file_range takes a size_t count; a gigabyte per call keeps each call interruptible.
constexpr off_t largestKernelCopy = off_t{1} << 30;

bool IsKernelCopyRefused(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

} // namespace

FsStatus WriteAll(int out, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(out, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        if (written == 0)
            return FsStatus::Failure(EIO);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

FsStatus CopyData(int in, int out, off_t size)
{
    off_t remaining = size;
    bool kernelCopy = true;
    std::vector<char> buffer;
    while (remaining > 0) {
        if (kernelCopy) {
            const auto chunk = static_cast<std::size_t>(std::min(remaining, largestKernelCopy));
            const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
            if (copied > 0) {
                remaining -= copied;
                continue;
            }
            if (copied == 0)
                break; // The source became shorter while it was copied.
            if (errno == EINTR)
                continue;
            if (!IsKernelCopyRefused(errno))
                return FsStatus::Failure(errno);
            kernelCopy = false;
        }
        if (buffer.empty())
            buffer.resize(readWriteBufferSize);
        const ssize_t got = read(in, buffer.data(),
                                 static_cast<std::size_t>(std::min<off_t>(remaining, readWriteBufferSize)));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        if (got == 0)
            break;
        if (FsStatus written = WriteAll(out, buffer.data(), static_cast<std::size_t>(got)); !written)
            return written;
        remaining -= got;
    }
    return {};
}

FsStatus FillTemporary(int source, const struct stat& sourceInfo, int temporary, bool setMode)
{
    if (FsStatus copied = CopyData(source, temporary, sourceInfo.st_size); !copied)
        return copied;
    if (setMode && fchmod(temporary, sourceInfo.st_mode & 07777) != 0)
        return FsStatus::Failure(errno);
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (futimens(temporary, times) != 0)
        return FsStatus::Failure(errno);
    return {};
}

} // namespace twinfol
