// The folder browser's reading of folders, with readdir's entry types so that ordinary folders need
// no further system call; only links and entries of unknown type are looked at more closely.
// No widgets here; Qt's strings only for comparing names without regard to case.
#include "reports/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QString>

namespace twinfol {

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool PointsAtFolder(int directoryFd, const char* name)
{
    struct stat target {};
    return fstatat(directoryFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// Classifies one entry; returns false when it is not a folder or a link to one.
bool Classify(int directoryFd, const dirent& entry, FolderEntryKind& kind)
{
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        // Some file systems do not fill in the type; ask for it without following links.
        struct stat own {};
        if (fstatat(directoryFd, entry.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        type = S_ISDIR(own.st_mode) ? DT_DIR : S_ISLNK(own.st_mode) ? DT_LNK : DT_REG;
    }
    if (type == DT_DIR) {
        kind = FolderEntryKind::Folder;
        return true;
    }
    if (type == DT_LNK && PointsAtFolder(directoryFd, entry.d_name)) {
        kind = FolderEntryKind::LinkToFolder;
        return true;
    }
    return false;
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

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// Whether folder lies at or below ancestor; both are resolved paths without a trailing "/".
bool IsAtOrBelow(const std::string& folder, const std::string& ancestor)
{
    if (ancestor == "/")
        return true;
    return folder == ancestor || (folder.starts_with(ancestor) && folder[ancestor.size()] == '/');
}

// The first entry of the folder whose name equals the wanted one without regard to case (Unicode
// case folding, as the tree compares displayed names).
std::optional<std::string> FindNameWithoutCase(const std::string& folderPath, const std::string& wanted)
{
    DirectoryHandle directory(opendir(folderPath.c_str()));
    if (!directory)
        return std::nullopt;
    const QString wantedText = QString::fromStdString(wanted);
    while (const dirent* entry = readdir(directory.get())) {
        if (!IsDotOrDotDot(entry->d_name) &&
            QString::fromUtf8(entry->d_name).compare(wantedText, Qt::CaseInsensitive) == 0)
            return std::string(entry->d_name);
    }
    return std::nullopt;
}

}  // namespace

std::vector<FolderEntry> ListSubFolders(const std::string& folderPath)
{
    std::vector<FolderEntry> entries;
    DirectoryHandle directory(opendir(folderPath.c_str()));
    if (!directory)
        return entries;
    const int directoryFd = dirfd(directory.get());
    while (const dirent* entry = readdir(directory.get())) {
        if (IsDotOrDotDot(entry->d_name))
            continue;
        FolderEntryKind kind = FolderEntryKind::Folder;
        if (Classify(directoryFd, *entry, kind))
            entries.push_back({entry->d_name, kind});
    }
    std::sort(entries.begin(), entries.end(), DisplaysBefore);
    return entries;
}

bool FolderExists(const std::string& path)
{
    if (path.empty())
        return false;
    std::string entry = path;
    if (entry.size() > 1 && entry.back() == '/')
        entry.pop_back();
    struct stat status {};
    if (lstat(entry.c_str(), &status) == 0)
        return true;
    if (entry.front() != '/')
        return false;
    // Walk the components, taking each as spelt when it exists and otherwise the first entry whose
    // name differs from it only in case.
    std::string reached = "/";
    std::size_t start = 1;
    while (start <= entry.size()) {
        const std::size_t end = std::min(entry.find('/', start), entry.size());
        const std::string component = entry.substr(start, end - start);
        start = end + 1;
        if (component.empty())
            continue;
        if (lstat((reached + component).c_str(), &status) != 0) {
            const std::optional<std::string> found = FindNameWithoutCase(reached, component);
            if (!found)
                return false;
            reached += *found;
        } else {
            reached += component;
        }
        reached += '/';
    }
    return true;
}

bool IsLoopingFolderLink(const std::string& linkPath)
{
    const std::string target = RealPath(linkPath);
    if (target.empty())
        return true;
    // Every folder the link's path passes through, from "/" down to the link's own folder.
    std::string trimmed = linkPath;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    for (std::size_t slash = trimmed.find('/'); slash != std::string::npos && slash < trimmed.size();
         slash = trimmed.find('/', slash + 1)) {
        const std::string passedFolder = RealPath(trimmed.substr(0, slash + 1));
        if (!passedFolder.empty() && IsAtOrBelow(passedFolder, target))
            return true;
    }
    return false;
}

std::string CompleteFolderPath(std::string path)
{
    if (path.empty())
        return "/";
    if (path.back() != '/')
        path += '/';
    return path;
}

}  // namespace twinfol
