// Tree copies relative to open folders. Each level lists its source completely, then handles the
// entries in listing order: an entry that cannot be copied is told and left out, a stop request ends
// the walk after the current entry, and no link is followed (sub-folders are opened with O_NOFOLLOW, links
// are copied as links).
#include "engine/posix/posix_tree_copy.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string_view>

#include "base/work_pool.h"
#include "engine/fs/path_tree_walk.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/flushed_ahead.h"
#include "engine/posix/posix_creation_mode.h"
#include "engine/posix/posix_entry_facts.h"
#include "engine/posix/posix_folder_metadata.h"
#include "engine/posix/posix_listing.h"

namespace twinfol {
namespace {

// Tells the copy's progress of a file filled ahead of its turn, from the thread that fills it.
class AheadTeller : public CopyProgress {
public:
    explicit AheadTeller(CopyProgress& copy) : copy_(copy) {}

    void DataCopied(std::uint64_t copied, std::uint64_t) override { Settle(copied); }
    void FileCopied(std::uint64_t) override {}
    // Makes what was told of the file the bytes given: its size once filled, nothing once given up.
    void Settle(std::uint64_t bytes)
    {
        if (bytes != told_)
            copy_.DataFilledAhead(static_cast<std::int64_t>(bytes) - static_cast<std::int64_t>(told_));
        told_ = bytes;
    }

private:
    CopyProgress& copy_;
    std::uint64_t told_ = 0;
};

// An entry's whole path in a folder, a folder's with its trailing separator.
std::string EntryPath(const std::string& folder, const ListedEntry& entry)
{
    std::string path = folder + entry.name;
    if (entry.kind == EntryKind::Folder)
        path += pathSeparator;
    return path;
}

} // namespace

PosixTreeCopy::PosixTreeCopy(const PosixWalkContext& context, const StopFlag& stop)
    : context_(context), stop_(stop)
{
}

FsStatus PosixTreeCopy::Run(const std::string& sourceFolder, const std::string& targetFolder)
{
    if (FsStatus step = context_.Step(WalkStep::MakeFolder, targetFolder); !step)
        return step;
    const PosixLocation targetPlace = context_.resolver.Locate(targetFolder);
    if (!targetPlace.status)
        return targetPlace.status;
    // The source is opened first: the folder is made with a mode that depends on it.
    const OpenedFolder source = context_.resolver.OpenFolder(sourceFolder, FinalLink::Follow);
    if (!source.status)
        return source.status;
    run_ = context_.resolver.RunStateOf(targetFolder);
    if (!run_)
        run_ = std::make_shared<PosixRunState>();
    umask_ = ReadUmask();
    FsStatus own = CopyFolder(
        {source.Get(), targetPlace.dirFd, targetPlace.name.c_str(), sourceFolder, targetFolder}, nullptr);
    return own ? firstNotCopied_ : own;
}

void PosixTreeCopy::NotCopied(const std::string& from, const std::string& to, const FsStatus& why)
{
    if (firstNotCopied_)
        firstNotCopied_ = why;
    if (context_.progress != nullptr)
        context_.progress->EntryNotCopied(from, to, why);
    if (IsConnectionLoss(why))
        connectionLost_ = true;
}

FsStatus PosixTreeCopy::CheckFolderName(const FolderPair& pair) const
{
    const std::string_view name = BaseNameOf(pair.targetName);
    const FsStatus holdable = CheckNewName(name, run_->targetNames);
    // Only a folder still to be made needs a name the disk can hold; one there already has it.
    struct stat existing {};
    if (holdable || fstatat(pair.targetParentFd, pair.targetName, &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return {};
    return holdable;
}

FsStatus PosixTreeCopy::CopyFolder(const FolderPair& pair, const Level* parent)
{
    struct stat sourceInfo {};
    if (fstat(pair.sourceFd, &sourceInfo) != 0)
        return FsStatus::Failure(errno);
    if (FsStatus holdable = CheckFolderName(pair); !holdable)
        return holdable;
    // A new folder makes every copy into it an add.
    bool created = false;
    const FsStatus madeHere =
        MakeFolderAt(pair.targetParentFd, pair.targetName, FolderCreationMode(sourceInfo), created);
    // In a folder this copy made, whatever stands under the name already came from another spelling.
    if (parent != nullptr && parent->targetIsNew && (madeHere ? !created : madeHere.Error() == EEXIST))
        return CaseTwinRefusal();
    if (!madeHere)
        return madeHere;
    // A folder made here and left unopened keeps a mode never more open than its source's.
    const UniqueFd target = OpenFolderAt(pair.targetParentFd, pair.targetName);
    struct stat made {};
    if (!target || fstat(target.Get(), &made) != 0)
        return FsStatus::Failure(errno);
    // A new folder takes over its parent's default ACL, so only a folder that was there already can
    // have one of its own.
    std::optional<mode_t> createMask;
    if (parent != nullptr && created && parent->createMask)
        createMask = parent->createMask;
    else
        createMask = HasDefaultAcl(target.Get()) ? std::nullopt : umask_;
    FsStatus result = context_.Step(WalkStep::List, pair.sourceFolder);
    if (result)
        result = CopyLevel({pair.sourceFd, target.Get(), created, pair.sourceFolder, pair.targetFolder,
                            createMask, OwnerOfNewEntries(run_->credentials, made),
                            parent != nullptr ? parent->depth + 1 : 1});
    // Last, once nothing more is made in it (or the copy ended early): a folder of mode 0555 is then
    // read-only, and its time is the source's.
    if (created)
        if (FsStatus finished =
                FinishFolder(pair.sourceFd, sourceInfo, target.Get(), made, run_->credentials);
            !finished && result)
            result = finished;
    return result;
}

FsStatus PosixTreeCopy::CopySubTree(const Level& parent, const std::string& name)
{
    const std::string sourcePath = parent.sourceFolder + name + pathSeparator;
    const std::string targetPath = parent.targetFolder + name + pathSeparator;
    if (FsStatus step = context_.Step(WalkStep::CopyTree, sourcePath, targetPath); !step)
        return step;
    if (parent.depth >= deepestOpenLevel) {
        const auto finish = [this](const std::string& source, const std::string& target, bool made) {
            return FinishFolderAt(context_.resolver, run_->credentials, source, target,
                                  made ? FolderStage::Made : FolderStage::Filled);
        };
        PathTreeWalk walk(context_.layer, context_.hook, stop_, {}, finish, context_.progress);
        walk.KeepNamesOf(run_->targetNames);
        FsStatus own = walk.CopyFolder(sourcePath, targetPath, parent.targetIsNew);
        if (!walk.FirstNotCopied() && firstNotCopied_)
            firstNotCopied_ = walk.FirstNotCopied();
        connectionLost_ = connectionLost_ || walk.ConnectionLost();
        return own;
    }
    if (FsStatus step = context_.Step(WalkStep::MakeFolder, targetPath); !step)
        return step;
    const UniqueFd source = OpenFolderAt(parent.sourceFd, name.c_str());
    if (!source)
        return FsStatus::Failure(errno);
    return CopyFolder({source.Get(), parent.targetFd, name.c_str(), sourcePath, targetPath}, &parent);
}

FsStatus PosixTreeCopy::CopyLevel(const Level& level)
{
    std::vector<ListedEntry> entries;
    if (FsStatus listed = ReadEntries(level.sourceFd, entries); !listed)
        return listed;
    // A copy's own leftover temporary file (or anything else of that reserved shape) is never copied.
    std::erase_if(entries, [](const ListedEntry& entry) { return IsTemporaryName(entry.name); });
    std::vector<std::string_view> names;
    names.reserve(entries.size());
    for (const ListedEntry& entry : entries)
        names.emplace_back(entry.name);
    const std::set<std::string> twins = LaterCaseTwins(names, run_->targetNames);
    std::vector<ListedEntry> run;
    for (std::size_t index = 0; index < entries.size() && !connectionLost_;) {
        if (entries[index].kind == EntryKind::Folder || twins.contains(entries[index].name)) {
            const ListedEntry& entry = entries[index];
            if (FsStatus copied =
                    twins.contains(entry.name) ? CaseTwinRefusal() : CopySubTree(level, entry.name);
                !copied)
                NotCopied(EntryPath(level.sourceFolder, entry), EntryPath(level.targetFolder, entry), copied);
            ++index;
            if (IsStopped()) {
                TellIfCutShort(index < entries.size());
                break;
            }
            continue;
        }
        // The files up to the next folder (or twin) form one run, copied in listing order.
        run.clear();
        for (; index < entries.size() && entries[index].kind != EntryKind::Folder &&
               !twins.contains(entries[index].name);
             ++index)
            run.push_back(std::move(entries[index]));
        if (CopyFileRun(level, run)) {
            TellIfCutShort(index < entries.size());
            break;
        }
    }
    return {};
}

bool PosixTreeCopy::TellsAhead() const
{
    return context_.progress != nullptr && context_.progress->FollowsChunks();
}

void PosixTreeCopy::TellIfCutShort(bool entriesLeft)
{
    if (entriesLeft && context_.progress != nullptr)
        context_.progress->CopyCutShort();
}

CopySteps PosixTreeCopy::StepsOf(const Level& level, const std::string& name) const
{
    if (context_.hook == nullptr)
        return {};
    return {context_.hook, level.sourceFolder + name, level.targetFolder + name};
}

bool PosixTreeCopy::CopyFileRun(const Level& level, const std::vector<ListedEntry>& entries)
{
    // Into a folder this copy has made, every file is an add through an unnamed temporary file, so the
    // next files can be filled ahead while this thread gives each its name in order: by a helper
    // thread, or here a batch at a time on a worker of a run's pool (the other workers keep the cores
    // busy already). A file not yet named is invisible: a failure or a stop leaves what working alone
    // would. Only entries listed as regular files are prepared; nothing else is ever opened.
    const bool batched = level.targetIsNew &&
                         context_.entryCopy.TemporaryFiles() == TemporaryFileKind::UnnamedWhereSupported &&
                         entries.size() > 1;
    // Written by whoever prepares an item before it is handed over, read here after taking it.
    std::vector<FsStatus> finalFailures(entries.size());
    std::vector<std::uint64_t> preparedSizes(entries.size());
    const PrepareAhead::Prepare prepare = [&](std::size_t index) {
        const ListedEntry& entry = entries[index];
        CopySteps steps = StepsOf(level, entry.name);
        std::optional<AheadTeller> teller;
        if (TellsAhead()) {
            teller.emplace(*context_.progress);
            steps.progress = &*teller;
        }
        PreparedFile prepared = context_.entryCopy.PrepareUnnamed(
            SourceEntry{level.sourceFd, entry.name.c_str(), entry.kind}, level.targetFd, level.createMask,
            CopyOwnership{run_->credentials, level.created}, steps);
        if (teller)
            teller->Settle(prepared.temporary ? prepared.size : 0);
        finalFailures[index] = prepared.failure;
        preparedSizes[index] = prepared.size;
        return std::move(prepared.temporary);
    };
    PrepareAhead& helper = context_.prepareAhead;
    const bool helped = batched && !WorkPool::OnWorkerThread() && helper.Begin(entries.size(), prepare);
    std::optional<FlushedAhead> ahead;
    if (batched)
        ahead.emplace(helped ? &helper : nullptr, entries.size(), prepare, level.targetFd);
    for (std::size_t index = 0; index < entries.size() && !connectionLost_; ++index) {
        const ListedEntry& entry = entries[index];
        const FsStatus result = CopyRunEntry(level, entry, ahead ? &*ahead : nullptr, index,
                                             finalFailures[index], preparedSizes[index]);
        if (!result)
            NotCopied(level.sourceFolder + entry.name, level.targetFolder + entry.name, result);
        if (IsStopped()) {
            TellIfCutShort(index + 1 < entries.size());
            return true;
        }
    }
    return false;
}

FsStatus PosixTreeCopy::CopyRunEntry(const Level& level, const ListedEntry& entry, FlushedAhead* ahead,
                                     std::size_t index, const FsStatus& preparedFailure,
                                     const std::uint64_t& preparedSize)
{
    FsStatus result;
    if (context_.hook != nullptr)
        result = context_.Step(WalkStep::CopyFile, level.sourceFolder + entry.name,
                               level.targetFolder + entry.name);
    // Every prepared file is taken in turn, also one whose copy has failed already.
    UniqueFd prepared;
    if (ahead != nullptr)
        if (FsStatus taken = ahead->Take(index, prepared); !taken && result)
            result = taken;
    // A file copied twice already from a source that kept changing has failed.
    if (result)
        result =
            preparedFailure ? CopyOneFile(level, entry, std::move(prepared), preparedSize) : preparedFailure;
    // In a folder this copy made, a name taken already was taken by another spelling of it.
    if (!result && level.targetIsNew && result.Error() == EEXIST && !result.IsRefusal())
        result = CaseTwinRefusal();
    return result;
}

FsStatus PosixTreeCopy::CopyOneFile(const Level& level, const ListedEntry& entry, UniqueFd prepared,
                                    std::uint64_t preparedSize)
{
    FsStatus copied;
    if (prepared) {
        // Into a new folder every file is an add; the unnamed file is let go unnamed.
        if (FsStatus holdable = CheckNewName(entry.name, run_->targetNames); !holdable)
            return holdable;
        const int error = LinkUnnamed(prepared.Get(), level.targetFd, entry.name);
        copied = error == 0 ? FsStatus() : FsStatus::Failure(error);
        if (copied && TellsAhead())
            context_.progress->FilledFileCopied(preparedSize);
        else if (copied && context_.progress != nullptr)
            context_.progress->FileCopied(preparedSize);
    } else {
        // Not prepared (a link, a special file, a file of several names, or a preparation that
        // failed): done here from the start, exactly as without a helper. Only a copy on this thread
        // tells of its chunks: the helper's would arrive from another thread.
        const std::optional<Placement> placement =
            level.targetIsNew ? std::optional<Placement>(Placement::Add) : std::nullopt;
        CopySteps steps = StepsOf(level, entry.name);
        steps.progress = context_.progress;
        copied = context_.entryCopy.Copy(
            SourceEntry{level.sourceFd, entry.name.c_str(), entry.kind},
            Destination{level.targetFd, entry.name, {}, level.createMask, level.created, level.targetFolder},
            placement, *run_, steps);
    }
    return copied;
}

} // namespace twinfol
