// The built twinfol-sync program as a script would run it: its exit status, its standard output and
// error, and the stop handlers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/stop_signals.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

// Runs the program without a terminal (standard input from /dev/null, no controlling terminal) and in
// the working folder given (the test's own when empty). Standard error goes to a file so that the two
// outputs cannot block each other. The journals and the home trash go to the scratch tree, never to
// the home of the user who runs the tests.
ProgramResult RunProgram(const std::vector<std::string>& arguments, const TempTree& scratch,
                         const std::string& workingFolder = {})
{
    std::vector<char*> argv;
    std::string program = TWINFOL_SYNC_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::string errPath = scratch.Path("stderr.txt");
    int outPipe[2];
    if (pipe(outPipe) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        // A session of its own has no controlling terminal, whatever terminal runs the tests.
        setsid();
        const int devNull = open("/dev/null", O_RDONLY);
        const int errFile = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errFile, STDERR_FILENO);
        close(outPipe[0]);
        setenv("XDG_STATE_HOME", scratch.Path("state").c_str(), 1);
        setenv("XDG_DATA_HOME", scratch.Path("data").c_str(), 1);
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    ProgramResult result;
    result.out = ReadAll(outPipe[0]);
    close(outPipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = scratch.ReadFile("stderr.txt").value_or("");
    return result;
}

class TwinfolSyncProgram : public ::testing::Test {
protected:
    TempTree scratch;
    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
};

TEST_F(TwinfolSyncProgram, PrintsItsVersionAndHelp)
{
    ProgramResult result = RunProgram({"--version"}, scratch);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "twinfol-sync 1.01\n");
    result = RunProgram({"--help"}, scratch);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Usage: twinfol-sync"), std::string::npos);
}

TEST_F(TwinfolSyncProgram, RunsAJobAndPrintsJsonForAnyName)
{
    tree.WriteFile("source/caf\xE9", "latin1");
    tree.WriteFile("source/\xC3\xA9t\xC3\xA9", "utf8");
    tree.WriteFile("target/stale", "s");
    const ProgramResult result = RunProgram({"--json", "--delete", source, target}, scratch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The start and the duration differ from run to run; everything else is known.
    std::string json = result.out;
    const std::size_t timeStart = json.find(", \"startTime\": ");
    const std::size_t timeEnd = json.find(", \"overwrittenFileCount\"");
    ASSERT_NE(timeStart, std::string::npos);
    ASSERT_NE(timeEnd, std::string::npos);
    json.erase(timeStart, timeEnd - timeStart);
    const std::string expected =
        "{\"source\": \"" + source + "\", \"target\": \"" + target +
        "\", \"dryRun\": false, \"interrupted\": false, \"overwrittenFileCount\": 0, \"addedFileCount\": 2, "
        "\"deletedFileCount\": 1, \"addedFolderCount\": 0, \"deletedFolderCount\": 0, \"filesCopied\": 2, "
        "\"bytesCopied\": 10, \"overwrittenFiles\": [], \"addedFiles\": [\"" +
        target + "caf\\u00e9\", \"" + target + "\xC3\xA9t\xC3\xA9\"], \"deletedFiles\": [\"" + target +
        "stale\"], \"addedFolders\": [], \"deletedFolders\": [], \"addedFolderContents\": {}, "
        "\"incompleteFolders\": [], \"partlyCopiedFolders\": [], \"ignoredCount\": 0, \"ignored\": [], "
        "\"problemLog\": [], \"problems\": [], \"notes\": []}\n";
    EXPECT_EQ(json, expected);
    EXPECT_EQ(tree.ReadFile("target/caf\xE9"), "latin1");
    // Standard error is not a terminal here, so no progress line is drawn.
    EXPECT_EQ(result.err, "");
}

// Names that would drive a terminal (the one-byte CSI U+009B, as UTF-8 and as a lone byte, and ESC)
// reach neither standard output nor standard error raw.
TEST_F(TwinfolSyncProgram, NoControlCharacterOfANameReachesTheOutput)
{
    tree.WriteFile("source/a\xC2\x9B"
                   "2J",
                   "1");
    tree.WriteFile("source/b\x9B"
                   "2J",
                   "2");
    tree.WriteFile("source/c\x1B[2J", "3");
    tree.MakeFolder("target/a\xC2\x9B"
                    "2J");
    ProgramResult result = RunProgram({"-v", source, target}, scratch);
    EXPECT_EQ(result.exitCode, 1);
    for (const std::string& text : {result.out, result.err}) {
        EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << text;
        EXPECT_EQ(text.find('\x9B'), std::string::npos);
        EXPECT_EQ(text.find('\x1B'), std::string::npos);
    }
    EXPECT_NE(result.out.find("Could not copy file: " + target +
                              "a\\xc2\\x9b"
                              "2J ("),
              std::string::npos);
    EXPECT_NE(result.err.find("Adding file: " + target +
                              "b\\x9b"
                              "2J\n"),
              std::string::npos);
}

// The way a person first tried it: relative folders and an exclusion spelled as they typed it.
TEST_F(TwinfolSyncProgram, ARelativeExclusionProtectsWhatItNames)
{
    tree.WriteFile("source/new", "n");
    tree.WriteFile("target/keep/k", "k");
    tree.WriteFile("target/old", "o");
    const ProgramResult result =
        RunProgram({"--delete", "--exclude", "target/keep", "source", "target"}, scratch, tree.Root());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(tree.Exists("target/keep/k"));
    EXPECT_FALSE(tree.Exists("target/old"));
    EXPECT_TRUE(tree.Exists("target/new"));
}

TEST_F(TwinfolSyncProgram, ExitCodesForRefusalAndProblems)
{
    ProgramResult result = RunProgram({source, tree.Path("not-mounted")}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("not-mounted"), std::string::npos);
    result = RunProgram({"--delete", "--confirm", source, target}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    result = RunProgram({tree.Path("missing.twp")}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    tree.WriteFile("source/x", "file");
    tree.MakeFolder("target/x");
    result = RunProgram({source, target}, scratch);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("Could not copy file: " + target + "x"), std::string::npos);
}

TEST_F(TwinfolSyncProgram, ARunWithTheTrashIsUndoneOnceWithTheExitCodesOfARun)
{
    tree.WriteFile("source/new", "new");
    tree.WriteFile("target/stale", "stale");
    ProgramResult result = RunProgram({"--undo", target}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("has a journal to undo"), std::string::npos) << result.err;

    result = RunProgram({"--delete", "--trash", source, target}, scratch);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(scratch.ReadFile("data/Trash/files/stale"), "stale");
    result = RunProgram({"--undo", target, "--dry-run"}, scratch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Dry run: nothing was changed"), std::string::npos);
    EXPECT_FALSE(tree.Exists("target/stale"));

    result = RunProgram({"--json", "--undo", target}, scratch);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"restored\": [\"" + target + "stale\"]"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"trashed\": [\"" + target + "new\"]"), std::string::npos);
    EXPECT_EQ(tree.ReadFile("target/stale"), "stale");
    EXPECT_FALSE(tree.Exists("target/new"));
    EXPECT_EQ(RunProgram({"--undo", target}, scratch).exitCode, 2);
}

// A backup folder that is a bind mount of part of the source: a run with --delete would delete the
// source's own files through it.
TEST_F(TwinfolSyncProgram, RefusesABackupThatShowsPartOfTheSource)
{
    tree.WriteFile("data/photos/p1.jpg", "1");
    tree.WriteFile("data/photos/p2.jpg", "2");
    tree.MakeFolder("backup");
    const test::TestMount backup = test::TestMount::Bind(tree.Path("data/photos"), tree.Path("backup"));
    if (!backup.IsMounted())
        GTEST_SKIP() << backup.Failure();
    const auto before = tree.Snapshot();
    const ProgramResult result = RunProgram({"--delete", tree.Path("data"), tree.Path("backup")}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("The target folder lies inside the source folder"), std::string::npos);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST(StopSignals, FirstSignalOnlyRequestsAStop)
{
    std::atomic<bool> stopRequested{false};
    struct sigaction previousInt {
    }, previousTerm{};
    sigaction(SIGINT, nullptr, &previousInt);
    sigaction(SIGTERM, nullptr, &previousTerm);
    InstallStopSignals(stopRequested);
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(stopRequested.load());
    // The handler has handed SIGTERM back to its default action, so a second one would end the program.
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

// The report of a run without what differs between a trial and a real run of the same tree: the trial
// run's own line, and the times.
std::string WithoutTimes(const std::string& text)
{
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("===") && !line.starts_with("Duration:") &&
            line != "Dry run: nothing was changed")
            kept += line + "\n";
    return kept;
}

TEST_F(TwinfolSyncProgram, ADryRunWithTheTrashReportsWhatTheRealRunDoes)
{
    for (const char* jobs : {"1", "4"}) {
        SCOPED_TRACE(jobs);
        // A target-only folder holding a read-only file, which cannot go to the Trash whole, and a file
        // standing where the source has a folder, which goes to the Trash for the folder's sake.
        tree.WriteFile("target/gone/ro.txt", "read-only");
        ASSERT_EQ(chmod(tree.Path("target/gone/ro.txt").c_str(), 0444), 0);
        tree.WriteFile("target/x", "a file");
        tree.WriteFile("source/x/in.txt", "in");
        const std::vector<std::string> options{"--trash", "--delete", "-v", "--jobs", jobs, source, target};
        std::vector<std::string> trial = options;
        trial.insert(trial.begin(), "--dry-run");
        const ProgramResult predicted = RunProgram(trial, scratch);
        EXPECT_EQ(tree.ReadFile("target/x"), "a file");
        const ProgramResult real = RunProgram(options, scratch);
        EXPECT_EQ(predicted.exitCode, real.exitCode);
        EXPECT_EQ(WithoutTimes(predicted.out), WithoutTimes(real.out));
        EXPECT_EQ(predicted.err, real.err);
        EXPECT_NE(real.out.find("Could not delete folder: " + tree.Path("target/gone") +
                                " (the folder holds a read-only file (--replace-read-only deletes it))"),
                  std::string::npos)
            << real.out;
        EXPECT_EQ(tree.ReadFile("target/x/in.txt"), "in");
        EXPECT_EQ(tree.ReadFile("target/gone/ro.txt"), "read-only");
        std::filesystem::remove_all(tree.Path("target/x"));
    }
}

TEST_F(TwinfolSyncProgram, ReplaceReadOnlyDeletesAStalePackFileAsItsDryRunForetells)
{
    // A mirrored repository after "git gc": the old pack, read-only as git writes it, is gone from the
    // source.
    tree.WriteFile("target/pack/old.pack", "old");
    ASSERT_EQ(chmod(tree.Path("target/pack/old.pack").c_str(), 0444), 0);
    tree.WriteFile("source/pack/new.pack", "new");
    ASSERT_EQ(chmod(tree.Path("source/pack/new.pack").c_str(), 0444), 0);

    const ProgramResult kept = RunProgram({"--delete", source, target}, scratch);
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_NE(kept.out.find("Could not delete file: " + tree.Path("target/pack/old.pack") +
                            " (the file is read-only (--replace-read-only deletes it))"),
              std::string::npos)
        << kept.out;

    const std::vector<std::string> options{"--delete", "--replace-read-only", "-v", source, target};
    std::vector<std::string> trial = options;
    trial.insert(trial.begin(), "--dry-run");
    const ProgramResult predicted = RunProgram(trial, scratch);
    EXPECT_TRUE(tree.Exists("target/pack/old.pack"));
    const ProgramResult real = RunProgram(options, scratch);
    EXPECT_EQ(real.exitCode, 0) << real.out;
    EXPECT_EQ(predicted.exitCode, real.exitCode);
    EXPECT_EQ(WithoutTimes(predicted.out), WithoutTimes(real.out));
    EXPECT_FALSE(tree.Exists("target/pack/old.pack"));
    EXPECT_EQ(tree.ReadFile("target/pack/new.pack"), "new");
}

} // namespace
} // namespace twinfol::cli
