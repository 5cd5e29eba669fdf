// Turns the paths the POSIX layer is given into what the *at system calls take: a folder descriptor
// and a name relative to it. Every path of the layer is resolved here and nowhere else, so that
// resolving beneath a run's open root folder (without following any link on the way) is a change
// in this one place.
#pragma once

#include <fcntl.h>

#include <string>

#include "base/path.h"
#include "base/unique_fd.h"

namespace twinfol {

// Where an entry is: the folder descriptor its name is relative to, and the name.
struct PosixLocation {
    int dirFd = AT_FDCWD;
    std::string name;
    // Owns dirFd when resolving had to open a folder.
    UniqueFd holder;

    // The folder that holds the entry, relative to the same descriptor and ending with the separator;
    // "" for the descriptor's own folder.
    std::string Folder() const { return FolderOf(name); }
};

// Whether opening a folder follows a symbolic link that the path ends in.
enum class FinalLink { Follow, NoFollow };

class PosixPathResolver {
public:
    // The entry the path names; one trailing separator is dropped, so that a final symbolic link is
    // the entry itself and not what it points to.
    PosixLocation Locate(const std::string& path) const;
    // Opens a folder for reading its entries or as the base of a walk; invalid, with errno set, when
    // it cannot be opened.
    UniqueFd OpenFolder(const std::string& folder, FinalLink finalLink) const;
};

} // namespace twinfol
