#!/usr/bin/env python3
"""Kills twinfol-sync with SIGKILL at random moments of a run that overwrites, adds and deletes,
and checks after every kill that no user's file was lost or left half-written.

After each kill:
  * every target file holds its complete old or its complete new content (BLAKE2 checksums), and
    a file that is being overwritten is never missing;
  * the source is unchanged;
  * no name other than the expected ones appears in the target, except leftover temporary files
    named ".twinfol-<hex>.part" (a kill between naming the copy and renaming it leaves one);
  * the next run finishes the job without problems and never reports such a leftover, and a run
    after that reports nothing to do.

With --trash the runs move what they delete and the old content of what they overwrite to the Trash
(a home trash of the check's own, on the target's file system), and after each kill every old file
must be either in its place or in the Trash, whole; a name in the Trash never lacks its info file.
Then `twinfol-sync --undo TARGET` runs on the killed run's journal, before anything else touches the
target, and afterwards every old file (each file and folder the target held before the killed run)
is back at its path, whole and with its old time stamp, and every item the run added is gone from
the target or named by the undo's report as left alone. The finishing run follows the undo; after
it the Trash holds the whole old content of every overwritten and deleted file.

--interrupt ctrl-c-twice stops the runs with SIGINT twice in quick succession instead of SIGKILL
(the second signal ends the program at once, as a double Ctrl-C does); "mixed" takes turns.

With --target-fs exfat the target lies on an exFAT image mounted through exfat-fuse (as root, with
/dev/fuse and a loop device), where a copy writes a named temporary file: the check is skipped with a
message where the machine cannot mount one.

Usage: crash_safety.py TWINFOL_SYNC [--kills N] [--seed S] [--work DIR] [--large-mb M] [--trash]
                       [--target-fs exfat] [--interrupt kill|ctrl-c-twice|mixed]
Exit status 0 when every check passed (or was skipped), 1 on a violation, 2 on a usage or set-up
error.
"""

import argparse
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse

TEMPORARY_NAME = re.compile(r"^\.twinfol-[0-9a-f]+\.part$")
OLD_TIME = 1_600_000_000       # the target's files: older by far than the source's
NEW_TIME = OLD_TIME + 100_000  # the source's files
MB = 1024 * 1024


def fill(path, size, seed):
    """Writes size bytes of content that differs per seed, quickly (a repeated random block)."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    block = random.Random(seed).randbytes(min(size, MB) or 1)
    with open(path, "wb") as out:
        left = size
        counter = 0
        while left > 0:
            # The counter makes every block differ, so a copy that skipped or repeated a block
            # would not pass for the right content.
            chunk = counter.to_bytes(8, "little") + block[8:]
            out.write(chunk[:left])
            left -= min(left, len(chunk))
            counter += 1


def checksum(path):
    digest = hashlib.blake2b(digest_size=16)
    with open(path, "rb") as data:
        while chunk := data.read(4 * MB):
            digest.update(chunk)
    return digest.hexdigest()


def tree_state(root):
    """Relative path -> checksum for files, "dir" for folders, "link" for anything else."""
    state = {}
    for folder, folders, files in os.walk(root):
        relative_folder = os.path.relpath(folder, root)
        for name in folders:
            state[os.path.normpath(os.path.join(relative_folder, name)) + "/"] = "dir"
        for name in files:
            path = os.path.join(folder, name)
            relative = os.path.normpath(os.path.join(relative_folder, name))
            state[relative] = checksum(path) if os.path.isfile(path) and not os.path.islink(path) else "link"
    return state


def build_layout(large_mb):
    """The job: (relative path, size) of the source's files, of the target's old versions of
    files that the run overwrites, and of target-only files that the run deletes."""
    large = [large_mb * MB, (large_mb + 10) * MB, (large_mb + 22) * MB]
    overwritten = [
        ("big-1.bin", large[0]), ("big-2.bin", large[1]),
        ("empty.txt", 0), ("one.txt", 1), ("small.txt", 700), ("page.bin", 4096),
        ("medium.bin", 300 * 1024), ("mb.bin", MB + 17), ("ten.bin", 10 * MB),
        ("sub/inner-big.bin", large[0]), ("sub/inner-small.txt", 123),
        ("sub/deeper/note.txt", 5000),
    ]
    added = [
        ("added-big.bin", large[2]), ("added-small.txt", 42), ("added-2mb.bin", 2 * MB),
        ("sub/added.bin", 3 * MB),
        ("new-folder/big.bin", large[0]), ("new-folder/a.txt", 10), ("new-folder/deep/b.bin", 200 * 1024),
    ]
    deleted = [("stale.bin", 5 * MB), ("sub/stale.txt", 99), ("gone-folder/x.bin", MB),
               ("gone-folder/y/z.txt", 3)]
    return overwritten, added, deleted


class Fixture:
    def __init__(self, work, large_mb, trash, target_parent=None):
        self.work = work
        self.source = os.path.join(work, "source") + "/"
        self.target = os.path.join(target_parent or work, "target") + "/"
        self.pristine = os.path.join(work, "pristine-target") + "/"
        self.trash = trash
        self.own_disk = target_parent is not None
        # The runs' journals and home trash stay inside the work folder, never in a real home.
        self.environment = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"),
                                XDG_STATE_HOME=os.path.join(work, "state"))
        # The home trash serves a target on the work folder's disk; a target on a disk of its own gets
        # the trash folder at that disk's top, whose info files give paths relative to the top.
        self.trash_folders = [(os.path.join(work, "data", "Trash"), "/")]
        if target_parent:
            self.trash_folders += [(os.path.join(target_parent, f".Trash-{os.geteuid()}"), target_parent),
                                   (os.path.join(target_parent, ".Trash", str(os.geteuid())), target_parent)]
        self.overwritten, self.added, self.deleted = build_layout(large_mb)

    def create(self):
        for index, (relative, size) in enumerate(self.overwritten + self.added):
            path = os.path.join(self.source, relative)
            fill(path, size, 1000 + index)
            os.utime(path, (NEW_TIME, NEW_TIME))
        for index, (relative, size) in enumerate(self.overwritten + self.deleted):
            path = os.path.join(self.pristine, relative)
            fill(path, size, 5000 + index)
            os.utime(path, (OLD_TIME, OLD_TIME))
        self.source_state = tree_state(self.source)
        self.old_state = tree_state(self.pristine)
        # The finished job: the source's files and folders, plus target folders that stay.
        self.new_state = dict(self.source_state)

    def reset_target(self):
        for folder in [self.target, os.path.join(self.work, "data"), os.path.join(self.work, "state")] + [
                trash for trash, _ in self.trash_folders]:
            if os.path.exists(folder):
                shutil.rmtree(folder)
        # The copy keeps the old time stamps, so every overwrite is due again (owners and modes are
        # left out: an exFAT disk keeps neither).
        subprocess.run(["cp", "-r", "--preserve=timestamps", self.pristine, self.target], check=True)


def sync_command(binary, fixture):
    return [binary, "--delete", "--json"] + (["--trash"] if fixture.trash else []) + [fixture.source,
                                                                                     fixture.target]


def run_for_json(command, fixture):
    """Runs a command of the runner to its end: its exit code, its JSON report (None when unreadable)
    and its standard error."""
    finished = subprocess.run(command, capture_output=True, timeout=600, env=fixture.environment)
    try:
        report = json.loads(finished.stdout)
    except ValueError:
        report = None
    return finished.returncode, report, finished.stderr.decode(errors="replace")


def run_to_end(binary, fixture):
    return run_for_json(sync_command(binary, fixture), fixture)


def copying_now(pid, source):
    """The source file the runner has open for reading just before the kill, if any."""
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                where = os.readlink(f"/proc/{pid}/fd/{fd}")
            except OSError:
                continue
            if where.startswith(source):
                return os.path.relpath(where, source)
    except OSError:
        pass
    return None


def trash_state(fixture):
    """Relative target path -> checksum of each file the Trash holds for it, and the violations of
    the Trash's own shape (an item without its info file)."""
    held, violations = {}, []
    for folder, top in fixture.trash_folders:
        trash_folder_state(fixture, folder, top, held, violations)
    return held, violations


def trash_folder_state(fixture, folder, top, held, violations):
    files = os.path.join(folder, "files")
    info = os.path.join(folder, "info")
    if not os.path.isdir(files):
        return
    for name in os.listdir(files):
        info_path = os.path.join(info, name + ".trashinfo")
        if not os.path.isfile(info_path):
            violations.append(f"the Trash holds {name} without its info file")
            continue
        with open(info_path, "rb") as text:
            lines = dict(line.split(b"=", 1) for line in text.read().splitlines() if b"=" in line)
        original = urllib.parse.unquote_to_bytes(lines.get(b"Path", b"")).decode(errors="surrogateescape")
        relative = os.path.relpath(os.path.join(top, original), fixture.target)
        path = os.path.join(files, name)
        if os.path.isdir(path) and not os.path.islink(path):
            for inner, value in tree_state(path).items():
                key = os.path.normpath(os.path.join(relative, inner)) + ("/" if inner.endswith("/") else "")
                held.setdefault(key, set()).add(value)
        else:
            held.setdefault(relative, set()).add(checksum(path))


def check_trash_after_kill(fixture, target_state):
    """Every old file is in its place or in the Trash, whole."""
    held, violations = trash_state(fixture)
    for relative, _ in fixture.overwritten + fixture.deleted:
        old = fixture.old_state[relative]
        if target_state.get(relative) != old and old not in held.get(relative, set()):
            violations.append(f"the old content of {relative} is neither in its place nor in the Trash")
    for relative, values in held.items():
        if not values <= {fixture.old_state.get(relative), "dir"}:
            violations.append(f"the Trash holds something other than the old content of {relative}")
    return violations


def check_after_kill(fixture):
    """Returns (violations, leftover temporary files) for the trees as the kill left them."""
    violations = []
    if tree_state(fixture.source) != fixture.source_state:
        violations.append("the source changed")
    leftovers = []
    target_state = tree_state(fixture.target)
    if fixture.trash:
        violations += check_trash_after_kill(fixture, target_state)
    for relative, value in target_state.items():
        name = os.path.basename(relative.rstrip("/"))
        if TEMPORARY_NAME.match(name):
            leftovers.append(relative)
            continue
        allowed = {fixture.old_state.get(relative), fixture.new_state.get(relative)} - {None}
        if not allowed:
            violations.append(f"unexpected entry in the target: {relative}")
        elif value not in allowed:
            violations.append(f"{relative} holds neither its old nor its new content")
    for relative, _ in fixture.overwritten:
        # With the Trash on a disk without hard links the old content is moved into the Trash before
        # the copy takes its name: the name may be empty then, and the Trash check above has found the
        # old content whole.
        if relative not in target_state and not (fixture.trash and fixture.own_disk):
            violations.append(f"{relative} is missing: an overwritten file was lost")
    return violations, leftovers


def undo_last_run(binary, fixture):
    return run_for_json([binary, "--json", "--undo", fixture.target], fixture)


def named_by_undo(fixture, report):
    """The target's relative paths that the undo's report says it left alone or could not move."""
    paths = [item["path"] for item in report["leftAlone"]] if report else []
    for problem in report["problems"] if report else []:
        line = problem["line"]
        if line.startswith("Could not ") and ": " in line:
            paths.append(line.split(": ", 1)[1])
    return {os.path.normpath(os.path.relpath(os.path.join(fixture.target, path), fixture.target))
            for path in paths}


def check_undo(binary, fixture):
    """Undoes the killed run and checks that the target holds its old files again. Returns the
    violations, the undo's exit status and its report (None when it printed none)."""
    violations, unrecorded = [], []
    code, report, errors = undo_last_run(binary, fixture)
    # 2 is "nothing to undo": a run killed before its first change wrote no journal.
    if code not in (0, 1, 2) or (code != 2 and report is None):
        violations.append(f"the undo exited with {code}: {errors.strip()}")
    if tree_state(fixture.source) != fixture.source_state:
        violations.append("the undo changed the source")
    state = tree_state(fixture.target)
    for relative, value in fixture.old_state.items():
        path = os.path.join(fixture.target, relative)
        if relative not in state:
            violations.append(f"after the undo {relative} is missing")
        elif state[relative] != value:
            violations.append(f"after the undo {relative} does not hold its old content")
        elif value != "dir" and os.lstat(path).st_mtime != OLD_TIME:
            violations.append(f"after the undo {relative} has its old content but not its old time stamp")
    named = named_by_undo(fixture, report)
    explained = named | {relative for relative in state
                         if TEMPORARY_NAME.match(os.path.basename(relative.rstrip("/")))}
    for relative in state:
        if relative in fixture.old_state or relative in explained:
            continue
        plain = os.path.normpath(relative)
        ancestors = {os.path.normpath(plain[:index]) for index in range(len(plain)) if plain[index] == "/"}
        if relative not in fixture.new_state:
            violations.append(f"unexpected entry in the target after the undo: {relative}")
        elif plain in named or ancestors & named:
            continue
        elif relative.endswith("/") and any(path.startswith(relative) for path in explained):
            # An added folder stays when it holds something the undo left alone or a leftover.
            continue
        else:
            # An add is recorded once its copy is in place, in a buffer written at the next move into
            # the Trash or within a second: a kill may leave the last adds unrecorded. They are new
            # files in the target, never a loss, and are counted rather than taken for violations.
            unrecorded.append(relative)
    return violations, code, report, unrecorded


def check_finish(binary, fixture, leftovers):
    violations = []
    code, report, errors = run_to_end(binary, fixture)
    if code != 0 or report is None:
        violations.append(f"the finishing run exited with {code}: {errors.strip()}")
    else:
        if report["problemLog"]:
            violations.append(f"the finishing run had problems: {report['problemLog']}")
        listed = [item for key in ("overwrittenFiles", "addedFiles", "deletedFiles", "addedFolders",
                                   "deletedFolders") for item in report[key]]
        if any(TEMPORARY_NAME.match(os.path.basename(item.rstrip("/"))) for item in listed):
            violations.append("the finishing run counted a leftover temporary file")
    final_state = {relative: value for relative, value in tree_state(fixture.target).items()
                   if not TEMPORARY_NAME.match(os.path.basename(relative.rstrip("/")))}
    if final_state != fixture.new_state:
        wrong = sorted(set(final_state.items()) ^ set(fixture.new_state.items()))[:5]
        violations.append(f"after the finishing run the target differs from the source: {wrong}")
    for relative in leftovers:
        if not os.path.exists(os.path.join(fixture.target, relative)):
            violations.append(f"the finishing run removed or renamed the leftover {relative}")
    if fixture.trash:
        held, shape = trash_state(fixture)
        violations += shape
        for relative, _ in fixture.overwritten + fixture.deleted:
            if fixture.old_state[relative] not in held.get(relative, set()):
                violations.append(f"after the finishing run the Trash lacks the old content of {relative}")
    code, report, errors = run_to_end(binary, fixture)
    counts = ("overwrittenFileCount", "addedFileCount", "deletedFileCount", "addedFolderCount",
              "deletedFolderCount")
    if code != 0 or report is None or any(report[key] for key in counts) or report["problemLog"]:
        violations.append(f"the run after the finishing run did not report nothing to do: exit {code}, "
                          f"{ {key: report[key] for key in counts} if report else errors.strip()}")
    return violations


def interrupt(process, mode):
    if mode == "kill":
        process.send_signal(signal.SIGKILL)
    else:
        # The first signal asks the run to stop; the second, as quick as a double Ctrl-C, ends it.
        process.send_signal(signal.SIGINT)
        time.sleep(0.02)
        process.send_signal(signal.SIGINT)
    process.wait()
    return process.returncode


def one_attempt(binary, fixture, attempt, delay, mode, large, figures):
    """One run stopped after the delay, with the checks after the stop, the undo (with --trash) and
    the finishing runs; adds its figures and prints its line."""
    fixture.reset_target()
    process = subprocess.Popen(sync_command(binary, fixture), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=fixture.environment)
    time.sleep(delay)
    copying = copying_now(process.pid, fixture.source)
    code = interrupt(process, mode)
    figures["kills"] += code == -signal.SIGKILL
    figures["double_interrupts"] += code == -signal.SIGINT
    figures["stopped"] += code == 3
    finished = code in (0, 1)
    figures["finished_before_kill"] += finished
    figures["mid_copy"] += copying is not None
    figures["mid_large"] += copying in large

    violations, leftovers = check_after_kill(fixture)
    figures["leftovers"] += len(leftovers)
    undone = ""
    if fixture.trash:
        # The undo meets the journal exactly as the stop left it: nothing runs in between.
        undo_violations, undo_code, report, unrecorded = check_undo(binary, fixture)
        violations += undo_violations
        figures["unrecorded_adds"] = figures.get("unrecorded_adds", 0) + len(unrecorded)
        figures["undo_exits"][undo_code] = figures["undo_exits"].get(undo_code, 0) + 1
        if report:
            figures["restored"] += report["restoredCount"]
            figures["trashed"] += report["trashedCount"]
            figures["left_alone"] += report["leftAloneCount"]
            undone = (f", undo exit {undo_code}: {report['restoredCount']} restored, "
                      f"{report['trashedCount']} to the Trash, {report['leftAloneCount']} left alone")
        else:
            undone = f", undo exit {undo_code}"
        if unrecorded:
            undone += f", {len(unrecorded)} added item(s) not yet recorded stay"
        # What the undo left of the leftovers is what the finishing run must keep.
        leftovers = [relative for relative in tree_state(fixture.target)
                     if TEMPORARY_NAME.match(os.path.basename(relative.rstrip("/")))]
    violations += check_finish(binary, fixture, leftovers)
    stop = "kill" if mode == "kill" else "ctrl-c x2"
    where = (f"copying {copying}" if copying
             else "finished first" if finished else "stopped by the first signal" if code == 3
             else "between copies")
    status = "ok" if not violations else "VIOLATION"
    print(f"{stop} {attempt:3d} at {delay:6.3f} s ({where}): {status}"
          + (f", {len(leftovers)} leftover temporary file(s)" if leftovers else "") + undone)
    for violation in violations:
        print(f"    {violation}")
    figures["violations"] += len(violations)
    sys.stdout.flush()


def print_summary(options, figures):
    print(f"summary: {options.kills} runs, {figures['kills']} killed by SIGKILL, "
          f"{figures['double_interrupts']} ended by a second SIGINT, {figures['stopped']} stopped by the "
          f"first SIGINT ({figures['finished_before_kill']} finished before the signal), "
          f"{figures['mid_copy']} stops during a file copy, {figures['mid_large']} of them "
          f"during a copy of a file of 50 MB or more; {figures['leftovers']} leftover temporary "
          f"file(s), none counted or copied by the next run; {figures['violations']} violation(s)")
    if options.trash:
        exits = ", ".join(f"{count} with exit {code}"
                          for code, count in sorted(figures["undo_exits"].items()))
        print(f"undo after each stop: {exits}; {figures['restored']} items restored, {figures['trashed']} "
              f"moved to the Trash, {figures['left_alone']} left alone; "
              f"{figures.get('unrecorded_adds', 0)} added item(s) a stop left unrecorded stayed")


def mount_exfat(work, size):
    """Mounts a new exFAT image of the size at work/disk through exfat-fuse on a loop device;
    answers the mount point, or None after printing why it cannot."""
    missing = [tool for tool in ("mkfs.exfat", "mount.exfat-fuse") if shutil.which(tool) is None]
    if os.geteuid() != 0 or missing or not os.path.exists("/dev/fuse"):
        why = ("needs root" if os.geteuid() != 0
               else f"needs {', '.join(missing)}" if missing else "no /dev/fuse")
        print(f"crash_safety: skipped on exFAT: {why} (apt-get install exfat-fuse exfatprogs)")
        return None
    image = os.path.join(work, "disk.img")
    disk = os.path.join(work, "disk")
    os.mkdir(disk)
    with open(image, "wb") as out:
        out.truncate(size)
    for command in (["mkfs.exfat", image], ["mount", "-o", "loop", "-t", "exfat-fuse", image, disk]):
        if subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
            print(f"crash_safety: skipped on exFAT: {' '.join(command[:1])} failed")
            return None
    return disk


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary")
    parser.add_argument("--kills", type=int, default=50)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--work", default=None, help="folder for the trees (default: a new one in /var/tmp)")
    parser.add_argument("--large-mb", type=int, default=50, help="size of the smallest large file")
    parser.add_argument("--trash", action="store_true", help="run with --trash and check the Trash too")
    parser.add_argument("--target-fs", choices=["exfat"], default=None,
                        help="put the target on a file system of its own mounted for the check")
    parser.add_argument("--interrupt", choices=["kill", "ctrl-c-twice", "mixed"], default="kill",
                        help="stop each run with SIGKILL, with SIGINT twice, or take turns")
    options = parser.parse_args()
    binary = os.path.abspath(options.binary)
    if not os.access(binary, os.X_OK):
        print(f"crash_safety: {binary} is not an executable", file=sys.stderr)
        return 2
    seed = options.seed if options.seed is not None else random.randrange(1 << 30)
    chooser = random.Random(seed)

    work = tempfile.mkdtemp(prefix="twinfol-crash-", dir=options.work or "/var/tmp")
    disk = None
    try:
        if options.target_fs == "exfat":
            # Room for the old files and the new ones side by side, with a margin.
            overwritten, added, deleted = build_layout(options.large_mb)
            disk = mount_exfat(work, 64 * MB + 3 * sum(size for _, size in overwritten + added + deleted))
            if disk is None:
                return 0
        fixture = Fixture(work, options.large_mb, options.trash, disk)
        fixture.create()
        large = {relative for relative, size in fixture.overwritten + fixture.added if size >= 50 * MB}

        # Three uninterrupted runs give the span over which the kills are spread: a little longer
        # than the middle one, so that the last steps of a run (the deletes) are reached too, at the
        # price of a few runs that end before their kill (they are counted, and checked all the same).
        spans = []
        for _ in range(3):
            fixture.reset_target()
            started = time.monotonic()
            code, report, errors = run_to_end(binary, fixture)
            spans.append(time.monotonic() - started)
            if code != 0:
                print(f"crash_safety: the uninterrupted run failed ({code}): {errors}", file=sys.stderr)
                return 2
        span = sorted(spans)[1] * 1.2
        total_bytes = sum(size for _, size in fixture.overwritten + fixture.added)
        print(f"seed {seed}; {'with' if options.trash else 'without'} the Trash; "
              f"target on {options.target_fs or 'the work folder'}; "
              f"job: {len(fixture.overwritten)} overwrites, {len(fixture.added)} adds, "
              f"{len(fixture.deleted)} deletes, {total_bytes / MB:.0f} MB to copy, "
              f"{len(large)} files of 50 MB or more; kills spread over {span:.2f} s")

        figures = {"kills": 0, "double_interrupts": 0, "stopped": 0, "mid_large": 0, "mid_copy": 0,
                   "finished_before_kill": 0, "leftovers": 0, "violations": 0, "undo_exits": {},
                   "restored": 0, "trashed": 0, "left_alone": 0}
        for attempt in range(1, options.kills + 1):
            delay = chooser.uniform(0.0, span)
            mode = options.interrupt
            if mode == "mixed":
                mode = "kill" if attempt % 2 else "ctrl-c-twice"
            one_attempt(binary, fixture, attempt, delay, mode, large, figures)
        print_summary(options, figures)
        return 1 if figures["violations"] else 0
    finally:
        if disk is not None:
            subprocess.run(["umount", disk], stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
