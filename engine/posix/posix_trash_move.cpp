// Moves into and out of a trash folder, and the small writes of the Trash and the run journals. The
// item side is always resolved like any other path of the run (beneath the roots, no link followed);
// a rename between two mounts fails with EXDEV and is never turned into a copy.
#include "engine/posix/posix_trash_move.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "base/unique_fd.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_beneath.h"
#include "engine/posix/posix_copy_data.h"
#include "engine/posix/posix_file_facts.h"
#include "engine/posix/posix_placement.h"
#include "engine/posix/posix_trash_check.h"

namespace twinfol {
namespace {

// One rename that never replaces what stands at the destination. A file system that does not know
// RENAME_NOREPLACE (some FUSE ones) gets a look first: the names this program moves to were reserved a
// moment ago, so the look and the rename cannot race with itself.
FsStatus RenameWithoutReplacingAt(int fromDir, const char* from, int toDir, const char* to)
{
    const int error = RenameWithoutReplacing(fromDir, from, toDir, to);
    return error == 0 ? FsStatus() : FsStatus::Failure(error);
}

// The item's own rules, checked where it stands: a file goes as its delete would, and a folder goes
// only when its whole tree passes the tree delete's rules.
FsStatus CheckItem(const PosixLocation& item, ReadOnlyTargets readOnly)
{
    struct stat info {};
    if (fstatat(item.dirFd, item.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    if (!S_ISDIR(info.st_mode))
        return CheckFileDelete(FactsFromStat(info), readOnly);
    UniqueFd folder;
    if (FsStatus opened = OpenSubFolderOnSameMount(item.dirFd, item.name.c_str(), folder); !opened)
        return opened;
    return CheckTreeMayBeTrashed(folder.Get(), readOnly);
}

} // namespace

FsStatus CreateNewFileAt(const PosixPathResolver& resolver, const std::string& path, std::string_view content,
                         mode_t mode)
{
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    UniqueFd file(
        openat(place.dirFd, place.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!file)
        return FsStatus::Failure(errno);
    FsStatus written = WriteAll(file.Get(), content.data(), content.size());
    if (file.Close() != 0 && written)
        written = FsStatus::Failure(errno);
    if (!written)
        unlinkat(place.dirFd, place.name.c_str(), 0);
    return written;
}

namespace {

class PosixAppendOnlyFile : public AppendOnlyFile {
public:
    explicit PosixAppendOnlyFile(UniqueFd file) : file_(std::move(file)) {}

    FsStatus Append(std::string_view content) override
    {
        return WriteAll(file_.Get(), content.data(), content.size());
    }
    FsStatus Sync() override { return fdatasync(file_.Get()) == 0 ? FsStatus() : FsStatus::Failure(errno); }

private:
    UniqueFd file_;
};

} // namespace

FsStatus CreateAppendOnlyFileAt(const PosixPathResolver& resolver, const std::string& path,
                                std::string_view content, mode_t mode, std::unique_ptr<AppendOnlyFile>& file)
{
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    UniqueFd opened(openat(place.dirFd, place.name.c_str(),
                           O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!opened)
        return FsStatus::Failure(errno);
    if (FsStatus written = WriteAll(opened.Get(), content.data(), content.size()); !written) {
        unlinkat(place.dirFd, place.name.c_str(), 0);
        return written;
    }
    file = std::make_unique<PosixAppendOnlyFile>(std::move(opened));
    return {};
}

FsStatus AppendFileAt(const PosixPathResolver& resolver, const std::string& path, std::string_view content,
                      mode_t newFileMode)
{
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    UniqueFd file(openat(place.dirFd, place.name.c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, newFileMode));
    if (!file)
        return FsStatus::Failure(errno);
    FsStatus written = WriteAll(file.Get(), content.data(), content.size());
    if (file.Close() != 0 && written)
        written = FsStatus::Failure(errno);
    return written;
}

FsStatus MoveIntoTrash(const PosixPathResolver& resolver, const std::string& path,
                       const std::string& trashPath)
{
    const PosixLocation item = resolver.LocateInOpenFolder(path);
    if (!item.status)
        return item.status;
    if (FsStatus allowed = CheckItem(item, resolver.ReadOnlyRuleOf(path)); !allowed)
        return allowed;
    const PosixLocation place = resolver.Locate(trashPath);
    if (!place.status)
        return place.status;
    return RenameWithoutReplacingAt(item.dirFd, item.name.c_str(), place.dirFd, place.name.c_str());
}

FsStatus LinkIntoTrash(const PosixPathResolver& resolver, const std::string& path,
                       const std::string& trashPath, const std::string& source)
{
    const PosixLocation item = resolver.Locate(path);
    if (!item.status)
        return item.status;
    struct stat info {};
    if (fstatat(item.dirFd, item.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    const PosixLocation from = resolver.Locate(source);
    if (!from.status)
        return from.status;
    struct stat sourceInfo {};
    if (fstatat(from.dirFd, from.name.c_str(), &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    if (FsStatus replaceable =
            CheckCopyTarget(FactsFromStat(info), FactsFromStat(sourceInfo), resolver.ReadOnlyRuleOf(path));
        !replaceable)
        return replaceable;
    const PosixLocation place = resolver.Locate(trashPath);
    if (!place.status)
        return place.status;
    // No AT_SYMLINK_FOLLOW: a link gets a second name itself, like a file.
    if (linkat(item.dirFd, item.name.c_str(), place.dirFd, place.name.c_str(), 0) != 0)
        return FsStatus::Failure(errno);
    return {};
}

FsStatus MoveOutOfTrash(const PosixPathResolver& resolver, const std::string& trashPath,
                        const std::string& path, ExistingEntry existing)
{
    const PosixLocation from = resolver.Locate(trashPath);
    if (!from.status)
        return from.status;
    const PosixLocation to = resolver.Locate(path);
    if (!to.status)
        return to.status;
    if (existing == ExistingEntry::Keep)
        return RenameWithoutReplacingAt(from.dirFd, from.name.c_str(), to.dirFd, to.name.c_str());
    struct stat info {};
    if (fstatat(to.dirFd, to.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode))
        return FsStatus::Refusal(EISDIR, "a folder stands where the file belongs");
    if (renameat(from.dirFd, from.name.c_str(), to.dirFd, to.name.c_str()) != 0)
        return FsStatus::Failure(errno);
    return {};
}

} // namespace twinfol
