// Command-line parsing and the help text of twinfol-sync.
#include "cli/run_arguments.h"

#include <string_view>

namespace twinfol::cli {
namespace {

ParsedArguments Refuse(std::string error)
{
    ParsedArguments parsed;
    parsed.error = std::move(error);
    return parsed;
}

// A keeping time of more than a hundred years is a typing mistake rather than a wish.
constexpr int mostKeepDays = 36500;

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

// Switches that take no value, and what each does to the arguments. The job's own switches are also
// remembered, since a profile holds the job and refuses them.
bool TakeSwitch(const std::string& argument, RunArguments& run)
{
    if (argument == "--no-add")
        run.options.addMissing = false;
    else if (argument == "--delete")
        run.options.deleteMissing = true;
    else if (argument == "--no-subfolders")
        run.options.checkSubFolders = false;
    else if (argument == "--confirm")
        run.options.confirmDeletes = true;
    else if (argument == "--trash")
        run.options.useTrash = true;
    else if (argument == "--yes")
        run.answerYesToAll = true;
    else if (argument == "--dry-run")
        run.dryRun = true;
    else if (argument == "--json")
        run.json = true;
    else
        return false;
    if (argument != "--yes" && argument != "--dry-run" && argument != "--json")
        run.jobSwitches.push_back(argument);
    return true;
}

// Takes the option at index (and its value, moving index past it); answers the refusal, empty when
// the option was taken.
std::string TakeOption(const std::vector<std::string>& arguments, std::size_t& index, RunArguments& run)
{
    const std::string& argument = arguments[index];
    std::string value;
    std::string error;
    if (TakeSwitch(argument, run))
        return {};
    if (HasOptionName(argument, "--exclude")) {
        if (!TakeValue(arguments, index, "--exclude", value, error))
            return error;
        if (value.empty())
            return "--exclude needs a path";
        run.exclusions.push_back(value);
        run.jobSwitches.push_back("--exclude");
        return {};
    }
    if (HasOptionName(argument, "--trash-days")) {
        if (!TakeValue(arguments, index, "--trash-days", value, error))
            return error;
        if (!ReadKeepDays(value, run.options.trashKeepDays))
            return "--trash-days must be a number of days from 0 to " + std::to_string(mostKeepDays) +
                   ", not \"" + value + "\"";
        run.trashDaysGiven = true;
        return {};
    }
    if (HasOptionName(argument, "--undo")) {
        if (!TakeValue(arguments, index, "--undo", value, error))
            return error;
        if (value.empty())
            return "--undo needs a target folder";
        run.invocation = Invocation::Undo;
        run.undoTarget = value;
        return {};
    }
    if (HasOptionName(argument, "--direction")) {
        if (!TakeValue(arguments, index, "--direction", value, error))
            return error;
        run.direction = DirectionFromText(value);
        if (!run.direction)
            return "--direction must be 1to2 or 2to1, not \"" + value + "\"";
        return {};
    }
    return "unknown option " + argument;
}

// What the words that are not options ask for: two folders, or one profile; or nothing, with --undo.
ParsedArguments SettleInvocation(ParsedArguments parsed, const std::vector<std::string>& positional)
{
    RunArguments& run = parsed.arguments;
    if (run.invocation == Invocation::Undo) {
        if (!positional.empty())
            return Refuse("--undo takes its target folder and no other folder or profile");
        if (!run.jobSwitches.empty() || run.direction || run.trashDaysGiven)
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

} // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments)
{
    ParsedArguments parsed;
    RunArguments& run = parsed.arguments;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            run.invocation = Invocation::Help;
            return parsed;
        } else if (argument == "--version") {
            run.invocation = Invocation::Version;
            return parsed;
        } else if (std::string refused = TakeOption(arguments, index, run); !refused.empty()) {
            return Refuse(std::move(refused));
        }
    }
    return SettleInvocation(std::move(parsed), positional);
}

std::string HelpText()
{
    return R"(Usage: twinfol-sync [options] SOURCE TARGET
       twinfol-sync [options] PROFILE.twp
       twinfol-sync [--dry-run] [--json] --undo TARGET

Makes the TARGET folder follow the SOURCE folder, one way: the source is only read. A target file
is overwritten when its source namesake was last written more than 120 seconds later; files and
folders found only in the source are added; with --delete, files and folders found only in the
target are deleted. Names are matched byte for byte, case significant.

Options:
  --no-add            do not add files and folders found only in the source
  --delete            delete files and folders found only in the target
  --no-subfolders     handle only the files directly inside the two folders
  --confirm           ask before each delete (needs a terminal on standard input, or --yes)
  --yes               answer every delete question with Yes To All
  --trash             move deleted files and folders, and the old content of overwritten files,
                      to the Trash instead of removing them for good
  --trash-days N      remove what runs put in the Trash N days later, at the start of a later run
                      into the same disk (default 30; 0 keeps them until the Trash is emptied)
  --undo TARGET       undo the last run into TARGET (see "Undo" below)
  --exclude PATH      leave PATH alone; repeatable. PATH is a full path exactly as the exclusion
                      list holds it: a file as its path, a folder as its path ending in "/"
  --direction DIR     for a profile: 1to2 (Location 1 to Location 2) or 2to1; without it the
                      profile's auto-start direction is used, and a profile without one is refused
  --dry-run           walk and report as a real run would, changing nothing
  --json              print the report as one JSON object instead of text
  --help              show this help and exit
  --version           print the version number and exit
  --                  end of options (for a folder whose name begins with "-")

The defaults: add on, delete off, sub-folders on, confirmation off, Trash off. A profile (.twp)
holds its own locations, options and exclusions (and whether it uses the Trash), so --no-add,
--delete, --no-subfolders, --confirm, --trash and --exclude cannot be given with one.

The Trash (--trash): each deleted item and each overwritten file's old content goes to the Trash
of its disk, where the desktop's file manager shows it and can restore it: the home Trash
($XDG_DATA_HOME/Trash, ~/.local/share/Trash by default) for the home's disk, a .Trash-UID folder
(or .Trash/UID where an administrator made .Trash) at the top of any other disk. Moving there is
one rename, under the rules of a delete: a read-only file stays, and so does a folder holding one or
with a file system mounted inside it. Where a disk has no usable Trash (mounted read-only, no
permission, another mount),
the item is left as it is with the problem line "Could not move to the Trash: PATH". Folders
named .Trash or .Trash-DIGITS at the top of a disk, and the home Trash, are never synchronised.

Undo (--undo TARGET): every run that changes a target writes a journal under $XDG_STATE_HOME/
twinfol (~/.local/state/twinfol by default). --undo moves what the last run into TARGET added to
the Trash, gives overwritten files their old content back and brings deleted items back from the
Trash, each to its path with its time stamps and mode. An item changed since that run is left
alone with a problem line "Could not undo: PATH". A run without --trash kept no deleted or old
content, so its undo only removes what it added; its report says so. The report and exit status
are those of a run.

Delete questions (with --confirm on a terminal): type one letter and Enter:
  y Yes, a Yes To All, n No, o No To All, c Cancel. End of input counts as Cancel.
Without a terminal on standard input and without --yes, a run with --confirm and --delete is
refused rather than guessed.

While running on a terminal, a progress line is shown on standard error. The report goes to
standard output: the heading, the two folders, the five counts, the five lists (sorted by bytes)
and the problem log (in the order the problems happened). In the text report, control characters
in names are shown as \xNN.

JSON output: one object with the keys source, target, dryRun, interrupted, overwrittenFileCount,
addedFileCount, deletedFileCount, addedFolderCount, deletedFolderCount, overwrittenFiles,
addedFiles, deletedFiles, addedFolders, deletedFolders, problemLog and notes (remarks on the
run as a whole, such as an undo that cannot bring deleted files back). Names are written as UTF-8
where they are well-formed UTF-8; each byte that is not part of well-formed UTF-8 is written as
the escape \u00XX, the character of that byte read as Latin-1 (so such a name cannot be told from
its Latin-1 characters spelled in UTF-8).

SIGINT (Ctrl-C) and SIGTERM ask the run to stop: the file operation under way completes and the
report is printed, marked interrupted. A second signal ends the program at once.

The run is refused before anything is touched when a folder is given as an empty text, is
missing, is not a folder or cannot be read, when both are the same folder or one lies inside the
other, or when the arguments are wrong. Folders are compared by where they lie inside their file
systems, so a bind mount or a link that makes one folder appear inside the other is refused too,
as is a file system mounted inside one folder that shows the other. A missing target folder is
never created. A source sub-folder that cannot be read is named in the problem log, and its target
twin is left alone.

Safe on trees that others write while it runs:
  - The two folders' own paths may contain symbolic links; below them no link is ever followed. A
    folder that turns into a link during the run is not entered, written or deleted through; it
    gets a problem line (a link found in the source is copied as a link).
  - Deleting a folder never crosses into a file system mounted inside it: the mounted file system
    is left whole and the folder gets a problem line. Copies do enter file systems mounted in the
    source, as cp -a does.
  - A file that changes while it is copied is copied once more; if it changes again, the target
    is left as it was, with a problem line.
  - FIFOs, sockets and device nodes are never opened; copying one is a problem line.
  - Set-user-ID and set-group-ID bits are kept only on a copy that has the source's owner and
    group (so root's copy of another user's program never runs as root); otherwise they are
    cleared, as cp does. A mode the target file system cannot hold (FAT, say) is left out.
  - A time stamp the target cannot hold (before 1970 or after 2038-01-19 03:14:07 UTC on some file
    systems) is read back after the copy. A target stamp at a file system's last stamp (2038-01-19
    03:14:07, 2106-02-07 06:28:15, the last day of 2107 on FAT and exFAT, 2446-05-10 22:38:55) never
    counts as older than its source, so such a file is not copied again at every run. A copy whose
    stamp the target changed in any other way fails, as a copy whose stamp could not be set does.

Exit status:
  0  the run finished and recorded no problem
  1  the run finished with problems (see the problem log)
  2  refused: bad arguments, unreadable or invalid profile, bad folders; nothing was touched
  3  interrupted: by a signal, or by Cancel at a delete question (problems or not)
)";
}

} // namespace twinfol::cli
