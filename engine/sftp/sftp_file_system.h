// The file-system layer on a server, over SFTP: paths are the server's absolute paths, and every call
// goes over one signed-in connection. What SFTP cannot do (a Trash, locks on files, hard links) is
// refused with the reason.
#pragma once

#include <memory>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/sftp/copy_source.h"
#include "engine/sftp/sftp_channel.h"

namespace twinfol {

class SftpFileSystem : public FileSystem {
public:
    explicit SftpFileSystem(std::unique_ptr<SftpChannel> channel);

    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    FsStatus LookAt(const std::string& path, EntryFacts& facts) override;
    using FileSystem::LookAt;
    FsResult<std::string> ResolvePath(const std::string& path) override;
    FsResult<FolderIdentity> IdentifyFolder(const std::string& folder) override;
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override;
    using FileSystem::CopyFile;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder, mode_t mode) override;
    using FileSystem::MakeFolder;
    FsStatus RemoveFolder(const std::string& folder) override;
    FsStatus Respell(const std::string& path, const std::string& newName) override;

    FsStatus ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;

    FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) override;
    FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus OpenTrashFolder(const TrashFolderRequest& request, std::unique_ptr<TrashHold>& hold) override;
    FsStatus CreateAppendOnlyFile(const std::string& path, std::string_view content, mode_t mode,
                                  std::unique_ptr<AppendOnlyFile>& file) override;
    FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus LinkToTrash(const std::string& path, const std::string& trashPath,
                         const std::string& source) override;
    FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                           ExistingEntry existing) override;

    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot,
                                       ReadOnlyTargets readOnly) override;
    using FileSystem::BeginRun;
    // The room the server tells through statvfs@openssh.com; EOPNOTSUPP where it lacks that extension.
    FsResult<SpaceFigures> ReadSpace(const std::string& folder) override;
    FsStatus MatchFolderTime(const std::string& sourceFolder, const std::string& targetFolder) override;
    DiskKind DiskKindOf(const std::string& folder) override;

    // The channel, for calls the file-system interface has no word for (the home folder).
    SftpChannel& Channel() { return *channel_; }

    // Copies a file or link of this machine's onto the server, as CopyFile copies one of the server's.
    FsStatus UploadFile(const std::string& localPath, const std::string& to, CopyProgress* progress);
    // Gives a folder on the server a last-write time (whole seconds).
    FsStatus SetFolderTime(const std::string& folder, std::int64_t modifiedSeconds);

private:
    FsStatus CopyInto(const CopySource& source, const std::string& to, CopyProgress* progress);
    FsStatus ServerCopySource(const std::string& path, CopySource& source);
    FsStatus SetFolderTimeLocked(const std::string& folder, std::int64_t modifiedSeconds);
    FsStatus ExplainFolderFailure(const std::string& folder, FsStatus failure);

    std::unique_ptr<SftpChannel> channel_;
    // The rule for read-only targets of the run in progress; Keep outside a run.
    std::atomic<ReadOnlyTargets> readOnly_{ReadOnlyTargets::Keep};
};

} // namespace twinfol
