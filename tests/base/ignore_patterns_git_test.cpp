// The pattern set against git itself: random folder trees and random pattern lists, each path asked of
// "git check-ignore" and of IgnoredBy, which must agree on every one.
#include "base/ignore_patterns.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
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

// 600 cases: every tree with several pattern lists.
constexpr int treeCount = 100;
constexpr int patternListsPerTree = 6;
constexpr std::array<const char*, 8> names = {"a", "b", "c", "ab", ".x", "foo.tmp", "node_modules", "build"};
// Pieces of one name in a pattern: the names themselves, wildcards, classes (one left open), escapes
// and "**".
constexpr std::array<const char*, 32> namePieces = {
    "a",    "b",         "c",     ".x",     "foo.tmp", "node_modules", "build", "*",
    "?",    "[ab]",      "[!a]",  "[a-c]",  "*.tmp",   "*.x",          "foo.*", "f*",
    "*o*",  "?b",        "b*",    "node_*", "**",      "ab",           "a**",   "**b",
    "\\f*", "fo\\o.tmp", "bu?ld", "[^b]*",  "\\*",     "[[:alpha:]]",  "[ab",   "*[.]x"};

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

// Runs git check-ignore in the tree on the paths listed in the scratch folder, all at once, with the
// patterns of the file given, and gives the paths it prints. One bare repository serves every tree as its
// work tree, which spares a "git init" per case.
std::set<std::string> IgnoredByGit(const std::string& repository, const test::TempTree& scratch,
                                   const std::string& patternFile)
{
    // No configuration of the machine or the person may add patterns of its own.
    const std::string command =
        "cd " + Quoted(scratch.Path("tree")) + " && HOME=" + Quoted(scratch.Root()) +
        " GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null git --git-dir=" + Quoted(repository) +
        " --work-tree=. -c core.excludesFile=" + Quoted(patternFile) +
        " check-ignore --no-index --stdin -z < " + Quoted(scratch.Path("paths"));
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot start " << command;
        return {};
    }
    std::array<char, 4096> buffer;
    for (std::size_t read; (read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        output.append(buffer.data(), read);
    const int status = pclose(pipe);
    // 1 says that nothing is ignored; anything else but 0 is a failure of git.
    EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1)) << command;
    std::set<std::string> ignored;
    std::istringstream paths(output);
    for (std::string path; std::getline(paths, path, '\0');)
        ignored.insert(path);
    return ignored;
}

// Writes the tree below "tree" in the scratch folder, and every path of it (folders without their
// trailing separator, as git is to look at the disk) to "paths".
void WriteTree(const test::TempTree& scratch, const std::map<std::string, bool>& tree)
{
    std::string paths;
    for (const auto& [path, folder] : tree) {
        if (folder)
            scratch.MakeFolder("tree/" + path);
        else
            scratch.WriteFile("tree/" + path, "");
        paths += path + '\0';
    }
    scratch.WriteFile("paths", paths);
}

std::string Listing(const std::vector<std::string>& lines)
{
    std::string listing;
    for (const std::string& line : lines)
        listing += "  [" + line + "]\n";
    return listing;
}

struct Tallies {
    std::size_t cases = 0;
    std::size_t paths = 0;
    std::size_t ignoredByGit = 0;
    std::size_t ignoredThroughParent = 0;
    std::size_t differingCases = 0;
};

// Asks the pattern set about every path of the tree and reports the first one on which it and git
// differ.
void Compare(const std::map<std::string, bool>& tree, const std::vector<std::string>& lines,
             const std::set<std::string>& gitIgnored, const std::string& seeds, Tallies& tallies)
{
    std::string patternText;
    for (const std::string& line : lines)
        patternText += line + "\n";
    const IgnorePatternSet set(ReadIgnoreLines(patternText, "patterns"));
    ++tallies.cases;
    tallies.paths += tree.size();
    tallies.ignoredByGit += gitIgnored.size();
    for (const auto& [path, folder] : tree) {
        const IgnorePattern* ours = set.IgnoredBy(path, folder);
        tallies.ignoredThroughParent += ours != nullptr && set.OwnMatch(path, folder) == nullptr;
        if ((ours != nullptr) == gitIgnored.contains(path))
            continue;
        ++tallies.differingCases;
        ADD_FAILURE() << seeds << ", patterns:\n"
                      << Listing(lines) << "first differing path: " << path << (folder ? "/" : "") << ", git "
                      << (gitIgnored.contains(path) ? "ignores" : "keeps") << " it";
        return;
    }
}

// Each tree is asked about with several pattern lists, which keeps the files written few: on a busy
// disk, making and removing thousands of small trees takes far longer than git does.
TEST(IgnorePatternsAgainstGit, EveryPathOfRandomTreesIsIgnoredExactlyWhenGitIgnoresIt)
{
    if (!GitIsOnPath())
        GTEST_SKIP() << "git is not on PATH, so there is nothing to compare with";
    const test::TempTree shared;
    const std::string repository = shared.Path("repository.git");
    ASSERT_EQ(std::system(("git init -q --bare " + Quoted(repository)).c_str()), 0);
    Tallies tallies;
    for (int treeNumber = 0; treeNumber < treeCount && tallies.differingCases < 5; ++treeNumber) {
        const unsigned treeSeed = 20261210u + static_cast<unsigned>(treeNumber);
        std::mt19937 treeRandom(treeSeed);
        const std::map<std::string, bool> tree = RandomTree(treeRandom);
        const test::TempTree scratch;
        WriteTree(scratch, tree);
        for (int list = 0; list < patternListsPerTree; ++list) {
            const unsigned patternSeed = treeSeed * 100u + static_cast<unsigned>(list);
            std::mt19937 patternRandom(patternSeed);
            const std::vector<std::string> lines = RandomPatternLines(patternRandom);
            std::string patternText;
            for (const std::string& line : lines)
                patternText += line + "\n";
            // A new file each time: rewriting one makes the file system write it out at once.
            const std::string patternFile =
                scratch.WriteFile("patterns-" + std::to_string(list), patternText);
            Compare(tree, lines, IgnoredByGit(repository, scratch, patternFile),
                    "tree seed " + std::to_string(treeSeed) + ", pattern seed " + std::to_string(patternSeed),
                    tallies);
        }
    }
    std::cout << tallies.cases << " cases, " << tallies.paths << " paths, " << tallies.ignoredByGit
              << " ignored by git, " << tallies.ignoredThroughParent
              << " of them only through an ignored parent\n";
    EXPECT_EQ(tallies.differingCases, 0u);
    // A comparison in which git ignored nothing, or everything, would prove nothing.
    EXPECT_GT(tallies.ignoredByGit, tallies.paths / 10);
    EXPECT_LT(tallies.ignoredByGit, tallies.paths * 9 / 10);
    EXPECT_GT(tallies.ignoredThroughParent, 0u);
}

} // namespace
} // namespace twinfol
