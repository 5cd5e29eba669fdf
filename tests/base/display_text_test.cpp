// Names shown to the person: every byte visible, two different names never shown alike.
#include <gtest/gtest.h>

#include "base/display_text.h"

namespace twinfol {
namespace {

TEST(DisplayText, KeepsUtf8AndEscapesControlAndUndecodableBytes)
{
    EXPECT_EQ(ForDisplay("/srv/caf\xC3\xA9/\xE2\x82\xAC.txt"), "/srv/caf\xC3\xA9/\xE2\x82\xAC.txt");
    EXPECT_EQ(ForDisplay("caf\xE9.txt"), "caf\\xe9.txt");
    EXPECT_EQ(ForDisplay("caf\xE8.txt"), "caf\\xe8.txt");
    EXPECT_EQ(ForDisplay("line\nbreak\x1B[2J\x7F"), "line\\x0abreak\\x1b[2J\\x7f");
    // A sequence cut short, an overlong "/" and a surrogate: each byte on its own.
    EXPECT_EQ(ForDisplay("\xC3"), "\\xc3");
    EXPECT_EQ(ForDisplay("a\xC0\xAF"), "a\\xc0\\xaf");
    EXPECT_EQ(ForDisplay("\xED\xA0\x80"), "\\xed\\xa0\\x80");
    EXPECT_EQ(ForDisplay(std::string("nul\0byte", 8)), "nul\\x00byte");
}

} // namespace
} // namespace twinfol
