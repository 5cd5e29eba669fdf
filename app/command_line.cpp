// Reading the desktop program's command line.
#include "app/command_line.h"

namespace twinfol {

std::string ProfileFromArguments(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (!argument.starts_with('-'))
            return argument;
    return {};
}

StartAction StartActionFromArguments(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h")
            return StartAction::PrintHelp;
        if (argument == "--version")
            return StartAction::PrintVersion;
    }
    return StartAction::OpenWindow;
}

} // namespace twinfol
