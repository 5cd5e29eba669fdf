// Reading a local source for an upload: lstat, open without following a link or waiting, read, and
// readlink, each failure named as the source's.
#include "engine/sftp/copy_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "engine/records/refusal_reasons.h"

namespace twinfol {
namespace {

EntryFacts FactsFromStat(const struct stat& info)
{
    EntryFacts facts;
    facts.kind = S_ISREG(info.st_mode)   ? EntryKind::File
                 : S_ISDIR(info.st_mode) ? EntryKind::Folder
                 : S_ISLNK(info.st_mode) ? EntryKind::Link
                                         : EntryKind::Other;
    facts.mode = info.st_mode & 07777;
    facts.owner = info.st_uid;
    facts.size = info.st_size;
    facts.readOnly = facts.kind == EntryKind::File && (facts.mode & 0222) == 0;
    facts.modifiedSeconds = info.st_mtim.tv_sec;
    facts.modifiedNanoseconds = static_cast<std::uint32_t>(info.st_mtim.tv_nsec);
    facts.changedSeconds = info.st_ctim.tv_sec;
    facts.device = info.st_dev;
    facts.inode = info.st_ino;
    return facts;
}

struct Descriptor {
    explicit Descriptor(int opened) : fd(opened) {}
    ~Descriptor() { close(fd); }
    int fd;
};

} // namespace

FsStatus LocalCopySource(const std::string& path, CopySource& source)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return FsStatus::Failure(errno);
    source.facts = FactsFromStat(info);
    source.openData = [path](ChunkSource& data) -> FsStatus {
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return FsStatus::FailureAt(sourceUnreadableStep, errno);
        auto held = std::make_shared<Descriptor>(fd);
        data = [held](char* buffer, std::size_t size) -> FsResult<std::size_t> {
            const ssize_t got = read(held->fd, buffer, size);
            if (got < 0)
                return FsStatus::FailureAt(sourceUnreadableStep, errno);
            return static_cast<std::size_t>(got);
        };
        return {};
    };
    source.linkText = [path]() -> FsResult<std::string> {
        std::string text(4096, '\0');
        const ssize_t length = readlink(path.c_str(), text.data(), text.size());
        if (length < 0)
            return FsStatus::FailureAt(sourceUnreadableStep, errno);
        text.resize(static_cast<std::size_t>(length));
        return text;
    };
    return {};
}

} // namespace twinfol
