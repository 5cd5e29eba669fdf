// Path helpers; realpath's result is taken over and freed here, in one place.
#include "base/path.h"

#include <cstdlib>
#include <memory>

namespace twinfol {
namespace {

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

} // namespace

std::string FolderOf(std::string_view path)
{
    const std::size_t separator = path.rfind(pathSeparator);
    return separator == std::string_view::npos ? std::string() : std::string(path.substr(0, separator + 1));
}

std::string_view BaseNameOf(std::string_view path)
{
    const std::size_t separator = path.rfind(pathSeparator);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string WithTrailingSeparator(std::string folder)
{
    if (!folder.empty() && !folder.ends_with(pathSeparator))
        folder += pathSeparator;
    return folder;
}

std::string WithoutTrailingSeparator(std::string_view path)
{
    if (path.size() > 1 && path.ends_with(pathSeparator))
        path.remove_suffix(1);
    return std::string(path);
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + name.size() + 1);
    path += folder;
    path += name;
    return path;
}

std::optional<std::string> RealPath(const std::string& path)
{
    const std::unique_ptr<char, FreeDeleter> resolved(realpath(path.c_str(), nullptr));
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

} // namespace twinfol
