// Copies on file systems that share extents (btrfs and XFS, on loop-mounted images): a large file is
// cloned whole and shares its extents, the check that the source held still holds around the clone,
// and a copy to another file system still goes by the data.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "base/unique_fd.h"
#include "engine/posix/posix_copy_data.h"
#include "engine/posix/posix_file_system.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

constexpr std::size_t eightMiB = std::size_t{8} << 20;
// mkfs.xfs makes nothing smaller; the image file is sparse, so its size costs nothing.
constexpr std::size_t imageBytes = std::size_t{320} << 20;
constexpr timespec sourceTime{1500000000, 123456789};

std::string Pattern(std::size_t size, unsigned seed)
{
    std::string content(size, '\0');
    unsigned value = seed;
    for (char& c : content) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    return content;
}

void WriteWithTime(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    const timespec times[2] = {sourceTime, sourceTime};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file's extents as FS_IOC_FIEMAP maps them, after its data is written out: how many there are,
// and how many of them the file system marks as shared with another file.
std::pair<int, int> ExtentsAndShared(const std::string& path)
{
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    constexpr unsigned most = 64;
    std::vector<char> buffer(sizeof(fiemap) + most * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = most;
    if (!file || ioctl(file.Get(), FS_IOC_FIEMAP, map) != 0)
        return {-1, -1};
    int shared = 0;
    for (unsigned index = 0; index < map->fm_mapped_extents; ++index)
        shared += (map->fm_extents[index].fe_flags & FIEMAP_EXTENT_SHARED) != 0 ? 1 : 0;
    return {static_cast<int>(map->fm_mapped_extents), shared};
}

// Follows a copy as a window does, chunk by chunk, and keeps what it heard.
class HeardProgress : public CopyProgress {
public:
    void DataCopied(std::uint64_t copied, std::uint64_t size) override { heard.emplace_back(copied, size); }
    void FileCopied(std::uint64_t) override {}

    std::vector<std::pair<std::uint64_t, std::uint64_t>> heard;
};

// Runs the action each time a copy has read (or cloned) its source, before it looks at it again.
class OnSourceRead : public WalkHook {
public:
    explicit OnSourceRead(std::function<void()> action) : action_(std::move(action)) {}
    FsStatus BeforeStep(WalkStep step, const std::string&, const std::string&) override
    {
        if (step == WalkStep::SourceRead) {
            ++reads;
            action_();
        }
        return {};
    }
    int reads = 0;

private:
    std::function<void()> action_;
};

class PosixCloneTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        disk = tree.MakeFolder("disk");
        mount.emplace(TestMount::DiskImage(GetParam(), tree.Path("disk.img"), imageBytes, disk));
        if (!mount->IsMounted())
            GTEST_SKIP() << mount->Failure();
    }

    TempTree tree;
    std::string disk;
    std::optional<TestMount> mount;
    PosixFileSystem fs;
};
INSTANTIATE_TEST_SUITE_P(, PosixCloneTest, ::testing::Values("btrfs", "xfs"),
                         [](const auto& info) { return std::string(info.param); });

// Progress hears the whole size at once: a copy through the data would tell it chunk by chunk.
TEST_P(PosixCloneTest, ALargeFileIsClonedWholeWithItsTime)
{
    const std::string content = Pattern(eightMiB, 7);
    WriteWithTime(disk + "large.bin", content);
    HeardProgress progress;
    ASSERT_TRUE(fs.CopyFile(disk + "large.bin", disk + "copy.bin", &progress, nullptr));

    EXPECT_EQ(ReadAll(disk + "copy.bin"), content);
    struct stat copy {};
    ASSERT_EQ(stat((disk + "copy.bin").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_mtim.tv_sec, sourceTime.tv_sec);
    EXPECT_EQ(copy.st_mtim.tv_nsec, sourceTime.tv_nsec);
    const auto [extents, shared] = ExtentsAndShared(disk + "copy.bin");
    EXPECT_GT(extents, 0);
    EXPECT_EQ(shared, extents);
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> whole = {{eightMiB, eightMiB}};
    EXPECT_EQ(progress.heard, whole);
}

TEST_P(PosixCloneTest, ACopyToAnotherFileSystemGoesByTheData)
{
    const std::string content = Pattern(eightMiB, 11);
    WriteWithTime(disk + "large.bin", content);
    tree.MakeFolder("other");
    HeardProgress progress;
    ASSERT_TRUE(fs.CopyFile(disk + "large.bin", tree.Path("other/large.bin"), &progress, nullptr));
    EXPECT_EQ(ReadAll(tree.Path("other/large.bin")), content);
    EXPECT_EQ(tree.Modified("other/large.bin"), sourceTime.tv_sec);
    EXPECT_EQ(ExtentsAndShared(tree.Path("other/large.bin")).second, 0);
    EXPECT_GT(progress.heard.size(), 1u);

    // And back: the first file system's copy comes from the second one's data, whole.
    ASSERT_TRUE(fs.CopyFile(tree.Path("other/large.bin"), disk + "back.bin", nullptr, nullptr));
    EXPECT_EQ(ReadAll(disk + "back.bin"), content);
    EXPECT_EQ(ExtentsAndShared(disk + "back.bin").second, 0);
}

// The source is rewritten in place after its clone, its size and time put back: only its change time
// tells. The copy is cloned once more, and a source that keeps changing is not copied at all.
TEST_P(PosixCloneTest, ASourceChangedDuringItsCloneIsNeverLeftTorn)
{
    const std::string first = Pattern(eightMiB, 1);
    const std::string second = Pattern(eightMiB, 2);
    WriteWithTime(disk + "changing.bin", first);
    bool rewritten = false;
    OnSourceRead rewriteOnce([&] {
        if (!std::exchange(rewritten, true))
            WriteWithTime(disk + "changing.bin", second);
    });
    ASSERT_TRUE(fs.CopyFile(disk + "changing.bin", disk + "copy.bin", nullptr, &rewriteOnce));
    EXPECT_EQ(rewriteOnce.reads, 2);
    EXPECT_EQ(ReadAll(disk + "copy.bin"), second);

    std::ofstream(disk + "old.bin") << "old";
    OnSourceRead rewriteAlways([&] { std::ofstream(disk + "changing.bin", std::ios::app) << "more"; });
    const FsStatus failed = fs.CopyFile(disk + "changing.bin", disk + "old.bin", nullptr, &rewriteAlways);
    EXPECT_EQ(failed.Error(), sourceChangedError);
    EXPECT_EQ(rewriteAlways.reads, 2);
    EXPECT_EQ(ReadAll(disk + "old.bin"), "old");
}

} // namespace
} // namespace twinfol::test
