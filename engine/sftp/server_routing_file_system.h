// One file-system layer for a run between this machine and a server: paths that begin with the
// server location's text ("sftp://host/~/backup/...") go to the SFTP layer as the server's own paths,
// every other path to the local layer. The engine builds its paths by joining names to its roots, so
// with a root on the server every path below it keeps the location's text, and the report shows it.
#pragma once

#include <string>

#include "engine/fs/file_system.h"
#include "engine/sftp/sftp_file_system.h"

namespace twinfol {

class ServerRoutingFileSystem : public FileSystem {
public:
    // locationText: the location as the roots spell it, ending with the separator; serverFolder: the
    // same folder as the server's absolute path (the home folder put in), ending with the separator.
    ServerRoutingFileSystem(FileSystem& local, SftpFileSystem& server, std::string locationText,
                            std::string serverFolder);

    // Whether the path lies on the server, and its path there.
    bool OnServer(const std::string& path) const;
    std::string ServerPath(const std::string& path) const;

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
    FsResult<SpaceFigures> ReadSpace(const std::string& folder) override;
    FsStatus MatchFolderTime(const std::string& sourceFolder, const std::string& targetFolder) override;
    DiskKind DiskKindOf(const std::string& folder) override;

private:
    FileSystem& local_;
    SftpFileSystem& server_;
    std::string locationText_;
    std::string serverFolder_;
};

} // namespace twinfol
