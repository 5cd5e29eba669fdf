// Listing, reading and writing extended attributes on open descriptors, and on links through their
// open folder's entry in /proc (the l*xattr calls take paths, and a path from there follows no link
// but the folder's own descriptor).
#include "engine/posix/posix_extended_attributes.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/posix/unsupported_metadata.h"

namespace twinfol {
namespace {

// Most lists fit this at once; a longer one is asked for again at its size.
constexpr std::size_t firstListSize = 1024;
// The largest value Linux stores (XATTR_SIZE_MAX).
constexpr std::size_t largestValue = 64 * 1024;

// The three calls, on a descriptor or on a path that ends in a link.
struct AttributeCalls {
    virtual ~AttributeCalls() = default;
    virtual ssize_t ListSource(char* list, std::size_t size) const = 0;
    virtual ssize_t GetSource(const char* name, char* value, std::size_t size) const = 0;
    virtual int SetCopy(const char* name, const char* value, std::size_t size) const = 0;
};

struct DescriptorCalls final : AttributeCalls {
    int source;
    int copy;
    DescriptorCalls(int from, int to) : source(from), copy(to) {}
    ssize_t ListSource(char* list, std::size_t size) const override { return flistxattr(source, list, size); }
    ssize_t GetSource(const char* name, char* value, std::size_t size) const override
    {
        return fgetxattr(source, name, value, size);
    }
    int SetCopy(const char* name, const char* value, std::size_t size) const override
    {
        return fsetxattr(copy, name, value, size, 0);
    }
};

struct LinkCalls final : AttributeCalls {
    std::string source;
    std::string copy;
    ssize_t ListSource(char* list, std::size_t size) const override
    {
        return llistxattr(source.c_str(), list, size);
    }
    ssize_t GetSource(const char* name, char* value, std::size_t size) const override
    {
        return lgetxattr(source.c_str(), name, value, size);
    }
    int SetCopy(const char* name, const char* value, std::size_t size) const override
    {
        return lsetxattr(copy.c_str(), name, value, size, 0);
    }
};

// A path to the entry that resolves through the folder's descriptor; a name relative to the current
// folder (AT_FDCWD) is a path already.
std::string ProcPath(int folderFd, const char* name)
{
    if (folderFd == AT_FDCWD)
        return name;
    char folder[32];
    std::snprintf(folder, sizeof folder, "/proc/self/fd/%d/", folderFd);
    return folder + std::string(name);
}

// Reads the NUL-separated list of names; false with errno set when it cannot be read.
bool ReadList(const AttributeCalls& calls, std::vector<char>& list)
{
    char first[firstListSize];
    ssize_t size = calls.ListSource(first, sizeof first);
    if (size >= 0) {
        list.assign(first, first + size);
        return true;
    }
    // The list grew past the buffer, or was longer from the start: ask its size until it fits.
    while (errno == ERANGE) {
        size = calls.ListSource(nullptr, 0);
        if (size < 0)
            return false;
        list.resize(static_cast<std::size_t>(size) + 1);
        size = calls.ListSource(list.data(), list.size());
        if (size >= 0) {
            list.resize(static_cast<std::size_t>(size));
            return true;
        }
    }
    return false;
}

FsStatus CopyEach(const AttributeCalls& calls, const std::vector<char>& list)
{
    std::vector<char> value(largestValue);
    for (std::size_t at = 0; at < list.size();) {
        const char* name = list.data() + at;
        at += std::strlen(name) + 1;
        const ssize_t size = calls.GetSource(name, value.data(), value.size());
        if (size < 0) {
            if (errno == ENODATA)
                continue; // Removed since the list was read.
            return FsStatus::Failure(errno);
        }
        if (calls.SetCopy(name, value.data(), static_cast<std::size_t>(size)) != 0 &&
            !IsIgnorableAttributeError(name, errno))
            return FsStatus::Failure(errno);
    }
    return {};
}

} // namespace

bool IsIgnorableAttributeError(const char* name, int error)
{
    if (IsUnsupportedMetadataError(error))
        return true;
    const std::string_view attribute = name;
    return error == EACCES && (attribute.starts_with("security.") || attribute.starts_with("trusted."));
}

FsStatus CopyExtendedAttributes(int source, int copy)
{
    std::vector<char> list;
    if (!ReadList(DescriptorCalls(source, copy), list))
        return IsUnsupportedMetadataError(errno) ? FsStatus() : FsStatus::Failure(errno);
    if (list.empty())
        return {};
    return CopyEach(DescriptorCalls(source, copy), list);
}

FsStatus CopyLinkExtendedAttributes(int sourceFolderFd, const char* sourceName, int copyFolderFd,
                                    const char* copyName)
{
    LinkCalls calls;
    calls.source = ProcPath(sourceFolderFd, sourceName);
    std::vector<char> list;
    if (!ReadList(calls, list) || list.empty())
        return {};
    calls.copy = ProcPath(copyFolderFd, copyName);
    return CopyEach(calls, list);
}

} // namespace twinfol
