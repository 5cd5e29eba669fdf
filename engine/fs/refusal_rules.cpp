// The refusal rules, each with its errno value and its reason of our own.
#include "engine/fs/refusal_rules.h"

#include <cerrno>
#include <map>

#include "engine/fs/case_folding.h"
#include "engine/fs/windows_names.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {

FsStatus CheckCopySource(const EntryFacts& source)
{
    if (source.kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, sourceIsFolderReason);
    if (source.kind == EntryKind::Other)
        return FsStatus::Refusal(EOPNOTSUPP, sourceIsSpecialReason);
    return {};
}

namespace {

// Whether the read-only rule keeps the file as it is.
bool KeepsReadOnly(const EntryFacts& file, ReadOnlyTargets readOnly)
{
    return file.readOnly && readOnly == ReadOnlyTargets::Keep;
}

} // namespace

FsStatus CheckCopyTarget(const EntryFacts& target, const EntryFacts& source, ReadOnlyTargets readOnly)
{
    if (target.kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, folderAtTargetReason);
    // The copy gives the new content the source's mode again, so the target stays as read-only as
    // the source is.
    if (KeepsReadOnly(target, readOnly) && !source.readOnly)
        return FsStatus::Refusal(EACCES, targetReadOnlyReason);
    return {};
}

FsStatus CheckFileDelete(const EntryFacts& entry, ReadOnlyTargets readOnly)
{
    if (entry.kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, folderWhereFileReason);
    if (KeepsReadOnly(entry, readOnly))
        return FsStatus::Refusal(EACCES, fileReadOnlyReason);
    return {};
}

FsStatus CheckFileInTrashedFolder(const EntryFacts& file, ReadOnlyTargets readOnly)
{
    if (KeepsReadOnly(file, readOnly))
        return FsStatus::Refusal(EACCES, readOnlyInside);
    return {};
}

FsStatus CheckFolderPlace(const EntryFacts& existing)
{
    if (existing.kind == EntryKind::Missing || existing.kind == EntryKind::Folder)
        return {};
    return FsStatus::Refusal(EEXIST, fileWhereFolderReason);
}

FsStatus CheckStillFolder(const EntryFacts& folder)
{
    switch (folder.kind) {
    case EntryKind::Folder: return {};
    case EntryKind::Link: return LinkWhereFolderWasRefusal();
    case EntryKind::Missing: return FsStatus::Failure(ENOENT);
    default: return FsStatus::Failure(ENOTDIR);
    }
}

FsStatus CheckSameMount(const EntryFacts& folder, const EntryFacts& parent)
{
    if (folder.mountId != 0 && parent.mountId != 0 && folder.mountId != parent.mountId)
        return MountedInsideRefusal();
    return {};
}

FsStatus CheckNewName(std::string_view name, NameRules rules)
{
    // EINVAL is what the kernel's own FAT driver answers for such a name.
    if (const char* reason = UnholdableNameReason(name, rules))
        return FsStatus::Refusal(EINVAL, reason);
    return {};
}

std::set<std::string> LaterCaseTwins(const std::vector<std::string_view>& names, NameRules rules)
{
    std::set<std::string> later;
    // NTFS, as Linux writes it, keeps names that differ only in case apart.
    if (rules != NameRules::Fat && rules != NameRules::Exfat)
        return later;
    // Per folded name, the spellings seen: the first in name order keeps its place.
    std::map<std::string, std::set<std::string_view>> spellings;
    for (const std::string_view name : names)
        spellings[FoldCase(name)].insert(name);
    for (const auto& [folded, spelled] : spellings)
        for (auto name = std::next(spelled.begin()); name != spelled.end(); ++name)
            later.emplace(*name);
    return later;
}

FsStatus CaseTwinRefusal()
{
    return FsStatus::Refusal(EEXIST, otherSpellingReason);
}

FsStatus CheckNewKind(EntryKind kind, NameRules rules)
{
    if (kind != EntryKind::Link)
        return {};
    if (rules == NameRules::Fat)
        return FsStatus::Refusal(EPERM, "the target disk (FAT) cannot hold a symbolic link");
    if (rules == NameRules::Exfat)
        return FsStatus::Refusal(EPERM, "the target disk (exFAT) cannot hold a symbolic link");
    return {};
}

bool IsConnectionLoss(const FsStatus& failure)
{
    switch (failure.Error()) {
    case ENOTCONN:
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ECONNABORTED:
    case ECONNRESET:
    case EHOSTDOWN:
    case EHOSTUNREACH: return !failure.IsRefusal();
    default: return false;
    }
}

FsStatus LinkWhereFolderWasRefusal()
{
    return FsStatus::Refusal(ELOOP, linkWhereFolderWas);
}

FsStatus MountedInsideRefusal()
{
    return FsStatus::Refusal(EXDEV, mountedInside);
}

} // namespace twinfol
