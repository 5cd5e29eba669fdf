// Listing a tree's metadata with lstat and the l*xattr calls.
#include "support/metadata_listing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>

#include "support/ordinary_user.h"

namespace twinfol::test {
namespace fs = std::filesystem;
namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// name=hexvalue for every attribute, sorted by name.
std::string Attributes(const std::string& path)
{
    std::string list(64 * 1024, '\0');
    const ssize_t size = llistxattr(path.c_str(), list.data(), list.size());
    if (size < 0)
        return "<" + std::string(std::strerror(errno)) + ">";
    std::set<std::string> names;
    for (std::size_t at = 0; at < static_cast<std::size_t>(size); at += std::strlen(list.c_str() + at) + 1)
        names.insert(list.c_str() + at);
    std::string text;
    for (const std::string& name : names) {
        std::string value(64 * 1024, '\0');
        const ssize_t length = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        value.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
        text += " " + name + "=" + Hex(value);
    }
    return text;
}

char KindLetter(mode_t mode)
{
    if (S_ISDIR(mode))
        return 'd';
    if (S_ISLNK(mode))
        return 'l';
    if (S_ISREG(mode))
        return 'f';
    return '?';
}

} // namespace

std::map<std::string, std::string> MetadataListing(const std::string& root)
{
    std::map<std::string, struct stat> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        if (lstat(entry.path().c_str(), &info) != 0)
            throw std::runtime_error("lstat failed on " + entry.path().string());
        entries[entry.path().lexically_relative(root).string()] = info;
    }
    // An inode with several names is named by the first of them in path order, in either tree.
    std::map<std::pair<dev_t, ino_t>, std::string> firstNames;
    for (const auto& [path, info] : entries)
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1)
            firstNames.try_emplace({info.st_dev, info.st_ino}, path);
    std::map<std::string, std::string> listing;
    for (const auto& [path, info] : entries) {
        std::ostringstream line;
        line << KindLetter(info.st_mode) << " mode=" << std::oct << (info.st_mode & 07777) << std::dec
             << " owner=" << info.st_uid << ":" << info.st_gid << " mtime=" << info.st_mtim.tv_sec << "."
             << info.st_mtim.tv_nsec;
        if (!S_ISDIR(info.st_mode))
            line << " size=" << info.st_size << " blocks=" << info.st_blocks;
        if (const auto first = firstNames.find({info.st_dev, info.st_ino}); first != firstNames.end())
            line << " inode-of=" << first->second << " links=" << info.st_nlink;
        if (S_ISLNK(info.st_mode))
            line << " -> " << fs::read_symlink(fs::path(root) / path).string();
        line << Attributes((fs::path(root) / path).string());
        listing[path] = line.str();
    }
    return listing;
}

void WriteSparseFile(const std::string& path, off_t size,
                     const std::vector<std::pair<off_t, std::string>>& data)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    bool written = ftruncate(fd, size) == 0;
    for (const auto& [offset, bytes] : data)
        written =
            written && pwrite(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
    close(fd);
    if (!written)
        throw std::runtime_error("cannot write " + path);
}

void SetAttribute(const std::string& path, const std::string& name, const std::string& value)
{
    if (lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0)
        throw std::runtime_error("cannot set " + name + " on " + path + ": " + std::strerror(errno));
}

std::string AccessAclGranting(uid_t user, unsigned permissions, mode_t mode)
{
    // The kernel's POSIX ACL format: a version, then (tag, permissions, id) entries sorted by tag.
    constexpr std::uint32_t version = 2;
    constexpr std::uint32_t noId = 0xFFFFFFFF;
    struct Entry {
        std::uint16_t tag;
        std::uint16_t permissions;
        std::uint32_t id;
    };
    const auto bits = [&](int shift) { return static_cast<std::uint16_t>((mode >> shift) & 7); };
    const Entry entries[] = {{0x01, bits(6), noId},
                             {0x02, static_cast<std::uint16_t>(permissions), user},
                             {0x04, bits(3), noId},
                             {0x10, static_cast<std::uint16_t>(bits(3) | permissions), noId},
                             {0x20, bits(0), noId}};
    std::string value(reinterpret_cast<const char*>(&version), sizeof version);
    for (const Entry& entry : entries)
        value.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    return value;
}

int RunCommand(const std::vector<std::string>& argv, bool asOrdinaryUser)
{
    const auto run = [&] {
        std::vector<char*> arguments;
        for (const std::string& argument : argv)
            arguments.push_back(const_cast<char*>(argument.c_str()));
        arguments.push_back(nullptr);
        // Nothing the program prints matters here, and it is never asked anything.
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(arguments[0], arguments.data());
        return 127;
    };
    if (asOrdinaryUser) {
        const std::optional<int> status = RunAsOrdinaryUser(run);
        return status.value_or(-1);
    }
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0)
        _exit(run());
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace twinfol::test
