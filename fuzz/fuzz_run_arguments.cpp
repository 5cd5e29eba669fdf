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

// Whether the well-formed sequence of that length at the start of the text is a control character:
// C0, DEL, or C1 (U+0080 to U+009F, which a terminal may take for the start of an escape sequence).
bool IsControlSequence(std::string_view text, std::size_t length)
{
    const auto lead = static_cast<unsigned char>(text.front());
    if (length == 1)
        return lead < 0x20 || lead == 0x7F;
    return length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) <= 0x9F;
}

// A JSON string literal: quoted, well-formed UTF-8, no raw control character of any range, every
// backslash starting a known escape.
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
        Require(!IsControlSequence(body, length));
        body.remove_prefix(length);
    }
}

// Text for a terminal: well-formed UTF-8 (so no lone byte 0x80 to 0x9F, the 8-bit controls) without
// any control character.
void RequireTerminalSafe(std::string_view text)
{
    const std::string safe = twinfol::cli::ForTerminal(text);
    for (std::string_view rest = safe; !rest.empty();) {
        const std::size_t length = twinfol::cli::Utf8SequenceLength(rest);
        Require(length >= 1 && !IsControlSequence(rest, length));
        rest.remove_prefix(length);
    }
}

bool SameParse(const ParsedArguments& a, const ParsedArguments& b)
{
    const auto& x = a.arguments;
    const auto& y = b.arguments;
    return a.error == b.error && x.invocation == y.invocation && x.source == y.source &&
           x.target == y.target && x.profilePath == y.profilePath && x.direction == y.direction &&
           x.options == y.options && x.exclusions == y.exclusions && x.jobSwitches == y.jobSwitches &&
           x.dryRun == y.dryRun && x.json == y.json && x.answerYesToAll == y.answerYesToAll &&
           x.undoTarget == y.undoTarget && x.trashDaysGiven == y.trashDaysGiven &&
           x.verbosity == y.verbosity && x.plan == y.plan && x.logFile == y.logFile;
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
        // A profile holds the job, so no switch that changes the job may come with one: the options are
        // a bare profile command line's but for the run's own (how long the Trash keeps things, the
        // safety limits, the workers).
        Require(run.profilePath.ends_with(".twp") && IsOneOf(run.profilePath, arguments));
        twinfol::SyncOptions expected =
            twinfol::cli::ParseArguments({"--", run.profilePath}).arguments.options;
        expected.trashKeepDays = run.options.trashKeepDays;
        expected.emptySource = run.options.emptySource;
        expected.maxDeletes = run.options.maxDeletes;
        expected.jobs = run.options.jobs;
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
        RequireTerminalSafe(exclusion);
    }
    // A delete limit is a count the command line gave, and a log file a name it gave.
    Require(!run.options.maxDeletes || *run.options.maxDeletes >= 0);
    Require(run.logFile.empty() || IsOneOf(run.logFile, arguments) ||
            IsOneOf("--log-file=" + run.logFile, arguments));
    return 0;
}
