// Reading and writing server locations. The parts are checked one by one, so that a refusal names
// the part that is wrong.
#include "engine/sftp/sftp_location.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace twinfol {
namespace {

constexpr std::string_view scheme = "sftp://";
constexpr std::string_view homeComponent = "/~/";

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// A host name or Host alias: letters, digits and the few marks names and aliases use.
bool IsHostName(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
    });
}

bool IsIpv6Address(std::string_view address)
{
    return !address.empty() && std::all_of(address.begin(), address.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
    });
}

std::string ReadUser(std::string_view& authority, SftpLocation& location)
{
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos)
        return {};
    const std::string_view user = authority.substr(0, at);
    if (user.find(':') != std::string_view::npos)
        return "a server location holds no password: the key files or the SSH agent sign in";
    if (user.empty() || user.find('@') != std::string_view::npos)
        return "the user name before \"@\" is empty or holds another \"@\"";
    location.user = user;
    authority.remove_prefix(at + 1);
    return {};
}

std::string ReadPort(std::string_view digits, SftpLocation& location)
{
    int port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() || port < 1 ||
        port > 65535)
        return "the port after \":\" must be a number from 1 to 65535";
    location.port = port;
    return {};
}

std::string ReadHostAndPort(std::string_view authority, SftpLocation& location)
{
    std::string_view rest = authority;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !IsIpv6Address(authority.substr(1, close - 1)))
            return "an address in brackets must be an IPv6 address, such as [::1]";
        location.host = authority.substr(1, close - 1);
        rest = authority.substr(close + 1);
    } else {
        const std::size_t colon = authority.find(':');
        location.host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : authority.substr(colon);
        if (!IsHostName(location.host))
            return location.host.empty() ? "the server's name is missing"
                                         : "the server's name holds characters no host name has";
    }
    if (rest.empty())
        return {};
    if (!rest.starts_with(':'))
        return "only a port may follow the server's name, after \":\"";
    return ReadPort(rest.substr(1), location);
}

std::string ReadPath(std::string_view path, SftpLocation& location)
{
    if (path.find("//") != std::string_view::npos)
        return "the folder path holds an empty name (\"//\")";
    std::string_view rest = path.substr(1);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        if (name == "." || name == "..")
            return "the folder path holds \".\" or \"..\": write the folder's own path";
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    location.path = path;
    if (!location.path.ends_with('/'))
        location.path += '/';
    return {};
}

bool StartsWithScheme(std::string_view text)
{
    return text.size() >= scheme.size() &&
           std::equal(scheme.begin(), scheme.end(), text.begin(), [](char wanted, char given) {
               return wanted == std::tolower(static_cast<unsigned char>(given));
           });
}

} // namespace

bool SftpLocation::InHome() const
{
    return path == "/~/" || path.starts_with(homeComponent);
}

std::string SftpLocation::PathOnServer(std::string_view homeFolder) const
{
    if (!InHome())
        return path;
    std::string home(homeFolder);
    if (!home.ends_with('/'))
        home += '/';
    return home + path.substr(homeComponent.size());
}

std::string SftpLocation::ToText() const
{
    std::string text(scheme);
    if (!user.empty())
        text += user + "@";
    text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (port != 0)
        text += ":" + std::to_string(port);
    return text + path;
}

bool IsSftpLocation(std::string_view text)
{
    return StartsWithScheme(text);
}

ParsedSftpLocation ParseSftpLocation(std::string_view text)
{
    ParsedSftpLocation parsed;
    if (!StartsWithScheme(text)) {
        parsed.problem = "a server location begins with \"sftp://\"";
        return parsed;
    }
    if (HasControlCharacter(text)) {
        parsed.problem = "the location holds a control character";
        return parsed;
    }
    const std::string_view rest = text.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
        parsed.problem = "a folder path must follow the server's name, such as sftp://host/~/backup/";
        return parsed;
    }
    std::string_view authority = rest.substr(0, slash);
    parsed.problem = ReadUser(authority, parsed.location);
    if (parsed.problem.empty())
        parsed.problem = ReadHostAndPort(authority, parsed.location);
    if (parsed.problem.empty())
        parsed.problem = ReadPath(rest.substr(slash), parsed.location);
    if (!parsed.IsOk())
        parsed.location = {};
    return parsed;
}

} // namespace twinfol
