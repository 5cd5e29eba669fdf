// Temporary files, renames and data sources on a server.
#include "engine/sftp/sftp_transfer.h"

#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "base/path.h"
#include "base/temporary_name.h"
#include "engine/sftp/sftp_extended_rename.h"

namespace twinfol {
namespace {

// The size of each write: OpenSSH's server takes up to 256 KiB in one request, libssh 0.10 splits
// larger ones itself.
constexpr std::size_t chunkSize = 128 * 1024;
constexpr int temporaryNameTries = 16;

struct FileCloser {
    void operator()(sftp_file file) const { sftp_close(file); }
};
using OpenFile = std::unique_ptr<sftp_file_struct, FileCloser>;

FsStatus CreateTemporary(SftpChannel& channel, const std::string& target, std::string& path, OpenFile& file)
{
    for (int tries = 0; tries < temporaryNameTries; ++tries) {
        path = FolderOf(target) + MakeTemporaryName();
        file.reset(sftp_open(channel.Sftp(), path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
        if (file)
            return {};
        EntryFacts facts;
        // A name already taken is tried again; anything else (a missing folder) ends the copy.
        if (!channel.Facts(path, facts))
            return channel.LastFailure();
    }
    return FsStatus::Failure(EEXIST);
}

FsStatus WriteAll(SftpChannel& channel, sftp_file file, const ChunkSource& source, CopyProgress* progress,
                  std::uint64_t size)
{
    std::vector<char> buffer(chunkSize);
    std::uint64_t written = 0;
    for (;;) {
        FsResult<std::size_t> read = source(buffer.data(), buffer.size());
        if (!read)
            return read.Status();
        if (*read == 0)
            return {};
        if (sftp_write(file, buffer.data(), *read) != static_cast<ssize_t>(*read))
            return channel.LastFailure();
        written += *read;
        if (progress != nullptr && progress->FollowsChunks())
            progress->DataCopied(written, size);
    }
}

FsStatus Finish(SftpChannel& channel, const std::string& path, const TemporaryFinish& finish)
{
    sftp_attributes_struct attributes{};
    attributes.flags = SSH_FILEXFER_ATTR_PERMISSIONS;
    attributes.permissions = finish.mode;
    if (finish.setTime) {
        attributes.flags |= SSH_FILEXFER_ATTR_ACMODTIME;
        attributes.atime = static_cast<std::uint32_t>(finish.modifiedSeconds);
        attributes.mtime = static_cast<std::uint32_t>(finish.modifiedSeconds);
    }
    if (sftp_setstat(channel.Sftp(), path.c_str(), &attributes) != SSH_OK)
        return channel.LastFailure();
    return {};
}

// Without the replacing rename the old entry is moved aside first: the name is then missing for a
// moment, and a failure in between puts the old entry back.
FsStatus ReplaceEntry(SftpChannel& channel, const std::string& from, const std::string& to)
{
    if (OffersReplacingRename(channel))
        return ReplacingRename(channel, from, to);
    const std::string aside = FolderOf(to) + MakeTemporaryName();
    const bool movedAside = sftp_rename(channel.Sftp(), to.c_str(), aside.c_str()) == SSH_OK;
    if (sftp_rename(channel.Sftp(), from.c_str(), to.c_str()) != SSH_OK) {
        const FsStatus failure = channel.LastFailure();
        if (movedAside)
            sftp_rename(channel.Sftp(), aside.c_str(), to.c_str());
        return failure;
    }
    if (movedAside)
        sftp_unlink(channel.Sftp(), aside.c_str());
    return {};
}

} // namespace

FsStatus RenameEntry(SftpChannel& channel, const std::string& from, const std::string& to,
                     ServerPlacement placement)
{
    if (placement == ServerPlacement::Overwrite)
        return ReplaceEntry(channel, from, to);
    // The plain SFTP rename, which OpenSSH's server does by a hard link and an unlink: it never
    // replaces, and answers only "failure" when the name is taken.
    if (sftp_rename(channel.Sftp(), from.c_str(), to.c_str()) == SSH_OK)
        return {};
    const FsStatus failure = channel.LastFailure();
    EntryFacts existing;
    if (failure.Error() == EIO && channel.Facts(to, existing))
        return FsStatus::Failure(EEXIST);
    return failure;
}

FsStatus WriteThroughTemporary(SftpChannel& channel, const std::string& target, const ChunkSource& source,
                               const TemporaryFinish& finish, ServerPlacement placement,
                               CopyProgress* progress, std::uint64_t size)
{
    std::string temporary;
    OpenFile file;
    if (FsStatus created = CreateTemporary(channel, target, temporary, file); !created)
        return created;
    FsStatus status = WriteAll(channel, file.get(), source, progress, size);
    if (sftp_close(file.release()) != SSH_OK && status)
        status = channel.LastFailure();
    if (status)
        status = Finish(channel, temporary, finish);
    if (status)
        status = RenameEntry(channel, temporary, target, placement);
    if (!status)
        sftp_unlink(channel.Sftp(), temporary.c_str());
    return status;
}

FsStatus PlaceLink(SftpChannel& channel, const std::string& target, const std::string& text,
                   ServerPlacement placement)
{
    for (int tries = 0; tries < temporaryNameTries; ++tries) {
        const std::string temporary = FolderOf(target) + MakeTemporaryName();
        if (sftp_symlink(channel.Sftp(), text.c_str(), temporary.c_str()) != SSH_OK) {
            EntryFacts facts;
            if (!channel.Facts(temporary, facts))
                return channel.LastFailure();
            continue;
        }
        const FsStatus renamed = RenameEntry(channel, temporary, target, placement);
        if (!renamed)
            sftp_unlink(channel.Sftp(), temporary.c_str());
        return renamed;
    }
    return FsStatus::Failure(EEXIST);
}

FsStatus OpenServerSource(SftpChannel& channel, const std::string& path, ChunkSource& source)
{
    std::shared_ptr<sftp_file_struct> file(sftp_open(channel.Sftp(), path.c_str(), O_RDONLY, 0),
                                           FileCloser{});
    if (!file)
        return FsStatus::FailureAt("reading the source", channel.LastFailure().Error());
    source = [file, &channel](char* buffer, std::size_t size) -> FsResult<std::size_t> {
        const ssize_t read = sftp_read(file.get(), buffer, size);
        if (read < 0)
            return FsStatus::FailureAt("reading the source", channel.LastFailure().Error());
        return static_cast<std::size_t>(read);
    };
    return {};
}

ChunkSource TextSource(std::string_view text)
{
    return [text](char* buffer, std::size_t size) mutable -> FsResult<std::size_t> {
        const std::size_t length = std::min(size, text.size());
        text.copy(buffer, length);
        text.remove_prefix(length);
        return length;
    };
}

} // namespace twinfol
