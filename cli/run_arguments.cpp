// Command-line parsing of twinfol-sync.
#include "cli/run_arguments.h"

#include <algorithm>
#include <string_view>

#include "base/ignore_patterns.h"
#include "base/size_text.h"

namespace twinfol::cli {
namespace {

ParsedArguments Refuse(std::string error)
{
    ParsedArguments parsed;
    parsed.error = std::move(error);
    return parsed;
}

// The switches that set one of the job's yes-or-no options, each with the value it gives. A command
// line without the switch gives the other value, so that a bare invocation adds and recurses but never
// deletes, asks or uses the Trash.
struct FlagSwitch {
    std::string_view name;
    bool SyncOptions::*option;
    bool given;
};

constexpr FlagSwitch flagSwitches[] = {
    {"--no-add", &SyncOptions::addMissing, false},
    {"--delete", &SyncOptions::deleteMissing, true},
    {"--no-subfolders", &SyncOptions::checkSubFolders, false},
    {"--confirm", &SyncOptions::confirmDeletes, true},
    {"--trash", &SyncOptions::useTrash, true},
    {"--ignore-hour-shift", &SyncOptions::ignoreHourShift, true},
    {"--replace-read-only", &SyncOptions::replaceReadOnly, true},
};

// The options of a command line that gives no switch: every flag as its switch's absence says, and an
// empty source refused unless --allow-empty-source allows it.
void SetUnsaidOptions(SyncOptions& options)
{
    for (const FlagSwitch& flag : flagSwitches)
        options.*flag.option = !flag.given;
    options.emptySource = EmptySource::Refuse;
}

// A keeping time of more than a hundred years is a typing mistake rather than a wish.
constexpr int mostKeepDays = 36500;
constexpr std::int64_t mostJobs = 64;

bool ReadKeepDays(const std::string& text, int& days)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int value = std::stoi(text);
    if (value > mostKeepDays)
        return false;
    days = value;
    return true;
}

std::optional<SyncDirection> DirectionFromText(std::string_view text)
{
    if (text == "1to2")
        return SyncDirection::Location1ToLocation2;
    if (text == "2to1")
        return SyncDirection::Location2ToLocation1;
    return std::nullopt;
}

// Fetches the value of an option given either as "--name=value" or as "--name value".
bool TakeValue(const std::vector<std::string>& arguments, std::size_t& index, std::string_view name,
               std::string& value, std::string& error)
{
    const std::string& argument = arguments[index];
    if (argument.size() > name.size() && argument[name.size()] == '=') {
        value = argument.substr(name.size() + 1);
        return true;
    }
    if (index + 1 >= arguments.size()) {
        error = std::string(name) + " needs a value";
        return false;
    }
    value = arguments[++index];
    return true;
}

bool HasOptionName(std::string_view argument, std::string_view name)
{
    return argument == name ||
           (argument.starts_with(name) && argument.size() > name.size() && argument[name.size()] == '=');
}

// Switches that take no value and change the job itself; a profile holds the job, so they are
// remembered to be refused with one.
bool TakeJobSwitch(const std::string& argument, RunArguments& run)
{
    for (const FlagSwitch& flag : flagSwitches) {
        if (argument == flag.name) {
            run.options.*flag.option = flag.given;
            run.jobSwitches.push_back(argument);
            return true;
        }
    }
    return false;
}

// Switches that take no value and change how this one run goes, with a job of either form.
bool TakeRunSwitch(const std::string& argument, RunArguments& run)
{
    if (argument == "--yes")
        run.answerYesToAll = true;
    else if (argument == "--dry-run" || argument == "-n")
        run.dryRun = true;
    else if (argument == "--json")
        run.json = true;
    else if (argument == "--quiet" || argument == "-q")
        run.verbosity = Verbosity::Quiet;
    else if (argument == "--verbose" || argument == "-v")
        run.verbosity = Verbosity::Verbose;
    else if (argument == "--plan")
        run.plan = PlanChoice::Always;
    else if (argument == "--no-plan")
        run.plan = PlanChoice::Never;
    else if (argument == "--notify")
        run.notify = Notify::Send;
    else if (argument == "--notify-wait")
        run.notify = Notify::SendAndWait;
    else if (argument == "--allow-empty-source")
        run.options.emptySource = EmptySource::Allow;
    else if (argument == "--delete-ignored")
        run.options.deleteIgnored = true;
    else if (argument == "--unschedule")
        run.invocation = Invocation::Unschedule;
    else if (argument == "--schedules")
        run.invocation = Invocation::Schedules;
    else if (argument == "--watch")
        run.invocation = Invocation::Watch;
    else
        return false;
    return true;
}

std::optional<std::int64_t> CountFromText(std::string_view text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::int64_t count = 0;
    for (const char digit : text)
        count = count * 10 + (digit - '0');
    return count;
}

// Takes an option that has a value; answers whether the argument was one, with error set when its
// value is refused.
bool TakeValueOption(const std::vector<std::string>& arguments, std::size_t& index, RunArguments& run,
                     std::string& error)
{
    const std::string& argument = arguments[index];
    std::string value;
    if (HasOptionName(argument, "--exclude")) {
        if (TakeValue(arguments, index, "--exclude", value, error) && value.empty())
            error = "--exclude needs a path";
        run.exclusions.push_back(value);
        run.jobSwitches.push_back("--exclude");
    } else if (HasOptionName(argument, "--direction")) {
        if (TakeValue(arguments, index, "--direction", value, error)) {
            run.direction = DirectionFromText(value);
            if (!run.direction)
                error = "--direction must be 1to2 or 2to1, not \"" + value + "\"";
        }
    } else if (HasOptionName(argument, "--trash-days")) {
        if (TakeValue(arguments, index, "--trash-days", value, error)) {
            if (!ReadKeepDays(value, run.options.trashKeepDays))
                error = "--trash-days must be a number of days from 0 to " + std::to_string(mostKeepDays) +
                        ", not \"" + value + "\"";
            run.trashDaysGiven = true;
        }
    } else if (HasOptionName(argument, "--undo")) {
        if (TakeValue(arguments, index, "--undo", value, error)) {
            if (value.empty())
                error = "--undo needs a target folder";
            run.invocation = Invocation::Undo;
            run.undoTarget = value;
        }
    } else if (HasOptionName(argument, "--max-delete")) {
        if (TakeValue(arguments, index, "--max-delete", value, error)) {
            run.options.maxDeletes = CountFromText(value);
            if (!run.options.maxDeletes)
                error = "--max-delete needs a number of items, not \"" + value + "\"";
        }
    } else if (HasOptionName(argument, "--jobs") || argument == "-j") {
        if (TakeValue(arguments, index, argument == "-j" ? "-j" : "--jobs", value, error)) {
            const std::optional<std::int64_t> jobs = CountFromText(value);
            if (!jobs || *jobs < 1 || *jobs > mostJobs)
                error = "--jobs needs a number of workers from 1 to " + std::to_string(mostJobs) +
                        ", not \"" + value + "\"";
            else
                run.options.jobs = static_cast<int>(*jobs);
        }
    } else if (HasOptionName(argument, "--log-file")) {
        if (TakeValue(arguments, index, "--log-file", value, error) && value.empty())
            error = "--log-file needs a file";
        run.logFile = value;
    } else if (HasOptionName(argument, "--ssh-key")) {
        if (TakeValue(arguments, index, "--ssh-key", value, error) && value.empty())
            error = "--ssh-key needs a private key file";
        run.sshKey = value;
    } else {
        return false;
    }
    return true;
}

// A size limit's value: the size, or the refusal set in error.
std::optional<std::int64_t> SizeLimit(std::string_view name, const std::string& value, std::string& error)
{
    const std::optional<std::int64_t> size = ParseSizeText(value);
    if (!size)
        error = std::string(name) + " needs a size such as 100M, 1.5G or 2048 (bytes), not \"" + value + "\"";
    return size;
}

// Takes an option of the ignore rules that has a value, as TakeValueOption does.
bool TakeIgnoreOption(const std::vector<std::string>& arguments, std::size_t& index, RunArguments& run,
                      std::string& error)
{
    const std::string& argument = arguments[index];
    std::string value;
    if (HasOptionName(argument, "--ignore")) {
        if (TakeValue(arguments, index, "--ignore", value, error) && !IsPatternLine(value))
            error = "--ignore needs a pattern, not \"" + value +
                    "\" (that is blank, a comment, or a pattern that matches nothing)";
        run.ignoreRules.push_back({IgnoreRule::Kind::Pattern, value});
    } else if (HasOptionName(argument, "--ignore-file")) {
        if (TakeValue(arguments, index, "--ignore-file", value, error) && value.empty())
            error = "--ignore-file needs a file";
        run.ignoreRules.push_back({IgnoreRule::Kind::File, value});
    } else if (HasOptionName(argument, "--schedule")) {
        if (TakeValue(arguments, index, "--schedule", value, error) && value.empty())
            error = "--schedule needs hourly, daily, weekly, on-mount or a calendar expression";
        run.invocation = Invocation::Schedule;
        run.scheduleWhen = value;
    } else if (HasOptionName(argument, "--source-at") || HasOptionName(argument, "--target-at")) {
        const bool source = HasOptionName(argument, "--source-at");
        const char* name = source ? "--source-at" : "--target-at";
        if (TakeValue(arguments, index, name, value, error) && value.empty())
            error = std::string(name) + " needs a folder";
        (source ? run.sourceAt : run.targetAt) = value;
    } else if (HasOptionName(argument, "--max-size")) {
        if (TakeValue(arguments, index, "--max-size", value, error))
            run.options.maxFileSize = SizeLimit("--max-size", value, error);
    } else if (HasOptionName(argument, "--min-size")) {
        if (TakeValue(arguments, index, "--min-size", value, error))
            run.options.minFileSize = SizeLimit("--min-size", value, error);
    } else {
        return false;
    }
    return true;
}

bool HasIgnoreOptions(const RunArguments& run)
{
    return !run.ignoreRules.empty() || run.options.maxFileSize || run.options.minFileSize ||
           run.options.deleteIgnored;
}

// Takes the option at index (and its value, moving index past it); answers the refusal, empty when
// the option was taken.
std::string TakeOption(const std::vector<std::string>& arguments, std::size_t& index, RunArguments& run)
{
    const std::string& argument = arguments[index];
    if (TakeJobSwitch(argument, run) || TakeRunSwitch(argument, run))
        return {};
    std::string error;
    if (TakeValueOption(arguments, index, run, error) || TakeIgnoreOption(arguments, index, run, error))
        return error;
    return "unknown option " + argument;
}

// The forms that manage schedules: --schedule and --unschedule take one profile, --schedules and
// --watch nothing; none of them runs anything now, so they take no run's options.
ParsedArguments SettleScheduleInvocation(ParsedArguments parsed, const std::vector<std::string>& positional)
{
    RunArguments& run = parsed.arguments;
    const bool takesProfile =
        run.invocation == Invocation::Schedule || run.invocation == Invocation::Unschedule;
    const std::string form = run.invocation == Invocation::Schedule     ? "--schedule"
                             : run.invocation == Invocation::Unschedule ? "--unschedule"
                             : run.invocation == Invocation::Schedules  ? "--schedules"
                                                                        : "--watch";
    for (const std::string& option : run.givenOptions) {
        const bool allowed =
            option == form || (option == "--direction" && run.invocation == Invocation::Schedule);
        if (!allowed)
            return Refuse(form +
                          (run.invocation == Invocation::Schedule ? " takes only --direction besides"
                                                                  : " takes no option besides") +
                          (takesProfile ? " its profile" : " itself") + ", not " + option);
    }
    if (!takesProfile && !positional.empty())
        return Refuse(form + " takes no folder or profile");
    if (takesProfile && (positional.size() != 1 || !positional[0].ends_with(".twp")))
        return Refuse(form + " needs one profile file ending in .twp");
    if (takesProfile)
        run.profilePath = positional[0];
    return parsed;
}

// What the words that are not options ask for: two folders, or one profile; or nothing, with --undo;
// or at most a target, with --history.
ParsedArguments SettleInvocation(ParsedArguments parsed, const std::vector<std::string>& positional)
{
    RunArguments& run = parsed.arguments;
    if (run.invocation == Invocation::Schedule || run.invocation == Invocation::Unschedule ||
        run.invocation == Invocation::Schedules || run.invocation == Invocation::Watch)
        return SettleScheduleInvocation(std::move(parsed), positional);
    if ((!run.sourceAt.empty() || !run.targetAt.empty()) && positional.size() != 1)
        return Refuse("--source-at and --target-at apply only to a profile");
    if (run.invocation == Invocation::History) {
        if (positional.size() > 1)
            return Refuse("--history takes at most one target folder");
        if (!run.jobSwitches.empty() || run.direction || HasIgnoreOptions(run) || !run.undoTarget.empty() ||
            run.dryRun || !run.logFile.empty())
            return Refuse("--history takes only --json and --trash-days besides its folder");
        if (!positional.empty())
            run.historyTarget = positional[0];
        return parsed;
    }
    if (run.invocation == Invocation::Undo) {
        // --undo after --history took its place; the other order is refused above.
        if (std::find(run.givenOptions.begin(), run.givenOptions.end(), "--history") !=
            run.givenOptions.end())
            return Refuse("--history takes only --json and --trash-days besides its folder");
        if (!positional.empty())
            return Refuse("--undo takes its target folder and no other folder or profile");
        if (!run.jobSwitches.empty() || run.direction || run.trashDaysGiven || HasIgnoreOptions(run))
            return Refuse("--undo takes only --dry-run and --json besides its folder");
        return parsed;
    }
    if (positional.size() == 2) {
        if (run.direction)
            return Refuse("--direction applies only to a profile");
        run.invocation = Invocation::Folders;
        run.source = positional[0];
        run.target = positional[1];
    } else if (positional.size() == 1) {
        if (!positional[0].ends_with(".twp"))
            return Refuse("expected SOURCE and TARGET folders, or a profile file ending in .twp");
        if (!run.jobSwitches.empty())
            return Refuse(run.jobSwitches.front() +
                          " cannot be given with a profile, which holds the job's options");
        run.invocation = Invocation::Profile;
        run.profilePath = positional[0];
    } else {
        return Refuse(positional.empty() ? "no folders given"
                                         : "too many arguments: expected SOURCE and TARGET, or PROFILE.twp");
    }
    return parsed;
}

// Short options joined as other tools take them: "-qn" for "-q -n", "-j4" for "-j 4", "-vj4" for
// "-v -j 4". Nothing for an argument that is no such group, which is then read as it stands.
std::optional<std::vector<std::string>> SplitJoinedShortOptions(const std::string& argument)
{
    if (argument.size() < 3 || argument[0] != '-' || argument[1] == '-')
        return std::nullopt;
    std::vector<std::string> pieces;
    for (std::size_t at = 1; at < argument.size(); ++at) {
        const char letter = argument[at];
        if (letter == 'j') {
            pieces.emplace_back("-j");
            if (at + 1 < argument.size())
                pieces.push_back(argument.substr(at + 1));
            return pieces;
        }
        if (std::string_view("nqvh").find(letter) == std::string_view::npos)
            return std::nullopt;
        pieces.push_back(std::string("-") + letter);
    }
    return pieces;
}

} // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& given)
{
    ParsedArguments parsed;
    RunArguments& run = parsed.arguments;
    SetUnsaidOptions(run.options);
    std::vector<std::string> positional;
    std::vector<std::string> arguments = given;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (!optionsEnded) {
            if (auto pieces = SplitJoinedShortOptions(arguments[index])) {
                arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(index));
                arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(index), pieces->begin(),
                                 pieces->end());
            }
        }
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            run.invocation = Invocation::Help;
            return parsed;
        } else if (argument == "--history") {
            run.invocation = Invocation::History;
            run.givenOptions.push_back(argument);
        } else if (argument == "--version") {
            run.invocation = Invocation::Version;
            return parsed;
        } else if (std::string refused = TakeOption(arguments, index, run); !refused.empty()) {
            return Refuse(std::move(refused));
        } else {
            run.givenOptions.push_back(argument.substr(0, argument.find('=')));
        }
    }
    const SyncOptions& options = run.options;
    if (options.minFileSize && options.maxFileSize && *options.minFileSize > *options.maxFileSize)
        return Refuse("--min-size " + SizeLimitText(*options.minFileSize) + " is larger than --max-size " +
                      SizeLimitText(*options.maxFileSize) + ": every file would be ignored");
    return SettleInvocation(std::move(parsed), positional);
}

} // namespace twinfol::cli
