// How the runner writes file names, which may hold any bytes, to JSON and to a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/display_text.h"

namespace twinfol::cli {

// Shared with the windows, which show names with the same escapes.
using twinfol::Utf8SequenceLength;

// The text as a JSON string literal, quotes included. Well-formed UTF-8 is kept as it stands; every
// byte that is not part of well-formed UTF-8 is written as \u00XX, the character that byte stands for
// when read as Latin-1. The result is valid JSON for any input.
std::string JsonQuoted(std::string_view text);

// The text made safe to show on a terminal: control bytes (below 0x20, and 0x7F) become \xNN, so a
// file name cannot move the cursor or send escape sequences.
std::string ForTerminal(std::string_view text);

} // namespace twinfol::cli
