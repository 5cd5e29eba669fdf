// Feeds arbitrary bytes to the profile reader. Whatever it reads must never crash it, a rejected
// input must leave the defaults, and whatever the writer accepts must read back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile.h"

namespace {

// The entries that survive a write and a read: blank ones ahead of the first entry are skipped by
// the reader, and blank entries never name a path, so they are left out of the comparison.
std::vector<std::string> NonBlankEntries(const twinfol::Profile& profile)
{
    std::vector<std::string> entries;
    for (const std::string& entry : profile.exclusions.Entries())
        if (entry.find_first_not_of(" \t\n\v\f\r") != std::string::npos)
            entries.push_back(entry);
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    twinfol::Profile profile;
    profile.SetLocation1("left over from before");
    const bool valid = profile.ReadText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!valid) {
        twinfol::Profile reset;
        reset.valid = false;
        if (!(profile == reset))
            std::abort();
        return 0;
    }
    if (profile.modified ||
        !std::is_sorted(profile.exclusions.Entries().begin(), profile.exclusions.Entries().end()))
        std::abort();
    if (!profile.CanBeWritten())
        return 0;
    twinfol::Profile again;
    if (!again.ReadText(profile.ToText()))
        std::abort();
    if (again.location1 != profile.location1 || again.location2 != profile.location2 ||
        again.options != profile.options || NonBlankEntries(again) != NonBlankEntries(profile))
        std::abort();
    return 0;
}
