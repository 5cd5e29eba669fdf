// Runs of the engine with the Trash and journals over real trees: the user's home trash and journal
// folder inside the same temporary tree, and a clock the test sets.
#pragma once

#include <unistd.h>

#include <chrono>
#include <optional>

#include "engine/changes/journal_folder.h"
#include "engine/changes/journal_record.h"
#include "engine/changes/trash_info.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {

inline constexpr SyncOptions withTrash{.confirmDeletes = false, .useTrash = true};

// The time every journal and info file of a test is dated with.
inline std::chrono::system_clock::time_point testNow;
inline std::chrono::system_clock::time_point TestClock()
{
    return testNow;
}

class TrashRunTest : public SyncEngineTest {
protected:
    TrashRunTest() { testNow = std::chrono::system_clock::from_time_t(baseTime + 1000); }

    // A fresh report for each run, as run control gives one.
    void RunWithTrash(const SyncOptions& options = withTrash) { RunThrough(fileSystem, options); }
    void RunThrough(FileSystem& layer, const SyncOptions& options = withTrash)
    {
        runState.ResetForRun();
        report.ResetForRun();
        SyncEngine engine(layer, exclusions, runState, report, host);
        engine.SetUserPlaces(places, &TestClock);
        engine.Run(source, target, WithJobs(options));
    }

    void AdvanceDays(int days) { testNow += std::chrono::hours(24 * days); }

    // The home trash's items and info files, relative to files/ and info/.
    std::map<std::string, std::string> TrashFiles() const { return SideSnapshot("home/data/Trash/files"); }
    std::map<std::string, std::string> TrashInfos() const { return SideSnapshot("home/data/Trash/info"); }
    // The info file the run should have written for an item of the target, deleted now.
    std::string ExpectedInfo(const std::string& relative) const
    {
        return TrashInfoText(TrashInfoPathValue(target + relative, ""),
                             TrashDeletionDate(std::chrono::system_clock::to_time_t(testNow)));
    }

    std::vector<JournalFile> Journals() { return ListJournals(fileSystem, places.journalFolder); }
    std::optional<Journal> NewestJournal()
    {
        const std::vector<JournalFile> journals = Journals();
        if (journals.empty())
            return std::nullopt;
        std::string text;
        if (!fileSystem.ReadFile(journals.back().path, maxJournalBytes, text))
            return std::nullopt;
        return ParseJournal(text);
    }

    UserPlaces places{tree.Path("home/data/Trash/"), tree.Path("home/state/twinfol/"),
                      static_cast<std::uint32_t>(geteuid())};
};

} // namespace twinfol::test
