// Making and recognising temporary names.
#include "base/temporary_name.h"

#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <limits>
#include <random>

namespace twinfol {

std::string MakeTemporaryName()
{
    // One generator per thread, seeded apart per process, so that threads and processes writing
    // into the same folder rarely pick the same name; an exclusive create settles the rest.
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32) ^
                                           std::random_device{}() ^ static_cast<std::uint64_t>(getpid())};
    static constexpr char digits[] = "0123456789abcdef";
    constexpr std::size_t timeDigits = 8;
    const auto now = static_cast<std::uint64_t>(std::time(nullptr));
    std::uint64_t value = generator();
    std::string name(temporaryNamePrefix);
    name.reserve(temporaryNamePrefix.size() + temporaryNameDigits + temporaryNameSuffix.size());
    for (std::size_t digit = 0; digit < timeDigits; ++digit)
        name += digits[(now >> (4 * (timeDigits - 1 - digit))) & 0xF];
    for (std::size_t digit = timeDigits; digit < temporaryNameDigits; ++digit) {
        name += digits[value & 0xF];
        value >>= 4;
    }
    name += temporaryNameSuffix;
    return name;
}

std::int64_t TemporaryNameTime(std::string_view name)
{
    if (!IsTemporaryName(name))
        return std::numeric_limits<std::int64_t>::max();
    std::int64_t seconds = 0;
    for (const char digit : name.substr(temporaryNamePrefix.size(), 8))
        seconds = seconds * 16 + (digit <= '9' ? digit - '0' : digit - 'a' + 10);
    return seconds;
}

bool IsTemporaryName(std::string_view name)
{
    if (name.size() != temporaryNamePrefix.size() + temporaryNameDigits + temporaryNameSuffix.size() ||
        !name.starts_with(temporaryNamePrefix) || !name.ends_with(temporaryNameSuffix))
        return false;
    const std::string_view digits = name.substr(temporaryNamePrefix.size(), temporaryNameDigits);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace twinfol
