// The terminal pieces of the runner: answering delete questions and the progress line.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/progress_display.h"
#include "cli/progress_line.h"
#include "cli/terminal_asker.h"
#include "cli/terminal_host.h"

namespace twinfol::cli {
namespace {

ConfirmQuestion FileQuestion()
{
    ConfirmQuestion question;
    question.caption = "Delete File";
    question.lines[0] = "Delete file: /t/x";
    return question;
}

TEST(TerminalAsker, MapsTheFiveLetters)
{
    std::istringstream in("y\na\n n \no\nC\n");
    std::ostringstream out;
    TerminalAsker asker(in, out);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::Yes);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::YesToAll);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::No);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::NoToAll);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::Cancel);
    EXPECT_NE(out.str().find("Delete file: /t/x\n"), std::string::npos);
    EXPECT_NE(out.str().find("[a] Yes To All"), std::string::npos);
}

TEST(TerminalAsker, AsksAgainOnOtherInputAndCancelsAtEndOfInput)
{
    std::istringstream in("\nyes\nx\nn\n");
    std::ostringstream out;
    TerminalAsker asker(in, out);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::No);
    EXPECT_EQ(asker.Ask(FileQuestion()), ConfirmAnswer::Cancel);
    std::size_t retries = 0;
    for (std::size_t at = out.str().find("Please type"); at != std::string::npos;
         at = out.str().find("Please type", at + 1))
        ++retries;
    EXPECT_EQ(retries, 3u);
}

TEST(TerminalAsker, ShowsControlCharactersInNamesEscaped)
{
    std::istringstream in("n\n");
    std::ostringstream out;
    TerminalAsker asker(in, out);
    ConfirmQuestion question = FileQuestion();
    question.lines[0] = "Delete file: /t/\x1B]0;evil\x07 \xC2\x9B"
                        "2J \x9B"
                        "2J";
    asker.Ask(question);
    EXPECT_EQ(out.str().find('\x1B'), std::string::npos);
    EXPECT_EQ(out.str().find('\x9B'), std::string::npos);
    EXPECT_NE(out.str().find("/t/\\x1b]0;evil\\x07 \\xc2\\x9b2J \\x9b2J"), std::string::npos);
}

TEST(ProgressLine, ShortensTheMiddleToTheWidth)
{
    EXPECT_EQ(ShortenToWidth("short", 10), "short");
    EXPECT_EQ(ShortenToWidth("Checking file: /very/long/path/name.txt", 20), "Check...ath/name.txt");
    EXPECT_EQ(ShortenToWidth("abcdef", 2), "ab");
    // Characters, not bytes, are counted, and a UTF-8 sequence is never cut.
    const std::string shortened =
        ShortenToWidth("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 6);
    EXPECT_EQ(shortened, "\xC3\xA9...\xC3\xA9\xC3\xA9");
}

// A clock the test moves by hand.
struct FakeClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    ProgressClock Reader()
    {
        return [this] { return now; };
    }
};

TEST(ProgressLine, TheNewestStateIsDrawnWithinOneIntervalOfItsArrival)
{
    using namespace std::chrono_literals;
    FakeClock clock;
    std::ostringstream out;
    std::string state = "Checking file: /t/a";
    ProgressLine line(
        out, 80, LineStyle::Redraw, [&](std::size_t) { return state; }, clock.Reader());
    line.Changed();
    EXPECT_EQ(out.str(), "\r\x1b[KChecking file: /t/a");
    EXPECT_FALSE(line.DrawDue());

    // Too soon after the last drawing: held back, not dropped.
    const auto arrival = clock.now + 10ms;
    clock.now = arrival;
    state = "Overwriting file: /t/a";
    line.Changed();
    clock.now += 15ms;
    state = "Adding folder: /t/dir";
    line.Changed();
    EXPECT_EQ(out.str(), "\r\x1b[KChecking file: /t/a");
    const std::optional<ProgressLine::TimePoint> due = line.DrawDue();
    ASSERT_TRUE(due);
    EXPECT_LE(*due - arrival, ProgressLine::redrawInterval);

    // Nothing else comes (a long copy, say): the held change is drawn when it is due.
    clock.now = *due;
    EXPECT_FALSE(line.DrawDue());
    EXPECT_EQ(out.str(), "\r\x1b[KChecking file: /t/a\r\x1b[KAdding folder: /t/dir");
    EXPECT_FALSE(line.DrawDue());

    // After a quiet interval a change is drawn at once.
    clock.now += 1s;
    state = "Deleting file: /t/x";
    line.Changed();
    EXPECT_TRUE(out.str().ends_with("\r\x1b[KDeleting file: /t/x"));
    line.PrintLine("Adding file: /t/\x1b[2J");
    EXPECT_TRUE(out.str().ends_with("\r\x1b[KAdding file: /t/\\x1b[2J\n\r\x1b[KDeleting file: /t/x"));
    line.Clear();
    EXPECT_TRUE(out.str().ends_with("\r\x1b[K"));
}

TEST(ProgressLine, ADumbTerminalGetsPlainLinesAtMostOnceASecond)
{
    using namespace std::chrono_literals;
    FakeClock clock;
    std::ostringstream out;
    std::string state = "one";
    ProgressLine line(
        out, 80, LineStyle::PlainLines, [&](std::size_t) { return state; }, clock.Reader());
    line.Changed();
    clock.now += 500ms;
    state = "two";
    line.Changed();
    clock.now += 600ms;
    EXPECT_FALSE(line.DrawDue());
    line.Changed(); // the same text again: no line of its own
    clock.now += 2s;
    line.Changed();
    line.Clear();
    EXPECT_EQ(out.str(), "one\ntwo\n");
}

TEST(TerminalHost, ListsActionsClearsTheLineBeforeAQuestionAndPassesCounters)
{
    std::istringstream in("y\n");
    std::ostringstream err;
    std::ostringstream questions;
    std::ostringstream actions;
    {
        ProgressDisplay display(err, 80, LineStyle::PlainLines);
        TerminalAsker asker(in, questions);
        TerminalHost host(&display, &actions, asker);
        host.SetProgressText("Checking file: /t/x");
        EXPECT_EQ(host.Ask(FileQuestion()), ConfirmAnswer::Yes);
        host.SetProgressText("Deleting file: /t/x");
    }
    EXPECT_EQ(err.str(), "Checking file: /t/x\nDeleting file: /t/x\n");
    EXPECT_NE(questions.str().find("Delete file: /t/x"), std::string::npos);

    // Without a progress line the actions go to their own stream, checks left out.
    TerminalAsker asker(in, questions);
    TerminalHost quietHost(nullptr, &actions, asker);
    quietHost.SetProgressText("Checking folder: /t/d");
    quietHost.SetProgressText("Adding folder: /t/d\x9b");
    EXPECT_EQ(actions.str(), "Adding folder: /t/d\\x9b\n");
}

} // namespace
} // namespace twinfol::cli
