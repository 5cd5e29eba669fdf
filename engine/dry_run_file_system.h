// A file-system layer for trial runs: it reads through a real layer and pretends that every change
// succeeded, so a run walks and reports exactly as it would, and nothing on disk changes.
#pragma once

#include "engine/file_system.h"

namespace twinfol {

class DryRunFileSystem : public FileSystem {
public:
    explicit DryRunFileSystem(FileSystem& reader) : reader_(reader) {}

    // The reads of a trial run go beneath the roots just as a real run's would.
    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot) override;
    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    EntryKind KindOf(const std::string& path) override;
    std::optional<std::string> ResolvePath(const std::string& path) override;
    std::optional<FolderIdentity> IdentifyFolder(const std::string& folder) override;
    std::optional<FileStamp> ReadFileStamp(const std::string& path) override;
    FsStatus CopyFile(const std::string& from, const std::string& to) override;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder) override;
    FsStatus RemoveFolder(const std::string& folder) override;
    // A whole tree counts as copied or deleted without being walked: the run reports one folder for
    // it either way, and walking a folder that was never created would only fail.
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;
    FsStatus ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;
    // A lock that holds nothing: a trial run writes nothing that would need one.
    FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
    std::optional<EntryFacts> ReadEntryFacts(const std::string& path) override;
    // The writes of the Trash and the journals are only pretended, like every other change.
    FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) override;
    FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus LinkToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                           ExistingEntry existing) override;

private:
    FileSystem& reader_;
};

} // namespace twinfol
