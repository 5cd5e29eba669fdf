// Exclusions put into the roots' spelling over real trees: every way a person may name the same file
// or folder ends up as the one path the engine compares, and what can never match is refused or said.
#include <gtest/gtest.h>

#include "cli/exclusion_spelling.h"
#include "engine/posix/posix_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

TEST(ExclusionSpelling, PathsAreMadeAbsoluteAndTidyWithoutResolvingLinks)
{
    EXPECT_EQ(TidyPath("T/keep", "/home/me"), "/home/me/T/keep");
    EXPECT_EQ(TidyPath("./T//keep/./x/", "/home/me"), "/home/me/T/keep/x");
    EXPECT_EQ(TidyPath("/a/b/../c", "/ignored"), "/a/c");
    EXPECT_EQ(TidyPath("..", "/"), "/");
}

class ExclusionSpellingTest : public ::testing::Test {
protected:
    SpelledExclusions Spell(const std::vector<std::string>& typed)
    {
        return SpellExclusions(fileSystem, typed, source, target, tree.Root());
    }

    TempTree tree;
    // The roots as typed: the source relative to the working folder (the tree's root), the target
    // absolute with a stray "/./" in it.
    std::string source = "S/";
    std::string target = tree.Root() + "./T/";
    PosixFileSystem fileSystem;
};

TEST_F(ExclusionSpellingTest, EveryFormOfANameBecomesTheRootsSpelling)
{
    tree.WriteFile("S/doc/readme", "r");
    tree.WriteFile("S/notes.txt", "n");
    tree.WriteFile("T/keep/k", "k");
    tree.MakeSymlink("T/link", "keep");
    const SpelledExclusions spelled = Spell({"T/keep", tree.Root() + "T/keep/", tree.Root() + "S/doc",
                                             "./S/doc/", "S//notes.txt/", tree.Root() + "T/link"});
    EXPECT_TRUE(spelled.refusal.empty()) << spelled.refusal;
    EXPECT_TRUE(spelled.warnings.empty());
    EXPECT_EQ(spelled.entries, (std::vector<std::string>{target + "keep/", target + "keep/", "S/doc/",
                                                         "S/doc/", "S/notes.txt", target + "link"}));
}

TEST_F(ExclusionSpellingTest, WhatCanNeverMatchIsRefusedAndWhatMatchesNothingYetIsSaid)
{
    tree.MakeFolder("S");
    tree.MakeFolder("T");
    tree.WriteFile("elsewhere/x", "x");
    tree.WriteFile("S/a*b", "a file whose name holds a star");

    SpelledExclusions spelled = Spell({"T/gone/", "S/later.txt"});
    EXPECT_TRUE(spelled.refusal.empty());
    EXPECT_EQ(spelled.entries, (std::vector<std::string>{target + "gone/", "S/later.txt"}));
    ASSERT_EQ(spelled.warnings.size(), 2u);
    EXPECT_NE(spelled.warnings[0].find("T/gone/ matches nothing in the target folder"), std::string::npos);

    EXPECT_NE(Spell({"elsewhere/x"}).refusal.find("elsewhere/x lies in neither"), std::string::npos);
    EXPECT_NE(Spell({"T"}).refusal.find("names the target folder itself"), std::string::npos);
    EXPECT_NE(Spell({"S/*.log"}).refusal.find("patterns are not supported"), std::string::npos);
    EXPECT_NE(Spell({"*.log"}).refusal.find("patterns are not supported"), std::string::npos);
    // A name that only looks like a pattern is taken when it is there.
    spelled = Spell({"S/a*b"});
    EXPECT_TRUE(spelled.refusal.empty());
    EXPECT_EQ(spelled.entries, std::vector<std::string>{"S/a*b"});
}

TEST_F(ExclusionSpellingTest, AProfilesEntriesAreTakenAsTheyStandButWarnedAbout)
{
    tree.WriteFile("S/doc/readme", "r");
    tree.WriteFile("S/file", "f");
    const std::string s = tree.Root() + "S/";
    const std::string t = tree.Root() + "T/";
    tree.MakeFolder("T");
    const std::vector<std::string> warnings =
        CheckProfileExclusions(fileSystem,
                               {s + "doc/", s + "file", "", s + "doc", s + "file/", t + "gone",
                                tree.Root() + "S//file", "/elsewhere/x", s + "*.log"},
                               s, t, "/");
    ASSERT_EQ(warnings.size(), 6u);
    EXPECT_NE(warnings[0].find("lacks the trailing \"/\""), std::string::npos);
    EXPECT_NE(warnings[1].find("names a file"), std::string::npos);
    EXPECT_NE(warnings[2].find("matches nothing in the target folder"), std::string::npos);
    EXPECT_NE(warnings[3].find("spelled unlike the source folder"), std::string::npos);
    EXPECT_NE(warnings[4].find("lies in neither"), std::string::npos);
    EXPECT_NE(warnings[5].find("pattern"), std::string::npos);
}

} // namespace
} // namespace twinfol::cli
