// File names may hold any bytes; these helpers tell well-formed UTF-8 from the rest and turn a name
// into text that shows every byte of it, for the windows and the runner alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace twinfol {

// The length of the well-formed UTF-8 sequence at the start of text (1 to 4), or 0 when the first
// byte does not start one (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF).
std::size_t Utf8SequenceLength(std::string_view text);

// The text as well-formed UTF-8 that still tells every name apart: well-formed UTF-8 is kept, and
// each control byte (below 0x20, and 0x7F) and each byte that is not part of well-formed UTF-8 is
// written as \xNN. So "caf\xE9" (Latin-1) and "caf\xE8" show as two different texts, where a
// replacement character would show both alike.
std::string ForDisplay(std::string_view text);

} // namespace twinfol
