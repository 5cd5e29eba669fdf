// The built twinfol-sync on a pseudo-terminal, as a person runs it: the progress line it draws there,
// and delete questions put to the terminal even when standard input and error go elsewhere.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

struct TerminalRun {
    int exitCode = -1;
    // Everything the program wrote to the terminal.
    std::string screen;
};

// Runs the program in the folder on a new pseudo-terminal of 100 columns, its controlling terminal.
// When redirect is given, standard input comes from /dev/null and standard output and error go to
// that file, so only the controlling terminal is left. Once the screen shows the prompt, the answer
// is typed, after a pause of more than the progress line's interval, so that what the run shows
// next is drawn at once.
TerminalRun RunOnTerminal(const std::vector<std::string>& arguments, const std::string& folder,
                          const std::string& prompt = {}, const std::string& answer = {},
                          const std::string& redirect = {})
{
    std::vector<std::string> words{TWINFOL_SYNC_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 100;
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        if (!redirect.empty()) {
            // One descriptor of the terminal stays open, as a shell's would, so that the terminal
            // lives on while no standard stream is attached to it.
            if (dup(STDIN_FILENO) < 0)
                _exit(125);
            const int devNull = open("/dev/null", O_RDONLY);
            const int file = open(redirect.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(devNull, STDIN_FILENO);
            dup2(file, STDOUT_FILENO);
            dup2(file, STDERR_FILENO);
        }
        setenv("TERM", "xterm", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    TerminalRun run;
    if (child < 0)
        return run;
    bool answered = prompt.empty();
    std::chrono::steady_clock::time_point promptSeen{};
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        const int polled = poll(&ready, 1, 20);
        if (polled > 0) {
            char buffer[4096];
            const ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0)
                break; // EIO: the program has ended and closed the terminal
            run.screen.append(buffer, static_cast<std::size_t>(got));
        }
        if (!answered && promptSeen == std::chrono::steady_clock::time_point{} &&
            run.screen.find(prompt) != std::string::npos)
            promptSeen = std::chrono::steady_clock::now();
        if (!answered && promptSeen != std::chrono::steady_clock::time_point{} &&
            std::chrono::steady_clock::now() - promptSeen > std::chrono::milliseconds(100)) {
            answered = write(master, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
        }
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(TwinfolSyncOnATerminal, DrawsTheProgressLineWithFiguresAndClearsItBeforeTheReport)
{
    const TempTree tree;
    tree.WriteFile("S/big", std::string(8 * 1024 * 1024, 'b'));
    tree.WriteFile("T/zzz-old", "o");
    const TerminalRun run =
        RunOnTerminal({"--delete", "--confirm", "--plan", "S", "T"}, tree.Root(), "[c] Cancel: ", "y\n");
    EXPECT_EQ(run.exitCode, 0) << run.screen;
    // The first drawing of the line, then the copy's: every drawing erases the line first.
    EXPECT_NE(run.screen.find("\r\x1b[KPlanning: "), std::string::npos) << run.screen;
    // Drawn at once after the question: the figures of the plan and of the copy, then the operation.
    EXPECT_NE(run.screen.find("\r\x1b[K1/1 files, 8.0 MiB/8.0 MiB"), std::string::npos) << run.screen;
    EXPECT_NE(run.screen.find(" | Deleting file: T/zzz-old"), std::string::npos) << run.screen;
    // The line is erased before the report, which follows on its own lines.
    const std::size_t report = run.screen.find("=== ");
    ASSERT_NE(report, std::string::npos);
    EXPECT_TRUE(run.screen.substr(0, report).ends_with("\r\x1b[K")) << run.screen;
    // No drawing is wider than the terminal's 100 columns, one kept free.
    for (std::size_t start = run.screen.find("\x1b[K"); start != std::string::npos && start < report;) {
        const std::size_t end = run.screen.find_first_of("\r\n", start);
        EXPECT_LE(end - start - 3, 99u);
        start = run.screen.find("\x1b[K", start + 3);
    }
    EXPECT_FALSE(tree.Exists("T/zzz-old"));
    EXPECT_EQ(tree.ReadFile("T/big")->size(), 8u * 1024 * 1024);
}

TEST(TwinfolSyncOnATerminal, AsksOnTheTerminalWhenStandardInputAndErrorGoElsewhere)
{
    const TempTree tree;
    tree.WriteFile("S/kept", "k");
    tree.WriteFile("T/old", "o");
    const TerminalRun run = RunOnTerminal({"--delete", "--confirm", "S", "T"}, tree.Root(),
                                          "[c] Cancel: ", "y\n", tree.Path("output.txt"));
    EXPECT_EQ(run.exitCode, 0) << run.screen;
    EXPECT_NE(run.screen.find("Delete file: T/old"), std::string::npos) << run.screen;
    EXPECT_FALSE(tree.Exists("T/old"));
    // The report went where standard output was sent, and no progress line went to the file.
    const std::string output = tree.ReadFile("output.txt").value_or("");
    EXPECT_NE(output.find("Deleted files: 1"), std::string::npos) << output;
    EXPECT_EQ(output.find('\x1b'), std::string::npos);
}

} // namespace
} // namespace twinfol::cli
