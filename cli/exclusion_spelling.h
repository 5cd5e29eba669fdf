// Exclusions given to the runner, made to match what the person named. The engine matches an
// exclusion byte for byte against paths built from the roots as typed, so "T/keep" protects nothing in
// a run whose target was typed "/home/me/T". The runner knows the roots: it puts each exclusion into
// their spelling, gives a folder its trailing "/", and refuses what could never match.
#pragma once

#include <string>
#include <vector>

#include "engine/fs/file_system.h"

namespace twinfol::cli {

struct SpelledExclusions {
    // The exclusions in the roots' spelling, ready for the engine.
    std::vector<std::string> entries;
    // Exclusions that match nothing present: said, not refused (the item may come later).
    std::vector<std::string> warnings;
    // Why the exclusions are refused; empty when they are accepted.
    std::string refusal;
};

// The path made absolute against the working folder and lexically tidy: "//", "/./" and a trailing "/"
// removed, "name/.." taken out. No link is resolved.
std::string TidyPath(const std::string& path, const std::string& workingFolder);

// For exclusions typed on the command line. The roots are those the run uses (as typed, ending with
// the separator). Each exclusion and each root is tidied; an exclusion lying under a root becomes that
// root as typed followed by the rest of the exclusion, with a trailing "/" when it names a folder (and
// none when it names anything else). An exclusion under neither root, one that names a root itself,
// and a glob pattern that names nothing are refused.
SpelledExclusions SpellExclusions(FileSystem& fileSystem, const std::vector<std::string>& typed,
                                  const std::string& sourceRoot, const std::string& targetRoot,
                                  const std::string& workingFolder);

// For the exclusions a profile holds, which the runner takes as they stand: the warnings for every
// entry that cannot match what it seems to name (under neither root, spelled unlike the roots, a folder
// without its trailing "/", a pattern, or nothing present).
std::vector<std::string> CheckProfileExclusions(FileSystem& fileSystem,
                                                const std::vector<std::string>& entries,
                                                const std::string& sourceRoot, const std::string& targetRoot,
                                                const std::string& workingFolder);

} // namespace twinfol::cli
