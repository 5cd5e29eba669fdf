// The runner driven in-process over a real temporary tree: its streams, its terminal and its file
// system are the test's, the last one a fault-injecting layer over the real one, so a test can change
// the tree at an exact point of the run.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/sync_command.h"
#include "engine/posix/posix_file_system.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::cli {

class SyncCommandTest : public ::testing::Test {
protected:
    ExitCode Run(std::vector<std::string> arguments, Terminal tty = Terminal::No,
                 ErrorStream errorStream = ErrorStream::NotATerminal)
    {
        out.str("");
        err.str("");
        ttyOut.str("");
        CommandEnvironment environment{out,         err,    in,       ttyOut,  tty, errorStream, 40,
                                       tree.Root(), faults, runState, &places, {},  {}};
        return RunSyncCommand(arguments, environment);
    }

    // Writes a profile whose Location 1 is the source folder and Location 2 the target folder.
    std::string WriteProfile(const std::string& autoStart, const std::string& confirm = "0",
                             const std::string& exclusions = "") const
    {
        const std::string text = "twin_fol_version=1.01\r\nlocation1=" + tree.Path("source/") +
                                 "\r\nlocation2=" + tree.Path("target/") +
                                 "\r\ndelete_files=1\r\nconfirm_deletes=" + confirm +
                                 "\r\nadd_files=1\r\ncheck_sub_folders=1\r\nauto_start=" + autoStart +
                                 "\r\nexclusions=\r\n" + exclusions + "end_exclusions\r\n";
        return tree.WriteFile("job.twp", text);
    }

    bool OutHas(const std::string& text) const { return out.str().find(text) != std::string::npos; }
    bool ErrHas(const std::string& text) const { return err.str().find(text) != std::string::npos; }

    test::TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
    test::FaultInjectingFileSystem faults{fileSystem};
    SyncRunState runState;
    // Journals and the home trash stay inside the test's tree.
    UserPlaces places{tree.Path("home/Trash/"), tree.Path("home/state/"),
                      static_cast<std::uint32_t>(geteuid())};
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    std::ostringstream ttyOut;
};

} // namespace twinfol::cli
