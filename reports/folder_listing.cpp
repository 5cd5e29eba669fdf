// The folder browser's reading of folders, with the listing's entry kinds so that ordinary folders
// need no further look at the disk; only links are looked at more closely.
// No widgets here; Qt's strings only for comparing names without regard to case.
#include "reports/folder_listing.h"

#include <algorithm>
#include <optional>

#include <QString>

#include "base/path.h"

namespace twinfol {

namespace {

// Whether the link at the path leads to a folder.
bool PointsAtFolder(FileSystem& fileSystem, const std::string& path)
{
    const FsResult<std::string> target = fileSystem.ResolvePath(path);
    return target && fileSystem.KindOf(*target) == EntryKind::Folder;
}

unsigned char FoldCase(unsigned char byte)
{
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// Compares names as the person reads them: letters without regard to case.
int CompareFolded(const std::string& left, const std::string& right)
{
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char a = FoldCase(static_cast<unsigned char>(left[i]));
        const unsigned char b = FoldCase(static_cast<unsigned char>(right[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    return left.size() == right.size() ? 0 : left.size() < right.size() ? -1 : 1;
}

// Names equal but for case still get a fixed order, byte by byte, so that the tree is the same
// every time it is shown.
bool DisplaysBefore(const FolderEntry& left, const FolderEntry& right)
{
    const int folded = CompareFolded(left.name, right.name);
    return folded != 0 ? folded < 0 : left.name < right.name;
}

// The resolved path without a trailing "/" ("/" itself stays), or "" when it cannot be resolved.
std::string RealFolder(FileSystem& fileSystem, const std::string& path)
{
    const FsResult<std::string> resolved = fileSystem.ResolvePath(path);
    return resolved ? WithoutTrailingSeparator(*resolved) : std::string();
}

// Whether folder lies at or below ancestor; both are resolved paths without a trailing "/".
bool IsAtOrBelow(const std::string& folder, const std::string& ancestor)
{
    if (ancestor == "/")
        return true;
    return folder == ancestor || (folder.starts_with(ancestor) && folder[ancestor.size()] == '/');
}

// The names of the folder that equal the wanted one without regard to case (Unicode case folding,
// as the tree compares displayed names), apart from the wanted spelling itself, in byte order.
std::vector<std::string> NamesWithoutCase(FileSystem& fileSystem, const std::string& folderPath,
                                          const std::string& wanted)
{
    const QString wantedText = QString::fromStdString(wanted);
    std::vector<std::string> found;
    (void)fileSystem.ListFolder(folderPath, [&](std::string_view name, EntryKind) {
        if (name != wanted && QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                                      .compare(wantedText, Qt::CaseInsensitive) == 0)
            found.emplace_back(name);
        return true;
    });
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> Components(std::string_view path)
{
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t end = std::min(path.find(pathSeparator, start), path.size());
        if (end > start)
            components.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

// The rest of the path from the given component on, below the folder reached so far (ending in
// "/"). A name is read from the disk only when the spelling given does not lead on.
std::optional<std::string> FindRest(FileSystem& fileSystem, const std::string& reached,
                                    const std::vector<std::string>& components, std::size_t index)
{
    if (index == components.size())
        return reached;
    const std::string& component = components[index];
    const auto tryName = [&](const std::string& name) -> std::optional<std::string> {
        if (index + 1 == components.size())
            return reached + name;
        return FindRest(fileSystem, reached + name + pathSeparator, components, index + 1);
    };
    if (fileSystem.KindOf(reached + component) != EntryKind::Missing)
        if (std::optional<std::string> found = tryName(component))
            return found;
    for (const std::string& name : NamesWithoutCase(fileSystem, reached, component))
        if (std::optional<std::string> found = tryName(name))
            return found;
    return std::nullopt;
}

} // namespace

std::vector<FolderEntry> ListSubFolders(FileSystem& fileSystem, const std::string& folderPath)
{
    std::vector<FolderEntry> entries;
    const std::string folder = WithTrailingSeparator(folderPath);
    const FsStatus listed = fileSystem.ListFolder(folder, [&](std::string_view name, EntryKind kind) {
        if (kind == EntryKind::Folder)
            entries.push_back({std::string(name), FolderEntryKind::Folder});
        else if (kind == EntryKind::Link && PointsAtFolder(fileSystem, JoinPath(folder, name)))
            entries.push_back({std::string(name), FolderEntryKind::LinkToFolder});
        return true;
    });
    if (!listed)
        return {};
    std::sort(entries.begin(), entries.end(), DisplaysBefore);
    return entries;
}

std::optional<std::string> FindPathAsSpelt(FileSystem& fileSystem, const std::string& path)
{
    if (path.empty() || path.front() != pathSeparator)
        return std::nullopt;
    const std::string entry = WithoutTrailingSeparator(path);
    if (fileSystem.KindOf(entry) != EntryKind::Missing)
        return entry;
    return FindRest(fileSystem, std::string(1, pathSeparator), Components(entry), 0);
}

bool FolderExists(FileSystem& fileSystem, const std::string& path)
{
    return FindPathAsSpelt(fileSystem, path).has_value();
}

bool IsLoopingFolderLink(FileSystem& fileSystem, const std::string& linkPath)
{
    const std::string target = RealFolder(fileSystem, linkPath);
    if (target.empty())
        return true;
    // Every folder the link's path passes through, from "/" down to the link's own folder.
    std::string trimmed = linkPath;
    while (trimmed.size() > 1 && trimmed.back() == pathSeparator)
        trimmed.pop_back();
    for (std::size_t slash = trimmed.find(pathSeparator);
         slash != std::string::npos && slash < trimmed.size();
         slash = trimmed.find(pathSeparator, slash + 1)) {
        const std::string passedFolder = RealFolder(fileSystem, trimmed.substr(0, slash + 1));
        if (!passedFolder.empty() && IsAtOrBelow(passedFolder, target))
            return true;
    }
    return false;
}

std::string CompleteFolderPath(std::string path)
{
    if (path.empty())
        return "/";
    if (path.back() != pathSeparator)
        path += pathSeparator;
    return path;
}

} // namespace twinfol
