// The terminal pieces of the runner: answering delete questions and the progress line.
#include <gtest/gtest.h>

#include <sstream>

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
    question.lines[0] = "Delete file: /t/\x1B]0;evil\x07";
    asker.Ask(question);
    EXPECT_EQ(out.str().find('\x1B'), std::string::npos);
    EXPECT_NE(out.str().find("/t/\\x1b]0;evil\\x07"), std::string::npos);
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

TEST(ProgressLine, RedrawsInPlaceAndClears)
{
    std::ostringstream out;
    ProgressLine line(out, 11, std::chrono::milliseconds(0));
    line.Show("Adding file: /t/a");
    line.Show("x");
    line.Clear();
    EXPECT_EQ(out.str(), "\r\x1b[KAd... /t/a\r\x1b[Kx\r\x1b[K");
}

TEST(TerminalHost, ClearsTheProgressLineBeforeAQuestion)
{
    std::istringstream in("y\n");
    std::ostringstream out;
    ProgressLine line(out, 80, std::chrono::milliseconds(0));
    TerminalAsker asker(in, out);
    TerminalHost host(&line, asker);
    host.SetProgressText("Deleting file: /t/x");
    EXPECT_EQ(host.Ask(FileQuestion()), ConfirmAnswer::Yes);
    EXPECT_EQ(out.str().substr(0, out.str().find("Delete file")), "\r\x1b[KDeleting file: /t/x\r\x1b[K");
}

} // namespace
} // namespace twinfol::cli
