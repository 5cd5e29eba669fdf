// A source and a target folder in a real temporary tree, the engine's collaborators, and helpers
// to run the engine over them and read its report.
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

class SyncEngineTest : public ::testing::Test {
protected:
    // Runs the engine over the two roots through the given layer (the real one by default), as run
    // control does: within the run's scope.
    void Run(const SyncOptions& options = unconfirmed) { RunWith(fileSystem, options); }
    void RunWith(FileSystem& layer, const SyncOptions& options = unconfirmed)
    {
        SyncEngine engine(layer, exclusions, runState, report, host);
        engine.Run(source, target, options);
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

    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
    ExclusionList exclusions;
    SyncRunState runState;
    SyncReport report;
    ScriptedSyncHost host;
};

} // namespace twinfol::test
