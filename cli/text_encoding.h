// How the runner writes file names, which may hold any bytes, to JSON and to a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/display_text.h"
#include "base/json_text.h"

namespace twinfol::cli {

// Shared with the windows, which show names with the same escapes.
using twinfol::Utf8SequenceLength;

// The JSON string literal is the core's, so that kept reports and printed ones read alike.
using twinfol::JsonQuoted;

// The text made safe to show on a terminal: control characters (below 0x20, 0x7F, and the C1
// characters U+0080 to U+009F, whose U+009B a terminal takes for the start of an escape sequence)
// become \xNN for each of their bytes, and so does every byte that is not part of well-formed UTF-8
// (a lone 0x9B is the same sequence start to a terminal that reads 8-bit controls). A file name can
// then neither move the cursor nor send escape sequences, and the text is well-formed UTF-8.
std::string ForTerminal(std::string_view text);

} // namespace twinfol::cli
