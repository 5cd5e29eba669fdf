// What a run remembers of the files it copied that have more than one name, so that their other
// names arrive in the target as links to the same copy. Only inodes with several names are kept, and
// each is forgotten once all its names have been handled.
#pragma once

#include <sys/stat.h>

#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace twinfol {

// The first copy of a source inode: where it is, which inode it is with what size and modification
// time, and the source's size and modification time when it was copied. A later name is linked to
// the copy only while both still match: neither was written since.
struct FirstCopy {
    std::string targetPath;
    dev_t copyDevice = 0;
    ino_t copyInode = 0;
    off_t copySize = 0;
    timespec copyModified{};
    off_t sourceSize = 0;
    timespec sourceModified{};
};

class HardLinkMemory {
public:
    // The first copy made in this run of the source's inode, if there is one.
    std::optional<FirstCopy> Find(const struct stat& source) const;
    // The same, for a copy that will be the first when there is none: the inode is then claimed by the
    // caller, who must Remember it or Release it. A name whose inode another thread is copying waits
    // for that copy, so that it becomes a link to it rather than a second copy.
    std::optional<FirstCopy> FindOrClaim(const struct stat& source);
    // Gives up a claim whose copy failed: the next name of the inode is copied on its own.
    void Release(const struct stat& source);
    // Remembers the copy of a source with several names; the name just copied counts as handled.
    void Remember(const struct stat& source, std::string targetPath, const struct stat& copy);
    // One more name of the inode has been handled (linked, or copied on its own); once every name
    // has been, the inode is forgotten.
    void NameHandled(const struct stat& source);

private:
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const
        {
            return std::hash<ino_t>()(key.inode) * 31 + std::hash<dev_t>()(key.device);
        }
    };
    struct Entry {
        FirstCopy copy;
        nlink_t namesLeft;
    };

    mutable std::mutex mutex_;
    std::condition_variable claimEnded_;
    std::unordered_map<Key, Entry, KeyHash> entries_;
    // Inodes whose first copy is being made now.
    std::unordered_map<Key, bool, KeyHash> claimed_;
};

} // namespace twinfol
