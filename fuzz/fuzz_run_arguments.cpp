// Feeds random command lines to twinfol-sync's argument parser: the input is split on NUL bytes into
// the arguments. The parser must never crash, must give the same answer twice, and what it accepts
// must be a job the runner can hold; names and messages must come out as valid JSON and as text
// safe for a terminal.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/run_arguments.h"
#include "cli/text_encoding.h"

namespace {

using twinfol::cli::Invocation;
using twinfol::cli::ParsedArguments;

std::vector<std::string> SplitOnNul(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty() || size == 0 || data[size - 1] == 0)
        arguments.push_back(std::move(current));
    return arguments;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// A JSON string literal: quoted, well-formed UTF-8, no raw control character, every backslash
// starting a known escape.
void RequireJsonString(std::string_view literal)
{
    Require(literal.size() >= 2 && literal.front() == '"' && literal.back() == '"');
    std::string_view body = literal.substr(1, literal.size() - 2);
    while (!body.empty()) {
        const auto byte = static_cast<unsigned char>(body.front());
        Require(byte >= 0x20 && byte != '"');
        if (byte == '\\') {
            Require(body.size() >= 2);
            const char escape = body[1];
            if (escape == 'u') {
                Require(body.size() >= 6);
                for (std::size_t i = 2; i < 6; ++i)
                    Require(std::isxdigit(static_cast<unsigned char>(body[i])) != 0);
                body.remove_prefix(6);
            } else {
                Require(std::string_view("\"\\/bfnrt").find(escape) != std::string_view::npos);
                body.remove_prefix(2);
            }
            continue;
        }
        const std::size_t length = twinfol::cli::Utf8SequenceLength(body);
        Require(length >= 1 && length <= body.size());
        body.remove_prefix(length);
    }
}

void RequireTerminalSafe(std::string_view text)
{
    for (const char c : twinfol::cli::ForTerminal(text))
        Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

bool SameParse(const ParsedArguments& a, const ParsedArguments& b)
{
    const auto& x = a.arguments;
    const auto& y = b.arguments;
    return a.error == b.error && x.invocation == y.invocation && x.source == y.source &&
           x.target == y.target && x.profilePath == y.profilePath && x.direction == y.direction &&
           x.options == y.options && x.exclusions == y.exclusions && x.jobSwitches == y.jobSwitches &&
           x.dryRun == y.dryRun && x.json == y.json && x.answerYesToAll == y.answerYesToAll &&
           x.undoTarget == y.undoTarget && x.trashDaysGiven == y.trashDaysGiven;
}

bool IsOneOf(const std::string& text, const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (argument == text)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> arguments = SplitOnNul(data, size);
    const ParsedArguments parsed = twinfol::cli::ParseArguments(arguments);
    Require(SameParse(parsed, twinfol::cli::ParseArguments(arguments)));
    if (!parsed.IsOk()) {
        RequireTerminalSafe(parsed.error);
        return 0;
    }
    const auto& run = parsed.arguments;
    switch (run.invocation) {
    case Invocation::Help:
    case Invocation::Version: break;
    case Invocation::Folders:
        // Both folders come from the command line as given, and a direction belongs to profiles only.
        Require(IsOneOf(run.source, arguments) && IsOneOf(run.target, arguments));
        Require(!run.direction && run.profilePath.empty());
        RequireJsonString(twinfol::cli::JsonQuoted(run.source));
        RequireJsonString(twinfol::cli::JsonQuoted(run.target));
        RequireTerminalSafe(run.source);
        break;
    case Invocation::Profile: {
        // A profile holds the job, so no switch that changes the job may come with one; how long the
        // Trash keeps things is the runner's own.
        Require(run.profilePath.ends_with(".twp") && IsOneOf(run.profilePath, arguments));
        twinfol::SyncOptions expected = twinfol::cli::commandLineDefaults;
        expected.trashKeepDays = run.options.trashKeepDays;
        Require(run.jobSwitches.empty() && run.exclusions.empty() && run.options == expected);
        break;
    }
    case Invocation::Undo:
        // An undo names its folder and nothing else of a job.
        Require(!run.undoTarget.empty() && run.source.empty() && run.target.empty() &&
                run.profilePath.empty());
        Require(run.jobSwitches.empty() && !run.direction && !run.trashDaysGiven);
        RequireJsonString(twinfol::cli::JsonQuoted(run.undoTarget));
        RequireTerminalSafe(run.undoTarget);
        break;
    }
    Require(run.options.trashKeepDays >= 0 && run.options.trashKeepDays <= 36500);
    for (const std::string& exclusion : run.exclusions) {
        Require(!exclusion.empty());
        RequireJsonString(twinfol::cli::JsonQuoted(exclusion));
    }
    return 0;
}
