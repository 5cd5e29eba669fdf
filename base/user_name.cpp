// Naming users for messages.
#include "base/user_name.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace twinfol {

std::string DescribeUser(std::uint32_t uid)
{
    const std::string id = "uid " + std::to_string(uid);
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr)
        return id;
    return std::string(found->pw_name) + " (" + id + ")";
}

} // namespace twinfol
