// The order of the system calls around placing a copied file, which no kill can show: every file a run
// gives a name in the target has its data written and flushed to the disk before the link or rename
// that makes it visible, so that after a power cut a name never shows a file whose data was lost. The
// run is traced with strace, on the test's own disk (unnamed temporary files) and on an exFAT stick
// through FUSE (named ones; as root), at one job and at four.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

constexpr const char* stracePath = "/usr/bin/strace";

// One call of the trace, completed: its name, arguments and result, in the order it returned.
struct TracedCall {
    int pid = 0;
    std::string name;
    std::string arguments;
    long result = -1;
};

// Reads strace -f output, joining a call that another thread interrupted with its resumption.
std::vector<TracedCall> ReadTrace(const std::string& path)
{
    static const std::regex whole(R"(^(\d+)\s+(\w+)\((.*)\)\s+=\s+(-?\d+).*$)");
    static const std::regex started(R"(^(\d+)\s+(\w+)\((.*) <unfinished \.\.\.>$)");
    static const std::regex resumed(R"(^(\d+)\s+<\.\.\. (\w+) resumed>(.*)\)\s+=\s+(-?\d+).*$)");
    std::vector<TracedCall> calls;
    std::map<int, TracedCall> unfinished;
    std::ifstream trace(path);
    std::smatch match;
    for (std::string line; std::getline(trace, line);) {
        if (std::regex_match(line, match, whole)) {
            calls.push_back({std::stoi(match[1]), match[2], match[3], std::stol(match[4])});
        } else if (std::regex_match(line, match, started)) {
            unfinished[std::stoi(match[1])] = {std::stoi(match[1]), match[2], match[3], -1};
        } else if (std::regex_match(line, match, resumed)) {
            TracedCall call = unfinished[std::stoi(match[1])];
            call.arguments += match[3];
            call.result = std::stol(match[4]);
            calls.push_back(call);
        }
    }
    return calls;
}

int FirstNumber(const std::string& text)
{
    return std::stoi(text.substr(text.find_first_of("0123456789")));
}

// The descriptor in the given place (counted from 0) of a call's arguments.
int DescriptorAt(const std::string& arguments, int place)
{
    std::size_t start = 0;
    for (int skipped = 0; skipped < place; ++skipped)
        start = arguments.find(',', start) + 1;
    return FirstNumber(arguments.substr(start));
}

// The quoted strings of a call's arguments, in order.
std::vector<std::string> Quoted(const std::string& arguments)
{
    std::vector<std::string> strings;
    static const std::regex quoted(R"re("([^"]*)")re");
    for (auto found = std::sregex_iterator(arguments.begin(), arguments.end(), quoted);
         found != std::sregex_iterator(); ++found)
        strings.push_back((*found)[1]);
    return strings;
}

// What the trace shows of each file the run placed under a final name: whether its data had been
// flushed before the call that placed it, with nothing written after the flush.
class PlacementCheck {
public:
    explicit PlacementCheck(std::set<std::string> finalNames) : finalNames_(std::move(finalNames)) {}

    void Follow(const std::vector<TracedCall>& calls)
    {
        for (const TracedCall& call : calls)
            if (call.result >= 0)
                See(call);
    }
    // Final names placed, each with what was wrong about its placement (empty when nothing was).
    const std::map<std::string, std::string>& Placed() const { return placed_; }

private:
    struct FileState {
        bool written = false;
        bool flushed = false;
        bool writtenAfterFlush = false;
    };
    // An open file, with the temporary name it was created under, if it has one, and the thread
    // that opened it.
    struct OpenFile {
        FileState state;
        std::string temporaryName;
        int opener = 0;
    };

    void See(const TracedCall& call)
    {
        const std::string& name = call.name;
        const bool created = call.arguments.find("O_TMPFILE") != std::string::npos ||
                             call.arguments.find("O_CREAT") != std::string::npos;
        if (name == "openat" && created) {
            const std::vector<std::string> strings = Quoted(call.arguments);
            const bool unnamed = call.arguments.find("O_TMPFILE") != std::string::npos;
            files_[static_cast<int>(call.result)] = {
                {}, unnamed || strings.empty() ? "" : BaseName(strings.back()), call.pid};
        } else if (name == "write" || name == "pwrite64" || name == "sendfile" || name == "ftruncate" ||
                   name == "fallocate") {
            Change(DescriptorAt(call.arguments, 0), false);
        } else if (name == "copy_file_range") {
            Change(DescriptorAt(call.arguments, 2), false);
        } else if (name == "ioctl" && call.arguments.find("FICLONE") != std::string::npos) {
            Change(DescriptorAt(call.arguments, 0), false);
        } else if (name == "fsync" || name == "fdatasync") {
            Change(DescriptorAt(call.arguments, 0), true);
        } else if (name == "syncfs") {
            // Every file written before it on the file system, which in this test holds the whole target.
            for (auto& [fd, file] : files_)
                if (file.state.written)
                    Change(fd, true);
        } else if (name == "linkat" || name == "renameat" || name == "renameat2") {
            Placing(call);
        } else if (name == "close") {
            Closed(call);
        }
    }

    // A descriptor closed by the thread that opened it is free: whatever takes its number next (a pipe,
    // a source file) is no file of the copy's. strace may report another thread's open of the same
    // number before this close, so a close by another thread than the opener leaves the entry alone.
    void Closed(const TracedCall& call)
    {
        const auto found = files_.find(DescriptorAt(call.arguments, 0));
        if (found != files_.end() && found->second.opener == call.pid)
            files_.erase(found);
    }

    static std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

    void Change(int fd, bool flush)
    {
        const auto found = files_.find(fd);
        if (found == files_.end())
            return;
        FileState& state = found->second.state;
        if (flush) {
            state.flushed = true;
        } else {
            state.written = true;
            state.writtenAfterFlush = state.writtenAfterFlush || state.flushed;
        }
        if (!found->second.temporaryName.empty())
            named_[found->second.temporaryName] = state;
    }
    std::optional<FileState> Source(const TracedCall& call, const std::vector<std::string>& strings) const
    {
        std::optional<int> fd;
        if (strings.front().starts_with("/proc/self/fd/"))
            fd = std::stoi(strings.front().substr(14));
        else if (call.arguments.find("AT_EMPTY_PATH") != std::string::npos)
            fd = DescriptorAt(call.arguments, 0);
        if (fd) {
            const auto open = files_.find(*fd);
            return open == files_.end() ? std::nullopt : std::optional(open->second.state);
        }
        const auto named = named_.find(BaseName(strings.front()));
        return named == named_.end() ? std::nullopt : std::optional(named->second);
    }
    void Placing(const TracedCall& call)
    {
        const std::vector<std::string> strings = Quoted(call.arguments);
        if (strings.empty())
            return;
        const std::string to = BaseName(strings.back());
        const std::optional<FileState> file = Source(call, strings);
        // What the file had seen goes with its new name: a replacement links an unnamed file to a
        // temporary name first, and renames that over the target.
        if (file)
            named_[to] = *file;
        if (!finalNames_.contains(to))
            return;
        std::string wrong;
        if (!file)
            wrong = "placed from a file the trace did not see opened";
        else if (!file->written)
            wrong = "placed without any data written";
        else if (!file->flushed)
            wrong = "placed before its data was flushed";
        else if (file->writtenAfterFlush)
            wrong = "written again after it was flushed";
        placed_[to] = wrong;
    }

    std::set<std::string> finalNames_;
    std::map<int, OpenFile> files_;
    std::map<std::string, FileState> named_;
    std::map<std::string, std::string> placed_;
};

// Btrfs holds both folders, so that a large file is cloned rather than written.
enum class Disk { Local, Exfat, Btrfs };

class PlacementOrder : public ::testing::TestWithParam<std::tuple<Disk, int>> {
protected:
    void SetUp() override
    {
        if (access(stracePath, X_OK) != 0)
            GTEST_SKIP() << "strace is not installed (apt-get install strace): the order of system calls "
                            "cannot be seen";
        if (std::get<0>(GetParam()) == Disk::Exfat) {
            mount_.emplace(TestMount::ExfatImage(tree.Path("disk.img"), 32 << 20, target));
            if (!mount_->IsMounted())
                GTEST_SKIP() << mount_->Failure();
        }
        if (std::get<0>(GetParam()) == Disk::Btrfs) {
            mount_.emplace(
                TestMount::DiskImage("btrfs", tree.Path("disk.img"), 320 << 20, tree.MakeFolder("disk")));
            if (!mount_->IsMounted())
                GTEST_SKIP() << mount_->Failure();
            // The test's paths lead onto the image through links, which a run follows in the two
            // folders' own paths.
            for (const char* folder : {"source", "target"}) {
                tree.MakeFolder(std::string("disk/") + folder);
                rmdir(tree.Path(folder).c_str());
                tree.MakeSymlink(folder, tree.Path(std::string("disk/") + folder));
            }
        }
    }

    // Runs twinfol-sync under strace; false when strace could not trace it (no ptrace allowed here).
    bool RunTraced(const std::string& log)
    {
        const std::string jobs = std::to_string(std::get<1>(GetParam()));
        std::vector<std::string> arguments = {stracePath,
                                              "-f",
                                              "-qq",
                                              "-o",
                                              log,
                                              "-e",
                                              "trace=openat,write,pwrite64,copy_file_range,sendfile,"
                                              "ftruncate,fallocate,fsync,fdatasync,syncfs,close,linkat,ioctl,"
                                              "renameat,renameat2",
                                              TWINFOL_SYNC_PATH,
                                              "-q",
                                              "--jobs",
                                              jobs,
                                              source,
                                              target};
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            setenv("XDG_STATE_HOME", tree.Path("state").c_str(), 1);
            setenv("XDG_DATA_HOME", tree.Path("data").c_str(), 1);
            // LeakSanitizer cannot work in a traced process; a sanitizer build runs the rest of it.
            const char* asan = getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan != nullptr ? asan : "") + ":detect_leaks=0").c_str(), 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    std::optional<TestMount> mount_;
};

TEST_P(PlacementOrder, EveryPlacedFileIsFlushedBeforeItsName)
{
    // An add, an overwrite, a folder added whole (whose files are filled ahead and flushed together),
    // and enough files in one folder for the workers.
    tree.WriteFile("source/added", std::string(100000, 'a'));
    tree.WriteFile("source/twin", "new", 1699956500);
    tree.WriteFile("target/twin", "old", 1699956000);
    tree.WriteFile("source/folder/inner", "in");
    std::set<std::string> names = {"added", "twin", "inner"};
    for (int index = 0; index < 40; ++index) {
        tree.WriteFile("source/folder/sub/f" + std::to_string(index), std::string(100, 'f'));
        names.insert("f" + std::to_string(index));
    }
    for (int index = 0; index < 20; ++index) {
        tree.WriteFile("source/many" + std::to_string(index),
                       std::string(static_cast<std::size_t>(index) + 1, 'm'));
        names.insert("many" + std::to_string(index));
    }
    const std::string log = tree.Path("trace.log");
    ASSERT_TRUE(RunTraced(log)) << "strace or the run failed; see " << log;
    ASSERT_EQ(tree.ReadFile("target/folder/inner"), "in");
    PlacementCheck check(names);
    check.Follow(ReadTrace(log));
    for (const std::string& name : names) {
        const auto placed = check.Placed().find(name);
        ASSERT_NE(placed, check.Placed().end()) << name << " was never seen placed";
        EXPECT_EQ(placed->second, "") << name << "; the trace is in " << log;
    }
}

INSTANTIATE_TEST_SUITE_P(Disks, PlacementOrder,
                         ::testing::Combine(::testing::Values(Disk::Local, Disk::Exfat, Disk::Btrfs),
                                            ::testing::Values(1, 4)),
                         [](const auto& info) {
                             const Disk disk = std::get<0>(info.param);
                             return std::string(disk == Disk::Local   ? "Local"
                                                : disk == Disk::Exfat ? "Exfat"
                                                                      : "Btrfs") +
                                    "Jobs" + std::to_string(std::get<1>(info.param));
                         });

} // namespace
} // namespace twinfol::test
