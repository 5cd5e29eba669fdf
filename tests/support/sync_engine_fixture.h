// A source and a target folder in a real temporary tree, the engine's collaborators, and helpers
// to run the engine over them and read its report; SyncEngineTest runs each of its tests through
// both walks, the engine thread's alone and the pool's.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/posix/posix_file_system.h"
#include "engine/walk/sync_engine.h"
#include "support/scripted_sync_host.h"
#include "support/temp_tree.h"

namespace twinfol::test {

// The tests' usual job: add, delete and recurse, without delete questions and without the Trash.
inline constexpr SyncOptions unconfirmed{.confirmDeletes = false, .useTrash = false};

// 10:00:00 UTC on 14 November 2023: a fixed base for time stamps.
inline constexpr std::time_t baseTime = 1699956000;

// The fixture's state and helpers. A test on it takes one walk, the engine thread's alone unless its
// options name other jobs: for tests that run no engine, whose jobs are part of what they check, or
// that check what no walk decides (a lock on the target, a killed runner's leftovers).
class SyncEngineFixture : public ::testing::Test {
protected:
    // Runs the engine over the two roots through the given layer (the real one by default), as run
    // control does: within the run's scope.
    void Run(const SyncOptions& options = unconfirmed) { RunWith(fileSystem, options); }
    void RunWith(FileSystem& layer, const SyncOptions& options = unconfirmed)
    {
        SyncEngine engine(layer, exclusions, runState, report, host);
        engine.Run(source, target, WithJobs(options));
    }

    // The options with the fixture's jobs where they leave the number to the machine (0): which walk
    // a test takes must not depend on how many cores run it. A number the test names is kept.
    SyncOptions WithJobs(SyncOptions options) const
    {
        if (options.jobs == 0)
            options.jobs = jobs;
        return options;
    }

    // Relative paths in the two trees.
    std::string Source(const std::string& relative) const { return "source/" + relative; }
    std::string Target(const std::string& relative) const { return "target/" + relative; }
    // Full target-side path, as the report holds it.
    std::string T(const std::string& relative) const { return target + relative; }
    std::string S(const std::string& relative) const { return source + relative; }

    static std::vector<std::string> Items(const PathSet& paths) { return {paths.begin(), paths.end()}; }

    // Everything below one side, relative to it.
    std::map<std::string, std::string> SideSnapshot(const std::string& side) const
    {
        std::map<std::string, std::string> entries;
        for (const auto& [path, content] : tree.Snapshot())
            if (path.starts_with(side + "/") && path.size() > side.size() + 1)
                entries[path.substr(side.size() + 1)] = content;
        return entries;
    }

    // The jobs of a run whose options leave them open: the engine thread alone, unless a parameter
    // says otherwise.
    int jobs = 1;
    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
    ExclusionList exclusions;
    SyncRunState runState;
    SyncReport report;
    ScriptedSyncHost host;
};

// The two walks a run can take: the engine thread alone (one job), and the pool (four workers, more
// than the two cores of a small machine, so that they really do go side by side).
inline const auto bothWalks = ::testing::Values(1, 4);

// Names a test's run at each walk: "Jobs1", "Jobs4".
inline std::string JobsName(const ::testing::TestParamInfo<int>& info)
{
    return "Jobs" + std::to_string(info.param);
}

// A fixture whose every test runs at one job and at four jobs. Each file gives its fixtures names of
// its own and instantiates them:
//     using SomeTest = BothWalks<SomeFixture>;
//     INSTANTIATE_TEST_SUITE_P(, SomeTest, bothWalks, JobsName);
template <class Fixture> class BothWalks : public Fixture, public ::testing::WithParamInterface<int> {
protected:
    BothWalks() { this->jobs = this->GetParam(); }
};

// The engine's tests at both walks (sync_engine_test.cpp instantiates it; other files derive or
// alias a fixture of their own from it, so that each instantiates only its own tests).
using SyncEngineTest = BothWalks<SyncEngineFixture>;

} // namespace twinfol::test
