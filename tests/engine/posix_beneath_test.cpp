// Opening folders beneath a base folder: with openat2 and with the component walk that stands in
// for it on older kernels, which must answer alike.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/posix_beneath.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

using Opener = FsStatus (*)(int, std::string_view, int, UniqueFd&);

class PosixBeneathTest : public ::testing::TestWithParam<Opener> {
protected:
    // The inode of what the opener opened, or of what the path leads to from the base.
    static ino_t InodeOf(int fd)
    {
        struct stat info {};
        return fstat(fd, &info) == 0 ? info.st_ino : 0;
    }
    ino_t InodeAt(const std::string& relative) const
    {
        struct stat info {};
        return lstat(tree.Path(relative).c_str(), &info) == 0 ? info.st_ino : 0;
    }

    TempTree tree;
};

TEST_P(PosixBeneathTest, OpensFoldersBelowAndRefusesLinksAndWaysOut)
{
    tree.MakeFolder("base/a/b");
    tree.MakeFolder("outside");
    tree.MakeSymlink("base/a/link", "../../outside");
    tree.MakeSymlink("base/a/b/up", "../..");
    tree.WriteFile("base/a/file", "f");
    const UniqueFd base(open(tree.Path("base").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(base);
    const Opener openBeneath = GetParam();

    for (const std::string relative : {"a/b", "a/b/", "./a//b"}) {
        UniqueFd opened;
        ASSERT_TRUE(openBeneath(base.Get(), relative, O_RDONLY, opened)) << relative;
        EXPECT_EQ(InodeOf(opened.Get()), InodeAt("base/a/b")) << relative;
    }
    UniqueFd itself;
    ASSERT_TRUE(openBeneath(base.Get(), "", O_RDONLY, itself));
    EXPECT_EQ(InodeOf(itself.Get()), InodeAt("base"));

    const auto reasonOf = [&](std::string_view relative) {
        UniqueFd opened;
        const FsStatus status = openBeneath(base.Get(), relative, O_PATH, opened);
        EXPECT_FALSE(opened.IsValid()) << relative;
        return status.Reason();
    };
    EXPECT_EQ(reasonOf("a/link"), linkWhereFolderWas);
    EXPECT_EQ(reasonOf("a/link/"), linkWhereFolderWas);
    EXPECT_EQ(reasonOf("a/link/x"), linkWhereFolderWas);
    EXPECT_EQ(reasonOf("a/b/up/outside"), linkWhereFolderWas);
    EXPECT_EQ(reasonOf("a/../../outside"), pathLeavesRoot);
    EXPECT_EQ(reasonOf("a/missing"), FsStatus::Failure(ENOENT).Reason());
    EXPECT_EQ(reasonOf("a/file"), FsStatus::Failure(ENOTDIR).Reason());
}

INSTANTIATE_TEST_SUITE_P(Openat2AndComponentWalk, PosixBeneathTest,
                         ::testing::Values(&OpenBeneath, &OpenBeneathByComponents));

// A tree delete's way into a sub-folder, with openat2 and by mount ids: a bind mount shares its
// parent's device number, and is refused all the same.
TEST(PosixSameMount, RefusesMountPointsAndLinksAndOpensOrdinaryFolders)
{
    TempTree tree;
    tree.MakeFolder("parent/plain");
    tree.MakeFolder("parent/bound");
    tree.MakeFolder("elsewhere");
    tree.MakeSymlink("parent/link", tree.Path("elsewhere"));
    const TestMount bound = TestMount::Bind(tree.Path("elsewhere"), tree.Path("parent/bound"));
    if (!bound.IsMounted())
        GTEST_SKIP() << bound.Failure();
    const UniqueFd parent(open(tree.Path("parent").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(parent);
    for (const auto open : {&OpenSubFolderOnSameMount, &OpenSubFolderOnSameMountByIds}) {
        UniqueFd opened;
        EXPECT_TRUE(open(parent.Get(), "plain", opened));
        EXPECT_TRUE(opened.IsValid());
        EXPECT_EQ(open(parent.Get(), "bound", opened).Reason(), mountedInside);
        EXPECT_FALSE(opened.IsValid());
        EXPECT_EQ(open(parent.Get(), "link", opened).Reason(), linkWhereFolderWas);
    }
}

} // namespace
} // namespace twinfol::test
