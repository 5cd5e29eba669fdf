// Ignore patterns rule by rule: wildcards, "**", anchoring, folders only, negation, escapes and the
// lines of an ignore file.
#include "base/ignore_patterns.h"
#include "base/wildcard_match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace twinfol {
namespace {

using Paths = std::vector<std::string>;

std::vector<IgnorePattern> Patterns(const std::vector<std::string>& lines)
{
    std::vector<IgnorePattern> patterns;
    for (const std::string& line : lines)
        patterns.push_back({line, "test"});
    return patterns;
}

// The paths the patterns ignore as IgnoredBy decides; a path ending with "/" is a folder.
Paths Ignored(const std::vector<std::string>& lines, const Paths& paths)
{
    const IgnorePatternSet set(Patterns(lines));
    Paths ignored;
    for (const std::string& path : paths) {
        if (set.IgnoredBy(path, path.ends_with('/')) != nullptr)
            ignored.push_back(path);
    }
    return ignored;
}

TEST(IgnorePatterns, StarQuestionMarkAndClassesStayWithinOneName)
{
    EXPECT_EQ(Ignored({"*.tmp"}, {"a.tmp", "b/c.tmp", "a.tmpx", "tmp", ".tmp"}),
              (Paths{"a.tmp", "b/c.tmp", ".tmp"}));
    EXPECT_EQ(Ignored({"f?o"}, {"foo", "fxo", "fo", "fooo", "d/f.o"}), (Paths{"foo", "fxo", "d/f.o"}));
    EXPECT_EQ(Ignored({"x[ab]"}, {"xa", "xb", "xc", "x"}), (Paths{"xa", "xb"}));
    EXPECT_EQ(Ignored({"x[a-c]y"}, {"xay", "xby", "xcy", "xdy", "x-y"}), (Paths{"xay", "xby", "xcy"}));
    EXPECT_EQ(Ignored({"x[!ab]"}, {"xa", "xb", "xc", "xd"}), (Paths{"xc", "xd"}));
    EXPECT_EQ(Ignored({"x[^ab]"}, {"xa", "xc"}), (Paths{"xc"}));
    // A "]" first in a class is a member, and so is a "-" at either end.
    EXPECT_EQ(Ignored({"x[]a]"}, {"x]", "xa", "xb"}), (Paths{"x]", "xa"}));
    EXPECT_EQ(Ignored({"x[a-]"}, {"x-", "xa", "xb"}), (Paths{"x-", "xa"}));
    EXPECT_EQ(Ignored({"v[[:digit:]]"}, {"v1", "v9", "vx"}), (Paths{"v1", "v9"}));
    // A "*" or "?" or class in a path pattern never matches the separator.
    EXPECT_EQ(Ignored({"a/*"}, {"a/b", "a/b/c/"}), (Paths{"a/b", "a/b/c/"}));
    EXPECT_EQ(Ignored({"a*/c"}, {"ab/c", "a/b/c", "abc"}), (Paths{"ab/c"}));
    EXPECT_EQ(Ignored({"d/a?c"}, {"d/a/c", "d/abc"}), (Paths{"d/abc"}));
    EXPECT_EQ(Ignored({"a[/]c/d"}, {"a/c/d", "a[/]c/d"}), Paths{});
    // Byte-wise and case-sensitive.
    EXPECT_EQ(Ignored({"*.TMP", "é*"}, {"a.tmp", "a.TMP", "étude", "Étude"}), (Paths{"a.TMP", "étude"}));
}

TEST(IgnorePatterns, MalformedWildcardsMatchNothing)
{
    EXPECT_FALSE(WildcardMatches("a[bc", "ab", WildcardText::Name));
    EXPECT_FALSE(WildcardMatches("a[bc", "a[bc", WildcardText::Name));
    EXPECT_FALSE(WildcardMatches("a[[:nonsense:]]", "ab", WildcardText::Name));
    EXPECT_FALSE(WildcardMatches("ab\\", "ab", WildcardText::Name));
    EXPECT_FALSE(WildcardMatches("ab\\", "ab\\", WildcardText::Name));
    // "[[:" without ":]" is a class holding "[" and ":".
    EXPECT_TRUE(WildcardMatches("a[[:]", "a:", WildcardText::Name));
    EXPECT_TRUE(WildcardMatches("a[[:]", "a[", WildcardText::Name));
    // In a name every wildcard may take "/", in a path none but a "**" standing alone.
    EXPECT_TRUE(WildcardMatches("a*c", "a/b/c", WildcardText::Name));
    EXPECT_FALSE(WildcardMatches("a*c", "a/b/c", WildcardText::Path));
    // Many stars against a long text that cannot match end quickly rather than by trying every split.
    EXPECT_FALSE(WildcardMatches("*a*a*a*a*a*a*a*a*a*b", std::string(200, 'a'), WildcardText::Path));
    EXPECT_FALSE(
        WildcardMatches("**/a/**/a/**/a/**/b", "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a", WildcardText::Path));
}

TEST(IgnorePatterns, DoubleStarSpansFoldersOnlyWhenItStandsAlone)
{
    const Paths paths = {"foo", "x/foo", "x/y/foo/", "foo/z", "xfoo"};
    EXPECT_EQ(Ignored({"**/foo"}, paths), (Paths{"foo", "x/foo", "x/y/foo/", "foo/z"}));
    EXPECT_EQ(Ignored({"**/x/foo"}, {"x/foo", "a/x/foo", "a/b/x/foo", "x/a/foo"}),
              (Paths{"x/foo", "a/x/foo", "a/b/x/foo"}));
    // A trailing "/**" takes everything inside, but not the folder itself.
    const IgnorePatternSet inside(Patterns({"abc/**"}));
    EXPECT_EQ(inside.OwnMatch("abc", true), nullptr);
    EXPECT_NE(inside.OwnMatch("abc/d", false), nullptr);
    EXPECT_NE(inside.OwnMatch("abc/d/e/f", false), nullptr);
    EXPECT_EQ(inside.OwnMatch("x/abc/d", false), nullptr);
    // An inner "/**/" stands for one separator or any number of folders.
    EXPECT_EQ(Ignored({"a/**/b"}, {"a/b", "a/x/b", "a/x/y/b", "ab", "a/xb", "c/a/b"}),
              (Paths{"a/b", "a/x/b", "a/x/y/b"}));
    // Anywhere else "**" is a "*".
    EXPECT_EQ(Ignored({"a**b"}, {"ab", "axxb", "a/b", "a/x/b"}), (Paths{"ab", "axxb"}));
    EXPECT_EQ(Ignored({"x/?**/b"}, {"x/a/b", "x/aq/b", "x/a/q/b"}), (Paths{"x/a/b", "x/aq/b"}));
    // What follows the plain start of a pattern is matched on its own, so a "**" right after it
    // counts as standing at the start, as git has it.
    EXPECT_EQ(Ignored({"foo**/bar"}, {"foobar", "foo/x/bar", "foox/bar", "foo/bar"}),
              (Paths{"foobar", "foo/x/bar", "foox/bar", "foo/bar"}));
    // A "**" without a separator matches every name.
    EXPECT_EQ(Ignored({"**"}, {"a", "b/c"}), (Paths{"a", "b/c"}));
}

TEST(IgnorePatterns, SeparatorsAnchorThePatternAndATrailingOneKeepsItToFolders)
{
    const Paths paths = {"build", "build/", "src/build", "src/build/", "src/build/x"};
    // No separator: the name at any depth, file or folder.
    EXPECT_EQ(Ignored({"build"}, paths), paths);
    // A leading separator anchors to the root.
    EXPECT_EQ(Ignored({"/build"}, paths), (Paths{"build", "build/"}));
    // A trailing one: folders only, at any depth, and what lies below them.
    EXPECT_EQ(Ignored({"build/"}, paths), (Paths{"build/", "src/build/", "src/build/x"}));
    EXPECT_EQ(Ignored({"/build/"}, paths), (Paths{"build/"}));
    // A separator in the middle anchors as a leading one does.
    EXPECT_EQ(Ignored({"src/build"}, {"src/build", "x/src/build", "src/build/y"}),
              (Paths{"src/build", "src/build/y"}));
    EXPECT_EQ(Ignored({"doc/frotz/"}, {"doc/frotz/", "a/doc/frotz/", "doc/frotz"}), (Paths{"doc/frotz/"}));
    // A folder is a folder with or without its trailing separator.
    const IgnorePatternSet set(Patterns({"tmp/"}));
    EXPECT_NE(set.OwnMatch("a/tmp", true), nullptr);
    EXPECT_NE(set.OwnMatch("a/tmp/", true), nullptr);
    EXPECT_NE(set.OwnMatch("a/tmp/", false), nullptr);
    EXPECT_EQ(set.OwnMatch("a/tmp", false), nullptr);
}

TEST(IgnorePatterns, LastMatchingPatternWinsButNoneReachesBelowAnIgnoredFolder)
{
    const IgnorePatternSet set(Patterns({"*.log", "!keep.log", "logs/", "!logs/keep.log", "!*.log/"}));
    EXPECT_EQ(set.OwnMatch("keep.log", false), nullptr);
    EXPECT_EQ(set.OwnMatch("a.log", false)->text, "*.log");
    EXPECT_EQ(set.OwnMatch("a.log", true), nullptr);
    EXPECT_EQ(set.OwnMatch("d/keep.log", false), nullptr);
    EXPECT_EQ(set.OwnMatch("logs", true)->text, "logs/");
    // On its own the path is re-included, but its folder is ignored and takes it along.
    EXPECT_EQ(set.OwnMatch("logs/keep.log", false), nullptr);
    EXPECT_EQ(set.IgnoredBy("logs/keep.log", false)->text, "logs/");
    EXPECT_EQ(set.IgnoredBy("a/logs/b/c", false)->text, "logs/");
    // The first ignored parent from the root names the rule.
    const IgnorePatternSet nested(Patterns({"a/", "b/"}));
    EXPECT_EQ(nested.IgnoredBy("a/b/c", false)->text, "a/");
    EXPECT_EQ(nested.IgnoredBy("x/b/c", false)->text, "b/");
    // A negated folder lets the walk go in, where later patterns decide again.
    EXPECT_EQ(Ignored({"*", "!d/", "!*.c"}, {"x", "d/", "d/y", "d/y.c", "e/y.c"}),
              (Paths{"x", "d/y", "e/y.c"}));
    // The order of the lines matters: the negation first is overruled.
    EXPECT_EQ(Ignored({"!keep", "k*"}, {"keep", "kx"}), (Paths{"keep", "kx"}));
}

TEST(IgnorePatterns, BackslashEscapesAndIgnoreFileLines)
{
    const std::string file = "\xEF\xBB\xBF# a comment\n"
                             "\n"
                             "*.tmp   \n"
                             "trail\\ \n"
                             "\\#hash\n"
                             "\\!bang\n"
                             " lead\n"
                             "crlf\r\n"
                             "star\\*\n"
                             "   \n"
                             "/\n"
                             "!\n"
                             "last";
    const std::vector<IgnorePattern> lines = ReadIgnoreLines(file, ".twinignore");
    std::vector<std::string> texts;
    for (const IgnorePattern& line : lines) {
        texts.push_back(line.text);
        EXPECT_EQ(line.origin, ".twinignore");
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"*.tmp", "trail\\ ", "\\#hash", "\\!bang", " lead", "crlf",
                                               "star\\*", "last"}));
    const IgnorePatternSet set(lines);
    EXPECT_EQ(set.Size(), 8u);
    EXPECT_NE(set.OwnMatch("crlf", false), nullptr);
    EXPECT_NE(set.OwnMatch("x.tmp", false), nullptr);
    EXPECT_EQ(
        Ignored({"trail\\ ", "\\#hash", "\\!bang", " lead", "star\\*", "x\\\\ "},
                {"trail ", "trail", "#hash", "!bang", "bang", " lead", "lead", "star*", "starx", "x\\"}),
        (Paths{"trail ", "#hash", "!bang", " lead", "star*", "x\\"}));
    EXPECT_EQ(Ignored({"\\a\\b"}, {"ab"}), (Paths{"ab"}));
}

TEST(IgnorePatterns, OnlyRealPatternsAreCompiled)
{
    for (const char* line : {"", "#x", "# *", "/", "!", "!/", "//", " ", "    "})
        EXPECT_FALSE(IsPatternLine(line)) << '"' << line << '"';
    for (const char* line : {"x", "\\#x", "!x", "x/", "/x", "\\ ", " x"})
        EXPECT_TRUE(IsPatternLine(line)) << '"' << line << '"';
    const IgnorePatternSet empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.IgnoredBy("a/b", false), nullptr);
    IgnorePatternSet set(std::vector<IgnorePattern>{{"#c", "job.twp"}, {"", "job.twp"}, {"x/", "--ignore"}});
    EXPECT_EQ(set.Size(), 1u);
    // The pattern returned is the one given, with its origin; it survives a move of the set.
    const IgnorePattern* match = set.OwnMatch("x", true);
    IgnorePatternSet moved = std::move(set);
    EXPECT_EQ(moved.OwnMatch("x", true), match);
    EXPECT_EQ(match->origin, "--ignore");
    EXPECT_EQ(match->text, "x/");
}

} // namespace
} // namespace twinfol
