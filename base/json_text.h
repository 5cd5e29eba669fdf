// JSON as the runner prints it and as kept run reports are read back: a string literal for any bytes,
// and a small reader of the JSON such reports hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace twinfol {

// The text as a JSON string literal, quotes included. Well-formed UTF-8 is kept as it stands, except
// the control characters (C0, DEL and the C1 range U+0080 to U+009F), which are written as \u00XX so
// that JSON printed on a terminal cannot drive it; every byte that is not part of well-formed UTF-8
// is written as \u00XX too, the character that byte stands for when read as Latin-1. The result is
// valid JSON for any input.
std::string JsonQuoted(std::string_view text);

enum class JsonType { Null, Bool, Number, String, Array, Object };

// One JSON value; an object keeps its members in the order they were written.
struct JsonValue {
    // Defined where the type is complete: a member list of pairs holding the type itself cannot be
    // made or destroyed before then.
    JsonValue();
    JsonValue(const JsonValue&);
    JsonValue(JsonValue&&) noexcept;
    JsonValue& operator=(const JsonValue&);
    JsonValue& operator=(JsonValue&&) noexcept;
    ~JsonValue();

    JsonType type = JsonType::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member of that name; nothing when this is no object or has no such member.
    const JsonValue* Find(std::string_view name) const;
    // A member's value of the expected type, or the fallback when it is missing or of another type.
    std::string StringOr(std::string_view name, std::string fallback = {}) const;
    std::int64_t IntegerOr(std::string_view name, std::int64_t fallback = 0) const;
    double NumberOr(std::string_view name, double fallback = 0) const;
    bool BoolOr(std::string_view name, bool fallback = false) const;
    // The strings of an array member, others left out.
    std::vector<std::string> StringsOf(std::string_view name) const;
};

// Reads one JSON document (white space around it allowed); nothing when it is not well-formed JSON or
// nests deeper than a report ever does.
std::optional<JsonValue> ParseJson(std::string_view text);

} // namespace twinfol
