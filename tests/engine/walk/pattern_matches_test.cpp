// What each ignore pattern is counted as matching in two real folders: the deciding pattern of each
// item, an item both folders hold counted once, nothing below an ignored folder, and the bounds.
#include <gtest/gtest.h>

#include "engine/posix/posix_file_system.h"
#include "engine/walk/pattern_matches.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

std::vector<IgnorePattern> Patterns(std::initializer_list<const char*> texts)
{
    std::vector<IgnorePattern> patterns;
    for (const char* text : texts)
        patterns.push_back({text, "job.twp"});
    return patterns;
}

class PatternMatchesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.WriteFile("one/a.tmp", "1");
        tree.WriteFile("one/b.tmp", "2");
        tree.WriteFile("one/src/c.tmp", "3");
        tree.WriteFile("one/src/keep.tmp", "4");
        tree.WriteFile("one/node_modules/x.tmp", "5");
        tree.WriteFile("one/node_modules/pkg/y.js", "6");
        tree.MakeFolder("one/build");
        tree.WriteFile("one/build.log", "7");
        tree.WriteFile("two/a.tmp", "1");
        tree.WriteFile("two/d.tmp", "8");
        tree.MakeFolder("two/node_modules/pkg");
        // A file on this side where the other holds a folder of the name.
        tree.WriteFile("two/build", "9");
    }

    PatternMatchCounts Count(const std::vector<IgnorePattern>& patterns,
                             std::uint64_t limit = patternCountEntryLimit)
    {
        return CountPatternMatches(faults, {tree.Path("one/"), tree.Path("two/")}, patterns, limit);
    }

    TempTree tree;
    PosixFileSystem posix;
    FaultInjectingFileSystem faults{posix};
};

TEST_F(PatternMatchesTest, GivesEachItemToTheLastPatternThatMatchesItAndCountsTwinsOnce)
{
    const PatternMatchCounts counted =
        Count(Patterns({"*.tmp", "node_modules/", "*.tmp", "b.tmp", "build/", "!src/keep.tmp", "nothing"}));
    // a.tmp (in both folders, once), src/c.tmp and d.tmp go to the second "*.tmp": the last match wins,
    // also over a pattern that reads the same. b.tmp is the later "b.tmp"'s; the re-included
    // src/keep.tmp is nobody's, node_modules/x.tmp lies below an ignored folder.
    EXPECT_EQ(counted.counts, (std::vector<std::uint64_t>{0, 1, 3, 1, 1, 0, 0}));
    EXPECT_FALSE(counted.stoppedEarly);
    for (const FsCall& call : faults.Calls())
        EXPECT_EQ(call.path.find("node_modules"), std::string::npos) << "listed " << call.path;
    // Everything but what lies below node_modules/: 12 entries, a.tmp, build and node_modules on both sides.
    EXPECT_EQ(counted.entriesSeen, 12u);
}

TEST_F(PatternMatchesTest, AnItemIgnoredOnEitherSideIsNotGoneInto)
{
    // "build/" matches only the folder, on the first side; the second side's file of the name is
    // still one item, and an anchored path pattern reaches into folders nothing ignores.
    const PatternMatchCounts counted = Count(Patterns({"build/", "/src/*.tmp", "pkg"}));
    EXPECT_EQ(counted.counts, (std::vector<std::uint64_t>{1, 2, 1}));
    // node_modules/pkg is a folder on both sides and counted once; nothing in one's pkg is looked at.
    for (const FsCall& call : faults.Calls())
        EXPECT_EQ(call.path.find("pkg/"), std::string::npos) << "listed " << call.path;
}

TEST_F(PatternMatchesTest, StopsAtTheEntryLimitOrWhenAskedAndSkipsAMissingFolder)
{
    const auto patterns = Patterns({"*.tmp"});
    const PatternMatchCounts all = Count(patterns);
    ASSERT_FALSE(all.stoppedEarly);
    const PatternMatchCounts exact = Count(patterns, all.entriesSeen);
    EXPECT_FALSE(exact.stoppedEarly);
    EXPECT_EQ(exact.counts, all.counts);

    const PatternMatchCounts cut = Count(patterns, 3);
    EXPECT_TRUE(cut.stoppedEarly);
    EXPECT_LE(cut.entriesSeen, 3u);
    EXPECT_LE(cut.counts[0], all.counts[0]);

    std::stop_source stop;
    stop.request_stop();
    const PatternMatchCounts stopped =
        CountPatternMatches(faults, {tree.Path("one/"), tree.Path("two/")}, patterns, 100, stop.get_token());
    EXPECT_TRUE(stopped.stoppedEarly);
    EXPECT_EQ(stopped.counts, std::vector<std::uint64_t>{0});

    // An empty location and one that does not exist count nothing; the other is counted alone.
    const PatternMatchCounts oneSide =
        CountPatternMatches(faults, {std::string(), tree.Path("missing/"), tree.Path("two/")}, patterns);
    EXPECT_EQ(oneSide.counts, std::vector<std::uint64_t>{2});
    EXPECT_FALSE(oneSide.stoppedEarly);

    // Without a pattern nothing is listed at all.
    const int listed = faults.CallCount(FsOperation::List);
    EXPECT_TRUE(Count({}).counts.empty());
    EXPECT_EQ(faults.CallCount(FsOperation::List), listed);
}

} // namespace
} // namespace twinfol::test
