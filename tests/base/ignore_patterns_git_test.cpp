// The pattern set against git itself: random folder trees and random pattern lists, each path asked of
// "git check-ignore" and of IgnoredBy, which must agree on every one.
#include "base/ignore_patterns.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace twinfol {
namespace {

constexpr int caseCount = 600;
constexpr std::array<const char*, 8> names = {"a", "b", "c", "ab", ".x", "foo.tmp", "node_modules", "build"};
// Pieces of one name in a pattern: the names themselves, wildcards, classes, escapes and "**".
constexpr std::array<const char*, 30> namePieces = {
    "a",    "b",     "c",     ".x",  "foo.tmp", "node_modules", "build", "*",     "?",   "[ab]",
    "[!a]", "[a-c]", "*.tmp", "*.x", "foo.*",   "f*",           "*o*",   "?b",    "b*",  "node_*",
    "**",   "ab",    "a**",   "**b", "\\f*",    "fo\\o.tmp",    "bu?ld", "[^b]*", "\\*", "[[:alpha:]]"};

bool GitIsOnPath()
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((folder + "/git").c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

template <typename Items> const char* Pick(std::mt19937& random, const Items& items)
{
    return items[std::uniform_int_distribution<std::size_t>(0, std::size(items) - 1)(random)];
}

bool Chance(std::mt19937& random, int percent)
{
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
}

// Relative paths to whether each is a folder: every parent of an entry is a folder.
std::map<std::string, bool> RandomTree(std::mt19937& random)
{
    std::map<std::string, bool> tree;
    const int entries = std::uniform_int_distribution<int>(8, 30)(random);
    for (int entry = 0; entry < entries; ++entry) {
        const int depth = std::uniform_int_distribution<int>(1, 4)(random);
        std::string path;
        for (int level = 0; level < depth; ++level) {
            path += (level > 0 ? "/" : "") + std::string(Pick(random, names));
            const bool last = level + 1 == depth;
            const auto [it, added] = tree.emplace(path, !last || Chance(random, 40));
            // A name already taken by a file can hold nothing.
            if (!last && !it->second)
                break;
        }
    }
    return tree;
}

std::string RandomPattern(std::mt19937& random)
{
    if (Chance(random, 4))
        return "# " + std::string(Pick(random, namePieces));
    if (Chance(random, 3))
        return Chance(random, 50) ? "" : "   ";
    std::string line = Chance(random, 20) ? "!" : "";
    if (Chance(random, 3))
        line += Chance(random, 50) ? "\\!" : "\\#";
    if (Chance(random, 25))
        line += "/";
    const int segments = std::uniform_int_distribution<int>(1, 3)(random);
    for (int segment = 0; segment < segments; ++segment)
        line += (segment > 0 ? "/" : "") + std::string(Pick(random, namePieces));
    if (Chance(random, 25))
        line += "/";
    if (Chance(random, 5))
        line += Chance(random, 50) ? "  " : "\\ ";
    return line;
}

std::vector<std::string> RandomPatternLines(std::mt19937& random)
{
    std::vector<std::string> lines(std::uniform_int_distribution<std::size_t>(5, 15)(random));
    for (std::string& line : lines)
        line = RandomPattern(random);
    return lines;
}

// Runs git check-ignore on every path of the tree at once and gives the paths it prints. One bare
// repository serves every tree as its work tree, which spares a "git init" per case.
std::set<std::string> IgnoredByGit(const std::string& repository, const test::TempTree& scratch,
                                   const std::vector<std::string>& paths)
{
    {
        std::ofstream input(scratch.Path("paths"), std::ios::binary);
        for (const std::string& path : paths)
            input << path << '\0';
    }
    // No configuration of the machine or the person may add patterns of its own.
    const std::string command =
        "cd " + Quoted(scratch.Path("tree")) + " && HOME=" + Quoted(scratch.Root()) +
        " GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null git --git-dir=" + Quoted(repository) +
        " --work-tree=. -c core.excludesFile=" + Quoted(scratch.Path("patterns")) +
        " check-ignore --no-index --stdin -z < " + Quoted(scratch.Path("paths")) + " > " +
        Quoted(scratch.Path("ignored"));
    const int status = std::system(command.c_str());
    // 1 says that nothing is ignored; anything else but 0 is a failure of git.
    EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1)) << command;
    std::ifstream output(scratch.Path("ignored"), std::ios::binary);
    std::set<std::string> ignored;
    for (std::string path; std::getline(output, path, '\0');)
        ignored.insert(path);
    return ignored;
}

std::string Listing(const std::vector<std::string>& lines)
{
    std::string listing;
    for (const std::string& line : lines)
        listing += "  [" + line + "]\n";
    return listing;
}

TEST(IgnorePatternsAgainstGit, EveryPathOfRandomTreesIsIgnoredExactlyWhenGitIgnoresIt)
{
    if (!GitIsOnPath())
        GTEST_SKIP() << "git is not on PATH, so there is nothing to compare with";
    const test::TempTree shared;
    const std::string repository = shared.Path("repository.git");
    ASSERT_EQ(std::system(("git init -q --bare " + Quoted(repository)).c_str()), 0);
    int differingCases = 0;
    std::size_t pathsAsked = 0, ignoredByGit = 0, keptByParentRule = 0;
    for (int number = 0; number < caseCount; ++number) {
        const unsigned seed = 20261210u + static_cast<unsigned>(number);
        std::mt19937 random(seed);
        const std::map<std::string, bool> tree = RandomTree(random);
        const std::vector<std::string> lines = RandomPatternLines(random);

        const test::TempTree scratch;
        std::vector<std::string> paths;
        for (const auto& [path, folder] : tree) {
            if (folder)
                scratch.MakeFolder("tree/" + path);
            else
                scratch.WriteFile("tree/" + path, "");
            paths.push_back(path);
        }
        std::string patternText;
        for (const std::string& line : lines)
            patternText += line + "\n";
        scratch.WriteFile("patterns", patternText);
        const std::set<std::string> gitIgnored = IgnoredByGit(repository, scratch, paths);

        const IgnorePatternSet set(ReadIgnoreLines(patternText, "patterns"));
        pathsAsked += paths.size();
        ignoredByGit += gitIgnored.size();
        for (const std::string& path : paths) {
            const IgnorePattern* ours = set.IgnoredBy(path, tree.at(path));
            keptByParentRule += ours != nullptr && set.OwnMatch(path, tree.at(path)) == nullptr;
            if ((ours != nullptr) == gitIgnored.contains(path))
                continue;
            ++differingCases;
            ADD_FAILURE() << "seed " << seed << ", patterns:\n"
                          << Listing(lines) << "first differing path: " << path << (tree.at(path) ? "/" : "")
                          << ", git " << (gitIgnored.contains(path) ? "ignores" : "keeps") << " it";
            break;
        }
        if (differingCases >= 5)
            break;
    }
    std::cout << caseCount << " cases, " << pathsAsked << " paths, " << ignoredByGit << " ignored by git, "
              << keptByParentRule << " ignored only through an ignored parent\n";
    // A comparison in which git ignored nothing, or everything, would prove nothing.
    EXPECT_GT(ignoredByGit, pathsAsked / 10);
    EXPECT_LT(ignoredByGit, pathsAsked * 9 / 10);
    EXPECT_GT(keptByParentRule, 0u);
}

} // namespace
} // namespace twinfol
