// One named value for the settings store: a text or a 32-bit number.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace twinfol {

struct SettingValue {
    std::string name;
    std::variant<std::string, std::uint32_t> value;
};

} // namespace twinfol
