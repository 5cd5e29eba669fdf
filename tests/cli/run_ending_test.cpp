// The words of the notification at the end of a run, and which endings of the runner are told: one
// notification for each invocation that asks for it, whether the run went through or was refused.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cli/run_ending.h"
#include "engine/posix/posix_target_lock.h"
#include "sync_command_fixture.h"

namespace twinfol::cli {
namespace {

SyncReport FinishedReport()
{
    SyncReport report;
    report.source = "/home/ann/photos/";
    report.target = "/media/stick/photos/";
    report.filesCopied = 3;
    report.bytesCopied = 3 * 1024 * 1024;
    return report;
}

TEST(RunEndingText, TellsADoneRunWithWhatItCopied)
{
    const NoticeText text = NoticeTextOf(EndingOfReport(FinishedReport(), false));
    EXPECT_EQ(text.summary, "Synchronisation done");
    EXPECT_EQ(text.body, "/home/ann/photos/ ==>> /media/stick/photos/\nFiles copied: 3 (3.0 MiB)");
}

TEST(RunEndingText, CountsProblemsAndShowsTheFirstWithItsReason)
{
    SyncReport report = FinishedReport();
    report.problemLog.push_back({ProblemKind::CopyFile, "a", "Could not copy file: a", "Permission denied"});
    NoticeText text = NoticeTextOf(EndingOfReport(report, false));
    EXPECT_EQ(text.summary, "Synchronisation done with 1 problem");
    EXPECT_NE(text.body.find("\nCould not copy file: a (Permission denied)"), std::string::npos) << text.body;

    report.problemLog.push_back({ProblemKind::DeleteFile, "b", "Could not delete file: b", ""});
    report.problemLog.push_back({ProblemKind::DeleteFile, "c", "Could not delete file: c", ""});
    text = NoticeTextOf(EndingOfReport(report, false));
    EXPECT_EQ(text.summary, "Synchronisation done with 3 problems");
    EXPECT_NE(text.body.find("Could not copy file: a (Permission denied) and 2 more in the problem log"),
              std::string::npos)
        << text.body;
}

TEST(RunEndingText, TellsARefusalWithItsReasonAndAnInterruptedUndo)
{
    RunEnding refused;
    refused.outcome = RunOutcome::Refused;
    refused.profilePath = "/home/ann/photos.twp";
    refused.subject = "the profile /home/ann/photos.twp";
    refused.refusal = "cannot read the profile";
    NoticeText text = NoticeTextOf(refused);
    EXPECT_EQ(text.summary, "Synchronisation refused");
    // The subject that only names the profile again is left out.
    EXPECT_EQ(text.body, "Profile: /home/ann/photos.twp\nRefused: cannot read the profile");

    SyncReport undo = FinishedReport();
    undo.kind = ReportKind::Undo;
    undo.interrupted = true;
    text = NoticeTextOf(EndingOfReport(undo, true));
    EXPECT_EQ(text.summary, "Undo interrupted");
    EXPECT_EQ(text.body, "/home/ann/photos/ ==>> /media/stick/photos/\nDry run: nothing was changed");
}

// The bus takes only well-formed UTF-8, and a markup server would read "<" as a tag.
TEST(RunEndingText, NamesThatAreNoTextOrMarkupStaySafe)
{
    SyncReport report = FinishedReport();
    report.source = std::string("/tmp/a\xff<b>&/");
    const NoticeText text = NoticeTextOf(EndingOfReport(report, false));
    EXPECT_NE(text.body.find("/tmp/a\\xff<b>&/ ==>>"), std::string::npos) << text.body;
    EXPECT_TRUE(EscapedForMarkup(text.body).starts_with("/tmp/a\\xff&lt;b&gt;&amp;/ ==&gt;&gt; "))
        << text.body;
}

class RecordedNotices : public RunNotices {
public:
    void RunEnded(const RunEnding& ending) override { endings.push_back(ending); }
    std::vector<RunEnding> endings;
};

class RunEndingCommand : public SyncCommandTest {
protected:
    ExitCode RunTold(std::vector<std::string> arguments)
    {
        notices.endings.clear();
        out.str("");
        err.str("");
        CommandEnvironment environment{
            out, err,         in,     ttyOut,   Terminal::No, ErrorStream::NotATerminal,
            40,  tree.Root(), faults, runState, &places,      &notices,
            {}};
        return RunSyncCommand(arguments, environment);
    }

    RecordedNotices notices;
};

TEST_F(RunEndingCommand, EachEndingIsToldOnceOnlyWhenAsked)
{
    tree.WriteFile("source/a", "a");
    EXPECT_EQ(RunTold({source, target}), ExitCode::Finished);
    EXPECT_TRUE(notices.endings.empty());

    // The action opens the report the run kept for the history.
    tree.WriteFile("source/b", "b");
    EXPECT_EQ(RunTold({"--notify", "--log-file", tree.Path("run.log"), source, target}), ExitCode::Finished);
    ASSERT_EQ(notices.endings.size(), 1u);
    EXPECT_EQ(notices.endings[0].outcome, RunOutcome::Done);
    EXPECT_EQ(notices.endings[0].wait, NoticeWait::No);
    EXPECT_TRUE(notices.endings[0].reportFile.ends_with(".report.json")) << notices.endings[0].reportFile;
    EXPECT_TRUE(tree.Exists(notices.endings[0].reportFile.substr(tree.Root().size())));

    EXPECT_EQ(RunTold({"--notify-wait", source, tree.Path("missing")}), ExitCode::Refused);
    ASSERT_EQ(notices.endings.size(), 1u);
    EXPECT_EQ(notices.endings[0].outcome, RunOutcome::Refused);
    EXPECT_EQ(notices.endings[0].wait, NoticeWait::Yes);
    // A refused run keeps a record of its refusal too.
    EXPECT_TRUE(notices.endings[0].reportFile.ends_with(".report.json")) << notices.endings[0].reportFile;
    EXPECT_NE(err.str().find(notices.endings[0].refusal), std::string::npos) << err.str();
}

TEST_F(RunEndingCommand, RefusalsBeforeTheWalkAreToldWithTheirReasons)
{
    tree.WriteFile("target/1", "");
    tree.WriteFile("target/2", "");
    EXPECT_EQ(RunTold({"--notify", "--delete", "--allow-empty-source", "--max-delete", "1", source, target}),
              ExitCode::Refused);
    ASSERT_EQ(notices.endings.size(), 1u);
    EXPECT_EQ(notices.endings[0].refusal,
              "the run would delete 2 items, more than --max-delete 1 allows (a folder counts as one item)");

    const PosixTargetLock running(target);
    EXPECT_EQ(RunTold({"--notify", source, target}), ExitCode::Refused);
    ASSERT_EQ(notices.endings.size(), 1u);
    EXPECT_EQ(notices.endings[0].refusal.rfind(targetBusyReason, 0), 0u) << notices.endings[0].refusal;

    EXPECT_EQ(RunTold({"--notify", tree.Path("none.twp")}), ExitCode::Refused);
    ASSERT_EQ(notices.endings.size(), 1u);
    EXPECT_EQ(notices.endings[0].profilePath, tree.Path("none.twp"));
}

} // namespace
} // namespace twinfol::cli
