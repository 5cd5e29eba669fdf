// Reading the process's identity and changing a copy's owner only where it differs from the source.
#include "engine/posix/posix_owner.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "engine/posix/unsupported_metadata.h"

namespace twinfol {
namespace {

constexpr uid_t unchangedUser = static_cast<uid_t>(-1);
constexpr gid_t unchangedGroup = static_cast<gid_t>(-1);

// The owner and group to ask of a change, or nothing when the copy keeps what it has: either because
// it already has the source's, or because the process may not give it them.
struct OwnerChange {
    uid_t user = unchangedUser;
    gid_t group = unchangedGroup;
    bool needed = false;
};

OwnerChange PlanChange(const struct stat& source, const PosixCredentials& credentials,
                       const NewEntryOwner& created)
{
    const bool mayUser = credentials.MayGiveAway();
    const bool mayGroup = credentials.MayUseGroup(source.st_gid);
    OwnerChange change;
    change.needed =
        (mayUser && source.st_uid != created.user) || (mayGroup && source.st_gid != created.group);
    // Once a call is made, it names both wishes: the guess of what the create gave may be wrong.
    if (change.needed) {
        change.user = mayUser ? source.st_uid : unchangedUser;
        change.group = mayGroup ? source.st_gid : unchangedGroup;
    }
    return change;
}

// Inside a user namespace, an owner or group that the namespace does not map (which the source then
// shows as the overflow user, usually 65534) cannot be given to anything: the kernel answers EINVAL.
// That is an owner this target cannot hold, left out as cp -a leaves it, and not a failed copy. The
// other metadata steps keep EINVAL a failure, where it means a wrong call.
FsStatus Outcome(int result)
{
    if (result == 0 || IsUnsupportedMetadataError(errno) || errno == EINVAL)
        return {};
    return FsStatus::Failure(errno);
}

} // namespace

PosixCredentials PosixCredentials::OfProcess()
{
    PosixCredentials credentials;
    credentials.user = geteuid();
    credentials.group = getegid();
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        credentials.groups.resize(static_cast<std::size_t>(count));
        const int read = getgroups(count, credentials.groups.data());
        credentials.groups.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    }
    return credentials;
}

bool PosixCredentials::MayUseGroup(gid_t wanted) const
{
    return user == 0 || wanted == group || std::find(groups.begin(), groups.end(), wanted) != groups.end();
}

NewEntryOwner OwnerOfNewEntries(const PosixCredentials& credentials, const struct stat& folder)
{
    return {credentials.user, (folder.st_mode & S_ISGID) != 0 ? folder.st_gid : credentials.group};
}

FsStatus KeepOwner(int copy, const struct stat& source, const PosixCredentials& credentials,
                   std::optional<NewEntryOwner> created)
{
    if (!created) {
        // A source of the process's own needs no change unless the folder gave the copy its group;
        // only then is the copy looked at. Any other source is changed whatever the copy has.
        created = NewEntryOwner{credentials.user, credentials.group};
        struct stat info {};
        if (source.st_uid == credentials.user && source.st_gid == credentials.group) {
            if (fstat(copy, &info) != 0)
                return FsStatus::Failure(errno);
            created = NewEntryOwner{info.st_uid, info.st_gid};
        }
    }
    const OwnerChange change = PlanChange(source, credentials, *created);
    if (!change.needed)
        return {};
    return Outcome(fchown(copy, change.user, change.group));
}

FsStatus KeepLinkOwner(int folderFd, const char* name, const struct stat& source,
                       const PosixCredentials& credentials, std::optional<NewEntryOwner> created)
{
    if (!credentials.MayGiveAway())
        return {};
    // Links are few: where the folder's group rule is not known, the owner is simply set.
    const OwnerChange change =
        PlanChange(source, credentials, created.value_or(NewEntryOwner{unchangedUser, unchangedGroup}));
    if (!change.needed)
        return {};
    return Outcome(fchownat(folderFd, name, change.user, change.group, AT_SYMLINK_NOFOLLOW));
}

} // namespace twinfol
