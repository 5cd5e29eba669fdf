// Ignore patterns: each line is taken apart once (negation, folders only, anchoring) and sorted into
// the cheapest test that decides it, so that a run can ask about every entry against many patterns.
#include "base/ignore_patterns.h"

#include "base/wildcard_match.h"

#include <algorithm>
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
    parts.body = text;
    return parts;
}

bool IsBlankOrComment(std::string_view line)
{
    return line.empty() || line.front() == '#';
}

} // namespace

struct IgnorePatternSet::Compiled {
    IgnorePattern source;
    // The pattern without its "!", its trailing "/" and, when anchored, its leading "/".
    std::string body;
    PatternKind kind = PatternKind::Name;
    // For a path pattern: how many leading bytes hold no wildcard and are compared as they are.
    std::size_t plainPrefix = 0;
    bool negated = false;
    bool foldersOnly = false;

    bool Matches(std::string_view path, std::string_view name) const;
};

bool IgnorePatternSet::Compiled::Matches(std::string_view path, std::string_view name) const
{
    switch (kind) {
    case PatternKind::Name: return name == body;
    case PatternKind::NameEnding: return name.ends_with(std::string_view(body).substr(1));
    case PatternKind::NameWildcard: return WildcardMatches(body, name, WildcardText::Name);
    case PatternKind::Path: break;
    }
    const std::string_view pattern(body);
    if (!path.starts_with(pattern.substr(0, plainPrefix)))
        return false;
    // The wildcard part starts after the plain one, so a "**" right after it counts as standing at the
    // start of the pattern ("foo**/bar" matches "foo/x/bar" and "foobar"), as git has it.
    const std::string_view rest = pattern.substr(plainPrefix);
    if (rest.empty())
        return path.size() == plainPrefix;
    return WildcardMatches(rest, path.substr(plainPrefix), WildcardText::Path);
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
        Compiled compiled{pattern, std::string(parts.body)};
        compiled.negated = parts.negated;
        compiled.foldersOnly = parts.foldersOnly;
        const std::string_view body = parts.body;
        if (parts.anchored) {
            compiled.kind = PatternKind::Path;
            compiled.plainPrefix = std::min(body.find_first_of("*?[\\"), body.size());
        } else if (!HasWildcard(body)) {
            compiled.kind = PatternKind::Name;
        } else if (body.front() == '*' && !HasWildcard(body.substr(1))) {
            compiled.kind = PatternKind::NameEnding;
        } else {
            compiled.kind = PatternKind::NameWildcard;
        }
        compiled_.push_back(std::move(compiled));
    }
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
    if (relativePath.empty())
        return nullptr;
    const std::size_t lastSeparator = relativePath.rfind('/');
    const std::string_view name =
        lastSeparator == std::string_view::npos ? relativePath : relativePath.substr(lastSeparator + 1);
    // The last pattern that matches decides, so the search runs from the end and stops there.
    for (std::size_t i = compiled_.size(); i-- > 0;) {
        const Compiled& compiled = compiled_[i];
        if (compiled.foldersOnly && !folder)
            continue;
        if (compiled.Matches(relativePath, name))
            return compiled.negated ? nullptr : &compiled.source;
    }
    return nullptr;
}

const IgnorePattern* IgnorePatternSet::IgnoredBy(std::string_view relativePath, bool folder) const
{
    if (compiled_.empty())
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
