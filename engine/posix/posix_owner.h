// Who owns a copy: the process's own identity, read once per run, decides which owners and groups a
// copy can keep; a copy changes its owner only when what it created differs from its source.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <vector>

#include "engine/fs/fs_status.h"

namespace twinfol {

// The effective user and groups of the process.
struct PosixCredentials {
    uid_t user = 0;
    gid_t group = 0;
    std::vector<gid_t> groups;

    static PosixCredentials OfProcess();

    // Only root may give a file to another user.
    bool MayGiveAway() const { return user == 0; }
    // A file's owner may give it any group the owner belongs to; root any group at all.
    bool MayUseGroup(gid_t wanted) const;
};

// The owner and group that a file created in a folder gets before anything is changed: the
// process's user, and the folder's group where the folder has the set-group-ID bit.
struct NewEntryOwner {
    uid_t user;
    gid_t group;
};

// Who a copy is made for: the process, and who owns what it creates in the target folder (nothing
// when that is not known).
struct CopyOwnership {
    const PosixCredentials& credentials;
    std::optional<NewEntryOwner> created;
};

NewEntryOwner OwnerOfNewEntries(const PosixCredentials& credentials, const struct stat& folder);

// Gives the open copy its source's owner and group as far as the process may, before the copy's mode
// is set (a change of owner clears the set-ID bits). Nothing is called when the copy already has
// them: created says who owns it (nothing: not known, and looked up only when the source is the
// process's own). An owner the target cannot hold, or one the process may not give, is left out.
FsStatus KeepOwner(int copy, const struct stat& source, const PosixCredentials& credentials,
                   std::optional<NewEntryOwner> created);

// The same for a symbolic link, by its name in an open folder; only root changes a link's owner.
FsStatus KeepLinkOwner(int folderFd, const char* name, const struct stat& source,
                       const PosixCredentials& credentials, std::optional<NewEntryOwner> created);

} // namespace twinfol
