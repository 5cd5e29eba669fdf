// The desktop program's command line: which argument names the profile to open.
#pragma once

#include <string>
#include <vector>

namespace twinfol {

// The first argument that does not begin with "-" (a switch, which has no effect); empty when there
// is none. Only "-" marks a switch: an absolute path begins with "/" and is a profile path.
std::string ProfileFromArguments(const std::vector<std::string>& arguments);

enum class StartAction { OpenWindow, PrintHelp, PrintVersion, OpenReport };

// --help and --version end the program before any window opens; --report FILE opens only the report
// window over a kept report.
StartAction StartActionFromArguments(const std::vector<std::string>& arguments);

// The FILE of "--report FILE" (or "--report=FILE"); empty when there is none.
std::string ReportFileFromArguments(const std::vector<std::string>& arguments);

} // namespace twinfol
