// Making and recognising temporary names.
#include "base/temporary_name.h"

#include <unistd.h>

#include <cstdint>
#include <random>

namespace twinfol {

std::string MakeTemporaryName()
{
    // One generator per thread, seeded apart per process, so that threads and processes writing
    // into the same folder rarely pick the same name; an exclusive create settles the rest.
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32) ^
                                           std::random_device{}() ^ static_cast<std::uint64_t>(getpid())};
    static constexpr char digits[] = "0123456789abcdef";
    std::uint64_t value = generator();
    std::string name(temporaryNamePrefix);
    name.reserve(temporaryNamePrefix.size() + temporaryNameDigits + temporaryNameSuffix.size());
    for (std::size_t digit = 0; digit < temporaryNameDigits; ++digit) {
        name += digits[value & 0xF];
        value >>= 4;
    }
    name += temporaryNameSuffix;
    return name;
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
