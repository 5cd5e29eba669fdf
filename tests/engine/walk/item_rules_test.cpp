// The rules every walk decides an item by: what a comparison of two stamps finds, and what an item on
// one side or both becomes under the job's options and exclusions.
#include <gtest/gtest.h>

#include "engine/walk/item_rules.h"

namespace twinfol {
namespace {

FileStamp At(std::time_t seconds)
{
    return FileStamp::FromUnixTime(seconds);
}

constexpr std::time_t base = 1699956000;
constexpr std::time_t last32BitSecond = 2147483647;

TEST(ItemRules, AComparisonSaysWhyASourceIsOrIsNotNewer)
{
    struct Case {
        std::time_t source;
        std::time_t target;
        bool ignoreHourShift;
        TwinComparison expected;
    };
    const Case cases[] = {
        {base, base, false, TwinComparison::NotNewer},
        {base - 500, base, false, TwinComparison::NotNewer},
        {base + 120, base, false, TwinComparison::WithinTolerance},
        {base + 121, base, false, TwinComparison::SourceNewer},
        {base + 3600, base, false, TwinComparison::SourceNewer},
        {base + 3602, base, true, TwinComparison::HourShift},
        {base + 3603, base, true, TwinComparison::SourceNewer},
        // A target an hour newer is simply not older: the shift names no reason there.
        {base, base + 3600, true, TwinComparison::NotNewer},
        {last32BitSecond + 86400, last32BitSecond, false, TwinComparison::TargetAtLimit},
    };
    for (const Case& test : cases)
        EXPECT_EQ(CompareTwin(At(test.source), At(test.target), test.ignoreHourShift), test.expected)
            << test.source - test.target << (test.ignoreHourShift ? " with" : " without")
            << " the hour shift";
    EXPECT_EQ(CompareTwin(std::nullopt, At(base), false), TwinComparison::Unreadable);
    EXPECT_EQ(CompareTwin(At(base + 500), std::nullopt, false), TwinComparison::Unreadable);
}

class ItemRulesTest : public ::testing::Test {
protected:
    ItemAction Decide(ItemAction (ItemRules::*rule)(const ItemPlace&) const, const std::string& name) const
    {
        return (ItemRules(options, exclusions).*rule)({sourceDir, targetDir, name});
    }
    ItemAction Twin(const std::string& name, TwinComparison comparison) const
    {
        return ItemRules(options, exclusions).ForTwinFile({sourceDir, targetDir, name}, comparison);
    }

    const std::string sourceDir = "/s/";
    const std::string targetDir = "/t/";
    SyncOptions options{.confirmDeletes = false};
    ExclusionList exclusions{{"/s/srcfile", "/t/tgtfile", "/s/srcdir/", "/t/tgtdir/", "/t/Listed"}};
};

TEST_F(ItemRulesTest, AnExclusionOnEitherSideKeepsEveryActionFromTheItem)
{
    EXPECT_EQ(Twin("srcfile", TwinComparison::SourceNewer), ItemAction::Exclude);
    EXPECT_EQ(Twin("tgtfile", TwinComparison::SourceNewer), ItemAction::Exclude);
    EXPECT_EQ(Twin("other", TwinComparison::SourceNewer), ItemAction::Overwrite);
    // A twin left alone needs no exclusion to stay as it is.
    EXPECT_EQ(Twin("tgtfile", TwinComparison::WithinTolerance), ItemAction::LeaveAlone);
    EXPECT_EQ(Decide(&ItemRules::ForSourceOnlyFile, "srcfile"), ItemAction::Exclude);
    EXPECT_EQ(Decide(&ItemRules::ForSourceOnlyFile, "tgtfile"), ItemAction::AddFile);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFile, "tgtfile"), ItemAction::Exclude);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFile, "srcfile"), ItemAction::DeleteFile);
    // A folder is excluded by its path with the separator, never by a file's of the same name.
    EXPECT_EQ(Decide(&ItemRules::ForTwinFolder, "srcdir"), ItemAction::Exclude);
    EXPECT_EQ(Decide(&ItemRules::ForTwinFolder, "tgtdir"), ItemAction::Exclude);
    EXPECT_EQ(Decide(&ItemRules::ForTwinFolder, "srcfile"), ItemAction::Descend);
    EXPECT_EQ(Decide(&ItemRules::ForSourceOnlyFolder, "srcdir"), ItemAction::Exclude);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFolder, "tgtdir"), ItemAction::Exclude);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFolder, "tgtfile"), ItemAction::DeleteFolder);
    // The target's own spelling of an entry is what an exclusion names there.
    const ItemRules rules(options, exclusions);
    const std::string listed = "Listed";
    EXPECT_EQ(rules.ForOtherSpelling({sourceDir, targetDir, "listed", listed}), ItemAction::Exclude);
    EXPECT_EQ(rules.ForOtherSpelling({sourceDir, targetDir, "srcfile", std::string("SRCFILE")}),
              ItemAction::Respell);
    EXPECT_FALSE(rules.SweepsLeftover("/t/tgtfile", false));
    EXPECT_TRUE(rules.SweepsLeftover("/t/.twinfol-0123456789abcdef.part", false));
    // A source entry of the same name explains the target's file: it is no leftover.
    EXPECT_FALSE(rules.SweepsLeftover("/t/.twinfol-0123456789abcdef.part", true));
}

TEST_F(ItemRulesTest, TheOptionsSwitchAddsDeletesAndSubFoldersOff)
{
    options.addMissing = false;
    EXPECT_EQ(Decide(&ItemRules::ForSourceOnlyFile, "new"), ItemAction::None);
    EXPECT_EQ(Decide(&ItemRules::ForSourceOnlyFolder, "new"), ItemAction::None);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFile, "old"), ItemAction::DeleteFile);
    options.deleteMissing = false;
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFile, "old"), ItemAction::None);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFolder, "old"), ItemAction::None);
    // Exclusions are asked only about what the options would do.
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFile, "tgtfile"), ItemAction::None);
    options = {.confirmDeletes = false, .checkSubFolders = false};
    EXPECT_EQ(Decide(&ItemRules::ForTwinFolder, "both"), ItemAction::None);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFolder, "old"), ItemAction::None);
    EXPECT_EQ(Decide(&ItemRules::ForTargetOnlyFile, "old"), ItemAction::DeleteFile);
    EXPECT_FALSE(ItemRules(options, exclusions).WalksSubFolders());
}

TEST(DeleteAllowance, AnEmptySourceRootOrTheLimitRefusesEveryLaterDelete)
{
    SyncOptions options{.maxDeletes = 2};
    DeleteAllowance deletes;
    deletes.BeginRun(options);
    deletes.SeeFirstLevel(true);
    // Only a job that asks for the check refuses for an empty source.
    EXPECT_EQ(deletes.Refusal(options), "");
    deletes.Begin();
    deletes.Begin();
    EXPECT_EQ(deletes.Refusal(options), "the run has reached its limit of 2 deletes");

    options.emptySource = EmptySource::Refuse;
    deletes.BeginRun(options);
    EXPECT_EQ(deletes.Refusal(options), "");
    deletes.SeeFirstLevel(true);
    // Sub-folders that are empty change nothing: only the first level counts.
    deletes.SeeFirstLevel(false);
    EXPECT_EQ(deletes.Refusal(options), emptySourceReason);
}

} // namespace
} // namespace twinfol
