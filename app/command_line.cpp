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
    return ReportFileFromArguments(arguments).empty() ? StartAction::OpenWindow : StartAction::OpenReport;
}

std::string ReportFileFromArguments(const std::vector<std::string>& arguments)
{
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == "--report" && index + 1 < arguments.size())
            return arguments[index + 1];
        if (arguments[index].starts_with("--report="))
            return arguments[index].substr(9);
    }
    return {};
}

} // namespace twinfol
