// Size limits typed and shown.
#include "base/size_text.h"

#include <gtest/gtest.h>

namespace twinfol {
namespace {

TEST(SizeText, ReadsNumbersWithBinarySuffixes)
{
    EXPECT_EQ(ParseSizeText("2048"), 2048);
    EXPECT_EQ(ParseSizeText("512K"), 512 * 1024);
    EXPECT_EQ(ParseSizeText("100M"), 100LL * 1024 * 1024);
    EXPECT_EQ(ParseSizeText("100m"), 100LL * 1024 * 1024);
    EXPECT_EQ(ParseSizeText("1.5G"), 1536LL * 1024 * 1024);
    EXPECT_EQ(ParseSizeText("3MiB"), 3LL * 1024 * 1024);
    EXPECT_EQ(ParseSizeText("7B"), 7);
    EXPECT_EQ(ParseSizeText(" 1k "), 1024);
}

TEST(SizeText, RefusesWhatIsNoSize)
{
    for (const char* text : {"", "M", "-1M", "1X", "1MX", "1.2.3", "abc", "1 M B", "99999999999T"})
        EXPECT_FALSE(ParseSizeText(text).has_value()) << text;
}

TEST(SizeText, NamesALimitInTheLargestWholeUnit)
{
    EXPECT_EQ(SizeLimitText(100LL * 1024 * 1024), "100 MiB");
    EXPECT_EQ(SizeLimitText(1536 * 1024), "1536 KiB");
    EXPECT_EQ(SizeLimitText(1000), "1000 B");
    EXPECT_EQ(SizeLimitText(0), "0 B");
    EXPECT_EQ(SizeLimitText(ParseSizeText("1.5G").value()), "1536 MiB");
}

// A window shows a limit by its name and reads the field back when the person leaves it unchanged.
TEST(SizeText, ReadsBackEveryNameItGives)
{
    for (const std::int64_t bytes :
         {std::int64_t{0}, std::int64_t{7}, std::int64_t{1536 * 1024}, std::int64_t{100} << 20,
          std::int64_t{3} << 40, (std::int64_t{5} << 50) + 1})
        EXPECT_EQ(ParseSizeText(SizeLimitText(bytes)), bytes) << SizeLimitText(bytes);
    EXPECT_EQ(ParseSizeText("2 G"), std::int64_t{2} << 30);
}

} // namespace
} // namespace twinfol
