// The path helpers every layer shares: one answer for a bare name, and folder paths that end with
// the separator.
#include <gtest/gtest.h>

#include "base/path.h"

namespace twinfol {
namespace {

TEST(Path, FolderPartAndNameRebuildThePath)
{
    for (const std::string path : {"/home/ann/notes.txt", "notes.txt", "/notes.txt", "a/b/", "/"}) {
        EXPECT_EQ(FolderOf(path) + std::string(BaseNameOf(path)), path) << path;
    }
    EXPECT_EQ(FolderOf("notes.txt"), ""); // a bare name lies in the current folder
    EXPECT_EQ(FolderOf("/home/ann/notes.txt"), "/home/ann/");
    EXPECT_EQ(BaseNameOf("a/b/"), "");
}

TEST(Path, TrailingSeparatorsComeAndGoOnceAndTheRootStays)
{
    EXPECT_EQ(WithTrailingSeparator("/srv/data"), "/srv/data/");
    EXPECT_EQ(WithTrailingSeparator("/srv/data/"), "/srv/data/");
    EXPECT_EQ(WithTrailingSeparator(""), "");
    EXPECT_EQ(WithoutTrailingSeparator("/srv/data/"), "/srv/data");
    EXPECT_EQ(WithoutTrailingSeparator("/srv/data//"), "/srv/data/");
    EXPECT_EQ(WithoutTrailingSeparator("/"), "/");
    EXPECT_EQ(JoinPath("/srv/", "data"), "/srv/data");
}

} // namespace
} // namespace twinfol
