// Temporary file, fsync and rename: the whole-file replacement used for profiles and settings.
#include "profile/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>

namespace twinfol {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return descriptor_; }
    int Close()
    {
        const int result = descriptor_ >= 0 ? close(descriptor_) : 0;
        descriptor_ = -1;
        return result;
    }

private:
    int descriptor_;
};

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind(pathSeparator);
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string BaseNameOf(const std::string& path)
{
    const auto slash = path.rfind(pathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name beside the target that no other process or thread picks at the same moment. It carries the
// prefix and suffix by which a synchronisation recognises a left-over temporary file.
std::string TemporaryPathFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name = FolderOf(path);
    if (name == ".")
        name.clear();
    name += temporaryNamePrefix;
    name += BaseNameOf(path);
    name += '.' + std::to_string(getpid()) + '.' + std::to_string(counter++) + '.' +
            std::to_string(random() % 1000000);
    name += temporaryNameSuffix;
    return name;
}

// Makes the rename itself durable; a failure here cannot undo the replacement, so it is ignored.
void SyncFolderOf(const std::string& path)
{
    Descriptor folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0)
        fsync(folder.Get());
}

// A target that is a symbolic link is replaced where the link points, so that the link survives.
std::string FollowLink(const std::string& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string target(resolved);
    free(resolved);
    return target;
}

}  // namespace

FsStatus AtomicFileWriter::Replace(const std::string& linkOrPath, std::string_view content,
                                   mode_t newFileMode) const
{
    const std::string path = FollowLink(linkOrPath);
    struct stat existing {};
    const bool keepMode = stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::string temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
        temporary = TemporaryPathFor(path);
        descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode);
        if (descriptor < 0 && errno != EEXIST)
            return FsStatus::Failure(errno);
    }
    if (descriptor < 0)
        return FsStatus::Failure(EEXIST);
    Descriptor file(descriptor);

    FsStatus status = WriteAll(file.Get(), content);
    if (status && keepMode && fchmod(file.Get(), existing.st_mode & 07777) != 0)
        status = FsStatus::Failure(errno);
    if (status && SyncFile(file.Get()) != 0)
        status = FsStatus::Failure(errno);
    if (status && file.Close() != 0)
        status = FsStatus::Failure(errno);
    if (status && RenameFile(temporary.c_str(), path.c_str()) != 0)
        status = FsStatus::Failure(errno);
    if (!status) {
        unlink(temporary.c_str());
        return status;
    }
    SyncFolderOf(path);
    return status;
}

FsStatus AtomicFileWriter::WriteAll(int descriptor, std::string_view content) const
{
    while (!content.empty()) {
        const ssize_t written = WriteSome(descriptor, content.data(), content.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return FsStatus::Failure(errno);
        if (written == 0)
            return FsStatus::Failure(EIO);
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

ssize_t AtomicFileWriter::WriteSome(int descriptor, const char* data, std::size_t size) const
{
    return write(descriptor, data, size);
}

int AtomicFileWriter::SyncFile(int descriptor) const
{
    return fsync(descriptor);
}

int AtomicFileWriter::RenameFile(const char* from, const char* to) const
{
    return rename(from, to);
}

}  // namespace twinfol
