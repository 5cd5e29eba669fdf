// Building the extended request, and reading its status packet, by the SFTP version 3 wire format:
// a length, a type byte, the request id, and strings as a length followed by their bytes.
#include "engine/sftp/sftp_extended_rename.h"

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace twinfol {
namespace {

constexpr const char* extensionName = "posix-rename@openssh.com";
constexpr std::uint8_t extendedType = 200;
constexpr std::uint8_t statusType = 101;

void PutNumber(std::string& packet, std::uint32_t number)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        packet += static_cast<char>((number >> shift) & 0xff);
}

void PutString(std::string& packet, const std::string& text)
{
    PutNumber(packet, static_cast<std::uint32_t>(text.size()));
    packet += text;
}

std::uint32_t NumberAt(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) << 24 |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}

bool ReadExactly(ssh_channel channel, unsigned char* into, std::size_t count)
{
    while (count > 0) {
        const int read = ssh_channel_read(channel, into, static_cast<std::uint32_t>(count), 0);
        if (read <= 0)
            return false;
        into += read;
        count -= static_cast<std::size_t>(read);
    }
    return true;
}

// The status code of the answer to the request, or -1 when the connection failed.
int ReadStatus(ssh_channel channel, std::uint32_t id)
{
    std::vector<unsigned char> length(4);
    if (!ReadExactly(channel, length.data(), 4))
        return -1;
    const std::uint32_t size = NumberAt(length, 0);
    // A status packet holds its type, id, code and two short strings.
    if (size < 9 || size > 64 * 1024)
        return -1;
    std::vector<unsigned char> body(size);
    if (!ReadExactly(channel, body.data(), size) || body[0] != statusType || NumberAt(body, 1) != id)
        return -1;
    return static_cast<int>(NumberAt(body, 5));
}

} // namespace

bool OffersReplacingRename(const SftpChannel& channel)
{
    return sftp_extension_supported(channel.Sftp(), extensionName, "1") != 0;
}

FsStatus ReplacingRename(SftpChannel& channel, const std::string& from, const std::string& to)
{
    sftp_session sftp = channel.Sftp();
    const std::uint32_t id = ++sftp->id_counter;
    std::string body;
    body += static_cast<char>(extendedType);
    PutNumber(body, id);
    PutString(body, extensionName);
    PutString(body, from);
    PutString(body, to);
    std::string packet;
    PutNumber(packet, static_cast<std::uint32_t>(body.size()));
    packet += body;
    if (ssh_channel_write(sftp->channel, packet.data(), static_cast<std::uint32_t>(packet.size())) !=
        static_cast<int>(packet.size()))
        return ConnectionLost();
    const int status = ReadStatus(sftp->channel, id);
    switch (status) {
    case SSH_FX_OK: return {};
    case -1: return ConnectionLost();
    case SSH_FX_NO_SUCH_FILE: return FsStatus::Failure(ENOENT);
    case SSH_FX_PERMISSION_DENIED: return FsStatus::Failure(EACCES);
    default: return FsStatus::Failure(EIO);
    }
}

} // namespace twinfol
