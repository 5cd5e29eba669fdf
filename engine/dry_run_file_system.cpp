// Reads go to the real layer; changes are only pretended.
#include "engine/dry_run_file_system.h"

namespace twinfol {

std::unique_ptr<RunScope> DryRunFileSystem::BeginRun(const std::string& sourceRoot,
                                                     const std::string& targetRoot)
{
    return reader_.BeginRun(sourceRoot, targetRoot);
}

FsStatus DryRunFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return reader_.ListFolder(folder, onEntry);
}

FsStatus DryRunFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                               std::unique_ptr<FolderStampReader>& stamps)
{
    return reader_.ListFolderForStamps(folder, onEntry, stamps);
}

EntryKind DryRunFileSystem::KindOf(const std::string& path)
{
    return reader_.KindOf(path);
}

std::optional<std::string> DryRunFileSystem::ResolvePath(const std::string& path)
{
    return reader_.ResolvePath(path);
}

std::optional<FolderIdentity> DryRunFileSystem::IdentifyFolder(const std::string& folder)
{
    return reader_.IdentifyFolder(folder);
}

std::optional<FileStamp> DryRunFileSystem::ReadFileStamp(const std::string& path)
{
    return reader_.ReadFileStamp(path);
}

FsStatus DryRunFileSystem::CopyFile(const std::string&, const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::DeleteFile(const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::MakeFolder(const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::RemoveFolder(const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::CopyFolderTree(const std::string&, const std::string&, const StopFlag&)
{
    return {};
}

FsStatus DryRunFileSystem::DeleteFolderTree(const std::string&, const StopFlag&)
{
    return {};
}

FsStatus DryRunFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return reader_.ReadFile(path, maxBytes, bytes);
}

FsStatus DryRunFileSystem::ReplaceFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::MakeFolders(const std::string&, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::LockFile(const std::string&, std::unique_ptr<FileLock>& lock)
{
    lock = std::make_unique<FileLock>();
    return {};
}

std::optional<EntryFacts> DryRunFileSystem::ReadEntryFacts(const std::string& path)
{
    return reader_.ReadEntryFacts(path);
}

FsStatus DryRunFileSystem::CreateNewFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::AppendFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::MoveToTrash(const std::string&, const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::LinkToTrash(const std::string&, const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::MoveFromTrash(const std::string&, const std::string&, ExistingEntry)
{
    return {};
}

} // namespace twinfol
