// The escapes used for JSON and terminal output.
#include "cli/text_encoding.h"

#include <array>

namespace twinfol::cli {
namespace {

constexpr std::array<char, 16> hexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                            '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

void AppendHexByte(std::string& out, unsigned char byte)
{
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

bool IsControl(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

// Whether a well-formed sequence of that length at the start of the text is a C1 control character:
// U+0080 to U+009F are C2 80 to C2 9F.
bool IsC1Control(std::string_view text, std::size_t length)
{
    return length == 2 && static_cast<unsigned char>(text[0]) == 0xC2 &&
           static_cast<unsigned char>(text[1]) <= 0x9F;
}

} // namespace

std::string ForTerminal(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = Utf8SequenceLength(text);
        const bool escaped = length == 0 || (length == 1 && IsControl(static_cast<unsigned char>(text[0]))) ||
                             IsC1Control(text, length);
        if (length == 0)
            length = 1;
        if (escaped) {
            for (std::size_t index = 0; index < length; ++index) {
                out += "\\x";
                AppendHexByte(out, static_cast<unsigned char>(text[index]));
            }
        } else {
            out += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace twinfol::cli
