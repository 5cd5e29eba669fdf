// Temporary folder trees for tests, made with plain POSIX calls.
#include "support/temp_tree.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace twinfol::test {
namespace fs = std::filesystem;

TempTree::TempTree()
{
    std::string pattern = (fs::temp_directory_path() / "twinfol-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern + "/";
}

TempTree::~TempTree()
{
    // Give every folder write permission back so that tests of read-only items clean up too.
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root_, error); !error && it != fs::end(it);
         it.increment(error))
        if (it->is_directory(error) && !it->is_symlink(error))
            chmod(it->path().c_str(), 0755);
    chmod(root_.c_str(), 0755);
    fs::remove_all(root_, error);
}

std::string TempTree::MakeFolder(const std::string& relative) const
{
    fs::create_directories(Path(relative));
    std::string path = Path(relative);
    if (!path.ends_with('/'))
        path += '/';
    return path;
}

std::string TempTree::WriteFile(const std::string& relative, const std::string& content,
                                std::optional<std::time_t> modified) const
{
    const fs::path path(Path(relative));
    fs::create_directories(path.parent_path());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }
    if (modified)
        SetModified(relative, *modified);
    return path.string();
}

void TempTree::SetModified(const std::string& relative, std::time_t seconds, long nanoseconds) const
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    if (utimensat(AT_FDCWD, Path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat failed on " + Path(relative));
}

std::string TempTree::MakeSymlink(const std::string& relative, const std::string& pointsTo) const
{
    const fs::path path(Path(relative));
    fs::create_directories(path.parent_path());
    fs::create_symlink(pointsTo, path);
    return path.string();
}

void TempTree::SetMode(const std::string& relative, unsigned mode) const
{
    if (chmod(Path(relative).c_str(), mode) != 0)
        throw std::runtime_error("chmod failed on " + Path(relative));
}

std::string TempTree::MakeFifo(const std::string& relative) const
{
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    if (mkfifo(path.c_str(), 0644) != 0)
        throw std::runtime_error("mkfifo failed on " + path);
    return path;
}

std::string TempTree::MakeSocket(const std::string& relative) const
{
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    // The socket's file stays in the folder after the socket itself is closed.
    const int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    close(fd);
    if (bound != 0)
        throw std::runtime_error("bind failed on " + path);
    return path;
}

std::optional<std::string> TempTree::ReadFile(const std::string& relative) const
{
    std::ifstream in(Path(relative), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TempTree::Exists(const std::string& relative) const
{
    struct stat info {};
    return lstat(Path(relative).c_str(), &info) == 0;
}

std::time_t TempTree::Modified(const std::string& relative) const
{
    struct stat info {};
    if (lstat(Path(relative).c_str(), &info) != 0)
        throw std::runtime_error("lstat failed on " + Path(relative));
    return info.st_mtime;
}

unsigned TempTree::Mode(const std::string& relative) const
{
    struct stat info {};
    if (lstat(Path(relative).c_str(), &info) != 0)
        throw std::runtime_error("lstat failed on " + Path(relative));
    return info.st_mode & 07777;
}

std::map<std::string, std::string> TempTree::Snapshot() const
{
    std::map<std::string, std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root_, error); !error && it != fs::end(it);
         it.increment(error)) {
        // fs::relative() would resolve links and name a link by what it points to.
        std::string relative = it->path().lexically_relative(root_).string();
        if (it->is_symlink(error))
            entries[relative] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory(error))
            entries[relative + "/"] = "";
        else if (!it->is_regular_file(error))
            entries[relative] = "<special>"; // Reading a FIFO would wait for a writer.
        else
            entries[relative] = ReadFile(relative).value_or("<unreadable>");
    }
    return entries;
}

} // namespace twinfol::test
