// Every call handed on to the layer beneath.
#include "engine/fs/forwarding_file_system.h"

namespace twinfol {

FsStatus ForwardingFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return inner_.ListFolder(folder, onEntry);
}

FsStatus ForwardingFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    return inner_.LookAt(path, facts);
}

FsResult<std::string> ForwardingFileSystem::ResolvePath(const std::string& path)
{
    return inner_.ResolvePath(path);
}

FsResult<FolderIdentity> ForwardingFileSystem::IdentifyFolder(const std::string& folder)
{
    return inner_.IdentifyFolder(folder);
}

FsStatus ForwardingFileSystem::CopyFile(const std::string& from, const std::string& to,
                                        CopyProgress* progress)
{
    return inner_.CopyFile(from, to, progress);
}

FsStatus ForwardingFileSystem::DeleteFile(const std::string& path)
{
    return inner_.DeleteFile(path);
}

FsStatus ForwardingFileSystem::MakeFolder(const std::string& folder, mode_t mode)
{
    return inner_.MakeFolder(folder, mode);
}

FsStatus ForwardingFileSystem::RemoveFolder(const std::string& folder)
{
    return inner_.RemoveFolder(folder);
}

FsStatus ForwardingFileSystem::Respell(const std::string& path, const std::string& newName)
{
    return inner_.Respell(path, newName);
}

FsStatus ForwardingFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return inner_.ReadFile(path, maxBytes, bytes);
}

FsStatus ForwardingFileSystem::ReplaceFile(const std::string& path, std::string_view content,
                                           mode_t newFileMode)
{
    return inner_.ReplaceFile(path, content, newFileMode);
}

FsStatus ForwardingFileSystem::LockFile(const std::string& path, std::unique_ptr<FileLock>& lock)
{
    return inner_.LockFile(path, lock);
}

FsStatus ForwardingFileSystem::CreateNewFile(const std::string& path, std::string_view content, mode_t mode)
{
    return inner_.CreateNewFile(path, content, mode);
}

FsStatus ForwardingFileSystem::AppendFile(const std::string& path, std::string_view content,
                                          mode_t newFileMode)
{
    return inner_.AppendFile(path, content, newFileMode);
}

FsStatus ForwardingFileSystem::OpenTrashFolder(const TrashFolderRequest& request,
                                               std::unique_ptr<TrashHold>& hold)
{
    return inner_.OpenTrashFolder(request, hold);
}

FsStatus ForwardingFileSystem::CreateAppendOnlyFile(const std::string& path, std::string_view content,
                                                    mode_t mode, std::unique_ptr<AppendOnlyFile>& file)
{
    return inner_.CreateAppendOnlyFile(path, content, mode, file);
}

FsStatus ForwardingFileSystem::MoveToTrash(const std::string& path, const std::string& trashPath)
{
    return inner_.MoveToTrash(path, trashPath);
}

FsStatus ForwardingFileSystem::LinkToTrash(const std::string& path, const std::string& trashPath,
                                           const std::string& source)
{
    return inner_.LinkToTrash(path, trashPath, source);
}

FsStatus ForwardingFileSystem::MoveFromTrash(const std::string& trashPath, const std::string& path,
                                             ExistingEntry existing)
{
    return inner_.MoveFromTrash(trashPath, path, existing);
}

std::unique_ptr<RunScope> ForwardingFileSystem::BeginRun(const std::string& sourceRoot,
                                                         const std::string& targetRoot,
                                                         ReadOnlyTargets readOnly)
{
    return inner_.BeginRun(sourceRoot, targetRoot, readOnly);
}

EntryKind ForwardingFileSystem::KindOf(const std::string& path)
{
    return inner_.KindOf(path);
}

FsResult<FileStamp> ForwardingFileSystem::ReadFileStamp(const std::string& path)
{
    return inner_.ReadFileStamp(path);
}

FsStatus ForwardingFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                                   std::unique_ptr<FolderStampReader>& stamps)
{
    return inner_.ListFolderForStamps(folder, onEntry, stamps);
}

FsStatus ForwardingFileSystem::CopyFolderTree(const std::string& sourceFolder,
                                              const std::string& targetFolder, const StopFlag& stop,
                                              CopyProgress* progress)
{
    return inner_.CopyFolderTree(sourceFolder, targetFolder, stop, progress);
}

FsStatus ForwardingFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    return inner_.DeleteFolderTree(folder, stop);
}

FsStatus ForwardingFileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    return inner_.MakeFolders(folder, mode);
}

FsStatus ForwardingFileSystem::OpenForReading(const std::string& path)
{
    return inner_.OpenForReading(path);
}

FsResult<SpaceFigures> ForwardingFileSystem::ReadSpace(const std::string& folder)
{
    return inner_.ReadSpace(folder);
}

DiskKind ForwardingFileSystem::DiskKindOf(const std::string& folder)
{
    return inner_.DiskKindOf(folder);
}

} // namespace twinfol
