// The file-system layer's primitives over SFTP. SFTP version 3 answers most failures with one code
// that says only "failure", so where callers tell failures apart (a folder not empty, a file where a
// folder was asked for) the layer looks at the entry and names the failure itself.
#include "engine/sftp/sftp_file_system.h"

#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "base/path.h"
#include "base/temporary_name.h"
#include "engine/fs/refusal_rules.h"
#include "engine/records/refusal_reasons.h"
#include "engine/sftp/sftp_transfer.h"

namespace twinfol {
namespace {

std::string Entry(const std::string& path)
{
    return WithoutTrailingSeparator(path);
}

} // namespace

SftpFileSystem::SftpFileSystem(std::unique_ptr<SftpChannel> channel) : channel_(std::move(channel)) {}

FsStatus SftpFileSystem::ExplainFolderFailure(const std::string& folder, FsStatus failure)
{
    if (IsConnectionLoss(failure))
        return failure;
    EntryFacts facts;
    if (!channel_->Facts(Entry(folder), facts))
        return failure;
    if (facts.kind == EntryKind::Link && channel_->Facts(Entry(folder), facts, ServerLink::Followed) &&
        facts.kind == EntryKind::Folder)
        return failure;
    return facts.kind == EntryKind::Folder ? failure : FsStatus::Failure(ENOTDIR);
}

FsStatus SftpFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    std::vector<std::pair<std::string, EntryKind>> entries;
    {
        auto lock = channel_->Lock();
        sftp_dir dir = sftp_opendir(channel_->Sftp(), folder.c_str());
        if (dir == nullptr)
            return ExplainFolderFailure(folder, channel_->LastFailure());
        while (sftp_attributes attributes = sftp_readdir(channel_->Sftp(), dir)) {
            const std::string name = attributes->name != nullptr ? attributes->name : "";
            // A name is one component: one with a separator (which no honest server sends) would
            // reach outside the folder listed, and is left out.
            if (name != "." && name != ".." && !name.empty() && name.find('/') == std::string::npos)
                entries.emplace_back(name, FactsFromAttributes(*attributes).kind);
            sftp_attributes_free(attributes);
        }
        const bool complete = sftp_dir_eof(dir) != 0;
        sftp_closedir(dir);
        if (!complete)
            return channel_->LastFailure();
    }
    for (const auto& [name, kind] : entries)
        if (!onEntry(name, kind))
            break;
    return {};
}

FsStatus SftpFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    auto lock = channel_->Lock();
    return channel_->Facts(Entry(path), facts);
}

FsResult<std::string> SftpFileSystem::ResolvePath(const std::string& path)
{
    auto lock = channel_->Lock();
    char* resolved = sftp_canonicalize_path(channel_->Sftp(), path.c_str());
    if (resolved == nullptr)
        return channel_->LastFailure();
    std::string result = resolved;
    ssh_string_free_char(resolved);
    return path.ends_with(pathSeparator) ? WithTrailingSeparator(result) : result;
}

FsResult<FolderIdentity> SftpFileSystem::IdentifyFolder(const std::string&)
{
    // SFTP tells no devices or mounts.
    return FsStatus::Failure(EOPNOTSUPP);
}

FsStatus SftpFileSystem::CopyInto(const CopySource& source, const std::string& to, CopyProgress* progress)
{
    if (FsStatus copyable = CheckCopySource(source.facts); !copyable)
        return copyable;
    EntryFacts target;
    if (FsStatus looked = channel_->Facts(to, target); !looked && looked.Error() != ENOENT)
        return looked;
    if (FsStatus replaceable = CheckCopyTarget(target, source.facts, readOnly_); !replaceable)
        return replaceable;
    const ServerPlacement placement =
        target.kind == EntryKind::Missing ? ServerPlacement::Add : ServerPlacement::Overwrite;
    const bool link = source.facts.kind == EntryKind::Link;
    FsStatus copied;
    if (link) {
        const FsResult<std::string> text = source.linkText();
        if (!text)
            return text.Status();
        copied = PlaceLink(*channel_, to, *text, placement);
    } else {
        ChunkSource data;
        if (FsStatus opened = source.openData(data); !opened)
            return opened;
        const TemporaryFinish finish{source.facts.mode, true, source.facts.modifiedSeconds};
        const auto size = static_cast<std::uint64_t>(source.facts.size);
        copied = WriteThroughTemporary(*channel_, to, data, finish, placement, progress, size);
    }
    if (copied && progress != nullptr)
        progress->FileCopied(link ? 0 : static_cast<std::uint64_t>(source.facts.size));
    return copied;
}

FsStatus SftpFileSystem::ServerCopySource(const std::string& path, CopySource& source)
{
    if (FsStatus found = channel_->Facts(path, source.facts); !found)
        return found;
    source.openData = [this, path](ChunkSource& data) { return OpenServerSource(*channel_, path, data); };
    source.linkText = [this, path]() -> FsResult<std::string> {
        char* text = sftp_readlink(channel_->Sftp(), path.c_str());
        if (text == nullptr)
            return channel_->LastFailure();
        std::string linkText = text;
        ssh_string_free_char(text);
        return linkText;
    };
    return {};
}

FsStatus SftpFileSystem::UploadFile(const std::string& localPath, const std::string& to,
                                    CopyProgress* progress)
{
    CopySource source;
    if (FsStatus found = LocalCopySource(localPath, source); !found)
        return found;
    auto lock = channel_->Lock();
    return CopyInto(source, to, progress);
}

FsStatus SftpFileSystem::CopyFile(const std::string& from, const std::string& to, CopyProgress* progress)
{
    auto lock = channel_->Lock();
    CopySource source;
    if (FsStatus found = ServerCopySource(from, source); !found)
        return found;
    return CopyInto(source, to, progress);
}

FsStatus SftpFileSystem::DeleteFile(const std::string& path)
{
    auto lock = channel_->Lock();
    EntryFacts facts;
    if (FsStatus found = channel_->Facts(Entry(path), facts); !found)
        return found;
    if (FsStatus deletable = CheckFileDelete(facts, readOnly_); !deletable)
        return deletable;
    if (sftp_unlink(channel_->Sftp(), Entry(path).c_str()) != SSH_OK)
        return channel_->LastFailure();
    return {};
}

FsStatus SftpFileSystem::MakeFolder(const std::string& folder, mode_t mode)
{
    auto lock = channel_->Lock();
    // The server takes off its own umask too.
    if (sftp_mkdir(channel_->Sftp(), Entry(folder).c_str(), mode) == SSH_OK)
        return {};
    const FsStatus failure = channel_->LastFailure();
    EntryFacts existing;
    if (IsConnectionLoss(failure) || !channel_->Facts(Entry(folder), existing))
        return failure;
    return CheckFolderPlace(existing);
}

FsStatus SftpFileSystem::RemoveFolder(const std::string& folder)
{
    auto lock = channel_->Lock();
    if (sftp_rmdir(channel_->Sftp(), Entry(folder).c_str()) == SSH_OK)
        return {};
    const FsStatus failure = channel_->LastFailure();
    EntryFacts facts;
    if (IsConnectionLoss(failure) || !channel_->Facts(Entry(folder), facts))
        return failure;
    if (facts.kind != EntryKind::Folder)
        return FsStatus::Failure(ENOTDIR);
    // What stops the removal of a folder one may write in is what it still holds.
    return failure.Error() == EIO ? FsStatus::Failure(ENOTEMPTY) : failure;
}

FsStatus SftpFileSystem::Respell(const std::string& path, const std::string& newName)
{
    auto lock = channel_->Lock();
    const std::string entry = Entry(path);
    const std::string temporary = FolderOf(entry) + MakeTemporaryName();
    const std::string renamed = FolderOf(entry) + newName;
    if (FsStatus moved = RenameEntry(*channel_, entry, temporary, ServerPlacement::Add); !moved)
        return moved;
    const FsStatus respelled = RenameEntry(*channel_, temporary, renamed, ServerPlacement::Add);
    if (!respelled)
        (void)RenameEntry(*channel_, temporary, entry, ServerPlacement::Add);
    return respelled;
}

} // namespace twinfol
