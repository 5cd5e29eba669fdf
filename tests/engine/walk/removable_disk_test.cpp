// Runs onto the disks people back up to, each a real mount (root only; skipped with the reason
// otherwise): exFAT through exfat-fuse and FAT32 through fusefat, which fold case and have neither
// unnamed temporary files nor no-replace renames, and tmpfs and ext4, which do not fold case.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "engine/fs/dry_run_file_system.h"
#include "engine/posix/posix_target_lock.h"
#include "engine/walk/run_plan.h"
#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

enum class DiskKind { Exfat, Fat32, Tmpfs, Ext4 };

struct Disk {
    DiskKind kind;
    const char* name;
    bool foldsCase;
};

// Names the disk in a failure message instead of its bytes.
void PrintTo(const Disk& disk, std::ostream* out)
{
    *out << disk.name;
}

constexpr std::size_t imageBytes = 64u << 20;

// How far the clock of a "later" run is ahead: past the age at which leftovers are swept.
std::chrono::hours clockAhead{0};
std::chrono::system_clock::time_point ShiftedClock()
{
    return std::chrono::system_clock::now() + clockAhead;
}

// The target is a disk of its own, mounted at target/; the run's roots are one of its folders.
class RemovableDiskFixture : public SyncEngineFixture {
protected:
    void MountTarget(const Disk& disk)
    {
        disk_ = disk;
        const std::string at = tree.Path("target");
        switch (disk.kind) {
        case DiskKind::Exfat:
            mount_.emplace(TestMount::ExfatImage(tree.Path("disk.img"), imageBytes, at));
            break;
        case DiskKind::Fat32:
            mount_.emplace(TestMount::FatImage(tree.Path("disk.img"), imageBytes, at));
            break;
        case DiskKind::Tmpfs: mount_.emplace(TestMount::Tmpfs(at, imageBytes)); break;
        case DiskKind::Ext4:
            mount_.emplace(TestMount::Ext4Image(tree.Path("disk.img"), imageBytes, "", at));
            break;
        }
        if (!mount_->IsMounted())
            GTEST_SKIP() << mount_->Failure();
        // A folder of the disk, as a backup usually is: ext4's root holds lost+found.
        target = tree.MakeFolder("target/backup");
        clockAhead = std::chrono::hours(0);
    }

    bool FoldsCase() const { return disk_.foldsCase; }
    static std::string OnDisk(const std::string& relative) { return "target/backup/" + relative; }
    // The names the target's root lists, as the disk spells them.
    std::set<std::string> TargetNames() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(target))
            names.insert(entry.path().filename().string());
        return names;
    }
    bool HasLeftover() const
    {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(target))
            if (IsTemporaryName(entry.path().filename().string()))
                return true;
        return false;
    }
    void RunAgain(const SyncOptions& options = unconfirmed)
    {
        runState.ResetForRun();
        report.ResetForRun();
        Run(options);
    }
    // Runs twinfol-sync over the roots in a child process, its journals kept inside the tree.
    pid_t StartRunner() const
    {
        const pid_t child = fork();
        if (child == 0) {
            setenv("XDG_STATE_HOME", tree.Path("home/state").c_str(), 1);
            setenv("XDG_DATA_HOME", tree.Path("home/data").c_str(), 1);
            execl(TWINFOL_SYNC_PATH, TWINFOL_SYNC_PATH, "-q", source.c_str(), target.c_str(), nullptr);
            _exit(127);
        }
        return child;
    }

    Disk disk_{};
    std::optional<TestMount> mount_;
};

// What a disk does to a run, at one walk and at the other.
class RemovableDiskWalkTest : public RemovableDiskFixture,
                              public ::testing::WithParamInterface<std::tuple<Disk, int>> {
protected:
    void SetUp() override
    {
        jobs = std::get<1>(GetParam());
        MountTarget(std::get<0>(GetParam()));
    }
};

// What does not depend on the walk: the lock on the target, the runner killed mid-copy, and a walk
// that names its jobs.
class RemovableDiskTest : public RemovableDiskFixture, public ::testing::WithParamInterface<Disk> {
protected:
    void SetUp() override { MountTarget(GetParam()); }
};

TEST_P(RemovableDiskWalkTest, AddsOverwritesAndDeletes)
{
    tree.WriteFile(Source("new.txt"), "new", baseTime);
    tree.WriteFile(Source("changed.txt"), "newer", baseTime + 1000);
    tree.WriteFile(Source("sub/inner.txt"), "inner", baseTime);
    tree.WriteFile(OnDisk("changed.txt"), "older", baseTime);
    tree.WriteFile(OnDisk("gone.txt"), "gone", baseTime);
    tree.WriteFile(OnDisk("oldsub/x.txt"), "x", baseTime);

    Run();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("new.txt")});
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("changed.txt")});
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("gone.txt")});
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("sub")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("oldsub")});
    EXPECT_EQ(SideSnapshot("target/backup"), SideSnapshot("source"));

    RunAgain();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(report.filesCopied, 0u);
    EXPECT_TRUE(report.deletedFiles.empty());
}

TEST_P(RemovableDiskWalkTest, ACaseOnlyRenameKeepsTheItemUnderTheSourcesSpelling)
{
    tree.WriteFile(Source("IMG_0001.jpg"), "photo", baseTime);
    tree.WriteFile(Source("Notes.TXT"), "edited", baseTime + 1000);
    tree.WriteFile(Source("photos/a.jpg"), "a", baseTime);
    tree.WriteFile(OnDisk("IMG_0001.JPG"), "photo", baseTime);
    tree.WriteFile(OnDisk("notes.txt"), "first draft", baseTime);
    tree.WriteFile(OnDisk("Photos/a.jpg"), "a", baseTime);
    // A dry run first: it changes nothing and foretells the real run's lists and notes.
    const std::set<std::string> before = TargetNames();
    DryRunFileSystem dryRun(fileSystem);
    RunWith(dryRun);
    const SyncReport predicted = report;
    EXPECT_EQ(TargetNames(), before);

    RunAgain();
    EXPECT_EQ(report.notes, predicted.notes);
    EXPECT_EQ(report.overwrittenFiles, predicted.overwrittenFiles);
    EXPECT_EQ(report.deletedFiles, predicted.deletedFiles);
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(TargetNames(),
              (std::set<std::string>{"IMG_0001.jpg", "Notes.TXT", FoldsCase() ? "Photos" : "photos"}));
    EXPECT_EQ(tree.ReadFile(OnDisk("Notes.TXT")), "edited");
    EXPECT_EQ(tree.ReadFile(OnDisk("photos/a.jpg")), "a");
    if (FoldsCase()) {
        // One item each: renamed, compared as twins, and the newer one copied; nothing deleted.
        EXPECT_TRUE(report.deletedFiles.empty());
        EXPECT_TRUE(report.deletedFolders.empty());
        EXPECT_TRUE(report.addedFiles.empty());
        EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("Notes.TXT")});
        // The files take the source's spelling; a folder keeps the disk's.
        EXPECT_EQ(report.notes.size(), 2u);
        EXPECT_NE(std::find(report.notes.begin(), report.notes.end(),
                            "Renamed " + T("IMG_0001.JPG") + " to IMG_0001.jpg, as the source spells it"),
                  report.notes.end());
    } else {
        EXPECT_EQ(Items(report.deletedFiles), (std::vector<std::string>{T("IMG_0001.JPG"), T("notes.txt")}));
        EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("photos")});
    }
    RunAgain();
    EXPECT_EQ(report.filesCopied, 0u);
    EXPECT_TRUE(report.notes.empty());
}

TEST_P(RemovableDiskWalkTest, TwoSourceNamesThatDifferInCaseNeverOverwriteEachOther)
{
    tree.WriteFile(Source("A.txt"), "upper", baseTime);
    tree.WriteFile(Source("a.txt"), "lower", baseTime);
    for (int run = 0; run < 2; ++run) {
        RunAgain();
        EXPECT_TRUE(report.deletedFiles.empty());
        if (!FoldsCase()) {
            EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
            EXPECT_EQ(tree.ReadFile(OnDisk("a.txt")), "lower");
            continue;
        }
        // The first in byte order arrives; the second fails as a copy, without a count or a list entry.
        EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not copy file: " + T("a.txt")});
        EXPECT_EQ(report.addedFileCount + report.overwrittenFileCount, run == 0 ? 1 : 0);
        EXPECT_EQ(TargetNames(), std::set<std::string>{"A.txt"});
        EXPECT_EQ(tree.ReadFile(OnDisk("A.txt")), "upper");
    }
}

// With several workers, names that fold alike still take their turns: more files than one piece of a
// worker's, and folders, each in two spellings.
TEST_P(RemovableDiskTest, NamesThatFoldAlikeTakeTurnsAtFourJobs)
{
    std::vector<std::string> refused;
    for (int file = 0; file < 20; ++file) {
        const std::string number = std::to_string(10 + file);
        tree.WriteFile(Source("F" + number), "upper", baseTime);
        tree.WriteFile(Source("f" + number), "lower", baseTime);
        refused.push_back("Could not copy file: " + T("f" + number));
    }
    tree.WriteFile(Source("D/x"), "upper folder");
    tree.WriteFile(Source("d/y"), "lower folder");
    refused.push_back("Could not copy folder: " + S("d"));
    for (int run = 0; run < 3; ++run) {
        RunAgain({.confirmDeletes = false, .useTrash = false, .jobs = 4});
        EXPECT_TRUE(report.deletedFiles.empty());
        if (!FoldsCase()) {
            EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
            continue;
        }
        // The lower-case spelling of each file and of the folder reaches the upper-case one, which the
        // run has written or matched already, and is refused.
        EXPECT_EQ(report.ProblemLines(), refused);
        EXPECT_EQ(report.addedFileCount, run == 0 ? 20 : 0);
        for (int file = 0; file < 20; ++file)
            EXPECT_EQ(tree.ReadFile(OnDisk("F" + std::to_string(10 + file))), "upper");
        EXPECT_EQ(tree.ReadFile(OnDisk("D/x")), "upper folder");
        EXPECT_FALSE(tree.Exists(OnDisk("D/y")));
    }
}

TEST_P(RemovableDiskTest, AKilledCopyLeavesNothingBehindOnceALaterRunSweeps)
{
    tree.WriteFile(Source("big.bin"), std::string(48u << 20, 'b'), baseTime);
    const pid_t runner = StartRunner();
    // Killed as soon as the copy's temporary file shows (exFAT, FAT), or after a moment where the copy
    // writes an unnamed one.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!HasLeftover() && waitpid(runner, nullptr, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(runner, SIGKILL);
    waitpid(runner, nullptr, 0);
    // Where the copy cannot make an unnamed file, the kill left a named one behind.
    if (FoldsCase()) {
        EXPECT_TRUE(HasLeftover());
    }
    // A leftover as a run killed long ago would have left it, whatever the kill above caught.
    tree.WriteFile(OnDisk(".twinfol-00000000000000aa.part"), "half");

    // A fresh leftover may be a live copy's, of a run into a sub-folder: it stays.
    RunAgain();
    EXPECT_TRUE(tree.Exists(OnDisk(".twinfol-00000000000000aa.part")));
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});

    clockAhead = std::chrono::hours(2);
    runState.ResetForRun();
    report.ResetForRun();
    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    engine.SetUserPlaces({tree.Path("home/data/Trash/"), tree.Path("home/state/twinfol/"), 0}, &ShiftedClock);
    engine.Run(source, target, WithJobs(unconfirmed));
    EXPECT_FALSE(HasLeftover());
    EXPECT_FALSE(report.notes.empty());
    EXPECT_EQ(TargetNames(), std::set<std::string>{"big.bin"});
    EXPECT_TRUE(tree.ReadFile(OnDisk("big.bin")) == std::string(48u << 20, 'b'));
}

// A person's entries named like the program's unfinished copies.
const std::string reservedFile = ".twinfol-0123456789abcdef.part";
const std::string reservedFolder = ".twinfol-fedcba9876543210.part";

TEST_P(RemovableDiskWalkTest, ASourceEntryWithTheReservedNameIsAProblemOfEveryKindOfRun)
{
    tree.WriteFile(Source(reservedFile), "a person's", baseTime);
    tree.WriteFile(Source(reservedFolder + "/inside.txt"), "in", baseTime);
    tree.WriteFile(Source("plain.txt"), "plain", baseTime);
    const std::vector<std::string> expected{"Could not copy file: " + T(reservedFile),
                                            "Could not copy folder: " + source + reservedFolder};
    const auto reasons = [](const SyncReport& run) {
        std::set<std::string> told;
        for (const ProblemRecord& problem : run.problemLog)
            told.insert(problem.reason);
        return told;
    };
    const std::set<std::string> reserved{"the name is reserved for unfinished copies"};

    DryRunFileSystem dryRun(fileSystem);
    RunWith(dryRun);
    EXPECT_EQ(report.ProblemLines(), expected);
    EXPECT_EQ(reasons(report), reserved);
    const RunPlan plan = MakeRunPlan(fileSystem, source, target, WithJobs(unconfirmed), exclusions,
                                     [](const std::string&) { return true; });
    EXPECT_EQ(plan.report.ProblemLines(), expected);
    RunAgain();
    EXPECT_EQ(report.ProblemLines(), expected);
    EXPECT_EQ(reasons(report), reserved);
    EXPECT_EQ(TargetNames(), std::set<std::string>{"plain.txt"});
    // Excluded, or out of a job that adds nothing, it is no problem.
    exclusions = ExclusionList({source + reservedFile, source + reservedFolder + "/"});
    RunAgain();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    exclusions = ExclusionList();
    RunAgain({.addMissing = false, .confirmDeletes = false, .useTrash = false});
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
}

TEST_P(RemovableDiskTest, OnlyUnexplainedOldLeftoversAreSweptAndWithTheTrashOptionIntoTheTrash)
{
    tree.WriteFile(Source(reservedFile), "a person's", baseTime);
    // A copy someone made by hand, stamped long ago: on exFAT its change time is just as old.
    tree.WriteFile(OnDisk(reservedFile), "a person's copy", baseTime);
    tree.WriteFile(OnDisk(".twinfol-00000000000000aa.part"), "half");
    tree.WriteFile(OnDisk("kept.txt"), "kept", baseTime);

    clockAhead = std::chrono::hours(2);
    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    engine.SetUserPlaces({tree.Path("home/data/Trash/"), tree.Path("home/state/twinfol/"), 0}, &ShiftedClock);
    engine.Run(source, target, WithJobs({.deleteMissing = false, .confirmDeletes = false, .useTrash = true}));
    EXPECT_EQ(tree.ReadFile(OnDisk(reservedFile)), "a person's copy");
    EXPECT_FALSE(tree.Exists(OnDisk(".twinfol-00000000000000aa.part")));
    EXPECT_EQ(report.notes, std::vector<std::string>{"Removed " + T(".twinfol-00000000000000aa.part") +
                                                     ", a temporary file an interrupted run left behind"});
    // The swept file is in a Trash, the disk's own or the home one.
    std::vector<std::string> trashed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Root()))
        if (entry.path().filename() == ".twinfol-00000000000000aa.part")
            trashed.push_back(entry.path().string());
    ASSERT_EQ(trashed.size(), 1u);
    EXPECT_NE(trashed[0].find("/files/"), std::string::npos) << trashed[0];
    EXPECT_EQ(tree.ReadFile(trashed[0].substr(tree.Root().size())), "half");
    EXPECT_EQ(tree.ReadFile(OnDisk("kept.txt")), "kept");
}

// A copy killed on exFAT or FAT leaves its leftover with the old stamps it had set, which stand in for
// a change time there: a run soon after keeps it, by the time in its name.
TEST_P(RemovableDiskTest, AFreshLeftoverWithOldStampsIsKept)
{
    const std::string fresh = MakeTemporaryName();
    tree.WriteFile(OnDisk(fresh), "half", baseTime);
    tree.WriteFile(OnDisk(".twinfol-00000000000000ab.part"), "long ago", baseTime);

    RunWith(fileSystem);
    EXPECT_EQ(tree.ReadFile(OnDisk(fresh)), "half");

    clockAhead = std::chrono::hours(2);
    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    engine.SetUserPlaces({tree.Path("home/data/Trash/"), tree.Path("home/state/twinfol/"), 0}, &ShiftedClock);
    report.ResetForRun();
    engine.Run(source, target, WithJobs(unconfirmed));
    clockAhead = std::chrono::hours(0);
    EXPECT_FALSE(tree.Exists(OnDisk(fresh)));
    EXPECT_FALSE(tree.Exists(OnDisk(".twinfol-00000000000000ab.part")));
}

TEST_P(RemovableDiskTest, ASecondRunIntoTheSameTargetIsRefusedWhileTheFirstWrites)
{
    tree.WriteFile(Source("a.txt"), "a", baseTime);
    tree.WriteFile(OnDisk("only.txt"), "kept", baseTime);
    FaultInjectingFileSystem faults(fileSystem);
    faults.Hold(FsOperation::CopyFile);
    std::thread first([&] { RunWith(faults); });
    ASSERT_TRUE(faults.WaitUntilHeld(std::chrono::seconds(10)));

    PosixFileSystem otherLayer;
    SyncRunState otherState;
    SyncReport otherReport;
    ScriptedSyncHost otherHost;
    SyncEngine second(otherLayer, exclusions, otherState, otherReport, otherHost);
    second.Run(source, target, WithJobs(unconfirmed));
    EXPECT_EQ(otherReport.refusal, targetBusyReason);
    // The runner refuses it the same way, with its exit status for a refusal.
    const std::string errors = tree.Path("runner.err");
    const int status = std::system(
        (std::string(TWINFOL_SYNC_PATH) + " --delete " + source + " " + target + " 2>" + errors).c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(tree.ReadFile("runner.err")->find(targetBusyReason), std::string::npos);
    EXPECT_EQ(tree.ReadFile(OnDisk("only.txt")), "kept");

    faults.Release();
    first.join();
    EXPECT_TRUE(report.refusal.empty());
    EXPECT_EQ(tree.ReadFile(OnDisk("a.txt")), "a");
}

TEST_P(RemovableDiskWalkTest, AnHourShiftOfEveryTargetStampCopiesOnlyWithoutTheOption)
{
    for (const char* name : {"a.txt", "b.txt", "sub/c.txt"}) {
        tree.WriteFile(Source(name), name, baseTime);
        tree.WriteFile(OnDisk(name), name, baseTime - 3600);
    }
    // A real edit on top of the shift is copied either way.
    tree.WriteFile(Source("edited.txt"), "new", baseTime + 200);
    tree.WriteFile(OnDisk("edited.txt"), "old", baseTime - 3600);

    Run({.confirmDeletes = false, .useTrash = false, .ignoreHourShift = true});
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("edited.txt")});
    EXPECT_EQ(tree.ReadFile(OnDisk("edited.txt")), "new");

    RunAgain();
    EXPECT_EQ(Items(report.overwrittenFiles),
              (std::vector<std::string>{T("a.txt"), T("b.txt"), T("sub/c.txt")}));
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
}

const auto disks =
    ::testing::Values(Disk{DiskKind::Exfat, "exfat", true}, Disk{DiskKind::Fat32, "fat32", true},
                      Disk{DiskKind::Tmpfs, "tmpfs", false}, Disk{DiskKind::Ext4, "ext4", false});

INSTANTIATE_TEST_SUITE_P(Disks, RemovableDiskTest, disks, [](const ::testing::TestParamInfo<Disk>& info) {
    return std::string(info.param.name);
});

std::string DiskAndJobsName(const ::testing::TestParamInfo<std::tuple<Disk, int>>& info)
{
    return std::string(std::get<0>(info.param).name) + "Jobs" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Disks, RemovableDiskWalkTest, ::testing::Combine(disks, bothWalks), DiskAndJobsName);

} // namespace
} // namespace twinfol::test
