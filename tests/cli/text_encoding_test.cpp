// JSON strings for any bytes, and names made safe for a terminal.
#include <gtest/gtest.h>

#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

TEST(TextEncoding, RecognisesOnlyWellFormedUtf8)
{
    EXPECT_EQ(Utf8SequenceLength("a"), 1u);
    EXPECT_EQ(Utf8SequenceLength("\xC3\xA9"), 2u);
    EXPECT_EQ(Utf8SequenceLength("\xE2\x82\xAC"), 3u);     // euro sign
    EXPECT_EQ(Utf8SequenceLength("\xF0\x9F\x98\x80"), 4u); // emoji
    EXPECT_EQ(Utf8SequenceLength("\xC3"), 0u);             // cut short
    EXPECT_EQ(Utf8SequenceLength("\xA9"), 0u);             // stray continuation byte
    EXPECT_EQ(Utf8SequenceLength("\xC0\xAF"), 0u);         // overlong "/"
    EXPECT_EQ(Utf8SequenceLength("\xE0\x80\xAF"), 0u);     // overlong "/"
    EXPECT_EQ(Utf8SequenceLength("\xED\xA0\x80"), 0u);     // a surrogate
    EXPECT_EQ(Utf8SequenceLength("\xF4\x90\x80\x80"), 0u); // above U+10FFFF
    EXPECT_EQ(Utf8SequenceLength("\xFF"), 0u);
}

TEST(TextEncoding, JsonKeepsUtf8AndEscapesEverythingElse)
{
    EXPECT_EQ(JsonQuoted("plain"), "\"plain\"");
    EXPECT_EQ(JsonQuoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonQuoted("line\nfeed\ttab\x01\x1F"), "\"line\\nfeed\\ttab\\u0001\\u001f\"");
    EXPECT_EQ(JsonQuoted("\xC3\xA9t\xC3\xA9"), "\"\xC3\xA9t\xC3\xA9\"");
    // Latin-1 "café": the stray byte becomes the character it stands for in Latin-1.
    EXPECT_EQ(JsonQuoted("caf\xE9"), "\"caf\\u00e9\"");
    EXPECT_EQ(JsonQuoted("\xC3"), "\"\\u00c3\"");
    EXPECT_EQ(JsonQuoted("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");
    EXPECT_EQ(JsonQuoted(std::string("nul\0byte", 8)), "\"nul\\u0000byte\"");
}

TEST(TextEncoding, JsonOutputIsAlwaysWellFormedUtf8)
{
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += static_cast<char>(byte);
    const std::string quoted = JsonQuoted(everyByte + everyByte);
    for (std::string_view rest = quoted; !rest.empty();) {
        const std::size_t length = Utf8SequenceLength(rest);
        ASSERT_GT(length, 0u) << "at offset " << quoted.size() - rest.size();
        ASSERT_FALSE(length == 1 && static_cast<unsigned char>(rest[0]) < 0x20);
        rest.remove_prefix(length);
    }
}

TEST(TextEncoding, TerminalTextHasNoControlCharactersOfAnyRange)
{
    EXPECT_EQ(ForTerminal("name\x1B[2Jx\r\n\x7F"), "name\\x1b[2Jx\\x0d\\x0a\\x7f");
    EXPECT_EQ(ForTerminal("\xC3\xA9 ok \xC2\xA0 \xE2\x82\xAC"), "\xC3\xA9 ok \xC2\xA0 \xE2\x82\xAC");
    // U+009B, the one-character CSI, as UTF-8 and as a lone byte; U+0080 and U+009F at the range's ends.
    EXPECT_EQ(ForTerminal("a\xC2\x9B"
                          "2Jb"),
              "a\\xc2\\x9b"
              "2Jb");
    EXPECT_EQ(ForTerminal("a\x9B"
                          "2Jb\x80\x9F"),
              "a\\x9b"
              "2Jb\\x80\\x9f");
    EXPECT_EQ(ForTerminal("\xC2\x80\xC2\x9F"), "\\xc2\\x80\\xc2\\x9f");
    // Latin-1 is no UTF-8: its bytes are shown, not passed on for the terminal to guess.
    EXPECT_EQ(ForTerminal("caf\xE9"), "caf\\xe9");

    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += static_cast<char>(byte);
    const std::string safe = ForTerminal(everyByte + "\xC2\x85" + everyByte);
    for (std::string_view rest = safe; !rest.empty();) {
        const std::size_t length = Utf8SequenceLength(rest);
        ASSERT_GT(length, 0u);
        const auto lead = static_cast<unsigned char>(rest[0]);
        ASSERT_FALSE(lead < 0x20 || lead == 0x7F);
        ASSERT_FALSE(lead == 0xC2 && static_cast<unsigned char>(rest[1]) < 0xA0);
        rest.remove_prefix(length);
    }
}

TEST(TextEncoding, JsonEscapesControlCharactersOfEveryRange)
{
    EXPECT_EQ(JsonQuoted("a\xC2\x9B"
                         "b\x7F"),
              "\"a\\u009bb\\u007f\"");
    EXPECT_EQ(JsonQuoted("\x9B"), "\"\\u009b\"");
    EXPECT_EQ(JsonQuoted("\xC2\xA0"), "\"\xC2\xA0\"");
}

} // namespace
} // namespace twinfol::cli
