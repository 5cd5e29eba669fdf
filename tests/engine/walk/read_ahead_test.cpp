// The listings read ahead of the walk: while a worker is held up on the pair the walk reached, the
// walk reads the pairs after it itself instead of sleeping, and still gets the held pair whole.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/work_pool.h"
#include "engine/changes/trash_folder_filter.h"
#include "engine/records/exclusion_list.h"
#include "engine/walk/item_rules.h"
#include "engine/walk/read_ahead.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

using namespace std::chrono_literals;

bool Listed(const test::FaultInjectingFileSystem& fs, const std::string& folder)
{
    for (const test::FsCall& call : fs.Calls())
        if (call.operation == test::FsOperation::List && call.path == folder)
            return true;
    return false;
}

TEST(ReadAheadTest, TheWalkReadsLaterPairsItselfWhileAWorkerHoldsTheOneItReached)
{
    test::TempTree tree;
    for (const char* name : {"a", "b", "c"}) {
        tree.WriteFile(std::string("src/") + name + "/file", "same", 1'600'000'000);
        tree.WriteFile(std::string("dst/") + name + "/file", "same", 1'600'000'000);
    }
    tree.WriteFile("src/b/newer", "new", 1'700'000'000);
    tree.WriteFile("dst/b/newer", "old", 1'600'000'000);
    PosixFileSystem posix;
    test::FaultInjectingFileSystem fs(posix);
    const SyncOptions options;
    const ExclusionList exclusions;
    const ItemRules rules(options, exclusions);
    TrashFolderFilter trashFolders(fs);
    StopFlag stop{false};
    WorkPool pool(1);

    const std::string sourceRoot = tree.Path("src/");
    const std::string targetRoot = tree.Path("dst/");
    Level root{sourceRoot, targetRoot, {}, {}, {}, {}, {}, false};
    root.source.folders = root.target.folders = {"a", "b", "c"};
    // The one worker takes the first pair and is held in its listing.
    fs.Hold(test::FsOperation::List, tree.Path("src/a/"));
    ReadAhead ahead(PairReader{fs, trashFolders, rules, stop}, pool);
    TwinPairs twins = ahead.TwinsOf(root);
    ASSERT_TRUE(fs.WaitUntilHeld(5s));
    const std::shared_ptr<ListedPair> first = twins.Take("a");
    ASSERT_NE(first, nullptr);

    Level reached{first->sourceDir, first->targetDir, {}, {}, {}, {}, {}, false};
    FsStatus sourceListed;
    FsStatus targetListed;
    bool targetRead = false;
    std::atomic<bool> taken{false};
    std::thread walk([&] { taken = ahead.Take(*first, reached, sourceListed, targetListed, targetRead); });
    // The walk reads the two pairs after the held one while it waits.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!Listed(fs, tree.Path("dst/c/")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    const bool laterPairsRead = Listed(fs, tree.Path("dst/b/")) && Listed(fs, tree.Path("dst/c/"));
    fs.Release();
    walk.join();
    EXPECT_TRUE(laterPairsRead);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(sourceListed);
    EXPECT_TRUE(targetRead);
    EXPECT_EQ(reached.source.files, std::set<std::string>{"file"});

    // The pair read by the walk comes whole, its comparison made.
    const std::shared_ptr<ListedPair> second = twins.Take("b");
    ASSERT_NE(second, nullptr);
    Level next{second->sourceDir, second->targetDir, {}, {}, {}, {}, {}, false};
    ASSERT_TRUE(ahead.Take(*second, next, sourceListed, targetListed, targetRead));
    EXPECT_EQ(next.source.files, (std::set<std::string>{"file", "newer"}));
    ASSERT_TRUE(next.newerTwins.has_value());
    EXPECT_EQ(*next.newerTwins, std::set<std::string>{"newer"});
}

} // namespace
} // namespace twinfol
