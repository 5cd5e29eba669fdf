// Every operation that is not a primitive goes to the default of the interface, never to the real
// layer's own way of doing it.
#include "support/primitives_only_file_system.h"

namespace twinfol::test {

std::unique_ptr<RunScope> PrimitivesOnlyFileSystem::BeginRun(const std::string& sourceRoot,
                                                             const std::string& targetRoot,
                                                             ReadOnlyTargets readOnly)
{
    return FileSystem::BeginRun(sourceRoot, targetRoot, readOnly);
}

EntryKind PrimitivesOnlyFileSystem::KindOf(const std::string& path)
{
    return FileSystem::KindOf(path);
}

FsResult<FileStamp> PrimitivesOnlyFileSystem::ReadFileStamp(const std::string& path)
{
    return FileSystem::ReadFileStamp(path);
}

FsStatus PrimitivesOnlyFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                                       std::unique_ptr<FolderStampReader>& stamps)
{
    return FileSystem::ListFolderForStamps(folder, onEntry, stamps);
}

FsStatus PrimitivesOnlyFileSystem::CopyFolderTree(const std::string& sourceFolder,
                                                  const std::string& targetFolder, const StopFlag& stop,
                                                  CopyProgress* progress)
{
    return FileSystem::CopyFolderTree(sourceFolder, targetFolder, stop, progress);
}

FsStatus PrimitivesOnlyFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    return FileSystem::DeleteFolderTree(folder, stop);
}

FsStatus PrimitivesOnlyFileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    return FileSystem::MakeFolders(folder, mode);
}

} // namespace twinfol::test
