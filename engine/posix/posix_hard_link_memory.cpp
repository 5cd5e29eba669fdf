// The run's memory of copied inodes with several names.
#include "engine/posix/posix_hard_link_memory.h"

namespace twinfol {

std::optional<FirstCopy> HardLinkMemory::Find(const struct stat& source) const
{
    const std::lock_guard lock(mutex_);
    const auto found = entries_.find({source.st_dev, source.st_ino});
    if (found == entries_.end())
        return std::nullopt;
    return found->second.copy;
}

std::optional<FirstCopy> HardLinkMemory::FindOrClaim(const struct stat& source)
{
    const Key key{source.st_dev, source.st_ino};
    std::unique_lock lock(mutex_);
    claimEnded_.wait(lock, [&] { return !claimed_.contains(key); });
    const auto found = entries_.find(key);
    if (found != entries_.end())
        return found->second.copy;
    claimed_.emplace(key, true);
    return std::nullopt;
}

void HardLinkMemory::Release(const struct stat& source)
{
    {
        const std::lock_guard lock(mutex_);
        if (claimed_.erase(Key{source.st_dev, source.st_ino}) == 0)
            return;
    }
    claimEnded_.notify_all();
}

void HardLinkMemory::Remember(const struct stat& source, std::string targetPath, const struct stat& copy)
{
    {
        const std::lock_guard lock(mutex_);
        claimed_.erase(Key{source.st_dev, source.st_ino});
        if (source.st_nlink >= 2)
            entries_.insert_or_assign(Key{source.st_dev, source.st_ino},
                                      Entry{{std::move(targetPath), copy.st_dev, copy.st_ino, copy.st_size,
                                             copy.st_mtim, source.st_size, source.st_mtim},
                                            source.st_nlink - 1});
    }
    claimEnded_.notify_all();
}

void HardLinkMemory::NameHandled(const struct stat& source)
{
    const std::lock_guard lock(mutex_);
    const auto found = entries_.find({source.st_dev, source.st_ino});
    if (found != entries_.end() && --found->second.namesLeft == 0)
        entries_.erase(found);
}

} // namespace twinfol
