// The reader of the .twp profile format: a tolerant, line-oriented scan of keyed lines that takes
// its input byte by byte and never holds more than one line, so any input is read in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <streambuf>
#include <string>

namespace twinfol {

class Profile;

class ProfileReader {
public:
    enum class Outcome {
        EndOfInput,    // the input ended
        ValueFailed,   // a value could not be read; the fields read so far stand
        LimitExceeded, // the input broke one of the bounds of Profile; it is no profile
    };

    // Fills the profile's fields from the buffer, setting `valid` when the version key is met.
    ProfileReader(std::streambuf& input, Profile& profile) : input_(input), profile_(profile) {}
    Outcome Run();

private:
    enum class LineRead { Line, End, TooLong };

    int Peek();
    int Take();
    bool AtEnd() { return Peek() == std::char_traits<char>::eof(); }
    Outcome Ended() const { return limitHit_ ? Outcome::LimitExceeded : Outcome::EndOfInput; }

    bool ReadKey(std::string& key);
    std::optional<Outcome> ReadValue(const std::string& key);
    std::optional<Outcome> ReadFlag(bool& field);
    std::optional<Outcome> ReadLocation(std::string& field);
    std::optional<Outcome> ReadExclusionBlock();
    std::optional<Outcome> ReadIgnorePattern();
    std::optional<Outcome> ReadSize(std::optional<std::int64_t>& field);
    bool ReadVersionNumber();
    std::optional<long long> ReadInteger();
    std::size_t TakeDigits();
    LineRead ReadLine(std::string& line);
    void SkipWhiteSpace();
    void SkipRestOfLine();

    std::streambuf& input_;
    Profile& profile_;
    std::size_t consumed_ = 0;
    bool limitHit_ = false;
};

} // namespace twinfol
