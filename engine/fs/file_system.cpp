// What every file-system layer gets from its primitives: the derived reads, the tree walks and the
// making of a folder path, each written once here for every layer that does not do them its own way.
#include "engine/fs/file_system.h"

#include <cerrno>
#include <ctime>
#include <functional>

#include "engine/fs/path_tree_walk.h"
#include "engine/fs/refusal_rules.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {
namespace {

// Reads each stamp by the entry's whole path, through the layer's own ReadFileStamp.
class PathStampReader : public FolderStampReader {
public:
    PathStampReader(FileSystem& fileSystem, std::string folder)
        : fileSystem_(fileSystem), folder_(std::move(folder))
    {
    }

    FsResult<FileStamp> ReadFileStamp(const std::string& name) override
    {
        return fileSystem_.ReadFileStamp(JoinPath(folder_, name));
    }

private:
    FileSystem& fileSystem_;
    std::string folder_;
};

} // namespace

FsResult<EntryFacts> FileSystem::LookAt(const std::string& path)
{
    EntryFacts facts;
    if (FsStatus looked = LookAt(path, facts); !looked)
        return looked;
    return facts;
}

FsStatus FileSystem::OpenForReading(const std::string& path)
{
    std::string none;
    return ReadFile(path, 0, none);
}

FsResult<SpaceFigures> FileSystem::ReadSpace(const std::string&)
{
    return FsStatus::Failure(EOPNOTSUPP);
}

FsStatus FileSystem::MatchFolderTime(const std::string&, const std::string&)
{
    return FsStatus::Failure(EOPNOTSUPP);
}

DiskKind FileSystem::DiskKindOf(const std::string&)
{
    return {};
}

std::unique_ptr<RunScope> FileSystem::BeginRun(const std::string&, const std::string&, ReadOnlyTargets)
{
    return std::make_unique<RunScope>();
}

EntryKind FileSystem::KindOf(const std::string& path)
{
    EntryFacts facts;
    return LookAt(path, facts) ? facts.kind : EntryKind::Missing;
}

FsResult<FileStamp> FileSystem::ReadFileStamp(const std::string& path)
{
    EntryFacts facts;
    if (FsStatus looked = LookAt(path, facts); !looked)
        return looked;
    return FileStamp::FromUnixTime(static_cast<std::time_t>(facts.modifiedSeconds));
}

FsStatus FileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                         std::unique_ptr<FolderStampReader>& stamps)
{
    if (FsStatus listed = ListFolder(folder, onEntry); !listed)
        return listed;
    stamps = std::make_unique<PathStampReader>(*this, folder);
    return {};
}

FsStatus FileSystem::CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                    const StopFlag& stop, CopyProgress* progress)
{
    return PathTreeWalk(*this, nullptr, stop, {}, {}, progress).Copy(sourceFolder, targetFolder);
}

FsStatus FileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    FolderEntryCheck mayEnter(*this);
    if (FsStatus enter = mayEnter(folder); !enter)
        return enter;
    return PathTreeWalk(*this, nullptr, stop, std::ref(mayEnter)).Delete(folder);
}

std::unique_ptr<PreparedCopies> FileSystem::PrepareCopies(const std::vector<CopyPair>&)
{
    return nullptr;
}

FsStatus FileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    const std::string whole = WithoutTrailingSeparator(folder);
    if (whole.empty())
        return {}; // The current folder.
    // Each folder on the way from the top, then the whole path.
    for (std::size_t separator = whole.find(pathSeparator, 1);;
         separator = whole.find(pathSeparator, separator + 1)) {
        const std::string step = whole.substr(0, separator);
        if (FsStatus made = MakeFolder(step, mode); !made) {
            if (made.Error() != EEXIST)
                return made;
            // A link to a folder is fine here: configuration folders are often reached through one.
            const FsResult<std::string> resolved = ResolvePath(step);
            EntryFacts facts;
            if (!resolved || !LookAt(*resolved, facts) || facts.kind != EntryKind::Folder)
                return FsStatus::Refusal(ENOTDIR, fileWhereFoldersBelong);
        }
        if (separator == std::string::npos)
            return {};
    }
}

} // namespace twinfol
