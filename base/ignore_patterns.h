// Ignore patterns in the syntax people already write for git: compiled once per run, then matched
// against paths relative to a root ("a/b/c", no leading or trailing separator), on either side.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace twinfol {

// One pattern as the person wrote it, with where it came from: "job.twp", "--ignore", or the path of
// an ignore file. The origin only names the rule in reasons.
struct IgnorePattern {
    std::string text;
    std::string origin;

    friend bool operator==(const IgnorePattern&, const IgnorePattern&) = default;
};

// The lines of an ignore file (gitignore syntax) as patterns of the origin: blank lines and comment
// lines are dropped, trailing spaces are trimmed unless escaped with a backslash, as git does.
std::vector<IgnorePattern> ReadIgnoreLines(std::string_view content, const std::string& origin);

// Whether a line is a pattern at all (not blank, not a comment), and not one that can never match
// anything (such as "/" alone); what a caller that takes one pattern at a time checks.
bool IsPatternLine(std::string_view line);

class IgnorePatternSet {
public:
    IgnorePatternSet();
    // Compiles every pattern once; lines that are no pattern are skipped.
    explicit IgnorePatternSet(const std::vector<IgnorePattern>& patterns);
    ~IgnorePatternSet();
    IgnorePatternSet(IgnorePatternSet&&) noexcept;
    IgnorePatternSet& operator=(IgnorePatternSet&&) noexcept;

    bool IsEmpty() const;
    std::size_t Size() const;

    // The pattern that ignores the path itself, looking at no parent folder: the last pattern that
    // matches it, when that one does not start with "!"; null otherwise. What a walk asks, which never
    // goes below an ignored folder. A folder is a folder whether or not its path ends with a separator.
    const IgnorePattern* OwnMatch(std::string_view relativePath, bool folder) const;
    // The pattern that ignores the path as git decides: the first parent folder that is ignored
    // (whatever patterns say of the path below it), else the path's own match.
    const IgnorePattern* IgnoredBy(std::string_view relativePath, bool folder) const;

private:
    struct Compiled;
    struct Lookup;
    std::vector<Compiled> compiled_;
    // Which patterns can match a given name or path at all, so that a match tries few of them.
    std::unique_ptr<Lookup> lookup_;
};

} // namespace twinfol
