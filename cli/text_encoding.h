// How the runner writes file names, which may hold any bytes, to JSON and to a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/display_text.h"

namespace twinfol::cli {

// Shared with the windows, which show names with the same escapes.
using twinfol::Utf8SequenceLength;

// The text as a JSON string literal, quotes included. Well-formed UTF-8 is kept as it stands, except
// the control characters (C0, DEL and the C1 range U+0080 to U+009F), which are written as \u00XX so
// that JSON printed on a terminal cannot drive it; every byte that is not part of well-formed UTF-8
// is written as \u00XX too, the character that byte stands for when read as Latin-1. The result is
// valid JSON for any input.
std::string JsonQuoted(std::string_view text);

// The text made safe to show on a terminal: control characters (below 0x20, 0x7F, and the C1
// characters U+0080 to U+009F, whose U+009B a terminal takes for the start of an escape sequence)
// become \xNN for each of their bytes, and so does every byte that is not part of well-formed UTF-8
// (a lone 0x9B is the same sequence start to a terminal that reads 8-bit controls). A file name can
// then neither move the cursor nor send escape sequences, and the text is well-formed UTF-8.
std::string ForTerminal(std::string_view text);

} // namespace twinfol::cli
