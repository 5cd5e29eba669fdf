// The exit status of twinfol-sync.
#pragma once

namespace twinfol::cli {

enum class ExitCode : int {
    Finished = 0,    // the run finished and its problem log is empty
    Problems = 1,    // the run finished with problems
    Refused = 2,     // bad arguments, profile, folders or exclusions, or a guard said no; nothing was touched
    Interrupted = 3, // a signal, or Cancel at a delete question
};

} // namespace twinfol::cli
