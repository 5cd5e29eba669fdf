// The Linux file-system layer. A copy never leaves a half-written file under the target's name: the
// data goes to a temporary file in the target's folder and only a complete file with the source's
// mode and time stamps is linked or renamed into place.
#include "engine/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

namespace twinfol {
namespace {

constexpr int temporaryNameAttempts = 16;
constexpr std::size_t readWriteBufferSize = 128 * 1024;
// Room for the records of one getdents call; a folder of a few dozen entries needs one call.
constexpr std::size_t listingBufferSize = 32 * 1024;
// A tree walk holds two descriptors per level; below this depth it goes on through whole paths, so
// that a very deep tree cannot use up the process's descriptors.
constexpr int deepestOpenLevel = 48;
// copy_file_range takes a size_t count; a gigabyte per call keeps each call interruptible.
constexpr off_t largestKernelCopy = off_t{1} << 30;

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

// The folder part of a file path, with its separator; empty for a name without a folder.
std::string FolderOf(const std::string& path)
{
    const std::size_t separator = path.rfind(pathSeparator);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// A trailing separator makes the kernel follow a final symbolic link, so asking about the entry
// itself means asking without it.
std::string WithoutTrailingSeparator(const std::string& path)
{
    if (path.size() > 1 && path.back() == pathSeparator)
        return path.substr(0, path.size() - 1);
    return path;
}

std::string RandomHex()
{
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32) ^
                                           std::random_device{}() ^ static_cast<std::uint64_t>(getpid())};
    static constexpr char digits[] = "0123456789abcdef";
    std::uint64_t value = generator();
    std::string hex(temporaryNameDigits, '0');
    for (char& digit : hex) {
        digit = digits[value & 0xF];
        value >>= 4;
    }
    return hex;
}

// A folder's own name ("" for the descriptor's folder) as the *at calls take it.
const char* FolderArgument(const std::string& folder)
{
    return folder.empty() ? "." : folder.c_str();
}

std::string TemporaryPathIn(const std::string& folder)
{
    std::string path = folder;
    path += temporaryNamePrefix;
    path += RandomHex();
    path += temporaryNameSuffix;
    return path;
}

// Root ignores permission bits, so the read-only attribute is checked here rather than left to
// the kernel.
bool IsReadOnlyFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0;
}

bool IsKernelCopyRefused(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

FsStatus WriteAll(int out, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(out, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

// Copies the source's data from its current offset, up to the size it had when it was opened.
// copy_file_range lets the kernel (or the file system, by sharing extents) do the work; where it
// is refused the copy goes on through a buffer from the same offsets.
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
                break;  // The source became shorter while it was copied.
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

struct ListedEntry {
    std::string name;
    bool isFolder;
};

// Reads every entry of an open folder, "." and ".." left out. A name's kind comes from d_type; only
// a file system that does not fill it in costs a stat per entry.
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
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT)
                        continue;  // Gone since the folder was read.
                    // Listed as a file: whatever is then done to it fails and is reported there.
                }
                isFolder = S_ISDIR(info.st_mode);
            }
            entries.push_back({std::string(name), isFolder});
        }
    }
}

// The umask as /proc shows it; asking umask() itself would change it for a moment under other
// threads.
std::optional<mode_t> ReadUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("Umask:"))
            continue;
        char* end = nullptr;
        const unsigned long value = std::strtoul(line.c_str() + 6, &end, 8);
        if (end == line.c_str() + 6 || value > 0777)
            return std::nullopt;
        return static_cast<mode_t>(value);
    }
    return std::nullopt;
}

// A default ACL on a folder, not the umask, decides the mode of what is created in it.
bool HasDefaultAcl(int folderFd)
{
    if (fgetxattr(folderFd, "system.posix_acl_default", nullptr, 0) >= 0)
        return true;
    return errno != ENODATA && errno != EOPNOTSUPP;
}

// Data, then mode, then time stamps: writing would clear set-user-ID bits and move the time stamp.
// The mode is only set when creating the file did not already give it exactly.
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

// Gives an unnamed O_TMPFILE file a name. The /proc route needs no privilege; AT_EMPTY_PATH is the
// way when /proc is not mounted.
int LinkUnnamed(int fd, int dirFd, const std::string& name)
{
    char procPath[32];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
    if (linkat(AT_FDCWD, procPath, dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    return linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// Moves a complete named temporary file to the target's name; the temporary file never outlives a
// failure. With a closer, the file that the move replaces is held open and let go in the background,
// so that freeing its data does not hold up the copy.
FsStatus PlaceNamedFile(int dirFd, const std::string& temporaryPath, const std::string& to, bool replace,
                        DeferredCloser* holdReplaced)
{
    if (replace) {
        UniqueFd replaced;
        if (holdReplaced != nullptr)
            replaced.Reset(openat(dirFd, to.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (renameat(dirFd, temporaryPath.c_str(), dirFd, to.c_str()) == 0) {
            if (replaced)
                holdReplaced->Close(replaced.Release());
            return {};
        }
    } else {
        if (renameat2(dirFd, temporaryPath.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        // File systems without RENAME_NOREPLACE still refuse to link over an existing name.
        if ((errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) &&
            linkat(dirFd, temporaryPath.c_str(), dirFd, to.c_str(), 0) == 0) {
            unlinkat(dirFd, temporaryPath.c_str(), 0);
            return {};
        }
    }
    const int error = errno;
    unlinkat(dirFd, temporaryPath.c_str(), 0);
    return FsStatus::Failure(error);
}

// Whether letting go of a file's last name would free data on the disk, which is what can be slow.
bool HoldsData(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_blocks > 0;
}

// Makes one folder of a tree copy relative to its parent; an existing real folder is reused.
// Answers whether the folder is new, which makes every copy into it an add.
FsStatus MakeFolderAt(int parentFd, const char* name, bool& created)
{
    created = mkdirat(parentFd, name, 0777) == 0;
    if (created)
        return {};
    if (errno != EEXIST)
        return FsStatus::Failure(errno);
    struct stat info {};
    if (fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode))
        return {};
    return FsStatus::Failure(EEXIST);
}

class OpenFolderStampReader : public FolderStampReader {
public:
    explicit OpenFolderStampReader(UniqueFd folder) : folder_(std::move(folder)) {}

    std::optional<FileStamp> ReadFileStamp(const std::string& name) override
    {
        struct stat info {};
        if (fstatat(folder_.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        return FileStamp::FromUnixTime(info.st_mtim.tv_sec);
    }

private:
    UniqueFd folder_;
};

UniqueFd OpenFolderAt(int parentFd, const char* name)
{
    return UniqueFd(openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

PosixFileSystem::PosixFileSystem(TemporaryFileKind temporaryFiles) : temporaryFiles_(temporaryFiles) {}

FsStatus PosixFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    // The names are read completely before any is handed out: the visitor may then change the
    // folder, and a walk down a deep tree keeps no folder open per level.
    std::vector<ListedEntry> entries;
    {
        const UniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir)
            return FsStatus::Failure(errno);
        if (FsStatus read = ReadEntries(dir.Get(), entries); !read)
            return read;
    }
    for (const ListedEntry& entry : entries)
        if (!onEntry(entry.name, entry.isFolder))
            break;
    return {};
}

FsStatus PosixFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                              std::unique_ptr<FolderStampReader>& stamps)
{
    std::vector<ListedEntry> entries;
    UniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return FsStatus::Failure(errno);
    if (FsStatus read = ReadEntries(dir.Get(), entries); !read)
        return read;
    stamps = std::make_unique<OpenFolderStampReader>(std::move(dir));
    for (const ListedEntry& entry : entries)
        if (!onEntry(entry.name, entry.isFolder))
            break;
    return {};
}

EntryKind PosixFileSystem::KindOf(const std::string& path)
{
    struct stat info {};
    if (lstat(WithoutTrailingSeparator(path).c_str(), &info) != 0)
        return EntryKind::Missing;
    if (S_ISREG(info.st_mode))
        return EntryKind::File;
    if (S_ISDIR(info.st_mode))
        return EntryKind::Folder;
    if (S_ISLNK(info.st_mode))
        return EntryKind::Link;
    return EntryKind::Other;
}

std::optional<std::string> PosixFileSystem::ResolvePath(const std::string& path)
{
    const std::unique_ptr<char, FreeDeleter> resolved(realpath(path.c_str(), nullptr));
    if (!resolved)
        return std::nullopt;
    std::string result = resolved.get();
    if (path.ends_with(pathSeparator) && !result.ends_with(pathSeparator))
        result += pathSeparator;
    return result;
}

std::optional<FileStamp> PosixFileSystem::ReadFileStamp(const std::string& path)
{
    struct stat info {};
    if (lstat(WithoutTrailingSeparator(path).c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp::FromUnixTime(info.st_mtim.tv_sec);
}

FsStatus PosixFileSystem::CopyFile(const std::string& from, const std::string& to)
{
    // A single copy does not know what the folder's default ACL would make of a mode, so it always
    // sets the mode itself.
    return CopyEntryRetrying(AT_FDCWD, from.c_str(), Destination{AT_FDCWD, to, FolderOf(to), std::nullopt},
                             std::nullopt);
}

FsStatus PosixFileSystem::CopyEntryRetrying(int sourceDirFd, const char* sourceName, const Destination& to,
                                            std::optional<Placement> knownPlacement)
{
    const FsStatus copied = CopyEntry(sourceDirFd, sourceName, to, knownPlacement);
    // Space that deleted and replaced files still hold comes back once they are let go; a copy that
    // found the disk full tries once more after that, as it would have found it without the wait.
    if ((copied.Error() == ENOSPC || copied.Error() == EDQUOT) && closer_.Drain())
        return CopyEntry(sourceDirFd, sourceName, to, knownPlacement);
    return copied;
}

FsStatus PosixFileSystem::CopyEntry(int sourceDirFd, const char* sourceName, const Destination& to,
                                    std::optional<Placement> knownPlacement)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; O_NOFOLLOW refuses a link, which is then
    // copied as a link.
    UniqueFd source(openat(sourceDirFd, sourceName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const int openError = source ? 0 : errno;
    struct stat sourceInfo {};
    if (source) {
        if (fstat(source.Get(), &sourceInfo) != 0)
            return FsStatus::Failure(errno);
        if (S_ISDIR(sourceInfo.st_mode))
            return FsStatus::Failure(EISDIR);
        if (!S_ISREG(sourceInfo.st_mode))
            return FsStatus::Failure(EOPNOTSUPP);
    } else if (openError != ELOOP || fstatat(sourceDirFd, sourceName, &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0 ||
               !S_ISLNK(sourceInfo.st_mode)) {
        return FsStatus::Failure(openError);
    }

    // Whether the copy adds or replaces is decided by what stands at the target now, unless the
    // caller knows: a folder that a tree copy has just made holds nothing to replace. An add never
    // replaces a name that appears meanwhile.
    Placement placement = Placement::Replace;
    DeferredCloser* holdReplaced = nullptr;
    if (knownPlacement) {
        placement = *knownPlacement;
    } else {
        struct stat targetInfo {};
        if (fstatat(to.dirFd, to.name.c_str(), &targetInfo, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return FsStatus::Failure(errno);
            placement = Placement::Add;
        } else if (S_ISDIR(targetInfo.st_mode)) {
            return FsStatus::Failure(EISDIR);
        } else if (IsReadOnlyFile(targetInfo)) {
            return FsStatus::Failure(EACCES);
        } else if (HoldsData(targetInfo)) {
            holdReplaced = &closer_;
        }
    }

    if (!source)
        return CopyLink(sourceDirFd, sourceName, sourceInfo, to, placement, holdReplaced);
    return CopyRegularFile(source.Get(), sourceInfo, to, placement, holdReplaced);
}

bool PosixFileSystem::NeedsModeChange(const struct stat& sourceInfo, const Destination& to)
{
    const mode_t wanted = sourceInfo.st_mode & 07777;
    // Set-ID and sticky bits are never asked of a create; they are set once the data is written.
    return !to.createMask || (wanted & 07000) != 0 || (wanted & *to.createMask) != 0;
}

FsStatus PosixFileSystem::CopyRegularFile(int source, const struct stat& sourceInfo, const Destination& to,
                                          Placement placement, DeferredCloser* holdReplaced)
{
    if (temporaryFiles_ == TemporaryFileKind::UnnamedWhereSupported) {
        // An unnamed file vanishes with the process, so a crash mid-copy leaves nothing behind.
        // Nobody can open it by name, so it may be created with the source's mode at once.
        const bool setMode = NeedsModeChange(sourceInfo, to);
        const mode_t createMode = setMode ? 0600 : (sourceInfo.st_mode & 0777);
        UniqueFd temporary(
            openat(to.dirFd, FolderArgument(to.folder), O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode));
        if (temporary) {
            if (FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get(), setMode); !filled)
                return filled;
            return PlaceUnnamedFile(temporary.Get(), to, placement, holdReplaced);
        }
        // EISDIR comes from kernels that do not know O_TMPFILE at all.
        if (errno != EOPNOTSUPP && errno != EISDIR)
            return FsStatus::Failure(errno);
    }

    std::string temporaryPath;
    UniqueFd temporary;
    for (int attempt = 0; attempt < temporaryNameAttempts && !temporary; ++attempt) {
        temporaryPath = TemporaryPathIn(to.folder);
        temporary.Reset(openat(to.dirFd, temporaryPath.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!temporary && errno != EEXIST)
            return FsStatus::Failure(errno);
    }
    if (!temporary)
        return FsStatus::Failure(EEXIST);
    FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get(), true);
    // A delayed write error (on a network file system, say) may only show when the file is closed.
    if (close(temporary.Release()) != 0 && filled)
        filled = FsStatus::Failure(errno);
    if (!filled) {
        unlinkat(to.dirFd, temporaryPath.c_str(), 0);
        return filled;
    }
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, placement == Placement::Replace, holdReplaced);
}

FsStatus PosixFileSystem::PlaceUnnamedFile(int temporary, const Destination& to, Placement placement,
                                           DeferredCloser* holdReplaced)
{
    if (placement == Placement::Add) {
        const int error = LinkUnnamed(temporary, to.dirFd, to.name);
        return error == 0 ? FsStatus() : FsStatus::Failure(error);
    }
    // rename() is the only way to replace a name in one step, and it needs a named file.
    for (int attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        const std::string temporaryPath = TemporaryPathIn(to.folder);
        const int error = LinkUnnamed(temporary, to.dirFd, temporaryPath);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return FsStatus::Failure(error);
        return PlaceNamedFile(to.dirFd, temporaryPath, to.name, true, holdReplaced);
    }
    return FsStatus::Failure(EEXIST);
}

FsStatus PosixFileSystem::CopyLink(int sourceDirFd, const char* sourceName, const struct stat& info,
                                   const Destination& to, Placement placement, DeferredCloser* holdReplaced)
{
    // st_size is the length of the link's text, but it may change meanwhile, so read until it fits.
    std::string pointsTo(static_cast<std::size_t>(info.st_size) + 1, '\0');
    for (;;) {
        const ssize_t length = readlinkat(sourceDirFd, sourceName, pointsTo.data(), pointsTo.size());
        if (length < 0)
            return FsStatus::Failure(errno);
        if (static_cast<std::size_t>(length) < pointsTo.size()) {
            pointsTo.resize(static_cast<std::size_t>(length));
            break;
        }
        pointsTo.resize(pointsTo.size() * 2);
    }

    std::string temporaryPath;
    for (int attempt = 0;; ++attempt) {
        if (attempt == temporaryNameAttempts)
            return FsStatus::Failure(EEXIST);
        temporaryPath = TemporaryPathIn(to.folder);
        if (symlinkat(pointsTo.c_str(), to.dirFd, temporaryPath.c_str()) == 0)
            break;
        if (errno != EEXIST)
            return FsStatus::Failure(errno);
    }
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (utimensat(to.dirFd, temporaryPath.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        unlinkat(to.dirFd, temporaryPath.c_str(), 0);
        return FsStatus::Failure(error);
    }
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, placement == Placement::Replace, holdReplaced);
}

FsStatus PosixFileSystem::DeleteFile(const std::string& path)
{
    return DeleteEntryAt(AT_FDCWD, path.c_str());
}

// Deletes one file or link relative to its folder, refusing folders and read-only files.
FsStatus PosixFileSystem::DeleteEntryAt(int dirFd, const char* name)
{
    struct stat info {};
    if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    if (S_ISDIR(info.st_mode))
        return FsStatus::Failure(EISDIR);
    if (IsReadOnlyFile(info))
        return FsStatus::Failure(EACCES);
    UniqueFd held;
    if (HoldsData(info))
        held.Reset(openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (unlinkat(dirFd, name, 0) != 0)
        return FsStatus::Failure(errno);
    if (held)
        closer_.Close(held.Release());
    return {};
}

FsStatus PosixFileSystem::MakeFolder(const std::string& folder)
{
    if (mkdir(folder.c_str(), 0777) == 0)
        return {};
    if (errno != EEXIST)
        return FsStatus::Failure(errno);
    // Only a real folder counts as already there: not a file, and not a link to a folder, which a
    // tree copy would otherwise write through.
    struct stat info {};
    if (lstat(WithoutTrailingSeparator(folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {};
    return FsStatus::Failure(EEXIST);
}

FsStatus PosixFileSystem::RemoveFolder(const std::string& folder)
{
    if (rmdir(folder.c_str()) != 0)
        return FsStatus::Failure(errno);
    return {};
}

// --- Tree walks ------------------------------------------------------------------------------------
// Each level lists its source completely, then handles the entries in listing order: the first
// failure ends the walk, a stop request ends it after the current entry, and no link is followed
// (sub-folders are opened with O_NOFOLLOW, links are copied or deleted as links).

FsStatus PosixFileSystem::CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                         const StopFlag& stop)
{
    bool created = mkdir(targetFolder.c_str(), 0777) == 0;
    if (!created)
        if (FsStatus made = MakeFolder(targetFolder); !made)
            return made;
    const UniqueFd source(open(sourceFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!source)
        return FsStatus::Failure(errno);
    const UniqueFd target(OpenFolderAt(AT_FDCWD, WithoutTrailingSeparator(targetFolder).c_str()));
    if (!target)
        return FsStatus::Failure(errno);
    // Read once per tree copy: the umask may differ from one copy to the next.
    const TreeCopy copy{ReadUmask(), stop};
    const std::optional<mode_t> createMask = HasDefaultAcl(target.Get()) ? std::nullopt : copy.umask;
    return CopyTreeLevel({source.Get(), target.Get(), created, sourceFolder, targetFolder, createMask, 1}, copy);
}

FsStatus PosixFileSystem::CopySubTree(const TreeLevel& parent, const std::string& name, const TreeCopy& copy)
{
    const std::string sourcePath = parent.sourceFolder + name + pathSeparator;
    const std::string targetPath = parent.targetFolder + name + pathSeparator;
    if (parent.depth >= deepestOpenLevel)
        return CopyTreeByPaths(sourcePath, targetPath, copy.stop, TreeRecursion::ByPaths);
    bool created = false;
    if (FsStatus made = MakeFolderAt(parent.targetFd, name.c_str(), created); !made)
        return made;
    const UniqueFd source = OpenFolderAt(parent.sourceFd, name.c_str());
    if (!source)
        return FsStatus::Failure(errno);
    const UniqueFd target = OpenFolderAt(parent.targetFd, name.c_str());
    if (!target)
        return FsStatus::Failure(errno);
    // A new folder takes over its parent's default ACL, so only a folder that was there already can
    // have one of its own.
    std::optional<mode_t> createMask = parent.createMask;
    if (!created || !parent.createMask)
        createMask = HasDefaultAcl(target.Get()) ? std::nullopt : copy.umask;
    return CopyTreeLevel(
        {source.Get(), target.Get(), created, sourcePath, targetPath, createMask, parent.depth + 1}, copy);
}

FsStatus PosixFileSystem::CopyTreeLevel(const TreeLevel& level, const TreeCopy& copy)
{
    std::vector<ListedEntry> entries;
    if (FsStatus listed = ReadEntries(level.sourceFd, entries); !listed)
        return listed;
    FsStatus result;
    std::vector<std::string> run;
    for (std::size_t index = 0; index < entries.size();) {
        if (entries[index].isFolder) {
            result = CopySubTree(level, entries[index].name, copy);
            ++index;
            if (!result || copy.stop.load(std::memory_order_relaxed))
                break;
            continue;
        }
        // The files up to the next folder form one run, copied in listing order.
        run.clear();
        for (; index < entries.size() && !entries[index].isFolder; ++index)
            if (!IsTemporaryName(entries[index].name))
                run.push_back(std::move(entries[index].name));
        bool stopped = false;
        result = CopyFileRun(level, run, copy, stopped);
        if (!result || stopped)
            break;
    }
    return result;
}

FsStatus PosixFileSystem::CopyFileRun(const TreeLevel& level, const std::vector<std::string>& names,
                                      const TreeCopy& copy, bool& stopped)
{
    // Into a folder this copy has made, every file is an add through an unnamed temporary file, so a
    // helper can fill the next files' temporary files while this thread gives each its name in
    // order. A file not yet named is invisible: a failure or a stop leaves what working alone would.
    const bool ahead = level.targetIsNew && temporaryFiles_ == TemporaryFileKind::UnnamedWhereSupported &&
                       names.size() > 1 && prepareAhead_.Begin(names.size(), [&](std::size_t index) {
                           return PrepareUnnamedCopy(level, names[index]);
                       });
    const std::optional<Placement> placement =
        level.targetIsNew ? std::optional<Placement>(Placement::Add) : std::nullopt;
    FsStatus result;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const Destination to{level.targetFd, names[index], {}, level.createMask};
        UniqueFd prepared = ahead ? prepareAhead_.Take(index) : UniqueFd();
        if (prepared) {
            const int error = LinkUnnamed(prepared.Get(), to.dirFd, to.name);
            result = error == 0 ? FsStatus() : FsStatus::Failure(error);
        } else {
            // Not prepared (a link, a special file, or a preparation that failed): done here from the
            // start, exactly as without a helper.
            result = CopyEntryRetrying(level.sourceFd, to.name.c_str(), to, placement);
        }
        stopped = copy.stop.load(std::memory_order_relaxed);
        if (!result || stopped)
            break;
    }
    if (ahead)
        prepareAhead_.End();
    return result;
}

// The first half of an add into a new folder: the source's data, mode and time stamps in an unnamed
// temporary file. Anything unusual answers "not prepared" and is left to the in-order copy.
UniqueFd PosixFileSystem::PrepareUnnamedCopy(const TreeLevel& level, const std::string& name) const
{
    const UniqueFd source(openat(level.sourceFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!source || fstat(source.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const Destination to{level.targetFd, name, {}, level.createMask};
    const bool setMode = NeedsModeChange(info, to);
    UniqueFd temporary(openat(level.targetFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC,
                              setMode ? mode_t{0600} : (info.st_mode & 0777)));
    if (!temporary || !FillTemporary(source.Get(), info, temporary.Get(), setMode))
        return {};
    return temporary;
}

FsStatus PosixFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    UniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return FsStatus::Failure(errno);
    if (FsStatus emptied = DeleteTreeLevel(dir.Get(), folder, 1, stop); !emptied)
        return emptied;
    // After a stop part-way the folder is not empty, so removing it fails and so does the whole delete.
    const FsStatus removed = RemoveFolder(folder);
    // The open folder is let go in the background like a deleted file.
    closer_.Close(dir.Release());
    return removed;
}

FsStatus PosixFileSystem::DeleteSubTree(int parentFd, const std::string& name, const std::string& folder,
                                        int depth, const StopFlag& stop)
{
    if (depth >= deepestOpenLevel)
        return DeleteTreeByPaths(folder + name + pathSeparator, stop, TreeRecursion::ByPaths);
    UniqueFd dir = OpenFolderAt(parentFd, name.c_str());
    if (!dir)
        return FsStatus::Failure(errno);
    if (FsStatus emptied = DeleteTreeLevel(dir.Get(), folder + name + pathSeparator, depth, stop); !emptied)
        return emptied;
    if (unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0)
        return FsStatus::Failure(errno);
    closer_.Close(dir.Release());
    return {};
}

FsStatus PosixFileSystem::DeleteTreeLevel(int folderFd, const std::string& folder, int depth,
                                          const StopFlag& stop)
{
    std::vector<ListedEntry> entries;
    if (FsStatus listed = ReadEntries(folderFd, entries); !listed)
        return listed;
    FsStatus result;
    for (const ListedEntry& entry : entries) {
        if (entry.isFolder)
            result = DeleteSubTree(folderFd, entry.name, folder, depth + 1, stop);
        else
            result = DeleteEntryAt(folderFd, entry.name.c_str());
        if (!result || stop.load(std::memory_order_relaxed))
            break;
    }
    return result;
}

}  // namespace twinfol
