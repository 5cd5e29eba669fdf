// Writing the values of a trash info file.
#include "engine/changes/trash_info.h"

#include <cstdio>

namespace twinfol {
namespace {

bool StaysAsItIs(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("/-_.!~*'()").find(static_cast<char>(c)) != std::string_view::npos;
}

} // namespace

std::string TrashInfoPathValue(std::string_view realPath, std::string_view topFolder)
{
    if (!topFolder.empty() && realPath.starts_with(topFolder))
        realPath.remove_prefix(topFolder.size());
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string value;
    value.reserve(realPath.size());
    for (const char c : realPath) {
        const auto byte = static_cast<unsigned char>(c);
        if (StaysAsItIs(byte)) {
            value += c;
        } else {
            value += '%';
            value += digits[byte >> 4];
            value += digits[byte & 15];
        }
    }
    return value;
}

std::string TrashDeletionDate(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string TrashInfoText(std::string_view pathValue, std::string_view deletionDate)
{
    std::string text = "[Trash Info]\nPath=";
    text += pathValue;
    text += "\nDeletionDate=";
    text += deletionDate;
    text += '\n';
    return text;
}

} // namespace twinfol
