// A layer over another layer that hands every call on to it unchanged. A layer that changes only some
// calls (the trial-run layer, a test layer that injects faults) derives from it and overrides those
// alone; everything else, the lower layer's own faster tree walks and listings included, stays the
// lower layer's. It keeps no state, so it takes calls exactly as concurrently as the layer beneath.
#pragma once

#include "engine/fs/file_system.h"

namespace twinfol {

class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

    using FileSystem::BeginRun;
    using FileSystem::CopyFile;
    using FileSystem::CopyFolderTree;
    using FileSystem::LookAt;
    using FileSystem::MakeFolder;

    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    FsStatus LookAt(const std::string& path, EntryFacts& facts) override;
    FsResult<std::string> ResolvePath(const std::string& path) override;
    FsResult<FolderIdentity> IdentifyFolder(const std::string& folder) override;
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder, mode_t mode) override;
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
    EntryKind KindOf(const std::string& path) override;
    FsResult<FileStamp> ReadFileStamp(const std::string& path) override;
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;
    FsStatus OpenForReading(const std::string& path) override;
    FsResult<SpaceFigures> ReadSpace(const std::string& folder) override;
    DiskKind DiskKindOf(const std::string& folder) override;

protected:
    // The layer beneath, which every call not overridden reaches.
    FileSystem& Inner() const { return inner_; }

private:
    FileSystem& inner_;
};

} // namespace twinfol
