// A copy by twinfol-sync keeps what cp -a keeps: holes, names sharing an inode, extended attributes,
// ACLs, owners, modes and the times of files, folders and links. Each tree is copied by both and the
// two copies are listed with everything a backup must keep; the lists must be equal. The same holds
// for an ordinary user, who cannot give copies away.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "support/metadata_listing.h"
#include "support/ordinary_user.h"
#include "support/program_copy.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

constexpr std::time_t longAgo = 1000000000; // September 2001
constexpr off_t sparseSize = 8 << 20;

class TwinfolSyncMetadataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root, to give files to uid 65534 and to copy them as that user";
        tree.SetMode("", 0755);
    }

    // A tree with one of each thing a copy must keep, owned by the given user.
    void MakeSource(uid_t owner)
    {
        tree.MakeFolder("src");
        WriteSparseFile(Src("sparse.img"), sparseSize, {{0, "head"}, {sparseSize / 2, "middle"}});
        WriteSparseFile(tree.MakeFolder("src/images") + "disk.img", sparseSize, {{sparseSize - 3, "end"}});
        WriteSparseFile(Src("images/blank.img"), sparseSize, {});
        tree.WriteFile("src/pair", "one inode, three names");
        tree.MakeFolder("src/links");
        Link("pair", "links/second");
        Link("pair", "links/third");
        tree.WriteFile("src/links/twin-a", "one inode, two names in one folder");
        Link("links/twin-a", "links/twin-b");
        tree.WriteFile("src/tagged", "tag");
        SetAttribute(Src("tagged"), "user.tag", "blue");
        tree.WriteFile("src/shared", "shared with uid 65534");
        SetAttribute(Src("shared"), "system.posix_acl_access", AccessAclGranting(ordinaryUser, 6, 0640));
        tree.WriteFile("src/private/secret", "only mine");
        tree.SetMode("src/private", 0700);
        tree.WriteFile("src/readonly/inside", "in a folder of mode 0555");
        tree.WriteFile("src/readonly/sub/deeper", "deeper");
        tree.WriteFile("src/old/a/b/c/file", "old", longAgo);
        tree.MakeSymlink("src/old/link", "a/b/c/file");
        tree.SetModified("src/old/link", longAgo + 1);
        tree.MakeFolder("src/acl-folder");
        SetAttribute(Src("acl-folder"), "system.posix_acl_default", AccessAclGranting(ordinaryUser, 7, 0755));
        tree.WriteFile("src/acl-folder/inherited", "takes the folder's default ACL");
        GiveAll(owner);
        // Modes and times last: writing into a folder moves its time.
        tree.SetMode("src/readonly/sub", 0555);
        tree.SetMode("src/readonly", 0555);
        for (const std::string folder : {"old/a/b/c", "old/a/b", "old/a", "old", "links", "images"})
            tree.SetModified("src/" + folder, longAgo + 100, 500);
    }

    // Copies the source by twinfol-sync and by cp -a (as the ordinary user when asked), answering
    // twinfol-sync's exit status. The ordinary user runs a copy of twinfol-sync: the build may lie
    // where only root can reach it.
    int CopyBoth(bool asOrdinaryUser)
    {
        const ProgramCopy reachable(TWINFOL_SYNC_PATH);
        const std::string sync = asOrdinaryUser ? reachable.Path() : TWINFOL_SYNC_PATH;
        const int status = RunCommand({sync, Src(""), tree.Path("twinfol/")}, asOrdinaryUser);
        EXPECT_EQ(RunCommand({"cp", "-a", Src(""), tree.Path("cp")}, asOrdinaryUser), 0);
        return status;
    }

    std::string Src(const std::string& relative) const { return tree.Path("src/" + relative); }
    void Link(const std::string& from, const std::string& to) const
    {
        ASSERT_EQ(link(Src(from).c_str(), Src(to).c_str()), 0);
    }
    void GiveAll(uid_t owner) const
    {
        const std::string user = std::to_string(owner);
        ASSERT_EQ(RunCommand({"chown", "-hR", user + ":" + user, Src("")}), 0);
    }

    TempTree tree;
};

TEST_F(TwinfolSyncMetadataTest, RootKeepsWhatCpArchiveKeeps)
{
    MakeSource(0);
    tree.WriteFile("src/theirs", "a file of uid 65534");
    tree.WriteFile("src/their-program", "a set-user-ID program of uid 65534");
    tree.MakeFolder("src/their-folder");
    tree.MakeSymlink("src/their-link", "theirs");
    for (const std::string name : {"theirs", "their-program", "their-folder", "their-link"})
        ASSERT_EQ(lchown(Src(name).c_str(), ordinaryUser, ordinaryGroup), 0);
    tree.SetMode("src/their-program", 04755);
    SetAttribute(Src("tagged"), "trusted.note", "root only");
    SetAttribute(Src("their-link"), "trusted.note", "a link's own");
    tree.MakeFolder("twinfol");

    EXPECT_EQ(CopyBoth(false), 0);
    const auto copied = MetadataListing(tree.Path("twinfol"));
    EXPECT_EQ(copied, MetadataListing(tree.Path("cp")));
    // What the comparison rests on, in case cp -a ever lost it too.
    struct stat sparse {};
    ASSERT_EQ(stat(tree.Path("twinfol/sparse.img").c_str(), &sparse), 0);
    EXPECT_LT(sparse.st_blocks * 512, sparseSize / 4);
    struct stat first {};
    struct stat third {};
    ASSERT_EQ(stat(tree.Path("twinfol/pair").c_str(), &first), 0);
    ASSERT_EQ(stat(tree.Path("twinfol/links/third").c_str(), &third), 0);
    EXPECT_EQ(first.st_ino, third.st_ino);
    EXPECT_EQ(tree.Mode("twinfol/their-program"), 04755u);
    EXPECT_EQ(tree.Mode("twinfol/readonly"), 0555u);
    EXPECT_EQ(tree.Modified("twinfol/old/a/b/c"), longAgo + 100);
    EXPECT_NE(copied.at("their-link").find("owner=65534:65534"), std::string::npos);
    EXPECT_NE(copied.at("their-link").find("trusted.note="), std::string::npos);
    EXPECT_NE(copied.at("tagged").find("trusted.note="), std::string::npos);
}

TEST_F(TwinfolSyncMetadataTest, AnOrdinaryUserKeepsWhatItMay)
{
    MakeSource(ordinaryUser);
    // Files of root that nobody may read: the copies become nobody's, and lose their set-ID bits,
    // whether copied one by one or in a new folder's tree copy.
    tree.WriteFile("src/roots-program", "a set-user-ID program of root");
    tree.SetMode("src/roots-program", 04755);
    tree.WriteFile("src/images/roots-tool", "another");
    tree.SetMode("src/images/roots-tool", 04755);
    tree.WriteFile("src/group-program", "a set-group-ID program in nobody's group");
    ASSERT_EQ(chown(Src("group-program").c_str(), 0, ordinaryGroup), 0);
    tree.SetMode("src/group-program", 02755);
    // An attribute only root may set is left out of the user's copy.
    SetAttribute(Src("tagged"), "security.note", "root only");
    tree.MakeFolder("twinfol");
    GiveToOrdinaryUser(tree.Path("twinfol"), 0755);
    GiveToOrdinaryUser(tree.Root(), 0755);

    EXPECT_EQ(CopyBoth(true), 0); // No problem line for what the user may not keep.
    const auto copied = MetadataListing(tree.Path("twinfol"));
    EXPECT_EQ(copied, MetadataListing(tree.Path("cp")));
    EXPECT_NE(copied.at("roots-program").find("f mode=755 owner=65534:65534"), std::string::npos);
    EXPECT_NE(copied.at("images/roots-tool").find("f mode=755 owner=65534:65534"), std::string::npos);
    EXPECT_NE(copied.at("group-program").find("f mode=755 owner=65534:65534"), std::string::npos);
    EXPECT_NE(copied.at("tagged").find("user.tag="), std::string::npos);
    EXPECT_EQ(copied.at("tagged").find("security.note"), std::string::npos);
    EXPECT_EQ(tree.Mode("twinfol/private"), 0700u);
    EXPECT_NE(copied.at("links/twin-b").find("inode-of=links/twin-a"), std::string::npos);
}

} // namespace
} // namespace twinfol::test
