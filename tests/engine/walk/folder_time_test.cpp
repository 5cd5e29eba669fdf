// A folder whose content a run changes takes its source folder's time, as an added folder does; a
// folder the run leaves as it was keeps its own.
#include <sys/stat.h>

#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

std::int64_t ModifiedSeconds(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mtim.tv_sec : -1;
}

using FolderTimeTest = SyncEngineTest;
INSTANTIATE_TEST_SUITE_P(, FolderTimeTest, bothWalks, JobsName);

TEST_P(FolderTimeTest, AFolderWhoseContentChangedTakesItsSourcesTime)
{
    tree.WriteFile(Source("added/a"), "a");
    tree.WriteFile(Source("over/b"), "new", baseTime + 1000);
    tree.WriteFile(Target("over/b"), "old", baseTime);
    tree.WriteFile(Target("pruned/gone"), "x");
    tree.MakeFolder(Source("pruned"));
    tree.WriteFile(Source("same/c"), "c", baseTime);
    tree.WriteFile(Target("same/c"), "c", baseTime);
    tree.WriteFile(Source("deeper/inner/d"), "d");
    tree.MakeFolder(Target("deeper/inner"));
    for (const char* folder : {"added", "over", "pruned", "same", "deeper/inner", "deeper", ""})
        tree.SetModified(Source(folder), baseTime - 86400);
    tree.SetModified(Target("same"), baseTime - 7);
    tree.SetModified(Target("deeper"), baseTime - 5);
    Run();
    for (const char* folder : {"added", "over", "pruned", "deeper/inner", ""})
        EXPECT_EQ(ModifiedSeconds(T(folder)), baseTime - 86400) << folder;
    // Nothing in these changed: they keep their own times.
    EXPECT_EQ(ModifiedSeconds(T("same")), baseTime - 7);
    EXPECT_EQ(ModifiedSeconds(T("deeper")), baseTime - 5);
}

} // namespace
} // namespace twinfol::test
