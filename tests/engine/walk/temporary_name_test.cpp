// Which names the engine takes for a copy's leftover temporary file: only those a copy makes. A
// user's file that merely looks alike must be synchronised like any other.
#include <ctime>
#include <limits>

#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

TEST(TemporaryName, OnlyTheExactFormOfACopysNameCounts)
{
    EXPECT_TRUE(IsTemporaryName(".twinfol-0123456789abcdef.part"));
    EXPECT_FALSE(IsTemporaryName(".twinfol-notes.part"));
    EXPECT_FALSE(IsTemporaryName(".twinfol-0123456789ABCDEF.part"));  // a copy writes lower case
    EXPECT_FALSE(IsTemporaryName(".twinfol-0123456789abcde.part"));   // 15 digits
    EXPECT_FALSE(IsTemporaryName(".twinfol-0123456789abcdef0.part")); // 17 digits
    EXPECT_FALSE(IsTemporaryName(".twinfol-0123456789abcdeg.part"));
}

TEST(TemporaryName, MadeNamesHaveTheShapeAndDiffer)
{
    const std::string first = MakeTemporaryName();
    const std::string second = MakeTemporaryName();
    EXPECT_TRUE(IsTemporaryName(first)) << first;
    EXPECT_TRUE(IsTemporaryName(second)) << second;
    EXPECT_NE(first, second);
}

TEST(TemporaryName, ANameTellsTheSecondItWasMade)
{
    const std::int64_t before = std::time(nullptr);
    const std::int64_t made = TemporaryNameTime(MakeTemporaryName());
    EXPECT_GE(made, before);
    EXPECT_LE(made, std::time(nullptr));
    EXPECT_EQ(TemporaryNameTime(".twinfol-00000000000000aa.part"), 0);
    EXPECT_EQ(TemporaryNameTime(".twinfol-6a000000ffffffff.part"), 0x6a000000);
    // Anything else is never taken for old.
    EXPECT_EQ(TemporaryNameTime(".twinfol-notes.part"), std::numeric_limits<std::int64_t>::max());
}

using TemporaryNameEngineTest = SyncEngineTest;
INSTANTIATE_TEST_SUITE_P(, TemporaryNameEngineTest, bothWalks, JobsName);

TEST_P(TemporaryNameEngineTest, UserFileThatLooksLikeATemporaryFileIsSynchronised)
{
    tree.WriteFile(Source(".twinfol-notes.part"), "the user's notes");
    tree.WriteFile(Source(".twinfol-0123456789abcdef.part"), "a leftover of a killed copy");
    tree.WriteFile(Target(".twinfol-stale.part"), "target only");
    tree.WriteFile(Target(".twinfol-fedcba9876543210.part"), "a leftover in the target");
    Run();
    EXPECT_EQ(tree.ReadFile(Target(".twinfol-notes.part")), "the user's notes");
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T(".twinfol-notes.part")});
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T(".twinfol-stale.part")});
    // Names of the reserved shape are neither copied, counted nor deleted; the source's is told of.
    EXPECT_FALSE(tree.Exists(Target(".twinfol-0123456789abcdef.part")));
    EXPECT_TRUE(tree.Exists(Target(".twinfol-fedcba9876543210.part")));
    EXPECT_EQ(report.ProblemLines(),
              std::vector<std::string>{"Could not copy file: " + T(".twinfol-0123456789abcdef.part")});
}

} // namespace
} // namespace twinfol::test
