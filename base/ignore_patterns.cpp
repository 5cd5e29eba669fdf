// Ignore patterns: each line is taken apart once (negation, folders only, anchoring) and sorted into
// the cheapest test that decides it, so that a run can ask about every entry against many patterns.
// Plain names and "*" endings are looked up by the name; of the others, a path tries only those that
// can match where it lies.
#include "base/ignore_patterns.h"

#include "base/wildcard_match.h"

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <limits>
#include <unordered_map>
#include <utility>

namespace twinfol {
namespace {

constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

// How a pattern is tested. A pattern without a separator (but a trailing one) looks at the name alone,
// at any depth: as a plain name, as "*" and a plain ending ("*.tmp"), or through the wildcard matcher.
// Any other pattern looks at the whole path from the root.
enum class PatternKind { Name, NameEnding, NameWildcard, Path };

struct PatternParts {
    std::string_view body;
    bool negated = false;
    bool foldersOnly = false;
    bool anchored = false;
};

bool HasWildcard(std::string_view text)
{
    return text.find_first_of("*?[\\") != std::string_view::npos;
}

// A line without its trailing spaces; an escaped character stays, a space as much as any other.
std::string_view WithoutTrailingSpaces(std::string_view line)
{
    std::size_t end = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\') {
            i = std::min(i + 1, line.size() - 1);
            end = i + 1;
        } else if (line[i] != ' ') {
            end = i + 1;
        }
    }
    return line.substr(0, end);
}

// A leading "!" negates; a trailing "/" keeps the pattern to folders; a separator anywhere else anchors
// it to the root, and a leading one is then dropped, as paths are given without it.
PatternParts SplitPattern(std::string_view text)
{
    PatternParts parts;
    if (!text.empty() && text.front() == '!') {
        parts.negated = true;
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '/') {
        parts.foldersOnly = true;
        text.remove_suffix(1);
    }
    parts.anchored = text.find('/') != std::string_view::npos;
    if (parts.anchored && text.front() == '/')
        text.remove_prefix(1);
    // "**/" before a single name matches that name in every folder, just as the name alone does: so
    // compiled, it is looked up by its name instead of being tried on every path.
    if (text.starts_with("**/") && text.size() > 3 && text.find('/', 3) == std::string_view::npos) {
        text.remove_prefix(3);
        parts.anchored = false;
    }
    parts.body = text;
    return parts;
}

bool IsBlankOrComment(std::string_view line)
{
    return line.empty() || line.front() == '#';
}

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

template <typename Value> using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// The highest number among the patterns of one group, for a file and for a folder (a pattern for
// folders only does not count for a file); -1 for none.
struct Latest {
    int forFiles = -1;
    int forFolders = -1;

    // The patterns come in ascending order.
    void Add(int number, bool foldersOnly)
    {
        forFolders = number;
        if (!foldersOnly)
            forFiles = number;
    }
    int For(bool folder) const { return folder ? forFolders : forFiles; }
};

// How many bytes at the end of a pattern are plain characters, each matching one character of the
// text, itself: no wildcard, bracket or escape, and no separator, which "**/" may stand for with none.
std::size_t PlainEnding(std::string_view pattern)
{
    const std::size_t last = pattern.find_last_of("*?[]\\/");
    return last == std::string_view::npos ? pattern.size() : pattern.size() - last - 1;
}

// Compared from the back, where endings mostly differ.
bool EndsWith(std::string_view text, std::string_view ending)
{
    if (ending.size() > text.size())
        return false;
    for (std::size_t i = 1; i <= ending.size(); ++i) {
        if (text[text.size() - i] != ending[ending.size() - i])
            return false;
    }
    return true;
}

struct Ending {
    std::string text;
    Latest latest;
};

std::string_view FirstName(std::string_view path)
{
    return path.substr(0, path.find('/'));
}

} // namespace

struct IgnorePatternSet::Compiled {
    IgnorePattern source;
    // The pattern without its "!", its trailing "/" and, when anchored, its leading "/".
    std::string body;
    PatternKind kind = PatternKind::Name;
    // For a wildcard or path pattern: how many bytes at its start and at its end hold no wildcard, so
    // that a text that does not start and end with them is turned away before the wildcard matcher.
    std::size_t plainPrefix = 0;
    std::size_t plainSuffix = 0;
    // For a wildcard name pattern: how long a name it can match may be.
    WildcardLength nameLength;
    bool negated = false;
    bool foldersOnly = false;

    // For a wildcard name pattern or a path pattern; the lookup answers for the others.
    bool Matches(std::string_view path, std::string_view name) const;
};

struct IgnorePatternSet::Lookup {
    TextMap<Latest> names;
    // The endings of "*" patterns ("*.tmp", "*~") by their last byte; "*" alone matches every name.
    std::array<std::vector<Ending>, 256> endingsByLastByte;
    Latest everyName;
    // Anchored patterns whose first name holds no wildcard, by that name. Each list also holds every
    // pattern of `others`, all in ascending order, so that a path has one list to try.
    TextMap<std::vector<int>> byFirstName;
    // The patterns any path has to try.
    std::vector<int> others;

    explicit Lookup(const std::vector<Compiled>& compiled);
    void AddEnding(std::string_view ending, int number, bool foldersOnly);
    // The latest plain-name or ending pattern that matches the name, or -1.
    int LatestForName(std::string_view name, bool folder) const;
};

void IgnorePatternSet::Lookup::AddEnding(std::string_view ending, int number, bool foldersOnly)
{
    if (ending.empty()) {
        everyName.Add(number, foldersOnly);
        return;
    }
    std::vector<Ending>& bucket = endingsByLastByte[static_cast<unsigned char>(ending.back())];
    auto same =
        std::find_if(bucket.begin(), bucket.end(), [&](const Ending& known) { return known.text == ending; });
    if (same == bucket.end())
        same = bucket.insert(bucket.end(), Ending{std::string(ending), {}});
    same->latest.Add(number, foldersOnly);
}

IgnorePatternSet::Lookup::Lookup(const std::vector<Compiled>& compiled)
{
    for (int number = 0; number < static_cast<int>(compiled.size()); ++number) {
        const Compiled& pattern = compiled[static_cast<std::size_t>(number)];
        const std::string_view body = pattern.body;
        if (pattern.kind == PatternKind::Name)
            names[pattern.body].Add(number, pattern.foldersOnly);
        else if (pattern.kind == PatternKind::NameEnding)
            AddEnding(body.substr(1), number, pattern.foldersOnly);
        else if (pattern.kind == PatternKind::Path && FirstName(body).size() <= pattern.plainPrefix)
            byFirstName[std::string(FirstName(body))].push_back(number);
        else
            others.push_back(number);
    }
    for (auto& [firstName, numbers] : byFirstName) {
        std::vector<int> merged;
        std::merge(numbers.begin(), numbers.end(), others.begin(), others.end(), std::back_inserter(merged));
        numbers = std::move(merged);
    }
}

int IgnorePatternSet::Lookup::LatestForName(std::string_view name, bool folder) const
{
    int latest = everyName.For(folder);
    if (const auto named = names.find(name); named != names.end())
        latest = std::max(latest, named->second.For(folder));
    for (const Ending& ending : endingsByLastByte[static_cast<unsigned char>(name.back())]) {
        if (EndsWith(name, ending.text))
            latest = std::max(latest, ending.latest.For(folder));
    }
    return latest;
}

bool IgnorePatternSet::Compiled::Matches(std::string_view path, std::string_view name) const
{
    const std::string_view pattern(body);
    const std::string_view text = kind == PatternKind::Path ? path : name;
    if (kind == PatternKind::NameWildcard &&
        (text.size() < nameLength.least || (!nameLength.unbounded && text.size() != nameLength.least)))
        return false;
    if (!text.starts_with(pattern.substr(0, plainPrefix)))
        return false;
    const std::string_view rest = pattern.substr(plainPrefix);
    if (rest.empty())
        return text.size() == plainPrefix;
    if (!text.substr(plainPrefix).ends_with(rest.substr(rest.size() - plainSuffix)))
        return false;
    if (kind == PatternKind::NameWildcard)
        return WildcardMatches(rest, text.substr(plainPrefix), WildcardText::Name);
    // The wildcard part starts after the plain one, so a "**" right after it counts as standing at the
    // start of the pattern ("foo**/bar" matches "foo/x/bar" and "foobar"), as git has it.
    return WildcardMatches(rest, text.substr(plainPrefix), WildcardText::Path);
}

std::vector<IgnorePattern> ReadIgnoreLines(std::string_view content, const std::string& origin)
{
    if (content.starts_with(utf8ByteOrderMark))
        content.remove_prefix(utf8ByteOrderMark.size());
    std::vector<IgnorePattern> patterns;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        // A file written on Windows ends its lines with "\r\n".
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (IsPatternLine(line))
            patterns.push_back({std::string(WithoutTrailingSpaces(line)), origin});
    }
    return patterns;
}

bool IsPatternLine(std::string_view line)
{
    return !IsBlankOrComment(line) && !SplitPattern(WithoutTrailingSpaces(line)).body.empty();
}

IgnorePatternSet::IgnorePatternSet() = default;

IgnorePatternSet::IgnorePatternSet(const std::vector<IgnorePattern>& patterns)
{
    compiled_.reserve(patterns.size());
    for (const IgnorePattern& pattern : patterns) {
        if (!IsPatternLine(pattern.text))
            continue;
        const PatternParts parts = SplitPattern(WithoutTrailingSpaces(pattern.text));
        Compiled compiled;
        compiled.source = pattern;
        compiled.body = parts.body;
        compiled.negated = parts.negated;
        compiled.foldersOnly = parts.foldersOnly;
        const std::string_view body = parts.body;
        if (parts.anchored)
            compiled.kind = PatternKind::Path;
        else if (!HasWildcard(body))
            compiled.kind = PatternKind::Name;
        else if (body.front() == '*' && !HasWildcard(body.substr(1)))
            compiled.kind = PatternKind::NameEnding;
        else
            compiled.kind = PatternKind::NameWildcard;
        compiled.plainPrefix = std::min(body.find_first_of("*?[\\"), body.size());
        compiled.plainSuffix = PlainEnding(body.substr(compiled.plainPrefix));
        // A malformed pattern matches nothing: no name is that long.
        compiled.nameLength =
            NameLengthFor(body).value_or(WildcardLength{std::numeric_limits<std::size_t>::max()});
        compiled_.push_back(std::move(compiled));
    }
    lookup_ = std::make_unique<Lookup>(compiled_);
}

IgnorePatternSet::~IgnorePatternSet() = default;
IgnorePatternSet::IgnorePatternSet(IgnorePatternSet&&) noexcept = default;
IgnorePatternSet& IgnorePatternSet::operator=(IgnorePatternSet&&) noexcept = default;

bool IgnorePatternSet::IsEmpty() const
{
    return compiled_.empty();
}

std::size_t IgnorePatternSet::Size() const
{
    return compiled_.size();
}

const IgnorePattern* IgnorePatternSet::OwnMatch(std::string_view relativePath, bool folder) const
{
    if (relativePath.ends_with('/')) {
        relativePath.remove_suffix(1);
        folder = true;
    }
    if (relativePath.empty() || lookup_ == nullptr)
        return nullptr;
    const std::size_t lastSeparator = relativePath.rfind('/');
    const std::string_view name =
        lastSeparator == std::string_view::npos ? relativePath : relativePath.substr(lastSeparator + 1);
    // A path that ends in two separators names nothing.
    if (name.empty())
        return nullptr;
    // The last pattern that matches decides. Plain names and endings are looked up; the rest are tried
    // from the end, down to the best match found so far.
    int best = lookup_->LatestForName(name, folder);
    const auto listed = lookup_->byFirstName.find(FirstName(relativePath));
    const std::vector<int>& candidates =
        listed != lookup_->byFirstName.end() ? listed->second : lookup_->others;
    for (auto number = candidates.rbegin(); number != candidates.rend() && *number > best; ++number) {
        const Compiled& compiled = compiled_[static_cast<std::size_t>(*number)];
        if ((!compiled.foldersOnly || folder) && compiled.Matches(relativePath, name)) {
            best = *number;
            break;
        }
    }
    if (best < 0 || compiled_[static_cast<std::size_t>(best)].negated)
        return nullptr;
    return &compiled_[static_cast<std::size_t>(best)].source;
}

const IgnorePattern* IgnorePatternSet::IgnoredBy(std::string_view relativePath, bool folder) const
{
    if (compiled_.empty() || lookup_ == nullptr)
        return nullptr;
    // A folder that is ignored takes everything below it along: no pattern can bring a path back out
    // of it, so the parents are asked first, from the root down.
    for (std::size_t separator = relativePath.find('/');
         separator != std::string_view::npos && separator + 1 < relativePath.size();
         separator = relativePath.find('/', separator + 1)) {
        if (const IgnorePattern* pattern = OwnMatch(relativePath.substr(0, separator), true))
            return pattern;
    }
    return OwnMatch(relativePath, folder);
}

} // namespace twinfol
