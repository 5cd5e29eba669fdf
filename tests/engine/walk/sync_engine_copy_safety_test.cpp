// Copies from a source that is written, owned by others or not a file at all: a file that changes
// while it is read is copied once more or not at all, set-ID bits never pass to another owner,
// special files are never opened, and a mode the target cannot hold is left out.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/posix/posix_copy_data.h"
#include "support/fault_injecting_file_system.h"
#include "support/ordinary_user.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

// A thread blocked in open(O_WRONLY) on a FIFO, as a program waiting to hand over a message would
// be: any open of the FIFO for reading lets it go on. It is known to wait once the kernel shows it in
// openat.
class WaitingWriter {
public:
    explicit WaitingWriter(std::string fifo) : fifo_(std::move(fifo))
    {
        thread_ = std::thread([this] {
            threadId_.store(static_cast<pid_t>(syscall(SYS_gettid)));
            const int fd = open(fifo_.c_str(), O_WRONLY | O_CLOEXEC);
            returned_.store(true);
            close(fd);
        });
        for (long call = -1; call != SYS_openat;) {
            std::this_thread::yield();
            std::ifstream("/proc/self/task/" + std::to_string(threadId_.load()) + "/syscall") >> call;
        }
    }
    ~WaitingWriter()
    {
        const int reader = open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        thread_.join();
        close(reader);
    }
    WaitingWriter(const WaitingWriter&) = delete;
    WaitingWriter& operator=(const WaitingWriter&) = delete;

    bool Returned() const { return returned_.load(); }

private:
    std::string fifo_;
    std::atomic<pid_t> threadId_{0};
    std::atomic<bool> returned_{false};
    std::thread thread_;
};

class SyncEngineCopySafetyTest : public SyncEngineTest {
protected:
    void RunFaulty() { RunWith(faulty); }

    FaultInjectingFileSystem faulty{fileSystem};
};
INSTANTIATE_TEST_SUITE_P(, SyncEngineCopySafetyTest, bothWalks, JobsName);

// Each source is changed once, after its data was read and before it was looked at again: in
// place with its size and time stamp put back (only its change time tells), or cut short.
TEST_P(SyncEngineCopySafetyTest, ASourceChangedDuringItsCopyIsCopiedOnceMore)
{
    const std::string first(100000, 'a');
    tree.WriteFile(Source("rewritten"), first, baseTime + 1000);
    tree.WriteFile(Target("rewritten"), "old", baseTime);
    tree.WriteFile(Source("shortened"), first);
    std::map<std::string, int> reads;
    std::mutex readsMutex;
    faulty.OnCall(FsOperation::SourceRead, [&](const FsCall& call) {
        {
            // The copies may run on several workers at once.
            const std::lock_guard lock(readsMutex);
            if (++reads[call.path] > 1)
                return;
        }
        if (call.path == S("rewritten"))
            tree.WriteFile(Source("rewritten"), std::string(first.size(), 'b'), baseTime + 1000);
        else
            tree.WriteFile(Source("shortened"), "short");
    });
    RunFaulty();
    EXPECT_EQ(reads[S("rewritten")], 2);
    EXPECT_EQ(reads[S("shortened")], 2);
    EXPECT_EQ(tree.ReadFile(Target("rewritten")), std::string(first.size(), 'b'));
    EXPECT_EQ(tree.ReadFile(Target("shortened")), "short");
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("rewritten")});
}

// A source still written after its second copy is not copied: the target stays as it was, and in
// a new folder's tree copy the failure ends the tree copy.
TEST_P(SyncEngineCopySafetyTest, ASourceThatKeepsChangingIsLeftUncopied)
{
    tree.WriteFile(Source("growing"), "new", baseTime + 1000);
    tree.WriteFile(Target("growing"), "old", baseTime);
    tree.WriteFile(Source("new/a"), "a");
    tree.WriteFile(Source("new/growing"), "g");
    tree.WriteFile(Source("new/z"), "z");
    std::atomic<int> reads{0};
    faulty.OnCall(FsOperation::SourceRead, [&](const FsCall& call) {
        if (!call.path.ends_with("growing"))
            return;
        ++reads;
        std::ofstream(call.path, std::ios::app) << "more";
    });
    RunFaulty();
    EXPECT_EQ(reads.load(), 4); // twice for each of the two files, the tree copy's helper included
    ASSERT_EQ(report.problemLog.size(), 2u);
    EXPECT_EQ(report.problemLog[0].line, "Could not copy file: " + T("growing"));
    EXPECT_EQ(report.problemLog[0].reason, sourceChangedReason);
    EXPECT_EQ(report.problemLog[1].line, "Could not copy file: " + T("new/growing"));
    EXPECT_EQ(report.problemLog[1].reason, sourceChangedReason);
    EXPECT_EQ(tree.ReadFile(Target("growing")), "old");
    EXPECT_EQ(tree.Modified(Target("growing")), baseTime);
    EXPECT_FALSE(tree.Exists(Target("new/growing")));
    EXPECT_EQ(tree.ReadFile(Target("new/z")), "z");
    EXPECT_TRUE(report.overwrittenFiles.empty());
}

// Root keeps every owner and group, and with them the set-ID bits; fchown clears those bits, so the
// mode must come after it. (An ordinary user's copies of another user's set-ID files lose the bits:
// see the twinfol-sync metadata tests.)
TEST_P(SyncEngineCopySafetyTest, SetIdBitsPassWithTheOwnerAndGroup)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to keep the owner uid 65534 of the sources";
    // Top-level files go by single copies, the folder's by a tree copy with its helper.
    for (const std::string folder : {"", "new/"}) {
        tree.WriteFile(Source(folder + "setuid"), "u");
        GiveToOrdinaryUser(tree.Path(Source(folder + "setuid")), 04755);
        tree.WriteFile(Source(folder + "setgid"), "g");
        GiveToOrdinaryUser(tree.Path(Source(folder + "setgid")), 02755);
        tree.WriteFile(Source(folder + "roots"), "r");
        tree.SetMode(Source(folder + "roots"), 06755);
    }
    Run();
    for (const std::string folder : {"", "new/"}) {
        EXPECT_EQ(tree.Mode(Target(folder + "setuid")), 04755u) << folder;
        EXPECT_EQ(tree.Mode(Target(folder + "setgid")), 02755u) << folder;
        EXPECT_EQ(tree.Mode(Target(folder + "roots")), 06755u) << folder;
        struct stat info {};
        ASSERT_EQ(stat(tree.Path(Target(folder + "setuid")).c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, ordinaryUser) << folder;
    }
    EXPECT_TRUE(report.problemLog.empty());
}

TEST_P(SyncEngineCopySafetyTest, SpecialFilesAreNeverOpened)
{
    tree.MakeFifo(Source("fifo"));
    for (const std::string name : {"a", "b", "c", "d"})
        tree.WriteFile(Source("new/" + name), name);
    tree.MakeFifo(Source("new/fifo"));
    tree.MakeSocket(Source("socket"));
    const WaitingWriter topWriter(S("fifo"));
    const WaitingWriter treeWriter(S("new/fifo"));
    Run();
    EXPECT_FALSE(topWriter.Returned());
    EXPECT_FALSE(treeWriter.Returned());
    const std::vector<std::string> expected = {"Could not copy file: " + T("fifo"),
                                               "Could not copy file: " + T("socket"),
                                               "Could not copy file: " + T("new/fifo")};
    EXPECT_EQ(report.ProblemLines(), expected);
    EXPECT_FALSE(tree.Exists(Target("fifo")));
    EXPECT_FALSE(tree.Exists(Target("new/fifo")));
    // The rest of the new folder is copied all the same.
    for (const std::string name : {"a", "b", "c", "d"})
        EXPECT_EQ(tree.ReadFile(Target("new/" + name)), name);
}

TEST_P(SyncEngineCopySafetyTest, AModeTheTargetCannotHoldIsLeftOut)
{
    for (const std::string name : {"nosys", "perm", "io"}) {
        tree.WriteFile(Source(name), name, baseTime);
        tree.SetMode(Source(name), 0640);
    }
    faulty.FailPath(T("nosys"), ENOSYS, FsOperation::SetMode);
    faulty.FailPath(T("perm"), EPERM, FsOperation::SetMode);
    faulty.FailPath(T("io"), EIO, FsOperation::SetMode);
    RunFaulty();
    // The data and the time stamp arrive without the mode; any other failure is still a failure.
    EXPECT_EQ(Items(report.addedFiles), (std::vector<std::string>{T("nosys"), T("perm")}));
    for (const std::string name : {"nosys", "perm"}) {
        EXPECT_EQ(tree.ReadFile(Target(name)), name);
        EXPECT_EQ(tree.Modified(Target(name)), baseTime);
        EXPECT_NE(tree.Mode(Target(name)), 0640u);
    }
    ASSERT_EQ(report.problemLog.size(), 1u);
    EXPECT_EQ(report.problemLog[0].line, "Could not copy file: " + T("io"));
    EXPECT_EQ(report.problemLog[0].reason, std::system_category().message(EIO));
    EXPECT_FALSE(tree.Exists(Target("io")));
}

} // namespace
} // namespace twinfol::test
