// Size limits typed and shown.
#include "base/size_text.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace twinfol {
namespace {

constexpr std::array<std::string_view, 5> unitNames = {"B", "KiB", "MiB", "GiB", "TiB"};

// The power of 1024 the suffix stands for, or nothing for an unknown suffix.
std::optional<int> SuffixPower(std::string_view suffix)
{
    if (suffix.empty())
        return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(suffix.front())));
    const std::string_view rest = suffix.substr(1);
    if (letter == 'B')
        return rest.empty() ? std::optional<int>(0) : std::nullopt;
    if (!rest.empty() && rest != "B" && rest != "b" && rest != "iB" && rest != "ib")
        return std::nullopt;
    switch (letter) {
    case 'K': return 1;
    case 'M': return 2;
    case 'G': return 3;
    case 'T': return 4;
    default: return std::nullopt;
    }
}

} // namespace

std::optional<std::int64_t> ParseSizeText(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::size_t end = 0;
    bool digits = false;
    bool point = false;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            break;
    }
    // A space may stand between the number and its unit, so that what SizeLimitText writes reads back.
    std::size_t unit = end;
    while (unit < text.size() && text[unit] == ' ')
        ++unit;
    const std::optional<int> power = SuffixPower(text.substr(unit));
    if (!digits || !power)
        return std::nullopt;
    const double number = std::strtod(std::string(text.substr(0, end)).c_str(), nullptr);
    const double bytes = std::round(number * std::pow(1024.0, *power));
    // The largest double below 2^63 keeps the conversion defined.
    if (!(bytes >= 0) || bytes >= 9.2e18)
        return std::nullopt;
    return static_cast<std::int64_t>(bytes);
}

std::string SizeLimitText(std::int64_t bytes)
{
    std::size_t unit = 0;
    std::int64_t value = bytes;
    while (value != 0 && value % 1024 == 0 && unit + 1 < unitNames.size()) {
        value /= 1024;
        ++unit;
    }
    return std::to_string(value) + " " + std::string(unitNames[unit]);
}

} // namespace twinfol
