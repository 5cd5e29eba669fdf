// A folder on a server as a person writes it, "sftp://[user@]host[:port]/path/": read from the
// runner's arguments, a profile's locations and the window's location lists, and told apart from a
// local path by its scheme.
#pragma once

#include <string>
#include <string_view>

namespace twinfol {

struct SftpLocation {
    // Empty where the location names none: ~/.ssh/config or the local user's name then decides.
    std::string user;
    // The server's name (or a Host alias of ~/.ssh/config, or an address; an IPv6 address without
    // its brackets).
    std::string host;
    // 0 where the location names none: ~/.ssh/config or the standard port 22 then decides.
    int port = 0;
    // The folder on the server, beginning and ending with the separator. A first component "~"
    // stands for the user's home folder there.
    std::string path;

    // Whether the path begins in the user's home folder on the server.
    bool InHome() const;
    // The absolute path on the server, with the home folder (ending with the separator) put in for a
    // first "~".
    std::string PathOnServer(std::string_view homeFolder) const;
    // The location written back in its one canonical shape.
    std::string ToText() const;

    friend bool operator==(const SftpLocation&, const SftpLocation&) = default;
};

// A location read from its text, or the reason a person reads for why it is none.
struct ParsedSftpLocation {
    SftpLocation location;
    std::string problem;

    bool IsOk() const { return problem.empty(); }
};

// Whether the text is meant as a server location: it begins with the scheme "sftp://" (in any case).
// Such a text is never a local path, even when it does not parse.
bool IsSftpLocation(std::string_view text);
// Reads a location. The path is taken as written (no percent-decoding: a name with "%" in it means
// itself); a missing final separator is added. Empty components, "." and "..", control characters, a
// password in the location, and a port outside 1-65535 are refused with the reason.
ParsedSftpLocation ParseSftpLocation(std::string_view text);

} // namespace twinfol
