// Wildcard matching by backtracking over the text, with the pruning that keeps "*" and "**" runs from
// trying the same hopeless splits over and over.
#include "base/wildcard_match.h"

#include <array>
#include <cstddef>

namespace twinfol {
namespace {

// How one attempt ended. Besides a plain miss, two outcomes tell the stars further out that giving
// them more text cannot help: GiveUp when the text ran out (or the pattern is malformed), so no split
// at all can match; SlashInTheWay when a star that may not cross "/" reached one, so only a "**" run
// further out, which may step over it, should keep trying.
enum class Verdict { Match, Miss, GiveUp, SlashInTheWay };

enum class ClassVerdict { In, Out, Malformed };

constexpr std::size_t npos = std::string_view::npos;

bool IsWildcard(unsigned char c)
{
    return c == '*' || c == '?' || c == '[' || c == '\\';
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}
bool IsUpper(unsigned char c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsLower(unsigned char c)
{
    return c >= 'a' && c <= 'z';
}
bool IsAlpha(unsigned char c)
{
    return IsUpper(c) || IsLower(c);
}
bool IsAlnum(unsigned char c)
{
    return IsAlpha(c) || IsDigit(c);
}
bool IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t';
}
bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}
bool IsGraph(unsigned char c)
{
    return c > 0x20 && c < 0x7f;
}
bool IsPrint(unsigned char c)
{
    return c >= 0x20 && c < 0x7f;
}
bool IsPunct(unsigned char c)
{
    return IsGraph(c) && !IsAlnum(c);
}
bool IsSpace(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsHexDigit(unsigned char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

struct NamedClass {
    std::string_view name;
    bool (*holds)(unsigned char);
};

// The classes of the C locale, ASCII only: a byte above 127 belongs to none, as in git.
constexpr std::array<NamedClass, 12> namedClasses = {{{"alnum", IsAlnum},
                                                      {"alpha", IsAlpha},
                                                      {"blank", IsBlank},
                                                      {"cntrl", IsControl},
                                                      {"digit", IsDigit},
                                                      {"graph", IsGraph},
                                                      {"lower", IsLower},
                                                      {"print", IsPrint},
                                                      {"punct", IsPunct},
                                                      {"space", IsSpace},
                                                      {"upper", IsUpper},
                                                      {"xdigit", IsHexDigit}}};

class Matcher {
public:
    Matcher(std::string_view pattern, std::string_view text, WildcardText kind)
        : pattern_(pattern), text_(text), path_(kind == WildcardText::Path)
    {
    }

    Verdict From(std::size_t p, std::size_t t) const;

private:
    unsigned char At(std::size_t p) const
    {
        return p < pattern_.size() ? static_cast<unsigned char>(pattern_[p]) : '\0';
    }
    bool DoubleStarStandsAlone(std::size_t first, std::size_t end) const;
    Verdict AtStars(std::size_t p, std::size_t t) const;
    Verdict SlideStar(std::size_t p, std::size_t t, bool crossesSlash) const;
    ClassVerdict MatchClass(std::size_t& p, unsigned char c) const;
    bool MatchNamedClass(std::size_t& p, unsigned char c, bool& in, unsigned char& member) const;

    std::string_view pattern_;
    std::string_view text_;
    bool path_;
};

// Matches pattern_ from p against text_ from t, one character at a time until a star.
Verdict Matcher::From(std::size_t p, std::size_t t) const
{
    for (; p < pattern_.size(); ++p, ++t) {
        const unsigned char wanted = At(p);
        if (wanted == '*')
            return AtStars(p, t);
        if (t == text_.size())
            return Verdict::GiveUp;
        const unsigned char c = static_cast<unsigned char>(text_[t]);
        switch (wanted) {
        case '?':
            if (path_ && c == '/')
                return Verdict::Miss;
            break;
        case '[': {
            const ClassVerdict verdict = MatchClass(p, c);
            if (verdict == ClassVerdict::Malformed)
                return Verdict::GiveUp;
            if (verdict == ClassVerdict::Out || (path_ && c == '/'))
                return Verdict::Miss;
            break;
        }
        case '\\':
            // A lone backslash at the end of the pattern matches nothing: At gives '\0' there.
            if (At(++p) != c)
                return Verdict::Miss;
            break;
        default:
            if (wanted != c)
                return Verdict::Miss;
        }
    }
    return t == text_.size() ? Verdict::Match : Verdict::Miss;
}

// A "**" run spans folders only where it stands for whole folder names: after a separator or at the
// start, and before a separator (an escaped one too) or at the end.
bool Matcher::DoubleStarStandsAlone(std::size_t first, std::size_t end) const
{
    const bool startsName = first == 0 || pattern_[first - 1] == '/';
    const bool endsName =
        end == pattern_.size() || pattern_[end] == '/' || (pattern_[end] == '\\' && At(end + 1) == '/');
    return startsName && endsName;
}

Verdict Matcher::AtStars(std::size_t p, std::size_t t) const
{
    const std::size_t first = p;
    while (At(p) == '*')
        ++p;
    bool crossesSlash = !path_;
    if (path_ && p - first > 1 && DoubleStarStandsAlone(first, p)) {
        // "**/" may stand for no folder at all: try the rest right here first.
        if (At(p) == '/' && From(p + 1, t) == Verdict::Match)
            return Verdict::Match;
        crossesSlash = true;
    }
    if (p == pattern_.size())
        return crossesSlash || text_.find('/', t) == npos ? Verdict::Match : Verdict::Miss;
    if (!crossesSlash && At(p) == '/') {
        // A star before a separator takes the rest of this name, no more and no less.
        const std::size_t slash = text_.find('/', t);
        return slash == npos ? Verdict::Miss : From(p, slash);
    }
    return SlideStar(p, t, crossesSlash);
}

// Lets the star take one more character at a time and matches the rest of the pattern after it.
Verdict Matcher::SlideStar(std::size_t p, std::size_t t, bool crossesSlash) const
{
    const unsigned char next = At(p);
    for (; t < text_.size(); ++t) {
        if (!IsWildcard(next)) {
            // The rest starts with a plain character: skip to where the text holds it.
            while (t < text_.size() && static_cast<unsigned char>(text_[t]) != next &&
                   (crossesSlash || text_[t] != '/'))
                ++t;
            if (t == text_.size() || static_cast<unsigned char>(text_[t]) != next)
                return Verdict::Miss;
        }
        const Verdict verdict = From(p, t);
        if (verdict == Verdict::Miss) {
            if (!crossesSlash && text_[t] == '/')
                return Verdict::SlashInTheWay;
        } else if (!crossesSlash || verdict != Verdict::SlashInTheWay) {
            return verdict;
        }
    }
    return Verdict::GiveUp;
}

// Matches c against the class that opens at p, leaving p on its closing "]". A "]" right after the
// opening "[" (or after its "!" or "^") is a member; a "-" between two members makes a range.
ClassVerdict Matcher::MatchClass(std::size_t& p, unsigned char c) const
{
    unsigned char member = At(++p);
    const bool negated = member == '!' || member == '^';
    if (negated)
        member = At(++p);
    unsigned char previous = '\0';
    bool in = false;
    do {
        if (member == '\0')
            return ClassVerdict::Malformed;
        if (member == '\\') {
            member = At(++p);
            if (member == '\0')
                return ClassVerdict::Malformed;
            in = in || c == member;
        } else if (member == '-' && previous != '\0' && At(p + 1) != '\0' && At(p + 1) != ']') {
            member = At(++p);
            if (member == '\\' && (member = At(++p)) == '\0')
                return ClassVerdict::Malformed;
            in = in || (c >= previous && c <= member);
            // A range's last member starts no range of its own.
            member = '\0';
        } else if (member == '[' && At(p + 1) == ':') {
            if (!MatchNamedClass(p, c, in, member))
                return ClassVerdict::Malformed;
        } else {
            in = in || c == member;
        }
        previous = member;
        member = At(++p);
    } while (member != ']');
    return in != negated ? ClassVerdict::In : ClassVerdict::Out;
}

// At p stands "[:": a named class such as "[:digit:]" (p then moves to its "]"), or, without the
// closing ":]", a plain "[" member. False for a name no class has.
bool Matcher::MatchNamedClass(std::size_t& p, unsigned char c, bool& in, unsigned char& member) const
{
    const std::size_t nameStart = p + 2;
    const std::size_t close = pattern_.find(']', nameStart);
    if (close == npos)
        return false;
    if (close == nameStart || pattern_[close - 1] != ':') {
        member = '[';
        in = in || c == '[';
        return true;
    }
    const std::string_view name = pattern_.substr(nameStart, close - 1 - nameStart);
    for (const NamedClass& named : namedClasses) {
        if (named.name == name) {
            in = in || named.holds(c);
            p = close;
            member = '\0';
            return true;
        }
    }
    return false;
}

} // namespace

bool WildcardMatches(std::string_view pattern, std::string_view text, WildcardText kind)
{
    return Matcher(pattern, text, kind).From(0, 0) == Verdict::Match;
}

} // namespace twinfol
