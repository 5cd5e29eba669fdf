// The folder-tree operations, built on the single-entry operations of the layer.
#include "engine/file_system.h"

namespace twinfol {
namespace {

class PathStampReader : public FolderStampReader {
public:
    PathStampReader(FileSystem& fileSystem, std::string folder)
        : fileSystem_(fileSystem), folder_(std::move(folder))
    {
    }

    std::optional<FileStamp> ReadFileStamp(const std::string& name) override
    {
        path_.assign(folder_);
        path_ += name;
        return fileSystem_.ReadFileStamp(path_);
    }

private:
    FileSystem& fileSystem_;
    std::string folder_;
    std::string path_;
};

}  // namespace

bool IsTemporaryName(std::string_view name)
{
    // Exactly the names the copy makes, 16 lower-case hex digits between prefix and suffix: a user's
    // ".twinfol-notes.part" is the user's file and must be synchronised like any other.
    if (name.size() != temporaryNamePrefix.size() + temporaryNameDigits + temporaryNameSuffix.size() ||
        !name.starts_with(temporaryNamePrefix) || !name.ends_with(temporaryNameSuffix))
        return false;
    const std::string_view digits = name.substr(temporaryNamePrefix.size(), temporaryNameDigits);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

FsStatus FileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                         std::unique_ptr<FolderStampReader>& stamps)
{
    const FsStatus listed = ListFolder(folder, onEntry);
    if (listed)
        stamps = std::make_unique<PathStampReader>(*this, folder);
    return listed;
}

FsStatus FileSystem::CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                    const StopFlag& stop)
{
    return CopyTreeByPaths(sourceFolder, targetFolder, stop, TreeRecursion::ThroughOverrides);
}

FsStatus FileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    return DeleteTreeByPaths(folder, stop, TreeRecursion::ThroughOverrides);
}

FsStatus FileSystem::CopyTreeByPaths(const std::string& sourceFolder, const std::string& targetFolder,
                                     const StopFlag& stop, TreeRecursion recursion)
{
    if (FsStatus made = MakeFolder(targetFolder); !made)
        return made;
    FsStatus result;
    const FsStatus listed = ListFolder(sourceFolder, [&](std::string_view name, bool isFolder) {
        if (IsTemporaryName(name))
            return true;
        std::string from = sourceFolder;
        from += name;
        std::string to = targetFolder;
        to += name;
        if (isFolder) {
            from += pathSeparator;
            to += pathSeparator;
            result = recursion == TreeRecursion::ThroughOverrides ? CopyFolderTree(from, to, stop)
                                                                  : CopyTreeByPaths(from, to, stop, recursion);
        } else {
            result = CopyFile(from, to);
        }
        return result.IsOk() && !stop.load(std::memory_order_relaxed);
    });
    return listed ? result : listed;
}

FsStatus FileSystem::DeleteTreeByPaths(const std::string& folder, const StopFlag& stop, TreeRecursion recursion)
{
    FsStatus result;
    const FsStatus listed = ListFolder(folder, [&](std::string_view name, bool isFolder) {
        std::string path = folder;
        path += name;
        if (isFolder) {
            path += pathSeparator;
            result = recursion == TreeRecursion::ThroughOverrides ? DeleteFolderTree(path, stop)
                                                                  : DeleteTreeByPaths(path, stop, recursion);
        } else {
            result = DeleteFile(path);
        }
        return result.IsOk() && !stop.load(std::memory_order_relaxed);
    });
    if (!listed)
        return listed;
    if (!result)
        return result;
    // After a stop part-way the folder is not empty, so removing it fails and so does the whole delete.
    return RemoveFolder(folder);
}

}  // namespace twinfol
