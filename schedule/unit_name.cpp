// Escaping a profile's path into a systemd unit name.
#include "schedule/unit_name.h"

#include <cstring>
#include <string_view>

namespace twinfol {
namespace {

// systemd keeps a unit's full name, suffix included, within 255 bytes.
constexpr std::size_t longestUnitName = 255;

void AppendEscapedByte(std::string& out, unsigned char byte)
{
    constexpr char hex[] = "0123456789abcdef";
    out += "\\x";
    out += hex[byte >> 4];
    out += hex[byte & 15];
}

bool IsKeptAsItIs(char letter)
{
    const unsigned char byte = static_cast<unsigned char>(letter);
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
           letter == ':' || letter == '_' || letter == '.';
}

// The components of an absolute path with empty ones (from doubled slashes) left out, or nothing when
// one of them is "." or "..".
std::optional<std::string> SimplifiedInside(std::string_view path)
{
    std::string inside;
    std::size_t at = 0;
    while (at < path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view component = path.substr(at, end - at);
        if (component == "." || component == "..")
            return std::nullopt;
        if (!component.empty()) {
            if (!inside.empty())
                inside += '/';
            inside += component;
        }
        at = end + 1;
    }
    return inside;
}

} // namespace

std::optional<std::string> EscapedPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return std::nullopt;
    const std::optional<std::string> inside = SimplifiedInside(path);
    if (!inside)
        return std::nullopt;
    if (inside->empty())
        return "-";
    std::string escaped;
    for (std::size_t at = 0; at < inside->size(); ++at) {
        const char letter = (*inside)[at];
        // A unit whose name starts with "." would be a hidden file.
        if (letter == '/')
            escaped += '-';
        else if (IsKeptAsItIs(letter) && !(at == 0 && letter == '.'))
            escaped += letter;
        else
            AppendEscapedByte(escaped, static_cast<unsigned char>(letter));
    }
    return escaped;
}

std::optional<std::string> ScheduleUnitName(const std::string& profilePath)
{
    const std::optional<std::string> escaped = EscapedPath(profilePath);
    if (!escaped)
        return std::nullopt;
    std::string name = scheduleUnitPrefix + *escaped;
    if (name.size() + std::strlen(".service") > longestUnitName)
        return std::nullopt;
    return name;
}

} // namespace twinfol
