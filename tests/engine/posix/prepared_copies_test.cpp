// Copies filled ahead of their names: once named they are the copies CopyFile makes without them, and
// whatever is not named leaves nothing behind. Each case runs inside a run's scope, where the layer
// prepares copies at all.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <thread>

#include "engine/posix/posix_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

class PreparedCopiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a", "b", "c"}) {
            tree_.WriteFile(std::string("src/") + name, std::string("new ") + name, 1'700'000'000);
            tree_.WriteFile(std::string("dst/") + name, "old", 1'600'000'000);
        }
        tree_.WriteFile("src/added", "added content", 1'700'000'100);
        scope_ = fs_.BeginRun(tree_.Path("src/"), tree_.Path("dst/"), ReadOnlyTargets::Keep);
    }

    CopyPair Pair(const std::string& name) const
    {
        return {tree_.Path("src/" + name), tree_.Path("dst/" + name)};
    }
    FsStatus Copy(const std::string& name)
    {
        return fs_.CopyFile(tree_.Path("src/" + name), tree_.Path("dst/" + name));
    }
    std::set<std::string> TargetNames() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(tree_.Path("dst")))
            names.insert(entry.path().filename().string());
        return names;
    }

    TempTree tree_;
    PosixFileSystem fs_;
    std::unique_ptr<RunScope> scope_;
};

TEST_F(PreparedCopiesTest, NamedCopiesAreTheCopiesMadeWithoutThemAndTheRestLeaveNoTrace)
{
    ::chmod(tree_.Path("src/b").c_str(), 0640);
    {
        const std::unique_ptr<PreparedCopies> prepared =
            fs_.PrepareCopies({Pair("a"), Pair("b"), Pair("c"), Pair("added")});
        ASSERT_NE(prepared, nullptr);
        // Prepared, not named yet: the target still shows the old files only.
        EXPECT_EQ(tree_.ReadFile("dst/a"), "old");
        EXPECT_FALSE(tree_.Exists("dst/added"));
        ASSERT_TRUE(Copy("a"));
        ASSERT_TRUE(Copy("b"));
        ASSERT_TRUE(Copy("added"));
        EXPECT_EQ(prepared->Used(), 3u);
        // "c" is left prepared and never named.
    }
    EXPECT_EQ(tree_.ReadFile("dst/a"), "new a");
    EXPECT_EQ(tree_.ReadFile("dst/b"), "new b");
    EXPECT_EQ(tree_.ReadFile("dst/added"), "added content");
    EXPECT_EQ(tree_.Modified("dst/a"), 1'700'000'000);
    EXPECT_EQ(tree_.Modified("dst/added"), 1'700'000'100);
    struct stat info {};
    ASSERT_EQ(::stat(tree_.Path("dst/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(tree_.ReadFile("dst/c"), "old");
    EXPECT_EQ(TargetNames(), (std::set<std::string>{"a", "added", "b", "c"}));
}

TEST_F(PreparedCopiesTest, WhatStandsAtTheTargetWhenNamedDecidesAsWithoutThem)
{
    const std::unique_ptr<PreparedCopies> prepared = fs_.PrepareCopies({Pair("a"), Pair("b"), Pair("added")});
    ASSERT_NE(prepared, nullptr);
    // Made read-only meanwhile: kept, as the run's rule says.
    ::chmod(tree_.Path("dst/a").c_str(), 0444);
    const FsStatus readOnly = Copy("a");
    EXPECT_FALSE(readOnly);
    EXPECT_TRUE(readOnly.IsRefusal());
    EXPECT_EQ(tree_.ReadFile("dst/a"), "old");
    // An add whose name was taken meanwhile replaces it as a copy without preparation would.
    tree_.WriteFile("dst/added", "someone else's", 1'600'000'000);
    ASSERT_TRUE(Copy("added"));
    EXPECT_EQ(tree_.ReadFile("dst/added"), "added content");
    // A source changed after it was read: the copy named is the one read, with that read's time, so the
    // next run sees the source newer and copies it again.
    tree_.WriteFile("src/b", "changed later", 1'800'000'000);
    ASSERT_TRUE(Copy("b"));
    EXPECT_EQ(tree_.ReadFile("dst/b"), "new b");
    EXPECT_EQ(tree_.Modified("dst/b"), 1'700'000'000);
}

TEST_F(PreparedCopiesTest, OnlyTheThreadThatAskedUsesThem)
{
    const std::unique_ptr<PreparedCopies> prepared = fs_.PrepareCopies({Pair("a"), Pair("b")});
    ASSERT_NE(prepared, nullptr);
    tree_.WriteFile("src/a", "written after", 1'750'000'000);
    FsStatus copied;
    std::thread other([&] { copied = Copy("a"); });
    other.join();
    ASSERT_TRUE(copied);
    // The other thread made its copy from the source as it is now.
    EXPECT_EQ(tree_.ReadFile("dst/a"), "written after");
    EXPECT_EQ(prepared->Used(), 0u);
}

TEST(PreparedCopiesOutsideARun, NothingIsPrepared)
{
    TempTree tree;
    tree.WriteFile("src/a", "a");
    tree.WriteFile("src/b", "b");
    PosixFileSystem fs;
    EXPECT_EQ(fs.PrepareCopies(
                  {{tree.Path("src/a"), tree.Path("dst/a")}, {tree.Path("src/b"), tree.Path("dst/b")}}),
              nullptr);
}

} // namespace
} // namespace twinfol::test
