// Plain POSIX calls on the user's own configuration folders: nothing here is synchronised data.
#include "schedule/schedule_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "base/bounded_read.h"
#include "base/unique_fd.h"

namespace twinfol {
namespace {

constexpr std::size_t mostScheduleFileBytes = 256 * 1024;

std::string Failure(const std::string& what, const std::string& path, int error)
{
    return "could not " + what + " " + path + " (" + std::strerror(error) + ")";
}

} // namespace

std::string MakeFolders(const std::string& folder)
{
    std::size_t at = 1;
    while (at <= folder.size()) {
        const std::size_t end = std::min(folder.find('/', at), folder.size());
        const std::string part = folder.substr(0, end);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return Failure("create the folder", part, errno);
        at = end + 1;
    }
    return {};
}

std::string WriteWholeFile(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".twinfol-new";
    UniqueFd file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file)
        return Failure("write", temporary, errno);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t result = write(file.Get(), text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            const int error = errno;
            unlink(temporary.c_str());
            return Failure("write", temporary, error);
        }
        written += static_cast<std::size_t>(result);
    }
    if (fsync(file.Get()) != 0 || file.Close() != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return Failure("write", path, error);
    }
    return {};
}

std::optional<std::string> ReadSmallFile(const std::string& path)
{
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!file || ReadBounded(file.Get(), mostScheduleFileBytes + 1, text) != 0 ||
        text.size() > mostScheduleFileBytes)
        return std::nullopt;
    return text;
}

bool RemoveFile(const std::string& path)
{
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::vector<std::string> NamesEndingWith(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    const auto close = [](DIR* opened) { closedir(opened); };
    const std::unique_ptr<DIR, decltype(close)> stream(opendir(folder.c_str()), close);
    if (!stream)
        return names;
    while (const dirent* entry = readdir(stream.get())) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.ends_with(suffix))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace twinfol
