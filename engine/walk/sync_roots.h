// The checks a pair of roots must pass before a run may start. Each refusal happens before anything
// is touched and comes with a message that names the folder concerned.
#pragma once

#include <string>

#include "engine/fs/file_system.h"

namespace twinfol {

enum class RootProblem {
    None,
    SourceEmpty,
    TargetEmpty,
    SourceMissing,
    SourceNotFolder,
    SourceUnreadable,
    TargetMissing,
    TargetNotFolder,
    TargetUnreadable,
    SameFolder,
    TargetInsideSource,
    SourceInsideTarget,
    // Where the roots lie inside their file systems cannot be read (no /proc in a container, a kernel
    // that tells no mount ids), so a bind mount that joins them could not be seen.
    OverlapUnknown,
};

struct RootCheck {
    RootProblem problem = RootProblem::None;
    // For the person: why the run was refused. Empty when the roots are fine.
    std::string message;
    // The roots as the run is to use them: as given, with a trailing separator added when missing.
    std::string source;
    std::string target;

    bool IsOk() const { return problem == RootProblem::None; }
};

// Checks the two roots of a run: both given, both existing folders that can be listed, and neither
// the same folder as the other nor inside it, once ".", ".." and symbolic links are resolved and by
// their places inside their file systems (which no bind mount hides), nor reachable through a file
// system mounted below the other. When the system cannot tell where the roots lie, the run is refused:
// roots that cannot be shown apart are never taken for roots that are apart.
RootCheck CheckRoots(FileSystem& fileSystem, std::string source, std::string target);

} // namespace twinfol
