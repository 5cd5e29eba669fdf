// Running a program to its end from a test, with what it printed and how it ended.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/temp_tree.h"

namespace twinfol::test {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the command (its first word searched in PATH) in a session of its own, standard input from
// /dev/null, both outputs to files of the scratch tree, and the environment's variables replaced as
// given (an empty value removes one).
Outcome RunCommand(std::vector<std::string> command, const TempTree& scratch,
                   const std::map<std::string, std::string>& environment);

} // namespace twinfol::test
