// The SFTP layer's whole-file calls, its refusals of the Trash and of locks, and the scope of a run.
#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/path.h"
#include "engine/fs/refusal_rules.h"
#include "engine/records/refusal_reasons.h"
#include "engine/sftp/sftp_file_system.h"
#include "engine/sftp/sftp_target_lock.h"
#include "engine/sftp/sftp_transfer.h"

namespace twinfol {
namespace {

class SftpRunScope : public RunScope {
public:
    SftpRunScope(std::atomic<ReadOnlyTargets>& rule, SftpChannel& channel, const std::string& targetRoot)
        : rule_(rule), lock_(channel, targetRoot)
    {
    }
    // The rule for read-only targets holds only while the run's scope lives.
    ~SftpRunScope() override { rule_ = ReadOnlyTargets::Keep; }
    FsStatus Status() const override { return lock_.Status(); }

private:
    std::atomic<ReadOnlyTargets>& rule_;
    SftpTargetLock lock_;
};

mode_t LessUmask(mode_t mode)
{
    static const mode_t mask = [] {
        const mode_t read = umask(0);
        umask(read);
        return read;
    }();
    return mode & ~mask;
}

FsStatus WriteOpenFile(SftpChannel& channel, sftp_file file, std::string_view content)
{
    FsStatus status;
    if (!content.empty() &&
        sftp_write(file, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
        status = channel.LastFailure();
    if (sftp_close(file) != SSH_OK && status)
        status = channel.LastFailure();
    return status;
}

} // namespace

FsStatus SftpFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    bytes.clear();
    auto lock = channel_->Lock();
    EntryFacts facts;
    if (FsStatus found = channel_->Facts(path, facts, ServerLink::Followed); !found)
        return found;
    if (facts.kind == EntryKind::Folder)
        return FsStatus::Failure(EISDIR);
    if (facts.kind != EntryKind::File)
        return FsStatus::Refusal(EOPNOTSUPP, sourceIsSpecialReason);
    sftp_file file = sftp_open(channel_->Sftp(), path.c_str(), O_RDONLY, 0);
    if (file == nullptr)
        return channel_->LastFailure();
    FsStatus status;
    char buffer[64 * 1024];
    while (bytes.size() < maxBytes) {
        const ssize_t read = sftp_read(file, buffer, std::min(sizeof buffer, maxBytes - bytes.size()));
        if (read <= 0) {
            if (read < 0)
                status = channel_->LastFailure();
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(read));
    }
    sftp_close(file);
    return status;
}

FsStatus SftpFileSystem::ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode)
{
    auto lock = channel_->Lock();
    std::string target = path;
    EntryFacts existing;
    if (FsStatus looked = channel_->Facts(target, existing); !looked && looked.Error() != ENOENT)
        return looked;
    // A link is replaced where it points.
    if (existing.kind == EntryKind::Link) {
        char* resolved = sftp_canonicalize_path(channel_->Sftp(), path.c_str());
        if (resolved == nullptr)
            return channel_->LastFailure();
        target = resolved;
        ssh_string_free_char(resolved);
        if (FsStatus looked = channel_->Facts(target, existing); !looked && looked.Error() != ENOENT)
            return looked;
    }
    if (existing.kind == EntryKind::Folder)
        return FsStatus::Failure(EISDIR);
    if (existing.readOnly)
        return FsStatus::Refusal(EACCES, "the file is read-only");
    TemporaryFinish finish;
    finish.mode = existing.kind == EntryKind::File ? existing.mode : LessUmask(newFileMode);
    return WriteThroughTemporary(*channel_, target, TextSource(content), finish, ServerPlacement::Overwrite,
                                 nullptr, content.size());
}

FsStatus SftpFileSystem::LockFile(const std::string&, std::unique_ptr<FileLock>& lock)
{
    lock.reset();
    return FsStatus::Refusal(EOPNOTSUPP, "a server keeps no locks on files");
}

FsStatus SftpFileSystem::CreateNewFile(const std::string& path, std::string_view content, mode_t mode)
{
    auto lock = channel_->Lock();
    sftp_file file = sftp_open(channel_->Sftp(), path.c_str(), O_WRONLY | O_CREAT | O_EXCL, LessUmask(mode));
    if (file == nullptr) {
        const FsStatus failure = channel_->LastFailure();
        EntryFacts existing;
        return !IsConnectionLoss(failure) && channel_->Facts(path, existing) ? FsStatus::Failure(EEXIST)
                                                                             : failure;
    }
    const FsStatus written = WriteOpenFile(*channel_, file, content);
    if (!written)
        sftp_unlink(channel_->Sftp(), path.c_str());
    return written;
}

FsStatus SftpFileSystem::AppendFile(const std::string& path, std::string_view content, mode_t newFileMode)
{
    auto lock = channel_->Lock();
    EntryFacts existing;
    if (channel_->Facts(path, existing) && existing.kind == EntryKind::Link)
        return FsStatus::Failure(ELOOP);
    // Not O_APPEND: libssh's own look at the size for it is never freed. The size is read here, and
    // the writes start at the end.
    sftp_file file = sftp_open(channel_->Sftp(), path.c_str(), O_WRONLY | O_CREAT, LessUmask(newFileMode));
    if (file == nullptr)
        return channel_->LastFailure();
    sftp_attributes size = sftp_fstat(file);
    if (size == nullptr) {
        const FsStatus failure = channel_->LastFailure();
        sftp_close(file);
        return failure;
    }
    const int moved = sftp_seek64(file, size->size);
    sftp_attributes_free(size);
    if (moved != 0) {
        const FsStatus failure = channel_->LastFailure();
        sftp_close(file);
        return failure;
    }
    return WriteOpenFile(*channel_, file, content);
}

FsStatus SftpFileSystem::OpenTrashFolder(const TrashFolderRequest&, std::unique_ptr<TrashHold>& hold)
{
    hold.reset();
    return NoTrashOnServerRefusal();
}

FsStatus SftpFileSystem::CreateAppendOnlyFile(const std::string&, std::string_view, mode_t,
                                              std::unique_ptr<AppendOnlyFile>& file)
{
    file.reset();
    return NoTrashOnServerRefusal();
}

FsStatus SftpFileSystem::MoveToTrash(const std::string&, const std::string&)
{
    return NoTrashOnServerRefusal();
}

FsStatus SftpFileSystem::LinkToTrash(const std::string&, const std::string&, const std::string&)
{
    return NoTrashOnServerRefusal();
}

FsStatus SftpFileSystem::MoveFromTrash(const std::string&, const std::string&, ExistingEntry)
{
    return NoTrashOnServerRefusal();
}

std::unique_ptr<RunScope> SftpFileSystem::BeginRun(const std::string&, const std::string& targetRoot,
                                                   ReadOnlyTargets readOnly)
{
    readOnly_ = readOnly;
    return std::make_unique<SftpRunScope>(readOnly_, *channel_, targetRoot);
}

FsStatus SftpFileSystem::MatchFolderTime(const std::string& sourceFolder, const std::string& targetFolder)
{
    auto lock = channel_->Lock();
    EntryFacts source;
    EntryFacts target;
    if (FsStatus found = channel_->Facts(WithoutTrailingSeparator(sourceFolder), source); !found)
        return found;
    if (FsStatus found = channel_->Facts(WithoutTrailingSeparator(targetFolder), target); !found)
        return found;
    // SFTP's setstat follows a link, so a link is never given the time.
    if (FsStatus still = CheckStillFolder(target); !still)
        return still;
    return SetFolderTimeLocked(targetFolder, source.modifiedSeconds);
}

FsStatus SftpFileSystem::SetFolderTime(const std::string& folder, std::int64_t modifiedSeconds)
{
    auto lock = channel_->Lock();
    EntryFacts target;
    if (FsStatus found = channel_->Facts(WithoutTrailingSeparator(folder), target); !found)
        return found;
    if (FsStatus still = CheckStillFolder(target); !still)
        return still;
    return SetFolderTimeLocked(folder, modifiedSeconds);
}

FsStatus SftpFileSystem::SetFolderTimeLocked(const std::string& folder, std::int64_t modifiedSeconds)
{
    sftp_attributes_struct attributes{};
    attributes.flags = SSH_FILEXFER_ATTR_ACMODTIME;
    attributes.atime = static_cast<std::uint32_t>(modifiedSeconds);
    attributes.mtime = static_cast<std::uint32_t>(modifiedSeconds);
    if (sftp_setstat(channel_->Sftp(), WithoutTrailingSeparator(folder).c_str(), &attributes) != SSH_OK)
        return channel_->LastFailure();
    return {};
}

FsResult<SpaceFigures> SftpFileSystem::ReadSpace(const std::string& folder)
{
    auto lock = channel_->Lock();
    if (sftp_extension_supported(channel_->Sftp(), "statvfs@openssh.com", "2") == 0)
        return FsStatus::Failure(EOPNOTSUPP);
    sftp_statvfs_t figures = sftp_statvfs(channel_->Sftp(), folder.c_str());
    if (figures == nullptr)
        return channel_->LastFailure();
    const std::uint64_t unit = figures->f_frsize != 0 ? figures->f_frsize : figures->f_bsize;
    const SpaceFigures space{figures->f_bavail * unit, unit};
    sftp_statvfs_free(figures);
    return space;
}

DiskKind SftpFileSystem::DiskKindOf(const std::string&)
{
    return {NameRules::Posix, true};
}

} // namespace twinfol
