// The read-only rule as every layer that keeps a run's scope answers it, the trial-run layer included:
// a target file without write bits is refused unless its source is read-only too or the run replaces
// read-only files, for a copy, a delete, a move to the Trash (a folder tree too) and the Trash's second
// name for an old content.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <type_traits>

#include "engine/records/refusal_reasons.h"
#include "support/file_system_contract_fixture.h"

namespace twinfol::test {
namespace {

template <typename Layer> class ReadOnlyRuleContract : public FileSystemFixture<Layer> {
protected:
    ReadOnlyRuleContract()
    {
        this->tree.WriteFile("src/writable", "new");
        this->tree.WriteFile("src/read-only", "new");
        this->tree.SetMode("src/read-only", 0444);
        for (const char* name : {"dst/a", "dst/b", "dst/c", "dst/tree/deep/d"}) {
            this->tree.WriteFile(name, "old");
            this->tree.SetMode(name, 0444);
        }
        this->tree.MakeFolder("trash");
    }

    std::unique_ptr<RunScope> Begin(ReadOnlyTargets readOnly)
    {
        return this->Fs().BeginRun(this->tree.Path("src/"), this->tree.Path("dst/"), readOnly);
    }
    std::string P(const std::string& relative) const { return this->tree.Path(relative); }
};
using RunScopedLayers = ::testing::Types<PosixLayer, NamedTemporaryLayer, FaultInjectingLayer, DryRunLayer>;
TYPED_TEST_SUITE(ReadOnlyRuleContract, RunScopedLayers, LayerNames);

TYPED_TEST(ReadOnlyRuleContract, KeptReadOnlyFilesGiveWayOnlyToAReadOnlySource)
{
    const auto scope = this->Begin(ReadOnlyTargets::Keep);
    FileSystem& fs = this->Fs();
    const FsStatus copied = fs.CopyFile(this->P("src/writable"), this->P("dst/a"));
    EXPECT_EQ(copied.Error(), EACCES);
    EXPECT_EQ(copied.Reason(), targetReadOnlyReason);
    EXPECT_EQ(fs.LinkToTrash(this->P("dst/a"), this->P("trash/a"), this->P("src/writable")).Reason(),
              targetReadOnlyReason);
    EXPECT_EQ(fs.DeleteFile(this->P("dst/b")).Reason(), fileReadOnlyReason);
    EXPECT_EQ(fs.MoveToTrash(this->P("dst/b"), this->P("trash/b")).Reason(), fileReadOnlyReason);
    EXPECT_EQ(fs.MoveToTrash(this->P("dst/tree"), this->P("trash/tree")).Reason(), readOnlyInside);
    const StopFlag stop{false};
    EXPECT_EQ(fs.DeleteFolderTree(this->P("dst/tree/"), stop).Reason(), fileReadOnlyReason);

    // The copy of a read-only source only carries its mode on: it follows the source.
    EXPECT_TRUE(fs.LinkToTrash(this->P("dst/c"), this->P("trash/c"), this->P("src/read-only")));
    EXPECT_TRUE(fs.CopyFile(this->P("src/read-only"), this->P("dst/c")));
    if (!std::is_same_v<TypeParam, DryRunLayer>) {
        EXPECT_EQ(this->tree.ReadFile("dst/c"), "new");
        EXPECT_EQ(this->tree.Mode("dst/c"), 0444u);
        EXPECT_EQ(this->tree.ReadFile("trash/c"), "old");
    }
    EXPECT_EQ(this->tree.ReadFile("dst/a"), "old");
    EXPECT_EQ(this->tree.ReadFile("dst/b"), "old");
    EXPECT_TRUE(this->tree.Exists("dst/tree/deep/d"));
}

TYPED_TEST(ReadOnlyRuleContract, ARunThatReplacesReadOnlyFilesOverwritesDeletesAndTrashesThem)
{
    const auto scope = this->Begin(ReadOnlyTargets::Replace);
    FileSystem& fs = this->Fs();
    EXPECT_TRUE(fs.LinkToTrash(this->P("dst/a"), this->P("trash/a"), this->P("src/writable")));
    EXPECT_TRUE(fs.CopyFile(this->P("src/writable"), this->P("dst/a")));
    EXPECT_TRUE(fs.DeleteFile(this->P("dst/b")));
    EXPECT_TRUE(fs.MoveToTrash(this->P("dst/c"), this->P("trash/c")));
    EXPECT_TRUE(fs.MoveToTrash(this->P("dst/tree"), this->P("trash/tree")));
    if (std::is_same_v<TypeParam, DryRunLayer>)
        return;
    EXPECT_EQ(this->tree.ReadFile("dst/a"), "new");
    EXPECT_EQ(this->tree.Mode("dst/a"), this->tree.Mode("src/writable"));
    EXPECT_EQ(this->Under("dst/"), (std::map<std::string, std::string>{{"a", "new"}}));
    EXPECT_EQ(this->tree.ReadFile("trash/tree/deep/d"), "old");
}

TYPED_TEST(ReadOnlyRuleContract, OutsideARunReadOnlyFilesAreKept)
{
    EXPECT_EQ(this->Fs().DeleteFile(this->P("dst/b")).Reason(), fileReadOnlyReason);
    {
        const auto scope = this->Begin(ReadOnlyTargets::Replace);
    }
    // The rule ends with the run that gave it. (A trial-run layer serves one trial run, and keeps its
    // rule until the next one begins.)
    if (std::is_same_v<TypeParam, DryRunLayer>)
        return;
    EXPECT_EQ(this->Fs().DeleteFile(this->P("dst/b")).Reason(), fileReadOnlyReason);
}

} // namespace
} // namespace twinfol::test
