// The Linux file-system layer. A copy never leaves a half-written file under the target's name: the
// data goes to a temporary file in the target's folder and only a complete file with the source's
// mode and time stamps is linked or renamed into place.
#include "engine/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace twinfol {
namespace {

constexpr int temporaryNameAttempts = 16;
constexpr std::size_t readWriteBufferSize = 128 * 1024;
// copy_file_range takes a size_t count; a gigabyte per call keeps each call interruptible.
constexpr off_t largestKernelCopy = off_t{1} << 30;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

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

// Data, then mode, then time stamps: writing would clear set-user-ID bits and move the time stamp.
FsStatus FillTemporary(int source, const struct stat& sourceInfo, int temporary)
{
    if (FsStatus copied = CopyData(source, temporary, sourceInfo.st_size); !copied)
        return copied;
    if (fchmod(temporary, sourceInfo.st_mode & 07777) != 0)
        return FsStatus::Failure(errno);
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (futimens(temporary, times) != 0)
        return FsStatus::Failure(errno);
    return {};
}

// Gives an unnamed O_TMPFILE file a name. The /proc route needs no privilege; AT_EMPTY_PATH is the
// way when /proc is not mounted.
int LinkUnnamed(int fd, const std::string& name)
{
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    return linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

}  // namespace

PosixFileSystem::PosixFileSystem(TemporaryFileKind temporaryFiles) : temporaryFiles_(temporaryFiles) {}

FsStatus PosixFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    DirStream dir(opendir(folder.c_str()));
    if (!dir)
        return FsStatus::Failure(errno);

    // The names are read completely before any is handed out: the visitor may then change the
    // folder, and a walk down a deep tree keeps no folder open per level.
    std::vector<std::string> names;
    std::vector<bool> folders;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0)
                return FsStatus::Failure(errno);
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            if (fstatat(dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue;  // Gone since the folder was read.
                // Listed as a file: whatever is then done to it fails and is reported there.
            }
            isFolder = S_ISDIR(info.st_mode);
        }
        names.emplace_back(name);
        folders.push_back(isFolder);
    }
    dir.reset();

    for (std::size_t i = 0; i < names.size(); ++i)
        if (!onEntry(names[i], folders[i]))
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
    // O_NONBLOCK keeps a FIFO from blocking the open; O_NOFOLLOW refuses a link, which is then
    // copied as a link.
    UniqueFd source(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const int openError = source ? 0 : errno;
    struct stat sourceInfo {};
    if (source) {
        if (fstat(source.Get(), &sourceInfo) != 0)
            return FsStatus::Failure(errno);
        if (S_ISDIR(sourceInfo.st_mode))
            return FsStatus::Failure(EISDIR);
        if (!S_ISREG(sourceInfo.st_mode))
            return FsStatus::Failure(EOPNOTSUPP);
    } else if (openError != ELOOP || lstat(from.c_str(), &sourceInfo) != 0 || !S_ISLNK(sourceInfo.st_mode)) {
        return FsStatus::Failure(openError);
    }

    // Whether the copy adds or replaces is decided by what stands at the target now. An add never
    // replaces a name that appears meanwhile.
    Placement placement = Placement::Replace;
    struct stat targetInfo {};
    if (lstat(to.c_str(), &targetInfo) != 0) {
        if (errno != ENOENT)
            return FsStatus::Failure(errno);
        placement = Placement::Add;
    } else if (S_ISDIR(targetInfo.st_mode)) {
        return FsStatus::Failure(EISDIR);
    } else if (IsReadOnlyFile(targetInfo)) {
        return FsStatus::Failure(EACCES);
    }

    if (!source)
        return CopyLink(from, sourceInfo, to, placement);
    return CopyRegularFile(source.Get(), sourceInfo, to, placement);
}

FsStatus PosixFileSystem::CopyRegularFile(int source, const struct stat& sourceInfo, const std::string& to,
                                          Placement placement)
{
    const std::string folder = FolderOf(to);
    if (temporaryFiles_ == TemporaryFileKind::UnnamedWhereSupported) {
        // An unnamed file vanishes with the process, so a crash mid-copy leaves nothing behind.
        const char* folderPath = folder.empty() ? "." : folder.c_str();
        UniqueFd temporary(open(folderPath, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (temporary) {
            if (FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get()); !filled)
                return filled;
            return PlaceUnnamedFile(temporary.Get(), to, placement);
        }
        // EISDIR comes from kernels that do not know O_TMPFILE at all.
        if (errno != EOPNOTSUPP && errno != EISDIR)
            return FsStatus::Failure(errno);
    }

    std::string temporaryPath;
    UniqueFd temporary;
    for (int attempt = 0; attempt < temporaryNameAttempts && !temporary; ++attempt) {
        temporaryPath = TemporaryPathIn(folder);
        temporary.Reset(
            open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!temporary && errno != EEXIST)
            return FsStatus::Failure(errno);
    }
    if (!temporary)
        return FsStatus::Failure(EEXIST);
    FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get());
    // A delayed write error (on a network file system, say) may only show when the file is closed.
    if (close(temporary.Release()) != 0 && filled)
        filled = FsStatus::Failure(errno);
    if (!filled) {
        unlink(temporaryPath.c_str());
        return filled;
    }
    return PlaceNamedFile(temporaryPath, to, placement);
}

FsStatus PosixFileSystem::PlaceUnnamedFile(int temporary, const std::string& to, Placement placement)
{
    if (placement == Placement::Add) {
        const int error = LinkUnnamed(temporary, to);
        return error == 0 ? FsStatus() : FsStatus::Failure(error);
    }
    // rename() is the only way to replace a name in one step, and it needs a named file.
    const std::string folder = FolderOf(to);
    for (int attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        const std::string temporaryPath = TemporaryPathIn(folder);
        const int error = LinkUnnamed(temporary, temporaryPath);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return FsStatus::Failure(error);
        return PlaceNamedFile(temporaryPath, to, Placement::Replace);
    }
    return FsStatus::Failure(EEXIST);
}

FsStatus PosixFileSystem::PlaceNamedFile(const std::string& temporaryPath, const std::string& to,
                                         Placement placement)
{
    if (placement == Placement::Replace) {
        if (rename(temporaryPath.c_str(), to.c_str()) == 0)
            return {};
    } else {
        if (renameat2(AT_FDCWD, temporaryPath.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        // File systems without RENAME_NOREPLACE still refuse to link over an existing name.
        if ((errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) &&
            linkat(AT_FDCWD, temporaryPath.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
            unlink(temporaryPath.c_str());
            return {};
        }
    }
    const int error = errno;
    unlink(temporaryPath.c_str());
    return FsStatus::Failure(error);
}

FsStatus PosixFileSystem::CopyLink(const std::string& from, const struct stat& info, const std::string& to,
                                   Placement placement)
{
    // st_size is the length of the link's text, but it may change meanwhile, so read until it fits.
    std::string pointsTo(static_cast<std::size_t>(info.st_size) + 1, '\0');
    for (;;) {
        const ssize_t length = readlink(from.c_str(), pointsTo.data(), pointsTo.size());
        if (length < 0)
            return FsStatus::Failure(errno);
        if (static_cast<std::size_t>(length) < pointsTo.size()) {
            pointsTo.resize(static_cast<std::size_t>(length));
            break;
        }
        pointsTo.resize(pointsTo.size() * 2);
    }

    const std::string folder = FolderOf(to);
    std::string temporaryPath;
    for (int attempt = 0;; ++attempt) {
        if (attempt == temporaryNameAttempts)
            return FsStatus::Failure(EEXIST);
        temporaryPath = TemporaryPathIn(folder);
        if (symlink(pointsTo.c_str(), temporaryPath.c_str()) == 0)
            break;
        if (errno != EEXIST)
            return FsStatus::Failure(errno);
    }
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (utimensat(AT_FDCWD, temporaryPath.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        unlink(temporaryPath.c_str());
        return FsStatus::Failure(error);
    }
    return PlaceNamedFile(temporaryPath, to, placement);
}

FsStatus PosixFileSystem::DeleteFile(const std::string& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return FsStatus::Failure(errno);
    if (S_ISDIR(info.st_mode))
        return FsStatus::Failure(EISDIR);
    if (IsReadOnlyFile(info))
        return FsStatus::Failure(EACCES);
    if (unlink(path.c_str()) != 0)
        return FsStatus::Failure(errno);
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

}  // namespace twinfol
