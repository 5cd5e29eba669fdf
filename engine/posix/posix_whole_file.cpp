// Reading a whole file without waiting on special files, making folder paths and locking files.
#include "engine/posix/posix_whole_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/bounded_read.h"
#include "base/unique_fd.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {
namespace {

class PosixFileLock : public FileLock {
public:
    explicit PosixFileLock(UniqueFd file) : file_(std::move(file)) {}

private:
    // Closing the descriptor lets the lock go.
    UniqueFd file_;
};

FsStatus RefuseUnlessRegular(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        return FsStatus::Failure(EISDIR);
    if (!S_ISREG(info.st_mode))
        return FsStatus::Refusal(EINVAL, "not a regular file");
    return {};
}

} // namespace

FsStatus ReadWholeFile(const PosixPathResolver& resolver, const std::string& path, std::size_t maxBytes,
                       std::string& bytes)
{
    if (path.ends_with(pathSeparator))
        return FsStatus::Failure(EISDIR);
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    // Looked at before it is opened: opening a FIFO for reading waits for a writer.
    struct stat info {};
    if (fstatat(place.dirFd, place.name.c_str(), &info, 0) != 0)
        return FsStatus::Failure(errno);
    if (FsStatus regular = RefuseUnlessRegular(info); !regular)
        return regular;
    // O_NONBLOCK in case something else took the name meanwhile; a regular file ignores it.
    const UniqueFd file(
        openat(place.dirFd, place.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file)
        return FsStatus::Failure(errno);
    if (fstat(file.Get(), &info) != 0)
        return FsStatus::Failure(errno);
    if (FsStatus regular = RefuseUnlessRegular(info); !regular)
        return regular;
    bytes.clear();
    if (const int error = ReadBounded(file.Get(), maxBytes, bytes); error != 0)
        return FsStatus::Failure(error);
    return {};
}

FsStatus MakeFolderPath(const PosixPathResolver& resolver, const std::string& folder, mode_t mode)
{
    if (folder.empty())
        return {}; // The current folder.
    for (std::size_t separator = folder.find(pathSeparator, 1); separator != std::string::npos;
         separator = folder.find(pathSeparator, separator + 1)) {
        const PosixLocation place = resolver.Locate(folder.substr(0, separator));
        if (!place.status)
            return place.status;
        if (mkdirat(place.dirFd, place.name.c_str(), mode) != 0 && errno != EEXIST)
            return FsStatus::Failure(errno);
    }
    const PosixLocation whole = resolver.Locate(folder);
    if (!whole.status)
        return whole.status;
    if (mkdirat(whole.dirFd, whole.name.c_str(), mode) != 0 && errno != EEXIST)
        return FsStatus::Failure(errno);
    // A link to a folder is fine here: configuration folders are often reached through one.
    struct stat info {};
    if (fstatat(whole.dirFd, whole.name.c_str(), &info, 0) != 0)
        return FsStatus::Failure(errno);
    if (!S_ISDIR(info.st_mode))
        return FsStatus::Refusal(ENOTDIR, fileWhereFoldersBelong);
    return {};
}

FsStatus LockWholeFile(const PosixPathResolver& resolver, const std::string& path,
                       std::unique_ptr<FileLock>& lock)
{
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    UniqueFd file(openat(place.dirFd, place.name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!file)
        return FsStatus::Failure(errno);
    while (flock(file.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return FsStatus::Failure(errno);
    lock = std::make_unique<PosixFileLock>(std::move(file));
    return {};
}

} // namespace twinfol
