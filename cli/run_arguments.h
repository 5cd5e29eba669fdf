// The command line of twinfol-sync, parsed into what one invocation is asked to do.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/records/sync_options.h"

namespace twinfol::cli {

enum class Invocation {
    Help,
    Version,
    Folders,
    Profile,
    Undo,
    History,
    Schedule,
    Unschedule,
    Schedules,
    Watch
};

// How much the runner writes while it works and afterwards.
enum class Verbosity {
    // No progress, no warnings, and the report only when something went wrong.
    Quiet,
    Normal,
    // Each action as it happens, too.
    Verbose,
};

// Whether the runner walks once without changing anything before the run, to know its totals.
enum class PlanChoice {
    // On a terminal, as long as planning takes little time (the runner's rule).
    WhenCheap,
    Always,
    Never,
};

// One ignore rule as the command line gives it, kept in the order given, since a later pattern
// overrides an earlier one: a pattern (--ignore), or an ignore file (--ignore-file) whose lines are
// read when the run starts.
// Whether the end of the run is told to the desktop (--notify), and whether the runner then stays for
// the person to open the report from the notification (--notify-wait).
enum class Notify { No, Send, SendAndWait };

struct IgnoreRule {
    enum class Kind { Pattern, File };
    Kind kind = Kind::Pattern;
    std::string text;

    friend bool operator==(const IgnoreRule&, const IgnoreRule&) = default;
};

struct RunArguments {
    Invocation invocation = Invocation::Folders;
    // The Folders form.
    std::string source;
    std::string target;
    // The Profile form.
    std::string profilePath;
    std::optional<SyncDirection> direction;
    // The Undo form: the target whose last run is undone.
    std::string undoTarget;
    // The History form: the target whose runs are listed; empty for every run.
    std::string historyTarget;
    // The Schedule form: hourly, daily, weekly, on-mount or a calendar expression; the profile is in
    // profilePath, as it is for the Unschedule form.
    std::string scheduleWhen;
    // With a profile: its source or target folder where it is now, in place of the path the profile
    // names (the disk watcher gives it for a disk mounted under another path); empty for the profile's.
    std::string sourceAt;
    std::string targetAt;

    // The run's options as the switches give them: the job's flags for the Folders form (a profile
    // holds its own), and for either form how long the Trash keeps things, the safety limits, the
    // number of workers, the size limits and --delete-ignored. Its patterns stay empty: they are in
    // ignoreRules.
    SyncOptions options;
    std::vector<std::string> exclusions;
    // --ignore and --ignore-file in the order given; with a profile they come after its own patterns.
    std::vector<IgnoreRule> ignoreRules;
    // The switches given that change the job itself (its flags and exclusions); a profile holds those,
    // so they are refused with one.
    std::vector<std::string> jobSwitches;

    // --trash-days was given; the undo form refuses it.
    bool trashDaysGiven = false;
    bool dryRun = false;
    bool json = false;
    bool answerYesToAll = false;
    Verbosity verbosity = Verbosity::Normal;
    PlanChoice plan = PlanChoice::WhenCheap;
    Notify notify = Notify::No;
    // Where the report is appended, with a dated header; empty for none.
    std::string logFile;
    // A private key file tried after the SSH agent and the default key files when a folder is on a server.
    std::string sshKey;
    // Every option given, by its name, so that the forms that take few options can refuse the others.
    std::vector<std::string> givenOptions;
};

struct ParsedArguments {
    RunArguments arguments;
    // Why the command line was refused; empty when it was accepted.
    std::string error;

    bool IsOk() const { return error.empty(); }
};

// Parses the arguments that follow the program name. "--" ends the options, so that a folder whose
// name begins with "-" can still be given.
ParsedArguments ParseArguments(const std::vector<std::string>& arguments);

// The text that --help prints (cli/help_text.cpp).
std::string HelpText();

} // namespace twinfol::cli
