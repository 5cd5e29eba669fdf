// Case folding over UTF-8, one code point at a time, without any locale.
#include "engine/fs/case_folding.h"

#include <cstdint>

namespace twinfol {
namespace {

char32_t FoldCodePoint(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    // The one capital of Latin Extended-A whose small letter lies in Latin-1.
    if (c == 0x178)
        return 0xFF;
    // Latin Extended-A pairs its letters as upper, lower; from U+0139 to U+0148 and from U+0179 the
    // pairs start on the odd code point.
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F)
        return (c % 2 == (oddPairs ? 1u : 0u)) ? c + 1 : c;
    return c;
}

// Decodes the code point at text[at] into c and answers its length in bytes; 0 for a byte that does
// not start a valid sequence.
std::size_t Decode(std::string_view text, std::size_t at, char32_t& c)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = lead < 0x80         ? 1
                         : (lead >> 5) == 6  ? 2
                         : (lead >> 4) == 14 ? 3
                         : (lead >> 3) == 30 ? 4
                                             : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    return length;
}

// Folding keeps a code point within one or two bytes, the only ones passed here.
void Encode(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

} // namespace

std::string FoldCase(std::string_view name)
{
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        char32_t c = 0;
        const std::size_t length = Decode(name, at, c);
        if (length == 0 || length > 2 || (length == 2 && c < 0x80)) {
            folded.append(name.substr(at, length == 0 ? 1 : length));
            at += length == 0 ? 1 : length;
            continue;
        }
        Encode(FoldCodePoint(c), folded);
        at += length;
    }
    return folded;
}

} // namespace twinfol
