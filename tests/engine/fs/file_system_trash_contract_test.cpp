// The Trash's and the journals' operations as every file-system layer must do them, run against the real
// layer and the fault-injecting layer with nothing armed: looks at entries, exclusive creates and
// appends, and the renames and links into and out of a trash folder with the rules of a delete.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <type_traits>

#include "engine/posix/posix_file_system.h"
#include "engine/posix/posix_trash_check.h"
#include "engine/posix/posix_walk_context.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

struct PosixLayer {
    PosixFileSystem fs;
};
struct FaultInjectingLayer {
    PosixFileSystem posix;
    FaultInjectingFileSystem fs{posix};
};

struct LayerNames {
    template <typename Layer> static std::string GetName(int)
    {
        return std::is_same_v<Layer, PosixLayer> ? "Posix" : "FaultInjecting";
    }
};

struct stat Stat(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

template <typename Layer> class TrashContract : public ::testing::Test {
protected:
    FileSystem& Fs() { return layer_.fs; }
    std::string P(const std::string& relative) const { return tree.Path(relative); }

    TempTree tree;

private:
    Layer layer_;
};

using Layers = ::testing::Types<PosixLayer, FaultInjectingLayer>;
TYPED_TEST_SUITE(TrashContract, Layers, LayerNames);

TYPED_TEST(TrashContract, EntryFactsTellKindModeSizeStampAndPlaceWithoutFollowingLinks)
{
    this->tree.WriteFile("dir/file", "12345");
    this->tree.SetMode("dir/file", 01640);
    this->tree.SetModified("dir/file", 1700000000, 123456789);
    this->tree.MakeSymlink("dir/link", "file");
    ASSERT_EQ(link(this->P("dir/file").c_str(), this->P("dir/second").c_str()), 0);

    const FsResult<EntryFacts> file = this->Fs().LookAt(this->P("dir/file"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->kind, EntryKind::File);
    EXPECT_EQ(file->mode, 01640u);
    EXPECT_EQ(file->owner, geteuid());
    EXPECT_EQ(file->size, 5);
    EXPECT_EQ(file->modifiedSeconds, 1700000000);
    EXPECT_EQ(file->modifiedNanoseconds, 123456789u);
    EXPECT_EQ(file->inode, Stat(this->P("dir/file")).st_ino);

    const FsResult<EntryFacts> link = this->Fs().LookAt(this->P("dir/link"));
    const FsResult<EntryFacts> folder = this->Fs().LookAt(this->P("dir/"));
    const FsResult<EntryFacts> second = this->Fs().LookAt(this->P("dir/second"));
    ASSERT_TRUE(link && folder && second);
    EXPECT_EQ(link->kind, EntryKind::Link);
    EXPECT_EQ(link->size, 4); // the length of the link's own text
    EXPECT_EQ(folder->kind, EntryKind::Folder);
    EXPECT_EQ(second->inode, file->inode);
    EXPECT_NE(link->inode, file->inode);
    EXPECT_TRUE(folder->SameMountAs(*file));
    EXPECT_NE(file->mountId, 0u);
    EXPECT_EQ(this->Fs().LookAt(this->P("dir/missing")).Error(), ENOENT);
}

TYPED_TEST(TrashContract, CreateNewFileTakesAFreeNameOnlyAndAppendFileAddsToTheEnd)
{
    EXPECT_TRUE(this->Fs().CreateNewFile(this->P("info"), "first", 0600));
    EXPECT_EQ(Stat(this->P("info")).st_mode & 07777, 0600u);
    EXPECT_EQ(this->Fs().CreateNewFile(this->P("info"), "second", 0600).Error(), EEXIST);
    EXPECT_EQ(this->tree.ReadFile("info"), "first");
    // A link at the name counts as taken, and what it points to stays as it was.
    this->tree.WriteFile("elsewhere", "kept");
    this->tree.MakeSymlink("taken", "elsewhere");
    EXPECT_EQ(this->Fs().CreateNewFile(this->P("taken"), "x", 0600).Error(), EEXIST);
    EXPECT_FALSE(this->Fs().CreateNewFile(this->P("no/folder/info"), "x", 0600));

    EXPECT_TRUE(this->Fs().AppendFile(this->P("journal"), "one\n", 0600));
    EXPECT_TRUE(this->Fs().AppendFile(this->P("journal"), "two\n", 0600));
    EXPECT_EQ(this->tree.ReadFile("journal"), "one\ntwo\n");
    EXPECT_FALSE(this->Fs().AppendFile(this->P("taken"), "x", 0600));
    EXPECT_EQ(this->tree.ReadFile("elsewhere"), "kept");
}

TYPED_TEST(TrashContract, MoveToTrashRenamesFilesLinksAndWholeTreesAsTheyAre)
{
    this->tree.MakeFolder("trash/files");
    this->tree.WriteFile("target/file", "content", 1600000000);
    this->tree.SetMode("target/file", 0640);
    this->tree.MakeSymlink("target/link", "nowhere");
    this->tree.WriteFile("target/tree/a", "a");
    this->tree.WriteFile("target/tree/sub/b", "b");
    const ino_t inode = Stat(this->P("target/file")).st_ino;

    EXPECT_TRUE(this->Fs().MoveToTrash(this->P("target/file"), this->P("trash/files/file")));
    EXPECT_TRUE(this->Fs().MoveToTrash(this->P("target/link"), this->P("trash/files/link")));
    EXPECT_TRUE(this->Fs().MoveToTrash(this->P("target/tree"), this->P("trash/files/tree")));

    EXPECT_FALSE(this->tree.Exists("target/file") || this->tree.Exists("target/tree"));
    const struct stat moved = Stat(this->P("trash/files/file"));
    EXPECT_EQ(moved.st_ino, inode); // renamed, never copied
    EXPECT_EQ(moved.st_mode & 07777, 0640u);
    EXPECT_EQ(moved.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(this->tree.ReadFile("trash/files/tree/sub/b"), "b");
    EXPECT_TRUE(S_ISLNK(Stat(this->P("trash/files/link")).st_mode));

    // A taken trash name is never replaced.
    this->tree.WriteFile("target/again", "again");
    EXPECT_EQ(this->Fs().MoveToTrash(this->P("target/again"), this->P("trash/files/file")).Error(), EEXIST);
    EXPECT_EQ(this->tree.ReadFile("target/again"), "again");
    EXPECT_EQ(this->tree.ReadFile("trash/files/file"), "content");
}

TYPED_TEST(TrashContract, MoveToTrashRefusesAReadOnlyFileAndATreeHoldingOneAtAnyDepth)
{
    this->tree.MakeFolder("trash");
    this->tree.WriteFile("target/locked", "l");
    this->tree.SetMode("target/locked", 0444);
    std::string deep = "target/deep/";
    for (int level = 0; level < deepestOpenLevel + 5; ++level)
        deep += "d/";
    this->tree.WriteFile(deep + "locked", "l");
    this->tree.SetMode(deep + "locked", 0400);
    this->tree.WriteFile("target/deep/first", "f");

    const FsStatus file = this->Fs().MoveToTrash(this->P("target/locked"), this->P("trash/locked"));
    EXPECT_EQ(file.Error(), EACCES);
    EXPECT_TRUE(file.IsRefusal());
    const FsStatus tree = this->Fs().MoveToTrash(this->P("target/deep"), this->P("trash/deep"));
    EXPECT_EQ(tree.Reason(), readOnlyInside);
    EXPECT_TRUE(this->tree.Exists("target/locked"));
    EXPECT_TRUE(this->tree.Exists(deep + "locked"));
    EXPECT_TRUE(this->tree.Exists("target/deep/first"));
    EXPECT_FALSE(this->tree.Exists("trash/deep"));

    // Once the file may be written, the same deep tree goes whole.
    this->tree.SetMode(deep + "locked", 0600);
    EXPECT_TRUE(this->Fs().MoveToTrash(this->P("target/deep"), this->P("trash/deep")));
    EXPECT_EQ(this->tree.ReadFile("trash/" + deep.substr(7) + "locked"), "l");
}

TYPED_TEST(TrashContract, LinkToTrashGivesTheFileASecondNameAndLeavesItInPlace)
{
    this->tree.MakeFolder("trash");
    this->tree.WriteFile("target/file", "old");
    this->tree.WriteFile("target/locked", "l");
    this->tree.SetMode("target/locked", 0444);
    this->tree.MakeFolder("target/folder");
    this->tree.WriteFile("source/new", "new");
    const std::string source = this->P("source/new");

    EXPECT_TRUE(this->Fs().LinkToTrash(this->P("target/file"), this->P("trash/file"), source));
    EXPECT_EQ(Stat(this->P("target/file")).st_nlink, 2u);
    EXPECT_EQ(Stat(this->P("trash/file")).st_ino, Stat(this->P("target/file")).st_ino);
    EXPECT_EQ(this->Fs().LinkToTrash(this->P("target/locked"), this->P("trash/locked"), source).Error(),
              EACCES);
    EXPECT_EQ(this->Fs().LinkToTrash(this->P("target/folder"), this->P("trash/folder"), source).Error(),
              EISDIR);
    EXPECT_EQ(this->Fs().LinkToTrash(this->P("target/file"), this->P("trash/file"), source).Error(), EEXIST);
    EXPECT_FALSE(this->tree.Exists("trash/locked") || this->tree.Exists("trash/folder"));
}

TYPED_TEST(TrashContract, MoveFromTrashKeepsWhatStandsThereOrReplacesAFileAsAsked)
{
    this->tree.WriteFile("trash/old", "old", 1500000000);
    this->tree.WriteFile("trash/other", "other");
    this->tree.WriteFile("target/file", "new");
    this->tree.MakeFolder("target/folder");

    EXPECT_EQ(
        this->Fs().MoveFromTrash(this->P("trash/old"), this->P("target/file"), ExistingEntry::Keep).Error(),
        EEXIST);
    EXPECT_EQ(this->tree.ReadFile("target/file"), "new");
    EXPECT_TRUE(
        this->Fs().MoveFromTrash(this->P("trash/old"), this->P("target/file"), ExistingEntry::Replace));
    EXPECT_EQ(this->tree.ReadFile("target/file"), "old");
    EXPECT_EQ(this->tree.Modified("target/file"), 1500000000);
    EXPECT_FALSE(this->tree.Exists("trash/old"));
    EXPECT_EQ(this->Fs()
                  .MoveFromTrash(this->P("trash/other"), this->P("target/folder"), ExistingEntry::Replace)
                  .Error(),
              EISDIR);
    EXPECT_TRUE(
        this->Fs().MoveFromTrash(this->P("trash/other"), this->P("target/back"), ExistingEntry::Keep));
    EXPECT_EQ(this->tree.ReadFile("target/back"), "other");
}

} // namespace
} // namespace twinfol::test
