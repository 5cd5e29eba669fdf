// Listings through getdents64: one system call reads the names of a folder of a few dozen entries.
#include "engine/posix/posix_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_file_facts.h"

namespace twinfol {
namespace {

// Room for the records of one getdents call.
constexpr std::size_t listingBufferSize = 32 * 1024;

EntryKind KindFromType(unsigned char type)
{
    switch (type) {
    case DT_REG: return EntryKind::File;
    case DT_DIR: return EntryKind::Folder;
    case DT_LNK: return EntryKind::Link;
    default: return EntryKind::Other;
    }
}

} // namespace

FsStatus ReadEntries(int folderFd, std::vector<ListedEntry>& entries)
{
    alignas(dirent64) char buffer[listingBufferSize];
    for (;;) {
        const ssize_t got = getdents64(folderFd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        if (got == 0)
            return {};
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            EntryKind kind = KindFromType(entry->d_type);
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
                    kind = KindFromMode(info.st_mode);
                else if (errno == ENOENT)
                    continue; // Gone since the folder was read.
                else
                    kind = EntryKind::File; // Whatever is then done to it fails and is reported there.
            }
            entries.push_back({std::string(name), kind});
        }
    }
}

UniqueFd OpenFolderAt(int parentFd, const char* name)
{
    return UniqueFd(openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

FsStatus MakeFolderAt(int parentFd, const char* name, mode_t mode, bool& created)
{
    created = mkdirat(parentFd, name, mode) == 0;
    if (created)
        return {};
    if (errno != EEXIST)
        return FsStatus::Failure(errno);
    struct stat info {};
    // Something that vanished again since mkdir saw it is no folder to reuse either.
    if (fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return CheckFolderPlace(EntryFacts{.kind = EntryKind::Other});
    return CheckFolderPlace(FactsFromStat(info));
}

FsResult<FileStamp> OpenFolderStampReader::ReadFileStamp(const std::string& name)
{
    struct stat info {};
    if (fstatat(folder_->Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    return FileStamp::FromUnixTime(info.st_mtim.tv_sec);
}

} // namespace twinfol
