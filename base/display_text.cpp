// UTF-8 checking and the \xNN escapes of names shown to the person.
#include "base/display_text.h"

#include <array>

namespace twinfol {
namespace {

bool InRange(std::string_view text, std::size_t index, unsigned char low, unsigned char high)
{
    if (index >= text.size())
        return false;
    const auto byte = static_cast<unsigned char>(text[index]);
    return byte >= low && byte <= high;
}

void AppendEscapedByte(std::string& out, unsigned char byte)
{
    static constexpr std::array<char, 16> hexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                       '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += "\\x";
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

} // namespace

std::size_t Utf8SequenceLength(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return 1;
    // The second byte's range depends on the lead byte: it rules out overlong forms, the surrogate
    // range and code points above U+10FFFF.
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            secondLow = 0xA0;
        if (lead == 0xED)
            secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            secondLow = 0x90;
        if (lead == 0xF4)
            secondHigh = 0x8F;
    } else {
        return 0;
    }
    if (!InRange(text, 1, secondLow, secondHigh))
        return 0;
    for (std::size_t index = 2; index < length; ++index)
        if (!InRange(text, index, 0x80, 0xBF))
            return 0;
    return length;
}

std::string ForDisplay(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            AppendEscapedByte(out, byte);
            text.remove_prefix(1);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return out;
}

} // namespace twinfol
