// Escaping "%" and "=" in the values of the profile's later keys.
#include "profile/escaped_value.h"

namespace twinfol {

std::string EscapeValue(std::string_view value)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        if (c == '%')
            escaped += "%25";
        else if (c == '=')
            escaped += "%3D";
        else
            escaped += c;
    }
    return escaped;
}

std::string UnescapeValue(std::string_view value)
{
    std::string plain;
    plain.reserve(value.size());
    for (std::size_t at = 0; at < value.size(); ++at) {
        const std::string_view code = value.substr(at, 3);
        if (code == "%25") {
            plain += '%';
            at += 2;
        } else if (code == "%3D" || code == "%3d") {
            plain += '=';
            at += 2;
        } else {
            plain += value[at];
        }
    }
    return plain;
}

} // namespace twinfol
