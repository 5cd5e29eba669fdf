// Writing JSON string literals and reading JSON documents.
#include "base/json_text.h"

#include <array>
#include <cstdlib>

#include "base/display_text.h"

namespace twinfol {

JsonValue::JsonValue() = default;
JsonValue::JsonValue(const JsonValue&) = default;
JsonValue::JsonValue(JsonValue&&) noexcept = default;
JsonValue& JsonValue::operator=(const JsonValue&) = default;
JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;
JsonValue::~JsonValue() = default;
namespace {

constexpr std::array<char, 16> hexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                            '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
// Far deeper than any report, and still a bound on the reader's stack.
constexpr int maxDepth = 64;

void AppendEscapedByte(std::string& out, unsigned char byte)
{
    out += "\\u00";
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

bool IsControl(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document()
    {
        JsonValue value;
        if (!Value(value, 0))
            return std::nullopt;
        SkipSpace();
        if (at_ != text_.size())
            return std::nullopt;
        return value;
    }

private:
    void SkipSpace()
    {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }
    bool Take(char c)
    {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }
    bool Value(JsonValue& value, int depth);
    bool Number(JsonValue& value);
    bool String(std::string& out);
    bool Hex4(std::uint32_t& code);
    bool Array(JsonValue& value, int depth);
    bool Object(JsonValue& value, int depth);

    std::string_view text_;
    std::size_t at_ = 0;
};

bool Reader::Value(JsonValue& value, int depth)
{
    if (depth > maxDepth)
        return false;
    SkipSpace();
    if (at_ >= text_.size())
        return false;
    switch (text_[at_]) {
    case '{': return Object(value, depth);
    case '[': return Array(value, depth);
    case '"': value.type = JsonType::String; return String(value.text);
    case 't':
        value.type = JsonType::Bool;
        value.boolean = true;
        return Word("true");
    case 'f': value.type = JsonType::Bool; return Word("false");
    case 'n': return Word("null");
    default: return Number(value);
    }
}

bool Reader::Number(JsonValue& value)
{
    const std::size_t start = at_;
    while (at_ < text_.size() &&
           std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
        ++at_;
    const std::string digits(text_.substr(start, at_ - start));
    char* end = nullptr;
    value.type = JsonType::Number;
    value.number = std::strtod(digits.c_str(), &end);
    return !digits.empty() && end == digits.c_str() + digits.size();
}

bool Reader::Hex4(std::uint32_t& code)
{
    if (at_ + 4 > text_.size())
        return false;
    code = 0;
    for (int index = 0; index < 4; ++index) {
        const char c = text_[at_++];
        const std::size_t digit = std::string_view("0123456789abcdef").find(static_cast<char>(c | 0x20));
        if (digit == std::string_view::npos)
            return false;
        code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

bool Reader::String(std::string& out)
{
    ++at_; // the opening quote
    while (at_ < text_.size()) {
        const char c = text_[at_++];
        if (c == '"')
            return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (at_ >= text_.size())
            return false;
        const char escaped = text_[at_++];
        const std::size_t simple = std::string_view("\"\\/bfnrt").find(escaped);
        if (simple != std::string_view::npos) {
            out += "\"\\/\b\f\n\r\t"[simple];
            continue;
        }
        std::uint32_t code = 0;
        if (escaped != 'u' || !Hex4(code))
            return false;
        std::uint32_t low = 0;
        // A surrogate pair names one character beyond the basic plane.
        if (code >= 0xD800 && code < 0xDC00 && Word("\\u") && Hex4(low) && low >= 0xDC00 && low < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        AppendUtf8(out, code);
    }
    return false;
}

bool Reader::Array(JsonValue& value, int depth)
{
    ++at_;
    value.type = JsonType::Array;
    if (Take(']'))
        return true;
    do {
        if (!Value(value.items.emplace_back(), depth + 1))
            return false;
    } while (Take(','));
    return Take(']');
}

bool Reader::Object(JsonValue& value, int depth)
{
    ++at_;
    value.type = JsonType::Object;
    if (Take('}'))
        return true;
    do {
        SkipSpace();
        std::string name;
        if (at_ >= text_.size() || text_[at_] != '"' || !String(name) || !Take(':'))
            return false;
        JsonValue member;
        if (!Value(member, depth + 1))
            return false;
        value.members.emplace_back(std::move(name), std::move(member));
    } while (Take(','));
    return Take('}');
}

} // namespace

std::string JsonQuoted(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        const std::size_t length = Utf8SequenceLength(text);
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[1]) <= 0x9F) {
            AppendEscapedByte(out, static_cast<unsigned char>(text[1]));
            text.remove_prefix(length);
            continue;
        }
        if (length > 1) {
            out += text.substr(0, length);
            text.remove_prefix(length);
            continue;
        }
        text.remove_prefix(1);
        switch (byte) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        case '\b': out += "\\b"; continue;
        case '\f': out += "\\f"; continue;
        default: break;
        }
        if (IsControl(byte) || length == 0)
            AppendEscapedByte(out, byte);
        else
            out += static_cast<char>(byte);
    }
    out += '"';
    return out;
}

const JsonValue* JsonValue::Find(std::string_view name) const
{
    for (const auto& [key, value] : members)
        if (key == name)
            return &value;
    return nullptr;
}

std::string JsonValue::StringOr(std::string_view name, std::string fallback) const
{
    const JsonValue* value = Find(name);
    return value != nullptr && value->type == JsonType::String ? value->text : fallback;
}

std::int64_t JsonValue::IntegerOr(std::string_view name, std::int64_t fallback) const
{
    const JsonValue* value = Find(name);
    return value != nullptr && value->type == JsonType::Number ? static_cast<std::int64_t>(value->number)
                                                               : fallback;
}

double JsonValue::NumberOr(std::string_view name, double fallback) const
{
    const JsonValue* value = Find(name);
    return value != nullptr && value->type == JsonType::Number ? value->number : fallback;
}

bool JsonValue::BoolOr(std::string_view name, bool fallback) const
{
    const JsonValue* value = Find(name);
    return value != nullptr && value->type == JsonType::Bool ? value->boolean : fallback;
}

std::vector<std::string> JsonValue::StringsOf(std::string_view name) const
{
    std::vector<std::string> strings;
    if (const JsonValue* value = Find(name); value != nullptr)
        for (const JsonValue& item : value->items)
            if (item.type == JsonType::String)
                strings.push_back(item.text);
    return strings;
}

std::optional<JsonValue> ParseJson(std::string_view text)
{
    return Reader(text).Document();
}

} // namespace twinfol
