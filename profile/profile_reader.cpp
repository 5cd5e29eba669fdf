// Reading a profile: keys up to "=", white space removed from them, one value reader per key.
#include "profile/profile_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/size_text.h"
#include "profile/escaped_value.h"
#include "profile/profile.h"
#include "profile/profile_keys.h"

namespace twinfol {
namespace {

constexpr int endOfInput = std::char_traits<char>::eof();
// Longer runs of bytes without "=" are dropped as an unrecognised key, so that a key never grows.
constexpr std::size_t maxKeyBytes = 1024;
constexpr std::string_view endOfBlock = "end_exclusions";

bool IsWhiteSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

void RemoveWhiteSpace(std::string& key)
{
    std::erase_if(key, [](char c) { return IsWhiteSpace(static_cast<unsigned char>(c)); });
}

// A size limit: the whole number of bytes the writer puts, read exactly, or a size as a person types
// one ("100M") into the file by hand.
std::optional<std::int64_t> SizeFromText(std::string_view text)
{
    while (!text.empty() && IsWhiteSpace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 18 || !std::ranges::all_of(text, [](char c) { return IsDigit(c); }))
        return ParseSizeText(text);
    std::int64_t bytes = 0;
    for (const char digit : text)
        bytes = bytes * 10 + (digit - '0');
    return bytes;
}

} // namespace

ProfileReader::Outcome ProfileReader::Run()
{
    std::string key;
    while (ReadKey(key)) {
        RemoveWhiteSpace(key);
        if (const auto stop = ReadValue(key))
            return *stop;
    }
    return Ended();
}

// The next byte without taking it. Input beyond the bound reads as its end and marks the bound hit.
int ProfileReader::Peek()
{
    const int c = input_.sgetc();
    if (c != endOfInput && consumed_ >= Profile::maxInputBytes) {
        limitHit_ = true;
        return endOfInput;
    }
    return c;
}

int ProfileReader::Take()
{
    const int c = Peek();
    if (c != endOfInput) {
        input_.sbumpc();
        ++consumed_;
    }
    return c;
}

// Takes bytes up to and including the next "="; false when the input ends first.
bool ProfileReader::ReadKey(std::string& key)
{
    key.clear();
    for (int c = Take(); c != endOfInput; c = Take()) {
        if (c == '=')
            return true;
        key.push_back(static_cast<char>(c));
        if (key.size() == maxKeyBytes)
            key.clear();
    }
    return false;
}

// Reads the value of one key; an outcome means reading is over.
std::optional<ProfileReader::Outcome> ProfileReader::ReadValue(const std::string& key)
{
    if (key == "twin_fol_version") {
        profile_.valid = true;
        if (!ReadVersionNumber())
            return AtEnd() ? Ended() : Outcome::ValueFailed;
        return std::nullopt;
    }
    if (key == "location1")
        return ReadLocation(profile_.location1);
    if (key == "location2")
        return ReadLocation(profile_.location2);
    for (const ProfileFlag& flag : profileFlags)
        if (key == flag.key)
            return ReadFlag(profile_.options.*flag.member);
    if (key == "exclusions")
        return ReadExclusionBlock();
    if (key == ignorePatternKey)
        return ReadIgnorePattern();
    if (key == maxFileSizeKey)
        return ReadSize(profile_.options.maxFileSize);
    if (key == minFileSizeKey)
        return ReadSize(profile_.options.minFileSize);
    if (key == "auto_start") {
        const auto number = ReadInteger();
        if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
            *number > std::numeric_limits<std::int32_t>::max())
            return limitHit_ ? Outcome::LimitExceeded : Outcome::ValueFailed;
        profile_.options.autoStart = static_cast<AutoStart>(static_cast<std::int32_t>(*number));
        return std::nullopt;
    }
    // A key we do not know takes its whole line with it, so the lines after it are still read.
    SkipRestOfLine();
    return std::nullopt;
}

std::optional<ProfileReader::Outcome> ProfileReader::ReadFlag(bool& field)
{
    const auto number = ReadInteger();
    if (!number || (*number != 0 && *number != 1))
        return limitHit_ ? Outcome::LimitExceeded : Outcome::ValueFailed;
    field = *number == 1;
    return std::nullopt;
}

// The rest of the line, verbatim, without its line end.
std::optional<ProfileReader::Outcome> ProfileReader::ReadLocation(std::string& field)
{
    std::string line;
    switch (ReadLine(line)) {
    case LineRead::Line: field = std::move(line); return std::nullopt;
    case LineRead::End: return limitHit_ ? Outcome::LimitExceeded : Outcome::ValueFailed;
    case LineRead::TooLong: return Outcome::LimitExceeded;
    }
    return Outcome::ValueFailed;
}

// One pattern per line, unescaped; its origin is the file's, which only the caller knows.
std::optional<ProfileReader::Outcome> ProfileReader::ReadIgnorePattern()
{
    std::string line;
    if (const auto stop = ReadLocation(line))
        return stop;
    if (profile_.options.ignorePatterns.size() >= Profile::maxIgnorePatterns)
        return Outcome::LimitExceeded;
    profile_.options.ignorePatterns.push_back({UnescapeValue(line), {}});
    return std::nullopt;
}

// A size that does not read as one is dropped and ends the reading, as a flag that is not 0 or 1 does.
std::optional<ProfileReader::Outcome> ProfileReader::ReadSize(std::optional<std::int64_t>& field)
{
    std::string line;
    if (const auto stop = ReadLocation(line))
        return stop;
    const std::optional<std::int64_t> size = SizeFromText(UnescapeValue(line));
    if (!size)
        return Outcome::ValueFailed;
    field = size;
    return std::nullopt;
}

// Whole lines up to "end_exclusions"; an input that ends first keeps the entries read until then.
std::optional<ProfileReader::Outcome> ProfileReader::ReadExclusionBlock()
{
    SkipWhiteSpace();
    std::string line;
    for (;;) {
        switch (ReadLine(line)) {
        case LineRead::End: return Ended();
        case LineRead::TooLong: return Outcome::LimitExceeded;
        case LineRead::Line: break;
        }
        if (line == endOfBlock)
            return std::nullopt;
        if (profile_.exclusions.Size() >= Profile::maxExclusions)
            return Outcome::LimitExceeded;
        profile_.exclusions.Append(std::move(line));
        line.clear();
    }
}

// A decimal floating-point number (sign, digits, fraction, exponent), taken and discarded.
bool ProfileReader::ReadVersionNumber()
{
    SkipWhiteSpace();
    if (Peek() == '+' || Peek() == '-')
        Take();
    std::size_t digits = TakeDigits();
    if (Peek() == '.') {
        Take();
        digits += TakeDigits();
    }
    if (digits == 0)
        return false;
    if (Peek() == 'e' || Peek() == 'E') {
        Take();
        if (Peek() == '+' || Peek() == '-')
            Take();
        return TakeDigits() > 0;
    }
    return true;
}

// A signed decimal integer after optional white space. Every digit is taken, however many there
// are; a value too large for a long long reads as no number.
std::optional<long long> ProfileReader::ReadInteger()
{
    SkipWhiteSpace();
    bool negative = false;
    if (Peek() == '+' || Peek() == '-')
        negative = Take() == '-';
    if (!IsDigit(Peek()))
        return std::nullopt;
    long long value = 0;
    bool overflow = false;
    while (IsDigit(Peek())) {
        const int digit = Take() - '0';
        if (value > (std::numeric_limits<long long>::max() - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    if (overflow)
        return std::nullopt;
    return negative ? -value : value;
}

std::size_t ProfileReader::TakeDigits()
{
    std::size_t count = 0;
    for (; IsDigit(Peek()); ++count)
        Take();
    return count;
}

// One line without its line end: LF or CR LF (the CR of a pair is never kept).
ProfileReader::LineRead ProfileReader::ReadLine(std::string& line)
{
    line.clear();
    bool tookAny = false;
    for (int c = Take(); c != endOfInput; c = Take()) {
        tookAny = true;
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line.size() > Profile::maxLineBytes ? LineRead::TooLong : LineRead::Line;
        }
        line.push_back(static_cast<char>(c));
        if (line.size() > Profile::maxLineBytes + 1)
            return LineRead::TooLong;
    }
    if (limitHit_)
        return LineRead::End;
    if (line.size() > Profile::maxLineBytes)
        return LineRead::TooLong;
    return tookAny ? LineRead::Line : LineRead::End;
}

void ProfileReader::SkipWhiteSpace()
{
    while (IsWhiteSpace(Peek()))
        Take();
}

void ProfileReader::SkipRestOfLine()
{
    for (int c = Take(); c != endOfInput && c != '\n'; c = Take()) {
    }
}

} // namespace twinfol
