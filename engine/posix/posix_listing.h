// Reading the entries of an open folder with getdents, opening and making folders relative to an
// open folder, and the stamp reader that keeps a listed folder open.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "engine/fs/file_system.h"

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

// Makes one folder relative to its parent with the mode given (less the umask); what already stands
// there is judged by the refusal rules: a real folder is reused, a file or link is refused. Answers
// whether the folder is new.
FsStatus MakeFolderAt(int parentFd, const char* name, mode_t mode, bool& created);

// Reads stamps relative to the listed folder, which it keeps open (sharing it with the path resolver,
// which remembers it as the folder the run works in).
class OpenFolderStampReader : public FolderStampReader {
public:
    explicit OpenFolderStampReader(std::shared_ptr<const UniqueFd> folder) : folder_(std::move(folder)) {}
    FsResult<FileStamp> ReadFileStamp(const std::string& name) override;

private:
    std::shared_ptr<const UniqueFd> folder_;
};

} // namespace twinfol
