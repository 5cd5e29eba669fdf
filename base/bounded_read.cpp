// Reading a descriptor in chunks up to a bound.
#include "base/bounded_read.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace twinfol {
namespace {

constexpr std::size_t chunkSize = 64 * 1024;

} // namespace

int ReadBounded(int fd, std::size_t maxBytes, std::string& bytes)
{
    char chunk[chunkSize];
    while (bytes.size() < maxBytes) {
        const ssize_t count = read(fd, chunk, std::min(sizeof chunk, maxBytes - bytes.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return errno;
        if (count == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(count));
    }
    return 0;
}

} // namespace twinfol
