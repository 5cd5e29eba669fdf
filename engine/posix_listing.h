// Reading the entries of an open folder with getdents, and the stamp reader that keeps a listed
// folder open.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "engine/file_system.h"

namespace twinfol {

struct ListedEntry {
    std::string name;
    EntryKind kind;
};

// Reads every entry of an open folder, "." and ".." left out. A name's kind comes from d_type; only
// a file system that does not fill it in costs a stat per entry.
FsStatus ReadEntries(int folderFd, std::vector<ListedEntry>& entries);

// Opens the folder at a name relative to an open folder, refusing a symbolic link.
UniqueFd OpenFolderAt(int parentFd, const char* name);

class OpenFolderStampReader : public FolderStampReader {
public:
    explicit OpenFolderStampReader(UniqueFd folder) : folder_(std::move(folder)) {}
    std::optional<FileStamp> ReadFileStamp(const std::string& name) override;

private:
    UniqueFd folder_;
};

} // namespace twinfol
