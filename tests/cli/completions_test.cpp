// The runner's shell completions: all three offer exactly the options --help lists, bash's answers
// what a person typing wants, and cmake --install puts each where its shell looks.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/run_arguments.h"
#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

std::string Completion(const std::string& name)
{
    std::ifstream in(std::string(TWINFOL_SOURCE_DIR) + "/resources/completions/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> Matches(const std::string& text, const std::string& pattern,
                              const std::string& prefix = "")
{
    std::set<std::string> found;
    const std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression); it != std::sregex_iterator();
         ++it)
        found.insert(prefix + (*it)[1].str());
    return found;
}

// The options in the left column of --help's option list ("--" itself aside).
std::set<std::string> HelpOptions()
{
    const std::string help = HelpText();
    const std::size_t start = help.find("Options:\n");
    const std::string list = help.substr(start, help.find("\n\n", start) - start);
    std::set<std::string> options;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("  -"))
            continue;
        const std::string column = line.substr(0, line.find("  ", 2));
        for (const std::string& option : Matches(column, "(-{1,2}[a-z][a-z-]*)"))
            options.insert(option);
    }
    return options;
}

std::string RunShell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

TEST(Completions, EveryShellOffersExactlyTheOptionsOfTheHelp)
{
    const std::set<std::string> help = HelpOptions();
    ASSERT_TRUE(help.contains("--max-delete") && help.contains("-q") && help.contains("--no-plan"));
    const std::string bash = Completion("twinfol-sync.bash");
    const std::string bashList =
        bash.substr(bash.find("local options='"),
                    bash.find("'\n", bash.find("local options='")) - bash.find("local options='"));
    std::set<std::string> offered = Matches(bashList, "(-{1,2}[a-z][a-z-]*)");
    EXPECT_EQ(offered, help) << "bash";
    offered = Matches(Completion("_twinfol-sync"), "[{'(), *](-{1,2}[a-z][a-z-]*)(?=[=\\[,}' )])");
    offered.erase("-s");
    offered.erase("-S");
    offered.erase("-g");
    EXPECT_EQ(offered, help) << "zsh";
    const std::string fish = Completion("twinfol-sync.fish");
    offered = Matches(fish, " -l ([a-z][a-z-]*)", "--");
    for (const std::string& option : Matches(fish, " -s ([a-z]) ", "-"))
        offered.insert(option);
    EXPECT_EQ(offered, help) << "fish";
}

TEST(Completions, BashCompletesOptionsTheirValuesFoldersAndProfiles)
{
    const TempTree tree;
    tree.MakeFolder("work");
    tree.WriteFile("job.twp", "p");
    tree.WriteFile("notes.txt", "n");
    const std::string script = tree.WriteFile("complete.sh", "source '" + std::string(TWINFOL_SOURCE_DIR) +
                                                                 "/resources/completions/twinfol-sync.bash'\n"
                                                                 "cd \"$1\"; shift\n"
                                                                 "COMP_WORDS=(twinfol-sync \"$@\")\n"
                                                                 "COMP_CWORD=$#\n"
                                                                 "_twinfol_sync\n"
                                                                 "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    const auto complete = [&](const std::string& words) {
        return RunShell("bash --norc --noprofile '" + script + "' '" + tree.Root() + "' " + words + " 2>&1");
    };
    EXPECT_EQ(complete("--dr"), "--dry-run\n");
    EXPECT_EQ(complete("--max-d"), "--max-delete\n");
    EXPECT_EQ(complete("--ignore-"), "--ignore-hour-shift\n--ignore-file\n");
    EXPECT_EQ(complete("--direction ''"), "1to2\n2to1\n");
    const std::string positional = complete("--delete ''");
    EXPECT_NE(positional.find("work\n"), std::string::npos) << positional;
    EXPECT_NE(positional.find("job.twp\n"), std::string::npos) << positional;
    EXPECT_EQ(positional.find("notes.txt"), std::string::npos) << positional;
    EXPECT_NE(complete("--log-file ''").find("notes.txt\n"), std::string::npos);
    EXPECT_NE(complete("--ignore-file ''").find("notes.txt\n"), std::string::npos);
    // A size is typed, not chosen: nothing is offered.
    EXPECT_EQ(complete("--max-size ''"), "\n");
}

TEST(Completions, InstallPutsEachWhereItsShellLooks)
{
    const TempTree prefix;
    const std::string output =
        RunShell(std::string("'") + TWINFOL_CMAKE_COMMAND + "' --install '" + TWINFOL_BUILD_DIR +
                 "' --component completions --prefix '" + prefix.Root() + "' 2>&1");
    for (const auto& [installed, source] :
         {std::pair<std::string, std::string>{"share/bash-completion/completions/twinfol-sync",
                                              "twinfol-sync.bash"},
          {"share/zsh/site-functions/_twinfol-sync", "_twinfol-sync"},
          {"share/fish/vendor_completions.d/twinfol-sync.fish", "twinfol-sync.fish"}})
        EXPECT_EQ(prefix.ReadFile(installed), Completion(source)) << installed << "\n" << output;
}

} // namespace
} // namespace twinfol::cli
