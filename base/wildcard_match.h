// Wildcard matching in the dialect of gitignore patterns: "*", "?", "[...]" classes with ranges,
// negation and named classes, "\" escapes, and "**" runs that span folders.
#pragma once

#include <string_view>

namespace twinfol {

// Name: the text is one string and every wildcard matches any character, "/" included; what a
// pattern without a separator is matched with, against a name that holds none.
// Path: "*", "?" and classes stop at "/"; a "**" run standing between separators (or at either end of
// the pattern) spans any number of folders, and "/**/" stands for one separator or more folders. Other
// "**" runs act as "*".
enum class WildcardText { Name, Path };

// Whether the whole text matches the whole pattern. Case-sensitive and byte-wise; allocates nothing.
// A pattern that is malformed (an unclosed "[", an unknown "[:name:]", a lone "\" at its end) matches
// nothing.
bool WildcardMatches(std::string_view pattern, std::string_view text, WildcardText kind);

} // namespace twinfol
