// Size limits as people type them ("100M", "1.5G", "512K", "2048") and as texts name them ("100 MiB").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace twinfol {

// A size in bytes: a whole or decimal number with an optional suffix K, M, G or T (binary: K is 1024
// bytes; upper or lower case, an optional "iB" or "B" after it). Nothing for anything else, a negative
// number, or a size past what 63 bits hold.
std::optional<std::int64_t> ParseSizeText(std::string_view text);

// The size in the largest binary unit that holds it whole ("100 MiB", "1536 KiB", "7 B"); a size no
// unit holds whole is shown in bytes.
std::string SizeLimitText(std::int64_t bytes);

} // namespace twinfol
