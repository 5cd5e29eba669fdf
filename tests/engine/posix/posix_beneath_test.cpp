// Opening folders beneath a base folder: with openat2 and with the component walk that stands in
// for it on older kernels, which must answer alike.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/posix/posix_beneath.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

using Opener = FsStatus (*)(int, std::string_view, int, UniqueFd&);

class PosixBeneathTest : public ::testing::TestWithParam<Opener> {};

TEST_P(PosixBeneathTest, OpensFoldersBelowAndRefusesLinksAndWaysOut)
{
    TempTree tree;
    tree.MakeFolder("base/a/b");
    tree.MakeFolder("outside");
    tree.MakeSymlink("base/a/link", "../../outside");
    tree.MakeSymlink("base/a/b/up", "../..");
    tree.WriteFile("base/a/file", "f");
    const UniqueFd base(open(tree.Path("base").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const auto reasonOf = [&](std::string_view relative) {
        UniqueFd opened;
        const FsStatus status = GetParam()(base.Get(), relative, O_RDONLY, opened);
        EXPECT_EQ(opened.IsValid(), status.IsOk()) << relative;
        return status.Reason();
    };
    for (const std::string_view relative : {"a/b", "a/b/", "./a//b", ""})
        EXPECT_EQ(reasonOf(relative), "") << relative;
    UniqueFd b;
    ASSERT_TRUE(GetParam()(base.Get(), "./a//b", O_RDONLY, b));
    struct stat opened {};
    struct stat expected {};
    ASSERT_EQ(fstat(b.Get(), &opened), 0);
    ASSERT_EQ(lstat(tree.Path("base/a/b").c_str(), &expected), 0);
    EXPECT_EQ(opened.st_ino, expected.st_ino);
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
