// The text that twinfol-sync --help prints.
#include "cli/run_arguments.h"

namespace twinfol::cli {

std::string HelpText()
{
    return R"(Usage: twinfol-sync [options] SOURCE TARGET
       twinfol-sync [options] PROFILE.twp
       twinfol-sync [--dry-run] [--json] --undo TARGET
       twinfol-sync --schedule WHEN [--direction DIR] PROFILE.twp
       twinfol-sync --unschedule PROFILE.twp | --schedules | --watch
       twinfol-sync [--json] [--trash-days N] --history [TARGET]

Makes the TARGET folder follow the SOURCE folder, one way: the source is only read. A target file
is overwritten when its source namesake was last written more than 120 seconds later; files and
folders found only in the source are added; with --delete, files and folders found only in the
target are deleted. Names are matched byte for byte, case significant; in a target folder that does
not tell case apart (FAT, exFAT), a file under another spelling takes the source's spelling.

Short options may be joined as in other tools: -qn is -q -n, -j4 is -j 4.

Options:
  --no-add            do not add files and folders found only in the source
  --delete            delete files and folders found only in the target
  --no-subfolders     handle only the files directly inside the two folders
  --confirm           ask before each delete (needs a terminal, or --yes)
  --yes               answer every delete question with Yes To All
  --trash             move deleted files and folders, and the old content of overwritten files,
                      to the Trash instead of removing them for good
  --trash-days N      remove what runs put in the Trash N days later, at the start of a later run
                      into the same disk (default 30; 0 keeps them until the Trash is emptied)
  --ignore-hour-shift  take files whose times differ by exactly one hour (give or take 2 seconds)
                      for the same age: FAT and exFAT disks after a daylight-saving change
  --replace-read-only  overwrite and delete (to the Trash too) target files without any write
                      permission bit like any other; without it such a file is kept, unless its
                      source file is read-only too, which the copy only carries over
  --undo TARGET       undo the last run into TARGET (see "Undo" below)
  --history [TARGET]  list the past runs (into TARGET), newest first (see "History" below)
  --exclude PATH      leave PATH alone; repeatable. See "Exclusions" below
  --ignore PATTERN    leave out what PATTERN matches (the syntax of .gitignore files), on either
                      side; repeatable. See "Ignore patterns" below
  --ignore-file FILE  leave out what the patterns in FILE (a file like .gitignore) match; repeatable
  --max-size SIZE     leave out files larger than SIZE: bytes, or a number with K, M, G or T
                      (1024-based): 512K, 100M, 1.5G
  --min-size SIZE     leave out files smaller than SIZE
  --delete-ignored    with deletes on, delete the target's ignored items too
  --direction DIR     for a profile: 1to2 (Location 1 to Location 2) or 2to1; without it the
                      profile's auto-start direction is used, and a profile without one is refused
  --source-at FOLDER, --target-at FOLDER
                      for a profile: run with FOLDER as the source (target) in place of the path the
                      profile names; the disk watcher gives it for a disk mounted elsewhere
  --notify            tell the desktop how the run ended (scheduled runs give it)
  --schedule WHEN     run the profile by itself: WHEN is hourly, daily, weekly, a systemd calendar
                      expression ("Mon..Fri 18:00"), or on-mount (see "Schedules" below)
  --unschedule        remove the profile's schedule, of either kind
  --schedules         list the installed schedules with their next and last run
  --watch             watch for the disks of on-mount schedules and run their profiles (what the
                      user service twinfol-watch.service runs)
  --max-delete N      refuse the run when it would delete more than N items (a folder counts as
                      one), and never delete more than N, even if the folders change meanwhile
  -j, --jobs N        copy, compare and delete with N workers (default: one per core, at most 8;
                      16 where either folder lies on a FUSE or network mount such as sshfs, rclone,
                      NFS or SMB); the report is the same whatever N is, and --jobs 1 does everything
                      on one thread
  --allow-empty-source  run even when the source folder is empty and the run would delete what
                      the target holds
  -n, --dry-run       walk and report as a real run would, changing nothing
  --plan              walk once without changing anything before the run, to show totals and the
                      time left (see "Progress")
  --no-plan           never walk before the run
  --json              print the report as one JSON object instead of text
  -q, --quiet         no progress line, no warnings, and no report unless something went wrong
  -v, --verbose       also list each action (add, overwrite, delete) as it happens, and in the
                      report each ignored item with the rule that left it out
  --log-file FILE     append the report to FILE, under a header with the date and time, the two
                      folders and the duration; a log that cannot be written after the run (a full
                      disk) is said on standard error and makes the exit status at least 1
  --ssh-key FILE      where the target is a server (sftp://[user@]host[:port]/path/, /~/ for the
                      home folder there), sign in with this private key file after the SSH agent
                      and the default keys in ~/.ssh failed; a server whose host key
                      ~/.ssh/known_hosts does not hold is refused, with the key's fingerprint
  --notify            when the run ends, done or refused, say so in a desktop notification (see
                      "Notifications" below)
  --notify-wait       as --notify, and offer "Open report" on it, staying for the click (at most
                      10 minutes)
  -h, --help          show this help and exit
  --version           print the program's name and version and exit
  --                  end of options (for a folder whose name begins with "-")

The defaults: add on, delete off, sub-folders on, confirmation off, Trash off. A profile (.twp)
holds its own locations, options and exclusions (and whether it uses the Trash), so --no-add,
--delete, --no-subfolders, --confirm, --trash, --ignore-hour-shift, --replace-read-only and
--exclude cannot be given with one. It may hold ignore rules too; --ignore, --ignore-file, --max-size, --min-size and
--delete-ignored add to them: the patterns after the profile's (so they win where the two
disagree), a size limit in place of the profile's.

Ignore patterns (--ignore, --ignore-file): each pattern is a line of .gitignore syntax ("*.tmp",
"build/", "/notes.txt", "!keep.tmp", "**/cache/"), matched against each item's path below SOURCE
and below TARGET; later patterns override earlier ones. An ignore file's blank lines and "#"
comments are skipped; a FILE that cannot be read is refused (exit 2). An ignored item is neither
copied nor compared, and an item is ignored when the rules ignore it on either side. A folder
added whole leaves its ignored items out. In the target an ignored item is never deleted, even
with --delete and inside a folder found only in the target, which is then deleted around it and
stays if anything ignored remains inside; --delete-ignored (with deletes on) deletes them. The
size limits (--max-size, --min-size) apply to files only. The report counts the ignored items
("Ignored items: N"); -v lists them, each with its rule.

The Trash (--trash): each deleted item and each overwritten file's old content goes to the Trash
of its disk, where the desktop's file manager shows it and can restore it: the home Trash
($XDG_DATA_HOME/Trash, ~/.local/share/Trash by default) for the home's disk, a .Trash-UID folder
(or .Trash/UID where an administrator made .Trash) at the top of any other disk. Moving there is
one rename, under the rules of a delete: a read-only file stays (unless --replace-read-only), and so
does a folder holding one or with a file system mounted inside it. Where a disk has no usable Trash (mounted read-only, no
permission, another mount), the item is left as it is with the problem line
"Could not move to the Trash: PATH". Folders named .Trash or .Trash-DIGITS at the top of a disk, and
the home Trash, are never synchronised.

Undo (--undo TARGET): every run that changes a target writes a journal under $XDG_STATE_HOME/
twinfol (~/.local/state/twinfol by default). --undo moves what the last run into TARGET added to
the Trash, gives overwritten files their old content back and brings deleted items back from the
Trash, each to its path with its time stamps and mode, but only the very item the run moved there
(the same file, owner, time and size). An item changed since that run, an added folder holding
anything written since, or anything else in its place is left alone with a problem line "Could not
undo: PATH" and the reason. The undo waits for no run: while a run writes into TARGET it is refused
(exit 2). Journals and the home Trash must belong to the user: run as root with another user's
HOME, --undo and --trash are refused (exit 2). A run without --trash kept no deleted or old
content, so its undo only removes what it added; its report says so. The undo has a report of its
own: the heading "Undo done:" ("Undo interrupted:" after a stop), and in place of a run's counts
and lists the items restored (old content back, deleted items back), moved to the Trash (what the
run added) and left alone (each with its reason). Its exit status is 0, 1 when an item was left
alone or could not be moved, 2 when there is nothing to undo and 3 when stopped.

Schedules (--schedule WHEN PROFILE.twp): writes a service and a timer for the profile under
$XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user by default), named twinfol-sync- and the
profile's absolute path as "systemd-escape --path" writes it, and enables the timer when a user
manager runs; without one it links the timer to start at the next login and says so. The timer is
Persistent=true: a run missed while the machine was off happens at the next start. The service runs
"twinfol-sync -q --notify --log-file LOG PROFILE.twp", the log under $XDG_STATE_HOME/twinfol named
after the unit. A profile that asks before deletes is refused, and one without an auto-start
direction needs --direction, which the unit then carries. A calendar expression is checked with
"systemd-analyze calendar" where that is installed. --schedules says when each runs next and ran
last, as the user manager tells; without one, that the next run is unknown.
--schedule on-mount runs the profile whenever the disk that holds its target (or its source, when
only that one lies on another disk than /) is mounted, wherever it is mounted: the disk is named
by its file system's UUID (its label when it has none) and the folder by its path below the disk's
top, kept in $XDG_CONFIG_HOME/twinfol/on-mount, not in the profile. The watcher (twinfol-sync
--watch, run by the user service twinfol-watch.service, which --schedule on-mount writes and
enables) starts a run when such a disk appears, one run per profile at a time; a disk already
mounted when it starts does not start a run. A disk that is there without the folder is skipped
with a message, never run against.
History (--history [TARGET]): every run keeps its report as JSON beside its journal
(KEY-TIME.report.json), and a run that was refused, stopped or met problems without changing
anything leaves such a report of its own; a dry run keeps nothing. --history prints one line per
run, newest first, as the log's headers read: the start, the two folders and in parentheses what
became of it ("done: ..." with the counts, "refused: why", "undo: ...", the problems, "undone" or
"can be undone"). With TARGET only the runs into that folder; with --json one JSON array. Journals
and reports older than the Trash keeping days (--trash-days, default 30; 0 keeps all) that leave
nothing to undo are removed at the start of a run and of --history. twinfol --report FILE opens a
kept report in the report window.

Exclusions: PATH names one file or folder inside SOURCE or TARGET, as a full path or relative to
the current folder ("SOURCE/doc", "./TARGET/keep/", "/home/me/TARGET/keep" all work). It is put
into the spelling of the folder it lies in, and a folder gets its trailing "/", so that it
matches what the run compares. A PATH inside neither folder, one naming a folder itself, and a
pattern such as "*.log" (an exclusion is no pattern: give patterns with --ignore) are refused; a
PATH that names nothing present is a warning. A profile's exclusions are taken as they stand,
with the same warnings.

Safety in front of deletes:
  - With --delete, an empty SOURCE folder whose TARGET holds anything the run would delete is
    refused: "the source folder is empty: is its disk mounted?". An unmounted disk's empty mount
    point would otherwise empty the backup. --allow-empty-source runs anyway. If the source turns
    empty between this check and the run, the run deletes nothing and lists each skipped delete
    as a problem.
  - --max-delete N plans first and refuses a run whose plan deletes more than N items. If the
    folders change after the plan, the N+1st delete and every later one are skipped, each with a
    problem line, and the run exits with 1.

Delete questions (with --confirm): asked on the terminal (/dev/tty), even when standard input
and error are redirected; type one letter and Enter:
  y Yes, a Yes To All, n No, o No To All, c Cancel. End of input counts as Cancel.
Without a terminal and without --yes, a run that may ask is refused rather than guessed; for a
profile that asks, the message names the profile's setting.

Progress: on a terminal (standard error), one line shows the files and bytes copied so far, the
rate, the current operation and a large file's own percentage; it always shows the newest state
within 50 ms. With a plan it also shows the totals and the time left. The runner plans by
default on a terminal, but gives planning at most one second: a tree that takes longer is run
without totals. --plan plans to the end, and so does --max-delete; --no-plan never plans. A plan
(or a dry run) that needs more room than the target's disk has free warns on standard error, even
with -q ("the run will not fit on the target's disk: needs ..., ... free"); the run goes on. With
TERM=dumb the line is printed as a plain line at most once a second, without escape sequences.
Without a terminal on standard error, or with -q, nothing is drawn.

Report: on standard output, text or --json. The text report starts with a header line ("=== ",
date and time, SOURCE ==>> TARGET, the duration), then the heading, the two folders, the five
counts (and "Ignored items: N" when the run ignored any), the files and bytes copied and the
duration, the five lists (sorted by bytes; with -v the ignored items after them, each with its
rule) and the problem log (in the order the problems happened), each problem with its reason in
parentheses.
Control characters in names, the C1 characters (U+0080 to U+009F) included, and bytes that are
not UTF-8 are shown as \xNN, on standard output, in the progress line and in questions.

JSON output: one object with the keys source, target, dryRun, interrupted, startTime (RFC 3339,
local time), durationSeconds, overwrittenFileCount, addedFileCount, deletedFileCount,
addedFolderCount, deletedFolderCount, filesCopied, bytesCopied (files inside added folders
included), overwrittenFiles, addedFiles, deletedFiles, addedFolders, deletedFolders,
addedFolderContents (per added folder its "files" and "bytes"), incompleteFolders,
partlyCopiedFolders, ignoredCount,
ignored (each ignored item's "path" and "reason"), problemLog, problems (each problem's "line" and
"reason") and notes (remarks on the run as a whole, such as an undo that
cannot bring deleted files back). An undo's object has "undo": true and, in place of the five
counts, filesCopied, bytesCopied, the five lists and addedFolderContents: restoredCount,
trashedCount, leftAloneCount, restored, trashed and leftAlone (each item's "path" and "reason"). Names are written as UTF-8 where they are well-formed UTF-8, with
control characters escaped as \u00XX; each byte that is not part of well-formed UTF-8 is written
as the escape \u00XX, the character of that byte read as Latin-1 (so such a name cannot be told
from its Latin-1 characters spelled in UTF-8).

Notifications (--notify, --notify-wait): when the run ends, one notification goes to
org.freedesktop.Notifications on the session bus (DBUS_SESSION_BUS_ADDRESS, or the user
manager's bus in XDG_RUNTIME_DIR): "Synchronisation done", "Synchronisation done with N
problems", "Synchronisation interrupted" or "Synchronisation refused", with the folders and the
files copied, the first problem or the reason for the refusal. A run refused before it starts (a
missing folder, more deletes than --max-delete allows, another run writing to the target) is told
too. Without a session bus or a notification server nothing is sent and nothing is said, and the
exit status is the same. With --notify-wait, where the desktop shows actions and the run kept its
report for the history, the notification offers "Open report"; the runner stays until it is
clicked, the notification is closed or 10 minutes have passed, and a click opens that report in
the window: "twinfol --report FILE", the twinfol beside twinfol-sync, or else the first in PATH. The runner exits only after
that wait, with the run's own exit status.

A dry run reports the problems the real run would meet where they can be seen without changing
anything: a folder or a read-only file where a file is to be written, a source that is a folder or
a special file, a read-only file or a mounted file system inside a folder to delete, a special
file inside a folder to add. What only a real write reveals (a full disk, an immutable file, a
name the target file system refuses, permissions only the kernel judges) it cannot foresee.

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
  1  the run finished with problems (see the problem log), or its report could not be written
     to the log file
  2  refused: bad arguments, unreadable or invalid profile, bad folders or exclusions, an
     unreadable ignore file, an empty source, more deletes than --max-delete allows, a log file
     that cannot be opened; nothing was touched
  3  interrupted: by a signal, or by Cancel at a delete question (problems or not)
)";
}

} // namespace twinfol::cli
