// Target folders that do not tell upper and lower case apart (FAT, exFAT, NTFS, SMB shares, ext4
// casefold folders): the walk matches names byte for byte, so an add there may reach an entry the
// listing held under another spelling. This finds such entries before the add happens.
#pragma once

#include <set>
#include <string>

#include "engine/fs/file_system.h"

namespace twinfol {

enum class SpellingOutcome {
    // Nothing stands under the name: the add goes ahead.
    Free,
    // The name reached an entry the target listing held under another spelling, which the source does
    // not hold: that entry is the add's twin.
    OtherSpelling,
    // The name reached an entry the run must leave alone (one the run has written or matched already):
    // the add must not happen.
    Refused,
};

struct SpellingCheck {
    SpellingOutcome outcome = SpellingOutcome::Free;
    // The spelling the listing had, for OtherSpelling.
    std::string listedName;
    // Why, for Refused.
    FsStatus status;
};

class TargetSpellings {
public:
    explicit TargetSpellings(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

    // Looks at the name an add is about to create in targetDir (ending with the separator). unmatched
    // holds the listed target names of the same kind that no source name has matched yet, otherKind
    // the target's names of the other kind (a name listed there is no other spelling: the add meets
    // it as it is); sourceNames the source's names of the add's kind. An entry found under another
    // spelling is taken out of unmatched, so that it is never deleted as an entry only the target holds.
    SpellingCheck BeforeAdd(const std::string& targetDir, const std::string& name,
                            std::set<std::string>& unmatched, const std::set<std::string>& otherKind,
                            const std::set<std::string>& sourceNames);

private:
    // The listed name that is the entry seen under the name: by its spelling folded to one case, or
    // else by the entry's identity on a file system that keeps inode numbers; empty when none is.
    std::string FindListedSpelling(const std::string& targetDir, const std::string& name,
                                   const EntryFacts& reached, const std::set<std::string>& unmatched,
                                   const std::set<std::string>& sourceNames);

    FileSystem& fileSystem_;
};

} // namespace twinfol
